// What a font file offers for one of the image's font tables: a code-page
// file's fonts of the table's size, a PSF console font's glyphs, or a raw
// font's glyphs; and the file a table is exported to. Whatever the file's
// name, the code-page reader sees it first, then the PSF reader; a file
// with the code-page, PSF or gzip signature is never taken as a raw font
// (its header would become glyphs).
#pragma once

#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "fonts/cpi_reader.h"
#include "stream/byte_stream.h"

namespace varnel {

struct FontFileContents {
  enum class Kind {
    kCodePageFonts,       // `entries` holds `count` fonts of the size
    kNoFontOfSize,        // a code-page file without a font of the size
    kUnreadableCodePage,  // the signature, but not readable: `whyNot`
    kRawFont,             // `glyphs`, one table's bytes; `plausible` or not
    kTooShort,            // no code-page file, and shorter than one table
    kPsfFont,             // `glyphs`, the first 256 of a PSF font of the size
    kRefusedPsf,          // a PSF or gzip signature, but no font for the table: `whyNot`
  };
  Kind kind = Kind::kTooShort;
  std::unique_ptr<CpiFontList> entries = std::make_unique<CpiFontList>();
  int count = 0;
  std::string whyNot;
  std::vector<uint8_t> glyphs;
  bool plausible = false;
};

// Reads what `file` offers for the table of glyph height 8 or 16; a failing
// stream throws StreamError.
FontFileContents readFontFile(ByteStream& file, int height);

// The glyphs of a font the code-page reader listed, read whole before any
// is used, since the file may have changed or fail meanwhile; throws
// StreamError when the data ends early.
std::vector<uint8_t> readCodePageGlyphs(ByteStream& file, const CpiFontEntry& entry, int height);

// The files a font table is exported to.
enum class FontFormat { kRaw, kPsf, kGzippedPsf };

// The format a file's name asks for, in any case of letters: PSF2 for
// *.psf, gzip-compressed PSF2 for *.psf.gz, else the raw table.
FontFormat fontFormatOfName(std::string_view path);

// The bytes of the file that holds `table`, of glyph height 8 or 16.
std::vector<uint8_t> fontFileBytes(std::span<const uint8_t> table, int height, FontFormat format);

}  // namespace varnel
