#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "document/image_loading.h"
#include "image/bios_image.h"
#include "scripts/type2_scripts.h"
#include "support/raw_image.h"
#include "support/rom_builder.h"

namespace varnel {
namespace {

using test::RawImage;

std::vector<uint16_t> offsetsOf(const ScriptOffsetSet& set) {
  return std::vector<uint16_t>(set.offsets.begin(), set.offsets.begin() + set.count);
}

// The search written plainly: every accepted call site scans the whole image
// again. Quadratic; the reference for the fast one.
Type2SearchResult straightforwardSearch(const BiosImage& image) {
  Type2SearchResult result;
  ScriptOffsetSet& s = result.scripts;
  s.insert(image.wordAt(image.headerOffset + 0x0C));
  if (image.headerOffset + 0x4E <= image.pciDataOffset - 4) {
    s.insert(image.wordAt(image.headerOffset + 0x4E));
  }
  for (int32_t j = 256; j < image.length - 6; ++j) {
    if (image.bytes[j] != 0xBB || !s.contains(image.wordAt(j + 1))) continue;
    result.found = true;
    if (image.bytes[j + 3] != 0xE8) continue;
    const int32_t target = (j + 6 + image.wordAt(j + 4)) & 0xFFFF;
    for (int32_t k = 256; k < image.length - 6; ++k) {
      if (image.bytes[k] == 0xBB && image.bytes[k + 3] == 0xE8 &&
          ((k + 6 + image.wordAt(k + 4)) & 0xFFFF) == target) {
        s.insert(image.wordAt(k + 1));
      }
    }
  }
  return result;
}

void expectSameSearch(const BiosImage& image, const std::string& what) {
  const Type2SearchResult fast = findType2Scripts(image);
  const Type2SearchResult slow = straightforwardSearch(image);
  EXPECT_EQ(fast.found, slow.found) << what;
  EXPECT_EQ(offsetsOf(fast.scripts), offsetsOf(slow.scripts)) << what;
}

TEST(FindType2Scripts, BuiltImageScriptsAreAllFound) {
  const test::BuiltRom rom = test::buildRom();
  auto image = test::loadImage(rom.bytes);
  const Type2SearchResult result = findType2Scripts(*image);
  EXPECT_TRUE(result.found);
  EXPECT_EQ(offsetsOf(result.scripts), rom.layout.type2Scripts);
}

TEST(FindType2Scripts, NoSiteNamingAKnownScriptFindsNothing) {
  RawImage raw;
  raw->headerOffset = 0x200;
  raw->pciDataOffset = 0x400;
  raw.word(0x200 + 0x0C, 0x5000);
  raw.callSite(0x1000, 0xBB, 0x5100, 0x2000);  // names an unknown script
  const Type2SearchResult result = findType2Scripts(*raw);
  EXPECT_FALSE(result.found);
  std::string trace;
  traceType2Scripts(*raw, trace);
  EXPECT_EQ(trace, "");
}

TEST(FindType2Scripts, ScriptsFoundLaterNameFurtherSites) {
  // Site 1 names the header script and shares its target with site 2, which
  // adds 0x5100; site 3 (another target) names 0x5100 and brings 0x5200.
  RawImage raw;
  raw->headerOffset = 0x200;
  raw->pciDataOffset = 0x400;
  raw.word(0x200 + 0x0C, 0x5000);
  raw.callSite(0x1000, 0xBB, 0x5000, 0x2000);
  raw.callSite(0x1100, 0xBB, 0x5100, 0x2000);
  raw.callSite(0x1200, 0xBB, 0x5100, 0x2100);
  raw.callSite(0x1300, 0xBB, 0x5200, 0x2100);
  raw.callSite(0x0F00, 0xBB, 0x5300, 0x2100);  // before the site that reaches its target
  const Type2SearchResult result = findType2Scripts(*raw);
  EXPECT_EQ(offsetsOf(result.scripts), (std::vector<uint16_t>{0x5000, 0x5100, 0x5200, 0x5300}));
  expectSameSearch(*raw, "chained");
}

TEST(FindType2Scripts, SameAsTheStraightforwardSearchOnRandomImages) {
  std::mt19937 random(4242);
  for (int round = 0; round < 300; ++round) {
    RawImage raw(16384);
    raw->headerOffset = static_cast<uint16_t>(random() % 0x300);
    raw->pciDataOffset = static_cast<uint16_t>(random() % 0x400);
    // Few script names and few targets, so that sites meet often.
    const uint16_t names[] = {0x5000, 0x5100, 0x5200, 0x5300, 0x5400};
    raw.word(raw->headerOffset + 0x0C, names[random() % 5]);
    raw.word(raw->headerOffset + 0x4E, names[random() % 5]);
    const int sites = static_cast<int>(random() % 200);
    for (int k = 0; k < sites; ++k) {
      const auto pos = static_cast<int32_t>(0x400 + random() % 0x3B00);
      const uint8_t opcode = (random() % 8) ? 0xBB : 0xBE;
      raw.callSite(pos, opcode, names[random() % 5] + static_cast<uint16_t>(random() % 3),
                   static_cast<int32_t>(0x2000 + (random() % 4) * 0x10));
      if (random() % 10 == 0) raw.at(pos + 3, {0x90});  // a site without its call
    }
    expectSameSearch(*raw, "round " + std::to_string(round));
  }
}

TEST(FindType2Scripts, SameAsTheStraightforwardSearchWhenTheSetFillsUp) {
  RawImage raw(16384);
  raw->headerOffset = 0x200;
  raw->pciDataOffset = 0x400;
  raw.word(0x200 + 0x0C, 0x4000);
  // 50 scripts behind one target, then sites of a second target that name
  // scripts dropped from the full set.
  for (int k = 0; k < 50; ++k) {
    raw.callSite(0x1000 + 8 * k, 0xBB, static_cast<uint16_t>(0x4000 + 0x10 * k), 0x3000);
  }
  for (int k = 0; k < 20; ++k) {
    raw.callSite(0x2000 + 8 * k, 0xBB, static_cast<uint16_t>(0x4000 + 0x10 * (40 + k)), 0x3100);
  }
  EXPECT_EQ(findType2Scripts(*raw).scripts.count, 32);
  expectSameSearch(*raw, "full set");
}

// Trace of one script at 0x1000 in a 16 KiB record whose header byte is given.
std::string traceOf(uint8_t headerByte, std::initializer_list<uint8_t> script,
                    int32_t length = 16384, int32_t start = 0x1000) {
  RawImage raw(length);
  raw->headerOffset = 0x200;
  raw.at(0x200, {headerByte});
  raw.at(start, script);
  std::string trace;
  traceType2Script(*raw, static_cast<uint16_t>(start), trace);
  return trace;
}

TEST(TraceType2Script, OldLayoutHasTheOrValueFirst) {
  EXPECT_EQ(traceOf(2, {0x10, 0x40, 0x01, 0, 0, 0, 0xF0, 0xFF, 0xFF, 0xFF, 0, 0}),
            "\nType2 script @ 1000:\n Reg0[0010] and FFFFFFF0 or 00000001\n");
}

TEST(TraceType2Script, NewLayoutMasksOnlyWithBit14) {
  EXPECT_EQ(traceOf(3, {0x10, 0x40, 0xF0, 0xFF, 0xFF, 0xFF, 0x01, 0, 0, 0,  // masked
                        0x10, 0x00, 0x78, 0x56, 0x34, 0x12,                 // plain write
                        0x05, 0x80, 0x32, 0x00, 0x00, 0x00,                 // wait
                        0x34, 0x20, 0xAA, 0,    0,    0,                    // port write
                        0,    0}),
            "\nType2 script @ 1000:\n"
            " Reg0[0010] and FFFFFFF0 or 00000001\n"
            " Reg0[0010] <- 12345678\n"
            " Wait 0032\n"
            " Port[34] <- 000000AA\n");
}

TEST(TraceType2Script, EntryReachingPastTheImageEndsTheTrace) {
  // A 10-byte entry at length - 8 would reach past the end.
  EXPECT_EQ(
      traceOf(2, {0x05, 0x80, 0x01, 0x00, 0, 0, 0x10, 0x00, 1, 2, 3, 4, 5, 6}, 16384, 16384 - 14),
      "\nType2 script @ 3FF2:\n Wait 0001\n");
  // A lone byte at the very end is not read as a word.
  EXPECT_EQ(traceOf(2, {0x05}, 16384, 16383), "\nType2 script @ 3FFF:\n");
}

TEST(TraceType2Scripts, TraceOfTheBuiltImage) {
  const test::BuiltRom rom = test::buildRom();
  auto image = test::loadImage(rom.bytes);
  std::string trace;
  traceType2Scripts(*image, trace);
  EXPECT_NE(trace.find("\nBefore type2 script @ "), std::string::npos) << trace;
  EXPECT_NE(trace.find(" Reg0[1234] <- 5A\n"), std::string::npos) << trace;
  for (uint16_t script : rom.layout.type2Scripts) {
    char header[32];
    std::snprintf(header, sizeof header, "\nType2 script @ %04X:\n", script);
    EXPECT_NE(trace.find(header), std::string::npos) << header;
  }
  EXPECT_NE(trace.find(" Port[C4] and FFFFFFFE or 00000001\n"), std::string::npos) << trace;
}

TEST(TraceType2Scripts, TheLoadTracesBothKindsOnlyWhenAsked) {
  const test::BuiltRom rom = test::buildRom();
  for (bool on : {false, true}) {
    auto image = std::make_unique<BiosImage>();
    std::copy(rom.bytes.begin(), rom.bytes.end(), image->bytes.begin());
    image->length = static_cast<int32_t>(rom.bytes.size());
    image->traceScripts = on;
    ASSERT_EQ(validateImage(*image), kValid);
    if (!on) {
      EXPECT_EQ(image->scriptTrace, "");
      continue;
    }
    std::string type2;
    traceType2Scripts(*image, type2);
    const size_t type1 = image->scriptTrace.find("\nType1 script @ ");
    EXPECT_EQ(type1, 0u) << image->scriptTrace;
    EXPECT_EQ(image->scriptTrace.find(type2), image->scriptTrace.size() - type2.size());
  }
}

TEST(TraceType2Scripts, ChangesNothing) {
  const test::BuiltRom rom = test::buildRom();
  auto image = test::loadImage(rom.bytes);
  auto copy = std::make_unique<BiosImage>(*image);
  std::string trace;
  traceType2Scripts(*image, trace);
  EXPECT_EQ(image->bytes, copy->bytes);
  EXPECT_EQ(offsetsOf(image->scriptOffsets), offsetsOf(copy->scriptOffsets));
}

}  // namespace
}  // namespace varnel
