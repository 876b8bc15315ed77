#include "image/image_fields.h"

#include <gtest/gtest.h>

#include <string>

#include "support/rom_builder.h"

namespace varnel {
namespace {

using test::Bytes;

Bytes bytesOf(const BiosImage& image) {
  return Bytes(image.bytes.begin(), image.bytes.begin() + image.length);
}

TEST(ImageFields, ReadWhatTheBuilderWrote) {
  test::RomSpec spec;
  spec.vendorId = 0x10DE;
  spec.dateTime = "1999/01/02 03:04";
  spec.tvMask = 0x5A;
  spec.tvMask2 = 0xA5;
  auto image = test::loadImage(test::buildRom(spec).bytes);
  EXPECT_EQ(vendorId(*image), 0x10DE);
  EXPECT_EQ(identifierPairSecondWord(*image), spec.secondId);
  EXPECT_EQ(dateTimeText(*image), spec.dateTime);
  EXPECT_EQ(tvSupportedMask(*image), 0x5A);
  EXPECT_EQ(tvSupportedMask2(*image), 0xA5);
}

TEST(ImageFields, TvOutputsReadTheirOwnBit) {
  struct Case {
    uint8_t outputs;
    bool crt, tv;
  };
  for (const Case& c : {Case{0x00, false, false}, Case{0x01, true, false}, Case{0x02, false, true},
                        Case{0x03, true, true}, Case{0xFC, false, false}}) {
    test::RomSpec spec;
    spec.tvOutputs = c.outputs;
    auto image = test::loadImage(test::buildRom(spec).bytes);
    EXPECT_EQ(isCrtOutputOn(*image), c.crt) << int{c.outputs};
    EXPECT_EQ(isTvOutputOn(*image), c.tv) << int{c.outputs};
  }
}

TEST(ImageFields, NoTvTableReadsAsAllOff) {
  test::RomSpec spec;
  spec.hasTvTable = false;
  auto image = test::loadImage(test::buildRom(spec).bytes);
  ASSERT_EQ(image->tvTableOffset, 0);
  // Where a table at offset 0 would hold its fields, every bit is set.
  for (int32_t pos : {kTvOutputsByte, kTvMaskByte, kTvMask2Byte})
    image->setByte(pos, 0xFF);
  EXPECT_FALSE(isCrtOutputOn(*image));
  EXPECT_FALSE(isTvOutputOn(*image));
  EXPECT_EQ(tvSupportedMask(*image), 0);
  EXPECT_EQ(tvSupportedMask2(*image), 0);
}

TEST(ImageFields, SetVendorIdWritesTheHeaderAndItsCopyOnly) {
  test::RomSpec spec;
  const test::BuiltRom rom = test::buildRom(spec);
  auto image = test::loadImage(rom.bytes);
  setVendorId(*image, 0xABCD);
  const Bytes edited = bytesOf(*image);
  int changed = 0;
  for (size_t i = 0; i < edited.size(); ++i)
    changed += edited[i] != rom.bytes[i];
  EXPECT_EQ(changed, 4);
  EXPECT_EQ(test::getWord(edited, static_cast<size_t>(spec.idCopyOffset)), 0xABCD);
  // Loaded again, the header holds the new ID and its copy is still found.
  auto again = test::loadImage(edited);
  EXPECT_EQ(vendorId(*again), 0xABCD);
  EXPECT_EQ(again->pciIdCopyOffset, spec.idCopyOffset);
}

// Each listed name stands for its own code, and codes next to the list have none.
TEST(ImageFields, MemoryChoicesMapCodesAndNames) {
  for (int code = 1; code <= static_cast<int>(kMemoryTypeNames.size()); ++code) {
    ASSERT_NE(memoryTypeName(code), nullptr) << code;
    EXPECT_EQ(memoryTypeCode(memoryTypeName(code)), code);
  }
  EXPECT_EQ(std::string(memoryTypeName(1)), "DDR");
  EXPECT_EQ(std::string(casName(1)), "CAS1 (Ultra)");
  for (int unlisted : {0, -1, static_cast<int>(kMemoryTypeNames.size()) + 1})
    EXPECT_EQ(memoryTypeName(unlisted), nullptr) << unlisted;
  for (int unlisted : {0, -1, static_cast<int>(kCasNames.size()) + 1})
    EXPECT_EQ(casName(unlisted), nullptr) << unlisted;
  EXPECT_EQ(memoryTypeCode("ddr"), std::nullopt);
  EXPECT_EQ(memoryTypeCode(""), std::nullopt);
}

}  // namespace
}  // namespace varnel
