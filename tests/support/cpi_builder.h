// Builds code-page information (CPI) font files in memory for tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/rom_builder.h"

namespace varnel::test {

struct CpiFontSpec {
  int8_t width = 8;
  int8_t height = 16;
};

struct CpiEntrySpec {
  uint16_t codePage = 437;
  std::vector<CpiFontSpec> fonts;
  std::string device = "EGA     ";
};

struct CpiSpec {
  std::vector<CpiEntrySpec> entries;
  // Entry offsets counted from the entry's own start instead of the file's.
  bool relativeOffsets = false;
  // The font-information size counts the glyph bytes only, not the six-byte
  // font headers (the next-entry offset stays right).
  bool sizeCountsGlyphsOnly = false;
};

struct BuiltCpi {
  Bytes bytes;
  // Where each font's glyph data starts, in file order.
  std::vector<int32_t> dataOffsets;
  // Where each entry starts and where its next-entry offset is stored.
  std::vector<size_t> entryStarts;
};

// 8x8 and 8x16 fonts carry the test VGA fonts (with the code page in glyph
// 1's first row, so fonts of different code pages differ); other sizes a
// pattern.
BuiltCpi buildCpi(const CpiSpec& spec);

// The glyph data buildCpi writes for a font.
Bytes cpiGlyphData(uint16_t codePage, const CpiFontSpec& font);

}  // namespace varnel::test
