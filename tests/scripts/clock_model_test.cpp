#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "image/bios_image.h"
#include "support/raw_image.h"

namespace varnel {
namespace {

using test::RawImage;

constexpr int32_t kPll = 0x300;
constexpr int32_t kCoreDiv = 0x1003;
constexpr int32_t kMemoryDiv = 0x1002;

// A record with a PLL table and both divider bytes, as a load leaves it.
RawImage clockImage(float step, bool ddr, uint8_t memoryType) {
  RawImage raw;
  raw->defaultMemoryClock = {kPll + 8};
  raw->defaultCoreClock = {kPll + 10};
  raw->coreFeedbackDivPtr = {kCoreDiv};
  raw->memoryFeedbackDivPtr = {kMemoryDiv};
  raw->clockStepMHz = step;
  raw->isDdrBios = ddr;
  raw->memoryType = memoryType;
  return raw;
}

struct ClockCase {
  const char* name;
  float step;
  bool ddr;
  uint8_t memoryType;
  float core, memory;
  uint16_t coreWord, memoryWord;
  uint8_t coreDiv, memoryDiv;
  double realCore, realMemory, effective;
};

class SetClocks : public testing::TestWithParam<ClockCase> {};

TEST_P(SetClocks, WritesWordsAndDividersAndReadsBack) {
  const ClockCase& c = GetParam();
  RawImage raw = clockImage(c.step, c.ddr, c.memoryType);
  raw->setClocks(c.core, c.memory);
  EXPECT_EQ(raw->wordAt(kPll + 10), c.coreWord);
  EXPECT_EQ(raw->wordAt(kPll + 8), c.memoryWord);
  EXPECT_EQ(raw->bytes[kCoreDiv], c.coreDiv);
  EXPECT_EQ(raw->bytes[kMemoryDiv], c.memoryDiv);
  EXPECT_DOUBLE_EQ(raw->realCoreClock(), c.realCore);
  EXPECT_DOUBLE_EQ(raw->realMemoryClock(), c.realMemory);
  EXPECT_DOUBLE_EQ(raw->effectiveMemoryClock(), c.effective);
}

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Cases, SetClocks,
    testing::Values(
        // A 27 MHz reference (2.25 MHz steps) on a DDR BIOS, then SDR memory
        // on it, then on an SDR BIOS.
        ClockCase{"DdrOnDdrBios", 2.25f, true, 1, 200, 183, 20000, 18300, 89, 81, 200.25, 182.25,
                  364.5},
        ClockCase{"SdrOnDdrBios", 2.25f, true, 2, 200, 183, 20000, 18300, 89, 162, 200.25, 364.5,
                  364.5},
        ClockCase{"SdrOnSdrBios", 2.25f, false, 2, 200, 183, 20000, 18300, 89, 81, 200.25, 182.25,
                  182.25},
        ClockCase{"MemoryDividerCapped", 2.25f, true, 2, 575, 575, 57500, 57500, 255, 255, 573.75,
                  573.75, 573.75},
        ClockCase{"LowestPositions", 2.25f, true, 0, 50, 50, 5000, 5000, 22, 22, 49.5, 49.5, 49.5},
        ClockCase{"TruncatesJustBelow", 2.25f, true, 1, 166, 166, 16600, 16600, 73, 73, 164.25,
                  164.25, 328.5},
        ClockCase{"ZeroStep", 0.0f, true, 1, 200, 183, 20000, 18300, 255, 255, 0, 0, 0},
        ClockCase{"NegativeIsZero", 2.25f, true, 0, -5, -100, 0, 0, 0, 0, 0, 0, 0},
        ClockCase{"NaNIsZero", 0.1f, true, 0, kNaN, kNaN, 0, 0, 4, 4, 4 * double{0.1f},
                  4 * double{0.1f}, 4 * double{0.1f}},
        ClockCase{"HugeValueWordIsIndefinite", 2.25f, true, 0, kInf, 1e30f, 0, 0, 255, 255, 573.75,
                  573.75, 573.75},
        ClockCase{"OddStep", 2.4583333f, false, 1, 300, 150, 30000, 15000, 122, 30,
                  122 * double{2.4583333f}, 30 * double{2.4583333f}, 60 * double{2.4583333f}}),
    [](const testing::TestParamInfo<ClockCase>& info) { return std::string(info.param.name); });

TEST(SetClocks, WordsKeepTheirLowSixteenBits) {
  RawImage raw = clockImage(2.25f, true, 0);
  raw->setClocks(700, 655.36f);
  EXPECT_EQ(raw->wordAt(kPll + 10), 70000 & 0xFFFF);
  EXPECT_EQ(raw->wordAt(kPll + 8), 0);
}

TEST(SetClocks, WritesNoDividerWhenEitherIsMissing) {
  RawImage raw = clockImage(2.25f, true, 1);
  raw->memoryFeedbackDivPtr = {};
  raw.at(kCoreDiv, {0x11});
  raw->setClocks(200, 183);
  EXPECT_EQ(raw->bytes[kCoreDiv], 0x11);
  EXPECT_EQ(raw->wordAt(kPll + 10), 20000);
  EXPECT_DOUBLE_EQ(raw->realMemoryClock(), 0.0);
}

TEST(SetClocks, WritesNoWordWithoutAPllTable) {
  RawImage raw = clockImage(2.25f, true, 1);
  raw->defaultCoreClock = {};
  raw->defaultMemoryClock = {};
  raw.word(kPll + 8, 0x1234);
  raw->setClocks(200, 183);
  EXPECT_EQ(raw->wordAt(kPll + 8), 0x1234);
  EXPECT_EQ(raw->bytes[kCoreDiv], 89);
}

TEST(SetClocks, EffectiveClockFollowsTheBiosKindNotTheCode) {
  // A DDR BIOS reads about twice the set memory clock for either code; an
  // SDR BIOS about the set clock itself. Truncating the divider loses up to
  // one step, doubled where the clock was halved before the division.
  for (uint8_t type : {uint8_t{1}, uint8_t{2}}) {
    RawImage ddr = clockImage(2.25f, true, type);
    ddr->setClocks(200, 183);
    EXPECT_NEAR(ddr->effectiveMemoryClock(), 366.0, 2.25);
    RawImage sdr = clockImage(2.25f, false, type);
    sdr->setClocks(200, 183);
    EXPECT_NEAR(sdr->effectiveMemoryClock(), 183.0, 2 * 2.25);
  }
}

}  // namespace
}  // namespace varnel
