#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "document/image_loading.h"
#include "image/bios_image.h"
#include "support/raw_image.h"
#include "support/rom_builder.h"

namespace varnel {
namespace {

using test::Bytes;

using test::RawImage;

// A record with `length` bytes read whose size byte declares `sizeBlocks`.
RawImage rawImage(int32_t length, uint8_t sizeBlocks) {
  RawImage image(length);
  image.at(2, {sizeBlocks});
  return image;
}

TEST(ImageHash, OfThreeBytesByHand) {
  auto image = std::make_unique<BiosImage>();
  image->bytes[0] = 'a';
  image->bytes[1] = 'b';
  image->bytes[2] = 'c';
  EXPECT_EQ(image->computeImageHash(3), 0x123u);
  EXPECT_EQ(image->computeByteSum(3), 0x126);
}

TEST(ImageHash, MatchesItsDefinitionOnABuiltImage) {
  const test::BuiltRom rom = test::buildRom();
  auto image = test::loadImage(rom.bytes);
  EXPECT_EQ(image->computeImageHash(image->length), test::referenceHash(rom.bytes));
  EXPECT_EQ(image->computeByteSum(image->length), test::referenceSum(rom.bytes));
}

TEST(ScriptOffsetSet, KeepsDistinctNonZeroOffsetsSorted) {
  ScriptOffsetSet set;
  for (uint16_t offset : {0x300, 0x100, 0, 0x200, 0x100, 0xFFFF})
    set.insert(offset);
  ASSERT_EQ(set.count, 4);
  EXPECT_EQ(set.offsets[0], 0x100);
  EXPECT_EQ(set.offsets[1], 0x200);
  EXPECT_EQ(set.offsets[2], 0x300);
  EXPECT_EQ(set.offsets[3], 0xFFFF);
  EXPECT_TRUE(set.contains(0x200));
  EXPECT_FALSE(set.contains(0x250));
  EXPECT_FALSE(set.contains(0));
  EXPECT_FALSE(set.contains(0xFFFE));
}

TEST(ScriptOffsetSet, DropsEverythingOnceFull) {
  ScriptOffsetSet set;
  for (uint16_t k = 1; k <= 40; ++k)
    set.insert(static_cast<uint16_t>(k * 0x100));
  ASSERT_EQ(set.count, 32);
  EXPECT_EQ(set.offsets[31], 32 * 0x100);
  set.insert(0x0050);  // smaller than every member, still dropped
  EXPECT_EQ(set.count, 32);
  EXPECT_FALSE(set.contains(0x0050));
  EXPECT_FALSE(set.contains(33 * 0x100));
}

TEST(Reset, RestoresEveryField) {
  const test::BuiltRom rom = test::buildRom();
  auto image = test::loadImage(rom.bytes);
  ASSERT_NE(image->headerOffset, 0);
  image->traceScripts = true;
  image->scriptTrace = "stale";
  image->reset();
  auto fresh = std::make_unique<BiosImage>();
  EXPECT_EQ(image->bytes, fresh->bytes);
  EXPECT_EQ(image->bytes[0], 0xFF);
  EXPECT_EQ(image->bytes[kMaxImageSize], 0);
  EXPECT_FALSE(image->traceScripts);
  EXPECT_EQ(image->scriptTrace, "");
  EXPECT_EQ(image->clockStepMHz, 2.25f);
  EXPECT_EQ(image->scriptOffsets.count, 0);
  EXPECT_EQ(image->length, 0);
  EXPECT_EQ(image->headerOffset, 0);
  EXPECT_EQ(image->checksumBlockOffset, 0);
  EXPECT_FALSE(image->hashSlotA);
  EXPECT_FALSE(image->defaultCoreClock);
  EXPECT_FALSE(image->coreFeedbackDivPtr);
  EXPECT_EQ(image->memoryType, 0);
  EXPECT_EQ(image->font8x16Offset, 0);
  EXPECT_EQ(image->titleText(), "");
  EXPECT_TRUE(image->dateString.isNull());
  EXPECT_TRUE(image->configString.isNull());
}

TEST(ParseHeader, ClampsLengthToTheDeclaredSize) {
  RawImage image = rawImage(65536, 0x60);
  parseImage(*image);
  EXPECT_EQ(image->length, 49152);
}

TEST(ParseHeader, SizeByteZeroRejectsEveryOffsetButCopiesTheTitle) {
  RawImage image = rawImage(65536, 0);
  image.word(0x18, 0x100);
  image.word(0x48, 0x200);
  image.text(0x80, std::string("TITLE\0ATI Technologies Inc. x\0y", 32));
  parseImage(*image);
  EXPECT_EQ(image->length, 0);
  EXPECT_EQ(image->pciDataOffset, 0);
  EXPECT_EQ(image->headerOffset, 0);
  EXPECT_EQ(image->titleText(), "TITLE");
  EXPECT_EQ(image->dateString.offset, TextRef::kEmptyOutside);
  EXPECT_EQ(image->imageHash, 0u);
}

struct OffsetBound {
  const char* name;
  int32_t slot;       // where the offset is stored; header-relative when >= 0x1000
  int32_t tableSize;  // the table must fit: offset <= n - size
};

// Each table offset is accepted up to n - size and rejected one beyond.
class ParseHeaderBounds : public testing::TestWithParam<OffsetBound> {};

uint16_t locatedOffset(const BiosImage& image, const std::string& name) {
  if (name == "pci") return image.pciDataOffset;
  if (name == "header") return image.headerOffset;
  if (name == "checksum") return image.checksumBlockOffset;
  if (name == "pll") return image.pllInfoOffset;
  return image.tvTableOffset;
}

TEST_P(ParseHeaderBounds, AcceptsTheLastFittingOffsetOnly) {
  const OffsetBound& bound = GetParam();
  const int32_t n = 16384;
  for (int32_t delta : {0, 1}) {
    const auto offset = static_cast<uint16_t>(n - bound.tableSize + delta);
    RawImage image = rawImage(n, 0x20);
    if (bound.slot >= 0x1000) image.word(0x48, 0x1000);  // a header that itself fits
    image.word(bound.slot, offset);
    image.text(offset, "$TV");
    parseImage(*image);
    const uint16_t expected = delta == 0 ? offset : 0;
    EXPECT_EQ(locatedOffset(*image, bound.name), expected) << bound.name << " delta " << delta;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Tables, ParseHeaderBounds,
    testing::Values(OffsetBound{"pci", 0x18, 8}, OffsetBound{"header", 0x48, 86},
                    OffsetBound{"checksum", 0x1000 + 0x0E, 64},
                    OffsetBound{"pll", 0x1000 + 0x30, 32}, OffsetBound{"tv", 0x1000 + 0x32, 16}),
    [](const testing::TestParamInfo<OffsetBound>& info) { return std::string(info.param.name); });

TEST(ParseHeader, TvTableNeedsItsWholeSignature) {
  for (const char* signature : {"$TW", "#TV", "$UV"}) {
    test::BuiltRom rom = test::buildRom();
    std::memcpy(&rom.bytes[static_cast<size_t>(rom.layout.tvTableOffset)], signature, 3);
    auto image = test::loadImage(rom.bytes);
    EXPECT_EQ(image->tvTableOffset, 0) << signature;
    EXPECT_EQ(image->tvStandard, 0) << signature;
  }
}

TEST(ParseHeader, TvStandardIsTheLowNibbleOfByteSeven) {
  test::RomSpec spec;
  spec.tvStandardByte = 0x53;
  auto image = test::loadImage(test::buildRom(spec).bytes);
  EXPECT_EQ(image->tvStandard, 3);
}

TEST(ParseHeader, IdentifierCopyIsTheFirstMatchInItsWindow) {
  test::RomSpec spec;
  spec.idCopyOffset = 0x70;
  test::BuiltRom rom = test::buildRom(spec);
  test::putWord(rom.bytes, 0x6C, spec.vendorId);
  test::putWord(rom.bytes, 0x6E, spec.secondId);
  EXPECT_EQ(test::loadImage(rom.bytes)->pciIdCopyOffset, 0x6C);

  // A pair that starts at 0x7F lies beyond the window.
  spec.idCopyOffset = 0x7F;
  spec.title = "X";  // keeps 0x80.. clear of the pair's second word
  rom = test::buildRom(spec);
  test::putWord(rom.bytes, 0x7F, spec.vendorId);
  test::putWord(rom.bytes, 0x81, spec.secondId);
  EXPECT_EQ(test::loadImage(rom.bytes)->pciIdCopyOffset, 0);
}

TEST(ParseHeader, TitleKeepsPrintableBytesOnly) {
  RawImage image = rawImage(16384, 0x20);
  image.text(0x80, std::string("A\x0D"
                               "B\x0A"
                               "C\xA9\0",
                               7));
  parseImage(*image);
  EXPECT_EQ(image->titleText(), "ABC");
}

TEST(ParseHeader, TitleWithoutTerminatorStopsAfter1024Bytes) {
  RawImage image = rawImage(16384, 0x20);
  image.text(0x80, std::string(2000, 'T'));
  image.text(0x80 + 1030, std::string("ATI Technologies Inc. date\0", 27));
  parseImage(*image);
  EXPECT_EQ(image->titleText().size(), 1024u);
  // The vendor text search goes on from index 1024.
  EXPECT_EQ(image->text(image->dateString), "date");
}

TEST(ParseHeader, VendorTextIsSearchedAfterTheTitleOnly) {
  RawImage image = rawImage(16384, 0x20);
  image.text(0x80, std::string("ATI Technologies Inc. early\0rest", 32));
  parseImage(*image);
  EXPECT_EQ(image->dateString.offset, TextRef::kEmptyOutside);
  EXPECT_EQ(image->configString.offset, TextRef::kEmptyOutside);
  EXPECT_EQ(image->text(image->dateString), "");
  EXPECT_FALSE(image->isDdrBios);
}

// The vendor text search written plainly: every title index from the
// title's end up to 256 bytes before the image's end is compared.
int32_t plainDateOffset(const BiosImage& image) {
  const std::string_view vendor = "ATI Technologies Inc. ";
  int32_t t = 0;
  while (t < 1024 && image.bytes[0x80 + t] != 0)
    ++t;
  for (; t < image.length - 256; ++t) {
    const auto* at = reinterpret_cast<const char*>(&image.bytes[0x80 + t]);
    if (std::string_view(at, vendor.size()) == vendor) return 0x80 + t + 22;
  }
  return TextRef::kEmptyOutside;
}

TEST(ParseHeader, VendorTextSearchSameAsThePlainOne) {
  std::mt19937 random(1515);
  const std::string vendor = "ATI Technologies Inc. ";
  for (int round = 0; round < 400; ++round) {
    const int32_t blocks = 32 + static_cast<int32_t>(random() % 97);
    RawImage image = rawImage(blocks * 512, static_cast<uint8_t>(blocks));
    const int32_t n = blocks * 512;
    for (int32_t p = 3; p < n; ++p)
      (*image).bytes[static_cast<size_t>(p)] = static_cast<uint8_t>(0x20 + random() % 4);
    image.text(0x80 + static_cast<int32_t>(random() % 1100), std::string(1, '\0'));
    // Whole and cut texts, some right at the last index searched (n - 257
    // after the title's start) and one past it.
    for (int k = static_cast<int>(random() % 4); k > 0; --k) {
      const int32_t near = n - 258 + static_cast<int32_t>(random() % 3);
      const int32_t anywhere = static_cast<int32_t>(random() % (n - 0x80 - 300));
      const int32_t at = 0x80 + (random() % 2 ? near : anywhere);
      image.text(at, vendor.substr(0, random() % 3 ? 22 : random() % 22));
    }
    const int32_t expected = plainDateOffset(*image);
    parseImage(*image);
    EXPECT_EQ(image->dateString.offset, expected) << "round " << round;
  }
}

TEST(ParseHeader, DateAndConfigurationTextsFollowTheVendorText) {
  const test::BuiltRom rom = test::buildRom();
  auto image = test::loadImage(rom.bytes);
  EXPECT_EQ(image->text(image->dateString), test::RomSpec{}.dateText);
  EXPECT_EQ(image->configString.offset, rom.layout.configStringOffset);
  EXPECT_EQ(image->text(image->configString), "R250AGP DGD1UN");
}

TEST(ParseHeader, NinthConfigurationCharacterDecidesDdr) {
  struct Case {
    const char* config;
    bool ddr;
  };
  for (const Case& c : {Case{"R250AGP DGD1UN", true}, Case{"R250AGP dGD1UN", false},
                        Case{"R128AGP SGS1UN", false}, Case{"SHORT", false}}) {
    test::RomSpec spec;
    spec.configText = c.config;
    auto image = test::loadImage(test::buildRom(spec).bytes);
    EXPECT_EQ(image->isDdrBios, c.ddr) << c.config;
  }
}

// The date text may run to the very end of the buffer; nothing past the
// buffer may be read then, and the configuration text lies beyond the image.
TEST(ParseHeader, TextsAtTheEndOfTheBufferReadNothingOutside) {
  RawImage image = rawImage(65536, 0x80);
  const int32_t vendorAt = 65536 - 257 - 22;
  image.text(0x80, std::string("T\0", 2));
  image.text(vendorAt, "ATI Technologies Inc. ");
  std::memset(&(*image).bytes[static_cast<size_t>(vendorAt + 22)], 'x',
              static_cast<size_t>(65536 - vendorAt - 22));
  parseImage(*image);
  EXPECT_EQ(image->dateString.offset, vendorAt + 22);
  EXPECT_EQ(image->configString.offset, 65537);
  EXPECT_EQ(image->text(image->configString), "");
  EXPECT_FALSE(image->isDdrBios);

  // A configuration text starting 5 bytes before the end: its ninth
  // character would lie past the buffer and counts as no 'D'.
  (*image).bytes[65530] = 0;
  std::memset(&(*image).bytes[65531], 'D', 5);
  image->length = 65536;
  image->isDdrBios = false;
  parseImage(*image);
  EXPECT_EQ(image->configString.offset, 65531);
  EXPECT_FALSE(image->isDdrBios);
}

}  // namespace
}  // namespace varnel
