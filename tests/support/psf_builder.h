// Builds PC Screen Font files (PSF1 and PSF2) in memory for tests, byte by
// byte and with any header field set to any value.
#pragma once

#include <cstdint>
#include <optional>

#include "support/rom_builder.h"

namespace varnel::test {

struct PsfSpec {
  int version = 2;  // 1 or 2
  uint32_t width = 8;
  uint32_t height = 16;
  // PSF1: the mode byte, whose bit 0 makes 512 glyphs; its height byte is
  // `height` and its width always 8.
  uint8_t psf1Mode = 0;
  // PSF2 header fields; a missing glyph size is that of a width x height
  // glyph.
  uint32_t psf2Version = 0;
  uint32_t headerSize = 32;
  uint32_t flags = 0;
  uint32_t glyphCount = 256;
  std::optional<uint32_t> glyphSize;
  // Bytes after the glyphs, such as a Unicode table.
  uint32_t trailingBytes = 0;
};

// The glyph data of `count` glyphs of `size` bytes: every glyph differs
// from the 511 others.
Bytes psfGlyphData(uint32_t count, uint32_t size);

// The file: its header, then zeros up to headerSize, the glyphs the header
// describes (psfGlyphData), and the trailing bytes.
Bytes buildPsf(const PsfSpec& spec);

}  // namespace varnel::test
