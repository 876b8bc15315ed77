#include "support/psf_builder.h"

#include <algorithm>
#include <iterator>

namespace varnel::test {

Bytes psfGlyphData(uint32_t count, uint32_t size) {
  Bytes data;
  for (uint32_t glyph = 0; glyph < count; ++glyph) {
    for (uint32_t row = 0; row < size; ++row)
      data.push_back(static_cast<uint8_t>(glyph + (glyph >> 8) * 0x55 + row * 0x3B));
  }
  return data;
}

Bytes buildPsf(const PsfSpec& spec) {
  Bytes file;
  uint32_t count = spec.glyphCount;
  uint32_t size = spec.glyphSize.value_or(spec.height * ((spec.width + 7) / 8));
  if (spec.version == 1) {
    file = {0x36, 0x04, spec.psf1Mode, static_cast<uint8_t>(spec.height)};
    count = (spec.psf1Mode & 1) ? 512 : 256;
    size = spec.height;
  } else {
    file = {0x72, 0xB5, 0x4A, 0x86};
    file.resize(std::max<size_t>(spec.headerSize, 32));
    const uint32_t fields[] = {spec.psf2Version, spec.headerSize, spec.flags, count, size,
                               spec.height,      spec.width};
    for (size_t i = 0; i < std::size(fields); ++i)
      putDword(file, 4 + 4 * i, fields[i]);
  }
  const Bytes glyphs = psfGlyphData(count, size);
  file.insert(file.end(), glyphs.begin(), glyphs.end());
  file.resize(file.size() + spec.trailingBytes, 0xFF);
  return file;
}

}  // namespace varnel::test
