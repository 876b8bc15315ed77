#include "support/cpi_builder.h"

#include <algorithm>

#include "support/vga_fonts.h"

namespace varnel::test {
namespace {

void append(Bytes& out, std::initializer_list<uint8_t> bytes) {
  for (uint8_t b : bytes)
    out.push_back(b);
}

void appendWord(Bytes& out, uint16_t value) {
  append(out, {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8)});
}

void appendDword(Bytes& out, uint32_t value) {
  appendWord(out, static_cast<uint16_t>(value));
  appendWord(out, static_cast<uint16_t>(value >> 16));
}

// Whole bytes per row rounded down, also for negative widths.
int32_t dataSize(const CpiFontSpec& font) {
  return ((font.width + 7) >> 3) * 256 * font.height;
}

}  // namespace

Bytes cpiGlyphData(uint16_t codePage, const CpiFontSpec& font) {
  const int32_t size = std::max(dataSize(font), 0);
  Bytes data(static_cast<size_t>(size));
  if (font.width == 8 && (font.height == 8 || font.height == 16)) {
    // The data is exactly one VGA font table: 256 glyphs of 8 or 16 rows.
    const uint8_t* source = font.height == 8 ? test::kVgaFont8x8.data() : test::kVgaFont8x16.data();
    for (size_t i = 0; i < data.size(); ++i)
      data[i] = source[i];
    data[static_cast<size_t>(font.height)] = static_cast<uint8_t>(codePage);
  } else {
    for (size_t i = 0; i < data.size(); ++i)
      data[i] = static_cast<uint8_t>(i * 7 + codePage);
  }
  return data;
}

BuiltCpi buildCpi(const CpiSpec& spec) {
  BuiltCpi cpi;
  Bytes& out = cpi.bytes;
  append(out, {0xFF, 'F', 'O', 'N', 'T', ' ', ' ', ' '});
  out.resize(19, 0);
  out[16] = 1;           // one pointer
  out[17] = 1;           // of type 1
  appendDword(out, 23);  // the font-information header follows at 23
  appendWord(out, static_cast<uint16_t>(spec.entries.size()));
  for (const CpiEntrySpec& entry : spec.entries) {
    const size_t start = out.size();
    cpi.entryStarts.push_back(start);
    int32_t fontBytes = 0;
    for (const CpiFontSpec& font : entry.fonts)
      fontBytes += 6 + std::max(dataSize(font), 0);
    const uint32_t info = spec.relativeOffsets ? 28u : static_cast<uint32_t>(start + 28);
    appendWord(out, 0x1C);
    appendDword(out, info + 6 + static_cast<uint32_t>(fontBytes));  // next entry
    appendWord(out, 1);                                             // a screen device
    for (size_t i = 0; i < 8; ++i)
      out.push_back(static_cast<uint8_t>(i < entry.device.size() ? entry.device[i] : ' '));
    appendWord(out, entry.codePage);
    append(out, {0, 0, 0, 0, 0, 0});
    appendDword(out, info);
    appendWord(out, 1);  // version
    appendWord(out, static_cast<uint16_t>(entry.fonts.size()));
    const auto headerBytes = static_cast<int32_t>(6 * entry.fonts.size());
    appendWord(out,
               static_cast<uint16_t>(fontBytes - (spec.sizeCountsGlyphsOnly ? headerBytes : 0)));
    for (const CpiFontSpec& font : entry.fonts) {
      append(out, {static_cast<uint8_t>(font.height), static_cast<uint8_t>(font.width), 0, 0});
      appendWord(out, 256);
      cpi.dataOffsets.push_back(static_cast<int32_t>(out.size()));
      const Bytes data = cpiGlyphData(entry.codePage, font);
      out.insert(out.end(), data.begin(), data.end());
    }
  }
  return cpi;
}

}  // namespace varnel::test
