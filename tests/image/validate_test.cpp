#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "image/bios_image.h"
#include "image/validation.h"
#include "support/rom_builder.h"

namespace varnel {
namespace {

using test::BuiltRom;
using test::Bytes;

TEST(Validate, AcceptsTheBuiltImage) {
  const BuiltRom rom = test::buildRom();
  int code = -1;
  auto image = test::loadImage(rom.bytes, &code);
  EXPECT_EQ(code, kValid);
  EXPECT_EQ(image->headerOffset, rom.layout.headerOffset);
  EXPECT_EQ(image->pciDataOffset, rom.layout.pciDataOffset);
  EXPECT_EQ(image->pciIdCopyOffset, 0x70);
  EXPECT_EQ(image->checksumBlockOffset, rom.layout.checksumBlockOffset);
  EXPECT_EQ(image->pllInfoOffset, rom.layout.pllInfoOffset);
  EXPECT_EQ(image->tvTableOffset, rom.layout.tvTableOffset);
  EXPECT_TRUE(image->checksumsValid());
}

TEST(Validate, SizeTestComesBeforeTheSignature) {
  const Bytes tiny(1000, 0x00);
  int code = -1;
  test::loadImage(tiny, &code);
  EXPECT_EQ(code, kTooShort);
}

TEST(Validate, DeclaredSizeMustHaveBeenRead) {
  test::RomSpec spec;
  spec.sizeBlocks = 0x20;
  BuiltRom rom = test::buildRom(spec);
  int code = -1;
  test::loadImage(rom.bytes, &code);
  EXPECT_EQ(code, kValid);
  rom.bytes[2] = 0x21;
  test::loadImage(rom.bytes, &code);
  EXPECT_EQ(code, kTooShort);
}

TEST(Validate, BytesBeyondTheDeclaredSizeTakeNoPart) {
  test::RomSpec spec;
  spec.sizeBlocks = 0x40;
  BuiltRom rom = test::buildRom(spec);
  rom.bytes.resize(65536, 0xA5);
  int code = -1;
  auto image = test::loadImage(rom.bytes, &code);
  EXPECT_EQ(code, kValid);
  EXPECT_EQ(image->length, 32768);
  EXPECT_TRUE(image->checksumsValid());
}

// One change to a sound image, and the code validate must then give.
struct Breakage {
  const char* name;
  std::function<void(Bytes&, const test::RomLayout&)> change;
  int code;
  StructureFault fault = StructureFault::kNone;
};

class ValidateRefuses : public testing::TestWithParam<Breakage> {};

TEST_P(ValidateRefuses, WithItsCode) {
  BuiltRom rom = test::buildRom();
  GetParam().change(rom.bytes, rom.layout);
  int code = -1;
  auto image = test::loadImage(rom.bytes, &code);
  EXPECT_EQ(code, GetParam().code);
  if (GetParam().code == kBadStructure) {
    EXPECT_EQ(findStructureFault(*image), GetParam().fault);
  }
}

void clearBit(Bytes& bytes, size_t pos) {
  bytes[pos] &= 0x7F;
}

INSTANTIATE_TEST_SUITE_P(
    Breakages, ValidateRefuses,
    testing::Values(Breakage{"SwappedSignature",
                             [](Bytes& b, const test::RomLayout&) {
                               b[0] = 0xAA;
                               b[1] = 0x55;
                             },
                             kNoRomSignature},
                    Breakage{"HeaderOutside",
                             [](Bytes& b, const test::RomLayout& l) {
                               test::putWord(b, 0x48, static_cast<uint16_t>(l.length - 85));
                             },
                             kBadStructure, StructureFault::kNoHeader},
                    Breakage{"PciDataOutside",
                             [](Bytes& b, const test::RomLayout& l) {
                               test::putWord(b, 0x18, static_cast<uint16_t>(l.length - 7));
                             },
                             kBadStructure, StructureFault::kNoPciData},
                    Breakage{"NoIdentifierCopy",
                             [](Bytes& b, const test::RomLayout&) { b[0x70] ^= 1; }, kBadStructure,
                             StructureFault::kNoIdentifierCopy},
                    Breakage{"PcirMisspelt",
                             [](Bytes& b, const test::RomLayout& l) {
                               b[static_cast<size_t>(l.pciDataOffset) + 3] = 'r';
                             },
                             kBadStructure, StructureFault::kNoPciSignature},
                    Breakage{"DeviceIdDiffers",
                             [](Bytes& b, const test::RomLayout& l) {
                               b[static_cast<size_t>(l.headerOffset) + 0x20] ^= 1;
                             },
                             kBadStructure, StructureFault::kDeviceIdMismatch},
                    Breakage{"ConfigTextElsewhere",
                             [](Bytes& b, const test::RomLayout& l) {
                               b[static_cast<size_t>(l.headerOffset) + 0x14] ^= 1;
                             },
                             kBadStructure, StructureFault::kConfigTextMisplaced},
                    Breakage{"NoVendorText",
                             [](Bytes& b, const test::RomLayout& l) {
                               b[static_cast<size_t>(l.configStringOffset) - 30] = '#';
                             },
                             kBadStructure, StructureFault::kConfigTextMisplaced},
                    Breakage{"SignatureTextUnterminated",
                             [](Bytes& b, const test::RomLayout&) { b[0x3A] = ' '; }, kBadStructure,
                             StructureFault::kNoSignatureText},
                    Breakage{"SignatureTextWrongDigit",
                             [](Bytes& b, const test::RomLayout&) { b[0x39] = '1'; }, kBadStructure,
                             StructureFault::kNoSignatureText},
                    Breakage{"PllTableOutside",
                             [](Bytes& b, const test::RomLayout& l) {
                               test::putWord(b, static_cast<size_t>(l.headerOffset) + 0x30,
                                             static_cast<uint16_t>(l.length - 31));
                             },
                             kNoPllTable},
                    Breakage{"NoChecksumBlock",
                             [](Bytes& b, const test::RomLayout& l) {
                               test::putWord(b, static_cast<size_t>(l.headerOffset) + 0x0E,
                                             static_cast<uint16_t>(l.length - 63));
                             },
                             kBadChecksumBlock},
                    Breakage{"FixedWord3CBitCleared",
                             [](Bytes& b, const test::RomLayout& l) {
                               clearBit(b, static_cast<size_t>(l.checksumBlockOffset) + 0x3F);
                             },
                             kBadChecksumBlock},
                    Breakage{"FixedWord04BitCleared",
                             [](Bytes& b, const test::RomLayout& l) {
                               b[static_cast<size_t>(l.checksumBlockOffset) + 0x04] = 0xFE;
                             },
                             kBadChecksumBlock},
                    Breakage{"ZeroWord38NotZero",
                             [](Bytes& b, const test::RomLayout& l) {
                               b[static_cast<size_t>(l.checksumBlockOffset) + 0x3A] = 0x01;
                             },
                             kBadChecksumBlock}),
    [](const testing::TestParamInfo<Breakage>& info) { return std::string(info.param.name); });

TEST(Validate, LocatesFontsEvenWithoutAChecksumBlock) {
  BuiltRom rom = test::buildRom();
  test::putWord(rom.bytes, static_cast<size_t>(rom.layout.headerOffset) + 0x0E, 0);
  int code = -1;
  auto image = test::loadImage(rom.bytes, &code);
  EXPECT_EQ(code, kBadChecksumBlock);
  EXPECT_EQ(image->font8x8Offset, rom.layout.font8x8Offset);
  EXPECT_EQ(image->font8x16Offset, rom.layout.font8x16Offset);
}

TEST(Validate, LocatesNoFontsWhenAnEarlierTestFails) {
  BuiltRom rom = test::buildRom();
  test::putWord(rom.bytes, static_cast<size_t>(rom.layout.headerOffset) + 0x30, 0xFFFF);
  int code = -1;
  auto image = test::loadImage(rom.bytes, &code);
  EXPECT_EQ(code, kNoPllTable);
  EXPECT_EQ(image->font8x8Offset, 0);
}

TEST(Validate, WritesNoImageByte) {
  const BuiltRom rom = test::buildRom();
  auto image = test::loadImage(rom.bytes);
  EXPECT_TRUE(std::equal(rom.bytes.begin(), rom.bytes.end(), image->bytes.begin()));
}

}  // namespace
}  // namespace varnel
