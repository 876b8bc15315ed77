#include "support/worst_cases.h"

namespace varnel::test {
namespace {

// Where the patterns go: after everything the builder laid out, up to a
// little before the end (the last byte balances the upper part).
constexpr size_t kFillStart = 0x2000;
constexpr size_t kFillEnd = 0xFF00;

void fillType1CallSites(Bytes& b, const RomLayout& layout) {
  for (size_t pos = kFillStart; pos + 6 <= kFillEnd; pos += 6) {
    b[pos] = 0xBE;
    putWord(b, pos + 1, static_cast<uint16_t>(0x4000 + pos % 0x100));
    b[pos + 3] = 0xE8;
    putWord(b, pos + 4, static_cast<uint16_t>(layout.loopPos - 3 - static_cast<int32_t>(pos + 6)));
  }
}

void fillType2CallSites(Bytes& b, const RomLayout& layout) {
  const uint16_t known = layout.type2Scripts.front();
  for (size_t pos = kFillStart; pos + 6 <= kFillEnd; pos += 6) {
    b[pos] = 0xBB;
    putWord(b, pos + 1, known);
    b[pos + 3] = 0xE8;
    putWord(b, pos + 4, static_cast<uint16_t>(pos * 7));  // a different target each
  }
}

void fillFontPatterns(Bytes& b, const RomLayout& layout) {
  const Bytes fontCode = {0xB9, 0x0E, 0x00, 0xEB, 0x0E, 0xBD, 0x00, 0x00, 0xB9, 0x08,
                          0x00, 0xEB, 0x06, 0xBD, 0x00, 0x00, 0xB9, 0x10, 0x00, 0xEB};
  const Bytes altCode = {0x32, 0xFF, 0x8A, 0xDC, 0xBE, 0x00, 0x00, 0x80, 0xFB, 0x10,
                         0x74, 0x08, 0xBE, 0x00, 0x00, 0x80, 0xFB, 0x0E, 0x74};
  size_t pos = kFillStart;
  while (pos + fontCode.size() + altCode.size() <= kFillEnd) {
    std::copy(fontCode.begin(), fontCode.end(), b.begin() + static_cast<long>(pos));
    putWord(b, pos + 6, static_cast<uint16_t>(layout.font8x8Offset));
    putWord(b, pos + 14, static_cast<uint16_t>(layout.font8x16Offset));
    pos += fontCode.size();
    std::copy(altCode.begin(), altCode.end(), b.begin() + static_cast<long>(pos));
    putWord(b, pos + 5, static_cast<uint16_t>(layout.altFont9x16Offset));
    putWord(b, pos + 13, static_cast<uint16_t>(layout.altFont9x14Offset));
    pos += altCode.size();
  }
}

}  // namespace

Bytes worstCaseImage(WorstCase kind) {
  RomSpec spec;
  spec.sizeBlocks = 0x80;
  BuiltRom rom = buildRom(spec);
  switch (kind) {
    case WorstCase::kType1CallSites:
      fillType1CallSites(rom.bytes, rom.layout);
      break;
    case WorstCase::kType2CallSites:
      fillType2CallSites(rom.bytes, rom.layout);
      break;
    case WorstCase::kFontPatterns:
      fillFontPatterns(rom.bytes, rom.layout);
      break;
  }
  sealChecksums(rom.bytes, rom.layout.checksumBlockOffset, rom.layout.spareByte);
  return rom.bytes;
}

std::vector<NamedImage> loadBenchmarkImages() {
  return {{"sample", buildRom().bytes},
          {"type1_call_sites", worstCaseImage(WorstCase::kType1CallSites)},
          {"type2_call_sites", worstCaseImage(WorstCase::kType2CallSites)},
          {"font_patterns", worstCaseImage(WorstCase::kFontPatterns)}};
}

}  // namespace varnel::test
