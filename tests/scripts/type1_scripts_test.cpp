#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "image/bios_image.h"
#include "scripts/type1_scripts.h"
#include "support/raw_image.h"
#include "support/rom_builder.h"

namespace varnel {
namespace {

using test::RawImage;

std::vector<uint16_t> offsetsOf(const ScriptOffsetSet& set) {
  return std::vector<uint16_t>(set.offsets.begin(), set.offsets.begin() + set.count);
}

// A record with a BIOS header at 0x200 and PCI data at 0x400, so that both
// header slots are read; the interpreter loop, when asked for, at 0x3000.
struct LocatorImage {
  RawImage raw;
  static constexpr int32_t kHeader = 0x200;
  static constexpr int32_t kLoop = 0x3000;

  explicit LocatorImage(bool withLoop = true) {
    raw->headerOffset = kHeader;
    raw->pciDataOffset = 0x400;
    if (withLoop) test::putInterpreterLoop(raw, kLoop);
  }
  void slots(uint16_t a, uint16_t b) {
    raw.word(kHeader + 0x46, a);
    raw.word(kHeader + 0x52, b);
  }
  std::vector<uint16_t> locate() {
    locateType1Scripts(*raw);
    return offsetsOf(raw->scriptOffsets);
  }
};

TEST(LocateType1Scripts, FindsEveryScriptOfTheBuiltImage) {
  for (test::LoopForm form :
       {test::LoopForm::kNone, test::LoopForm::kDirect, test::LoopForm::kCall}) {
    test::RomSpec spec;
    spec.loopForm = form;
    const test::BuiltRom rom = test::buildRom(spec);
    auto image = test::loadImage(rom.bytes);
    EXPECT_EQ(offsetsOf(image->scriptOffsets), rom.layout.type1Scripts)
        << "form " << static_cast<int>(form);
  }
}

// The code's scripts found plainly: the loop by testing every offset, then
// every offset tested for a call site landing before it.
std::vector<uint16_t> plainCodeScripts(const BiosImage& image) {
  const uint8_t loop[] = {0xB9, 0xE8, 0x03, 0x2E, 0xAC, 0x8A, 0xD8, 0x0A, 0xDB, 0x75, 0x03, 0xE9};
  int32_t loopPos = 0;
  for (int32_t p = 256; p + 12 <= image.length - 1 && loopPos == 0; ++p) {
    if (std::equal(std::begin(loop), std::end(loop), &image.bytes[static_cast<size_t>(p)])) {
      loopPos = p;
    }
  }
  ScriptOffsetSet set;
  if (loopPos != 0 && image.bytes[static_cast<size_t>(loopPos - 3)] == 0xBE) {
    set.insert(image.wordAt(loopPos - 2));
  } else if (loopPos != 0) {
    for (int32_t j = 256; j < image.length - 6; ++j) {
      const int32_t target = (j + 6 + image.wordAt(j + 4)) & 0xFFFF;
      if (image.bytes[static_cast<size_t>(j)] == 0xBE &&
          image.bytes[static_cast<size_t>(j + 3)] == 0xE8 && target >= loopPos - 9 &&
          target <= loopPos - 3) {
        set.insert(image.wordAt(j + 1));
      }
    }
  }
  return offsetsOf(set);
}

TEST(LocateType1Scripts, SameAsThePlainSearchOnRandomImages) {
  std::mt19937 random(1517);
  for (int round = 0; round < 300; ++round) {
    const int32_t n = 16384 + static_cast<int32_t>(random() % 49153);
    RawImage raw(n);
    const int32_t loopPos = 0x300 + static_cast<int32_t>(random() % (n - 0x400));
    if (random() % 8 != 0) test::putInterpreterLoop(raw, loopPos);
    // From none to more than the set holds; most land in the window before
    // the loop, some just outside it, some are not calls; the last ones may
    // reach the image's end.
    const int sites = static_cast<int>(random() % 80);
    for (int k = 0; k < sites; ++k) {
      const int32_t pos = random() % 10 == 0 ? n - 7 + static_cast<int32_t>(random() % 2)
                                             : 256 + static_cast<int32_t>(random() % (n - 270));
      const int32_t target = loopPos - 10 + static_cast<int32_t>(random() % 9);
      raw.callSite(pos, 0xBE, static_cast<uint16_t>(0x100 + random() % 64), target);
      if (random() % 10 == 0) raw.at(pos + 3, {0x90});
    }
    if (random() % 10 == 0) raw.at(loopPos - 3, {0xBE, 0x34, 0x12});
    locateType1Scripts(*raw);
    EXPECT_EQ(offsetsOf(raw->scriptOffsets), plainCodeScripts(*raw)) << "round " << round;
  }
}

TEST(LocateType1Scripts, HeaderSlotsAddEachOffsetOnceAndNeverZero) {
  LocatorImage same(false);
  same.slots(0x5000, 0x5000);
  EXPECT_EQ(same.locate(), (std::vector<uint16_t>{0x5000}));
  LocatorImage zero(false);
  zero.slots(0, 0x5100);
  EXPECT_EQ(zero.locate(), (std::vector<uint16_t>{0x5100}));
}

TEST(LocateType1Scripts, HeaderSlotsMustEndFourBytesBeforeThePciData) {
  struct Case {
    uint16_t pci;
    std::vector<uint16_t> expected;
  };
  // Slot A needs header + 0x48 <= pci - 4, slot B header + 0x54 <= pci - 4.
  for (const Case& c : {Case{0x200 + 0x58, {0x5000, 0x5100}}, Case{0x200 + 0x57, {0x5000}},
                        Case{0x200 + 0x4C, {0x5000}}, Case{0x200 + 0x4B, {}}, Case{0, {}}}) {
    LocatorImage image(false);
    image.slots(0x5000, 0x5100);
    image.raw->pciDataOffset = c.pci;
    EXPECT_EQ(image.locate(), c.expected) << "pci " << c.pci;
  }
}

TEST(LocateType1Scripts, DirectFormTakesOneScriptAndIgnoresCallSites) {
  LocatorImage image;
  image.raw.at(LocatorImage::kLoop - 3, {0xBE});
  image.raw.word(LocatorImage::kLoop - 2, 0x6000);
  image.raw.callSite(0x1000, 0xBE, 0x6100, LocatorImage::kLoop - 3);
  EXPECT_EQ(image.locate(), (std::vector<uint16_t>{0x6000}));
}

TEST(LocateType1Scripts, CallTargetWindowIsLoopMinusNineToMinusThree) {
  struct Case {
    int32_t targetFromLoop;
    bool counts;
  };
  for (const Case& c : {Case{-10, false}, Case{-9, true}, Case{-6, true}, Case{-3, true},
                        Case{-2, false}, Case{0, false}}) {
    LocatorImage image;
    image.raw.callSite(0x1000, 0xBE, 0x6000, LocatorImage::kLoop + c.targetFromLoop);
    const bool found = !image.locate().empty();
    EXPECT_EQ(found, c.counts) << "target loop" << c.targetFromLoop;
  }
}

TEST(LocateType1Scripts, CallDisplacementWrapsAroundSixtyFourKiB) {
  // A backward call: rel16 0xF000 from 0x4000 lands at 0x3006.
  RawImage raw(32768);
  raw->headerOffset = 0x200;
  raw->pciDataOffset = 0x400;
  test::putInterpreterLoop(raw, 0x3009);
  raw.at(0x4000, {0xBE, 0x00, 0x60, 0xE8, 0x00, 0xF0});
  locateType1Scripts(*raw);
  EXPECT_EQ(offsetsOf(raw->scriptOffsets), (std::vector<uint16_t>{0x6000}));
}

TEST(LocateType1Scripts, EveryCallSiteContributesItsScript) {
  LocatorImage image;
  image.raw.callSite(0x1000, 0xBE, 0x6200, LocatorImage::kLoop - 3);
  image.raw.callSite(0x1010, 0xBE, 0x6100, LocatorImage::kLoop - 5);
  image.raw.callSite(0x1020, 0xBB, 0x6300, LocatorImage::kLoop - 3);  // mov bx: not a site
  EXPECT_EQ(image.locate(), (std::vector<uint16_t>{0x6100, 0x6200}));
}

TEST(LocateType1Scripts, KeepsTheFirst32DiscoveredOffsets) {
  LocatorImage image;
  // 40 call sites whose scripts descend: the last 8 found are the smallest.
  for (int k = 0; k < 40; ++k) {
    image.raw.callSite(0x1000 + 8 * k, 0xBE, static_cast<uint16_t>(0x8000 - 0x10 * k),
                       LocatorImage::kLoop - 3);
  }
  const std::vector<uint16_t> found = image.locate();
  ASSERT_EQ(found.size(), 32u);
  EXPECT_EQ(found.front(), 0x8000 - 0x10 * 31);
  EXPECT_EQ(found.back(), 0x8000);
}

TEST(LocateType1Scripts, LoopBelowOffset256IsNotFound) {
  RawImage raw;
  raw->headerOffset = 0x200;
  raw->pciDataOffset = 0x400;
  test::putInterpreterLoop(raw, 0xF0);
  raw.callSite(0x1000, 0xBE, 0x6000, 0xF0 - 3);
  locateType1Scripts(*raw);
  EXPECT_EQ(raw->scriptOffsets.count, 0);
}

TEST(LocateType1Scripts, LoopMustEndBeforeTheLastByte) {
  for (int32_t end : {16384 - 12, 16384 - 13}) {
    RawImage raw;
    raw->headerOffset = 0x200;
    raw->pciDataOffset = 0x400;
    test::putInterpreterLoop(raw, end);
    raw.callSite(0x1000, 0xBE, 0x6000, end - 3);
    locateType1Scripts(*raw);
    EXPECT_EQ(raw->scriptOffsets.count, end == 16384 - 13 ? 1 : 0) << end;
  }
}

TEST(LocateType1Scripts, MissingHeaderReadsTheSlotsFromOffsetZero) {
  RawImage raw;
  raw->pciDataOffset = 0x400;
  raw.word(0x46, 0x6000);
  raw.word(0x52, 0x6100);
  locateType1Scripts(*raw);
  EXPECT_EQ(offsetsOf(raw->scriptOffsets), (std::vector<uint16_t>{0x6000, 0x6100}));
}

TEST(LocateType1Scripts, ClockStepIsTheReferenceFrequencyOverTwelve) {
  struct Case {
    uint16_t reference;
    float step;
  };
  for (const Case& c :
       {Case{2700, 2.25f}, Case{2950, 2.4583333f}, Case{0, 0.0f}, Case{1432, 1.1933334f}}) {
    RawImage raw;
    raw->pllReferenceFreq = {0x300};
    raw.word(0x300, c.reference);
    locateType1Scripts(*raw);
    EXPECT_EQ(raw->clockStepMHz, c.step) << c.reference;
  }
  RawImage noTable;
  locateType1Scripts(*noTable);
  EXPECT_EQ(noTable->clockStepMHz, 2.25f);
}

// --- the walker -----------------------------------------------------------

constexpr int32_t kScript = 0x1000;

struct WalkCase {
  const char* name;
  uint8_t b1, b2;
  int32_t width;
  uint8_t type, cas;
};

class ExtractMemoryConfig : public testing::TestWithParam<WalkCase> {};

TEST_P(ExtractMemoryConfig, ReadsWidthTypeAndCas) {
  const WalkCase& c = GetParam();
  RawImage raw;
  raw.at(kScript, {0x12, c.b1, c.b2, 0x00, 0x00, 0x00});
  readType1Script(*raw, kScript);
  EXPECT_EQ(raw->busWidthBits, c.width);
  EXPECT_EQ(raw->memoryType, c.type);
  EXPECT_EQ(raw->casIndex, c.cas);
}

INSTANTIATE_TEST_SUITE_P(Entries, ExtractMemoryConfig,
                         testing::Values(WalkCase{"SdrCas1Narrow", 0x21, 0x00, 64, 2, 1},
                                         WalkCase{"SmallestOfBoth", 0x12, 0x21, 128, 1, 1},
                                         WalkCase{"CasOnly", 0x0F, 0x00, 64, 0, 15},
                                         WalkCase{"TypeOnly", 0xF0, 0x00, 64, 15, 0},
                                         WalkCase{"NothingButWidth", 0x00, 0x00, 64, 0, 0}),
                         [](const testing::TestParamInfo<WalkCase>& info) {
                           return std::string(info.param.name);
                         });

TEST(WalkType1Script, WidestBusWinsWhateverTheOrder) {
  for (bool wideFirst : {true, false}) {
    RawImage raw;
    raw.at(0x1000, {0x12, 0x11, wideFirst ? uint8_t{0x11} : uint8_t{0x00}, 0, 0, 0});
    raw.at(0x1100, {0x12, 0x11, wideFirst ? uint8_t{0x00} : uint8_t{0x11}, 0, 0, 0});
    readType1Script(*raw, 0x1000);
    readType1Script(*raw, 0x1100);
    EXPECT_EQ(raw->busWidthBits, 128);
  }
}

TEST(WalkType1Script, MaskedUpdatesOfRegister12AreNotConfiguration) {
  RawImage raw;
  raw.at(kScript, {0x52, 0x00, 0x13, 0x13, 0x00});
  readType1Script(*raw, kScript);
  EXPECT_EQ(raw->busWidthBits, 0);
  raw->memoryType = 2;
  raw->casIndex = 3;
  patchType1Script(*raw, kScript);
  EXPECT_EQ(raw->bytes[kScript + 2], 0x13);
  EXPECT_EQ(raw->bytes[kScript + 3], 0x13);
}

TEST(WalkType1Script, FirstPllEntryMetSuppliesBothDividers) {
  RawImage raw;
  raw.at(kScript, {0x85, 0x0A, 0x00, 0x51, 0x62, 0x00, 0x0A, 0x00, 0x11, 0x22, 0x00, 0x00});
  readType1Script(*raw, kScript);
  EXPECT_EQ(raw->memoryFeedbackDivPtr.offset, kScript + 3);
  EXPECT_EQ(raw->coreFeedbackDivPtr.offset, kScript + 4);
  EXPECT_EQ(raw->byteAt(raw->coreFeedbackDivPtr), 0x62);
}

TEST(WalkType1Script, ScriptsAreWalkedInAscendingOrder) {
  RawImage raw;
  raw->headerOffset = 0x200;
  raw->pciDataOffset = 0x400;
  // Slot A names the later script: discovery order is not walk order.
  raw.word(0x200 + 0x46, 0x2000);
  raw.word(0x200 + 0x52, 0x1000);
  raw.at(0x1000, {0x0A, 0x00, 0x11, 0x22, 0x00, 0x00});
  raw.at(0x2000, {0x0A, 0x00, 0x33, 0x44, 0x00, 0x00});
  locateType1Scripts(*raw);
  EXPECT_EQ(raw->coreFeedbackDivPtr.offset, 0x1003);
}

TEST(WalkType1Script, PatchWritesTheCodeIntoEveryNonZeroConfigurationByte) {
  RawImage raw;
  raw->headerOffset = 0x200;
  raw->pciDataOffset = 0x400;
  raw.word(0x200 + 0x46, 0x1000);
  raw.word(0x200 + 0x52, 0x2000);
  raw.at(0x1000, {0x12, 0x11, 0x00, 0xAA, 0xBB, 0x12, 0x00, 0x31, 0xCC, 0xDD, 0x00});
  raw.at(0x2000, {0x83, 0x12, 0x12, 0x12, 0x00, 0x00, 0x00});
  locateType1Scripts(*raw);
  raw->memoryType = 2;
  raw->casIndex = 3;
  raw->patchMemoryConfig();
  const uint8_t* b = raw->bytes.data();
  EXPECT_EQ(b[0x1001], 0x23);
  EXPECT_EQ(b[0x1002], 0x00);
  EXPECT_EQ(b[0x1003], 0xAA);  // value bytes 2 and 3 are not configuration
  EXPECT_EQ(b[0x1006], 0x00);
  EXPECT_EQ(b[0x1007], 0x23);
  EXPECT_EQ(b[0x2002], 0x23);
  EXPECT_EQ(b[0x2003], 0x23);
}

TEST(WalkType1Script, ScriptOfGarbageStopsAtItsBounds) {
  // An end byte first: nothing at all.
  RawImage empty;
  empty.at(kScript, {0x00, 0x12, 0x11, 0x11, 0, 0});
  readType1Script(*empty, kScript);
  EXPECT_EQ(empty->busWidthBits, 0);

  // A script starting at length - 5 is not walked; at length - 6 it is.
  for (int32_t start : {16384 - 5, 16384 - 6}) {
    RawImage raw;
    raw.at(start, {0x12, 0x11, 0x11, 0x00, 0x00});
    readType1Script(*raw, static_cast<uint16_t>(start));
    EXPECT_EQ(raw->busWidthBits, start == 16384 - 6 ? 128 : 0) << start;
  }

  // Entries 1000 bytes or more after the start are not walked.
  for (int32_t waits : {999, 1000}) {
    RawImage raw;
    for (int32_t i = 0; i < waits; ++i)
      raw.at(kScript + i, {0x80});
    raw.at(kScript + waits, {0x12, 0x11, 0x11, 0x00, 0x00, 0x00});
    readType1Script(*raw, kScript);
    EXPECT_EQ(raw->busWidthBits, waits == 999 ? 128 : 0) << waits;
  }
}

TEST(WalkType1Script, TracePrintsEveryEntryInItsFormat) {
  RawImage raw;
  raw.at(kScript, {0x85, 0x4F, 0x05, 0xF0, 0x0A, 0x0B, 0x78, 0x56, 0x34, 0x12, 0x00});
  raw->traceScripts = true;
  readType1Script(*raw, kScript);
  EXPECT_EQ(raw->scriptTrace,
            "\nType1 script @ 1000:\n"
            " Wait 05\n"
            " Reg8[0F+1] and F0 or 0A\n"
            " Reg8[0B] <- 12345678\n");
}

TEST(WalkType1Script, NoTraceWithoutTheSwitch) {
  RawImage raw;
  raw.at(kScript, {0x85, 0x00});
  readType1Script(*raw, kScript);
  EXPECT_EQ(raw->scriptTrace, "");
}

}  // namespace
}  // namespace varnel
