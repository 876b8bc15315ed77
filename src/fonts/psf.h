// PC Screen Font files (PSF1 and PSF2, as the Linux console loads them,
// also gzip-compressed): the first 256 glyphs of a font 8 pixels wide for
// one of the image's font tables, and the PSF2 file of a table.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace varnel {

// The most a PSF file may hold, compressed or inflated: far more than any
// console font, and a bound on what a compressed file may inflate to.
inline constexpr int32_t kMaxPsfFileSize = 1 << 20;

// Whether `start` (a file's first kPsfSignatureSize bytes, or all of a
// shorter file) has the PSF1, PSF2 or gzip signature: such a file is read
// as PSF and never as a raw font.
inline constexpr int32_t kPsfSignatureSize = 4;
bool startsLikePsf(std::span<const uint8_t> start);

struct PsfFont {
  // The first 256 glyphs, one table's bytes; empty when the file is refused.
  std::vector<uint8_t> glyphs;
  std::string whyNot;  // why the file is refused; empty when it is read
};

// Reads the font in `file` (PSF1, PSF2 or either gzip-compressed) for the
// table of glyph height `height` (8 or 16): every header field is checked
// against the bytes there are, and a font of another size is refused with
// the size it has.
PsfFont readPsf(std::span<const uint8_t> file, int height);

// A PSF2 file of the 256 glyphs of a table (height 8 or 16, 8 wide), with
// no Unicode table.
std::vector<uint8_t> writePsf2(std::span<const uint8_t> glyphs, int height);

}  // namespace varnel
