#include <gtest/gtest.h>

#include <set>
#include <string>

#include "image/bios_image.h"
#include "scripts/tv_table.h"
#include "support/raw_image.h"

namespace varnel {
namespace {

using test::RawImage;

constexpr int32_t kTv = 0x300;

// A record with a "$TV" table whose bytes +7, +9, +10 and +11 are given.
RawImage tvImage(uint8_t standard, uint8_t outputs, uint8_t mask, uint8_t mask2) {
  RawImage raw;
  raw.text(kTv, "$TV");
  raw.at(kTv + 7, {standard, 0x00, outputs, mask, mask2});
  raw->tvTableOffset = kTv;
  raw->tvStandard = standard & 0x0F;
  return raw;
}

TEST(TvTable, EveryCodeTheMaskCanMarkHasItsOwnName) {
  RawImage raw = tvImage(0, 0, 0xFF, 0xFF);
  std::set<std::string> names = {TvStandardNames[0]};
  for (int code = 1; code <= 15; ++code) {
    if (!raw->isTvStandardSupported(code)) continue;
    ASSERT_LT(static_cast<size_t>(code), TvStandardNames.size()) << code;
    EXPECT_TRUE(names.insert(TvStandardNames[static_cast<size_t>(code)]).second) << code;
  }
  EXPECT_EQ(names.size(), TvStandardNames.size());
}

TEST(TvTable, SetStandardKeepsTheHighNibble) {
  RawImage raw = tvImage(0x53, 0, 0, 0);
  raw->setTvStandard(1);
  EXPECT_EQ(raw->bytes[kTv + 7], 0x51);
  EXPECT_EQ(raw->tvStandard, 1);
  raw->setTvStandard(0x1F);
  EXPECT_EQ(raw->bytes[kTv + 7], 0x5F);
  EXPECT_EQ(raw->tvStandard, 15);
}

TEST(TvTable, OutputBitsKeepTheOtherBits) {
  RawImage raw = tvImage(0, 0x83, 0, 0);
  raw->setCrtEnabled(false);
  EXPECT_EQ(raw->bytes[kTv + 9], 0x82);
  raw->setTvEnabled(false);
  EXPECT_EQ(raw->bytes[kTv + 9], 0x80);
  raw->setCrtEnabled(true);
  raw->setTvEnabled(true);
  EXPECT_EQ(raw->bytes[kTv + 9], 0x83);
}

TEST(TvTable, SupportedStandardsFromTheMask) {
  RawImage raw = tvImage(0, 0, 0x85, 0x00);
  struct Case {
    int code;
    bool supported;
  };
  for (const Case& c : {Case{-1, false}, Case{0, false}, Case{1, true}, Case{2, false},
                        Case{3, true}, Case{8, true}, Case{9, false}, Case{15, false}}) {
    EXPECT_EQ(raw->isTvStandardSupported(c.code), c.supported) << c.code;
  }
  RawImage all = tvImage(0, 0, 0xFF, 0xFF);
  EXPECT_FALSE(all->isTvStandardSupported(0));
}

TEST(TvTable, MaskUpdateBySaveChoice) {
  struct Case {
    int code;
    uint8_t mask, mask2;
  };
  for (const Case& c : {Case{3, 0x05, 0x04}, Case{0, 0x01, 0x00}, Case{9, 0x01, 0x00},
                        Case{-1, 0xFF, 0xFF}, Case{8, 0x81, 0x80}}) {
    RawImage raw = tvImage(0, 0, 0x01, 0x00);
    raw->updateSupportedTvMask(c.code);
    EXPECT_EQ(raw->bytes[kTv + 10], c.mask) << c.code;
    EXPECT_EQ(raw->bytes[kTv + 11], c.mask2) << c.code;
  }
}

TEST(TvTable, WithoutATableNothingChanges) {
  RawImage raw;
  raw.at(0x300, {0x11, 0x22, 0x33, 0x44});
  const auto before = raw->bytes;
  raw->setTvStandard(2);
  raw->setCrtEnabled(false);
  raw->setTvEnabled(true);
  raw->updateSupportedTvMask(-1);
  EXPECT_EQ(raw->bytes, before);
  EXPECT_EQ(raw->tvStandard, 0);
  for (int code = 0; code < 16; ++code)
    EXPECT_FALSE(raw->isTvStandardSupported(code));
}

}  // namespace
}  // namespace varnel
