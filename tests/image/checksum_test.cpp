#include <gtest/gtest.h>

#include <random>

#include "document/image_loading.h"
#include "image/bios_image.h"
#include "support/rom_builder.h"

namespace varnel {
namespace {

using test::BuiltRom;
using test::Bytes;

Bytes imageBytes(const BiosImage& image) {
  return Bytes(image.bytes.begin(), image.bytes.begin() + image.length);
}

// A fresh load of what a repaired image would save.
std::unique_ptr<BiosImage> reload(const BiosImage& image, int* code = nullptr) {
  return test::loadImage(imageBytes(image), code);
}

size_t fieldA(const test::RomLayout& layout) {
  return static_cast<size_t>(layout.checksumBlockOffset) + 0x08;
}
size_t fieldB(const test::RomLayout& layout) {
  return static_cast<size_t>(layout.checksumBlockOffset) + 0x28;
}

// Raises one byte and lowers the next, leaving the byte sum as it was;
// returns the position of the raised byte.
size_t shiftKeepingSum(Bytes& bytes, size_t from) {
  size_t p = from;
  while (bytes[p] == 0xFF || bytes[p + 1] == 0x00)
    ++p;
  ++bytes[p];
  --bytes[p + 1];
  return p;
}

void storeHashCopies(Bytes& bytes, const test::RomLayout& layout) {
  const auto block = static_cast<size_t>(layout.checksumBlockOffset);
  test::putDword(bytes, block, 0);
  test::putDword(bytes, block + 0x20, 0);
  const uint32_t hash = test::referenceHash(bytes);
  test::putDword(bytes, block, hash);
  test::putDword(bytes, block + 0x20, hash);
}

// A 32 KiB image (no upper part) whose byte sum, once the repair has
// cleared the sum fields and stored the hash, is exactly `sum`; the sum
// fields' high bytes differ so that the repair must rebuild them. The sum
// is tuned with pairs of equal bytes 32 apart, which leave the hash alone.
BuiltRom imageWithClearedSum(uint16_t sum) {
  test::RomSpec spec;
  spec.sizeBlocks = 0x40;
  BuiltRom rom = test::buildRom(spec);
  Bytes& b = rom.bytes;
  for (size_t field : {fieldA(rom.layout), fieldB(rom.layout)})
    test::putDword(b, field, 0x000000FF);
  std::vector<size_t> pairs;
  for (size_t k = 0; k < 130; ++k)
    pairs.push_back(0x6000 + k / 32 * 64 + k % 32);
  for (size_t p : pairs)
    b[p] = b[p + 32] = 0;
  storeHashCopies(b, rom.layout);
  if ((sum - test::referenceSum(b)) & 1) {
    ++b[static_cast<size_t>(rom.layout.spareByte)];
    storeHashCopies(b, rom.layout);
  }
  int32_t half = static_cast<uint16_t>(sum - test::referenceSum(b)) / 2;
  for (size_t p : pairs) {
    const auto value = static_cast<uint8_t>(std::min(half, 255));
    b[p] = b[p + 32] = value;
    half -= value;
  }
  b[fieldA(rom.layout) + 1] = 0x01;  // the fields disagree: no shortcut
  b[fieldA(rom.layout)] = 0xFE;      // and the sum stays
  return rom;
}

// The sum-field bytes a rebuild writes for a given byte sum of the image with
// both sum fields cleared.
struct SumFieldRow {
  uint16_t sumWithClearedFields;
  uint8_t high;
  uint8_t balance;
  uint16_t resultingSum;
  uint8_t fieldA2, fieldA3, fieldB2, fieldB3;
};

class RepairRebuildsSumFields : public testing::TestWithParam<SumFieldRow> {};

TEST_P(RepairRebuildsSumFields, ForTheSumOfTheClearedImage) {
  const SumFieldRow& row = GetParam();
  BuiltRom rom = imageWithClearedSum(row.sumWithClearedFields);
  auto image = test::loadImage(rom.bytes);
  ASSERT_EQ(image->length, 32768);
  image->repairChecksums();
  const size_t a = fieldA(rom.layout);
  const size_t b = fieldB(rom.layout);
  EXPECT_EQ(image->bytes[a + 1], row.high);
  EXPECT_EQ(image->bytes[b + 1], row.high);
  EXPECT_EQ(image->bytes[a], row.balance);
  EXPECT_EQ(image->bytes[b], row.balance);
  EXPECT_EQ(image->bytes[a + 2], row.fieldA2);
  EXPECT_EQ(image->bytes[a + 3], row.fieldA3);
  EXPECT_EQ(image->bytes[b + 2], row.fieldB2);
  EXPECT_EQ(image->bytes[b + 3], row.fieldB3);
  EXPECT_EQ(image->byteSum, row.resultingSum);
  EXPECT_TRUE(image->checksumsValid());
  EXPECT_TRUE(reload(*image)->checksumsValid());
}

INSTANTIATE_TEST_SUITE_P(
    Sums, RepairRebuildsSumFields,
    testing::Values(SumFieldRow{0x1234, 0x12, 0xD3, 0x1200, 0, 0, 0, 0},
                    SumFieldRow{0x12F0, 0x13, 0xF4, 0x1300, 0, 0, 0, 0},
                    SumFieldRow{0xFDFE, 0xFF, 0x81, 0xFF00, 0, 0, 0, 0},
                    SumFieldRow{0xFE10, 0x00, 0xF7, 0x0000, 0x80, 0x80, 0x80, 0x80},
                    SumFieldRow{0x1235, 0x12, 0xD1, 0x1200, 0x01, 0x02, 0, 0}));

TEST(RepairChecksums, KeepsMatchingSumFieldsAndRewritesTheHash) {
  // Find a sum-keeping change whose new hash has the same byte sum as the
  // old one: then only the hash copies need rewriting.
  const BuiltRom rom = test::buildRom();
  const auto block = static_cast<size_t>(rom.layout.checksumBlockOffset);
  auto hashByteSum = [](uint32_t h) {
    return (h & 0xFF) + (h >> 8 & 0xFF) + (h >> 16 & 0xFF) + (h >> 24);
  };
  const uint32_t oldSum = hashByteSum(test::getDword(rom.bytes, block));
  std::mt19937 random(7);
  Bytes changed;
  for (int attempt = 0; attempt < 20000 && changed.empty(); ++attempt) {
    changed = rom.bytes;
    const size_t p = 0x2000 + random() % 0x4000;
    const size_t q = p + 1 + random() % 64;
    const int delta = static_cast<int>(random() % 200) - 100;
    const int newP = changed[p] + delta;
    const int newQ = changed[q] - delta;
    if (delta == 0 || newP < 0 || newP > 255 || newQ < 0 || newQ > 255) {
      changed.clear();
      continue;
    }
    changed[p] = static_cast<uint8_t>(newP);
    changed[q] = static_cast<uint8_t>(newQ);
    const uint32_t newHash = test::referenceHash(changed);
    if (newHash == test::getDword(rom.bytes, block) || hashByteSum(newHash) != oldSum) {
      changed.clear();
    }
  }
  ASSERT_FALSE(changed.empty());
  auto image = test::loadImage(changed);
  ASSERT_FALSE(image->checksumsValid());
  image->repairChecksums();
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(image->bytes[block + 8 + i], rom.bytes[block + 8 + i]);
    EXPECT_EQ(image->bytes[block + 0x28 + i], rom.bytes[block + 0x28 + i]);
  }
  EXPECT_NE(image->dwordAt(image->hashSlotA), test::getDword(rom.bytes, block));
  EXPECT_TRUE(image->checksumsValid());
  EXPECT_TRUE(reload(*image)->checksumsValid());
}

// Hash copies that differ on entry cancel no longer; the repair must then
// rebuild everything even though the sum fields still match.
TEST(RepairChecksums, RebuildsWhenTheHashCopiesDifferedOnEntry) {
  BuiltRom rom = test::buildRom();
  const auto slotA = static_cast<size_t>(rom.layout.checksumBlockOffset);
  ASSERT_LT(shiftKeepingSum(rom.bytes, slotA), slotA + 3);
  auto image = test::loadImage(rom.bytes);
  ASSERT_EQ(image->byteSum, test::referenceSum(rom.bytes));
  image->repairChecksums();
  EXPECT_TRUE(image->checksumsValid());
  EXPECT_TRUE(reload(*image)->checksumsValid());
}

TEST(RepairChecksums, BalancesTheUpperPartOfLongImages) {
  test::RomSpec spec;
  spec.sizeBlocks = 0x41;  // 33280 bytes
  BuiltRom rom = test::buildRom(spec);
  rom.bytes[0x8100] = static_cast<uint8_t>(rom.bytes[0x8100] + 7);
  auto image = test::loadImage(rom.bytes);
  const uint8_t before = image->bytes[0x81FF];
  image->repairChecksums();
  EXPECT_EQ(image->bytes[0x81FF], static_cast<uint8_t>(before - 7));
  uint32_t upper = 0;
  for (int32_t p = 0x8000; p < 0x8200; ++p)
    upper += image->bytes[static_cast<size_t>(p)];
  EXPECT_EQ(upper & 0xFF, 0u);
  EXPECT_TRUE(reload(*image)->checksumsValid());
}

TEST(RepairChecksums, LeavesA32KiBImageOutsideTheBlockAlone) {
  test::RomSpec spec;
  spec.sizeBlocks = 0x40;
  BuiltRom rom = test::buildRom(spec);
  rom.bytes[0x7FFF] = static_cast<uint8_t>(rom.bytes[0x7FFF] + 1);
  auto image = test::loadImage(rom.bytes);
  image->repairChecksums();
  EXPECT_EQ(image->bytes[0x7FFF], rom.bytes[0x7FFF]);
  EXPECT_TRUE(image->checksumsValid());
}

TEST(RepairChecksums, SixtyFourKiBImageEndsWithBothHalvesBalanced) {
  test::RomSpec spec;
  spec.sizeBlocks = 0x80;
  BuiltRom rom = test::buildRom(spec);
  rom.bytes[0x9000] ^= 0x5A;
  rom.bytes[0x300] ^= 0xA5;
  auto image = test::loadImage(rom.bytes);
  image->repairChecksums();
  uint32_t lower = 0, upper = 0;
  for (int32_t p = 0; p < 0x8000; ++p)
    lower += image->bytes[static_cast<size_t>(p)];
  for (int32_t p = 0x8000; p < 0x10000; ++p)
    upper += image->bytes[static_cast<size_t>(p)];
  EXPECT_EQ(lower & 0xFF, 0u);
  EXPECT_EQ(upper & 0xFF, 0u);
}

// Moves the checksum block to the very end of a 48 KiB image, so that the
// last image byte lies inside its last fixed word.
Bytes imageWithBlockAtTheEnd() {
  BuiltRom rom = test::buildRom();
  Bytes& b = rom.bytes;
  const auto block = b.size() - 64;
  for (size_t i = 0; i < 64; ++i)
    b[block + i] = b[static_cast<size_t>(rom.layout.checksumBlockOffset) + i];
  test::putWord(b, static_cast<size_t>(rom.layout.headerOffset) + 0x0E,
                static_cast<uint16_t>(block));
  b[0x8000] ^= 0x11;  // unbalance the upper part
  return b;
}

TEST(RepairChecksums, KeepsTheLastByteWhenItBelongsToTheChecksumBlock) {
  auto image = test::loadImage(imageWithBlockAtTheEnd());
  ASSERT_EQ(validateImage(*image), kValid);
  image->repairChecksums();
  EXPECT_EQ(image->bytes[static_cast<size_t>(image->length) - 1], 0xFF);
  int code = -1;
  auto again = reload(*image, &code);
  EXPECT_EQ(code, kValid);
  EXPECT_TRUE(again->checksumsValid());
}

TEST(RepairChecksums, KeepsTheLastByteWhenItIsTheDeviceId) {
  BuiltRom rom = test::buildRom();
  Bytes& b = rom.bytes;
  const size_t pci = b.size() - 8;
  for (size_t i = 0; i < 8; ++i)
    b[pci + i] = b[static_cast<size_t>(rom.layout.pciDataOffset) + i];
  test::putWord(b, 0x18, static_cast<uint16_t>(pci));
  b[0x8000] ^= 0x11;
  auto image = test::loadImage(b);
  ASSERT_EQ(validateImage(*image), kValid);
  image->repairChecksums();
  int code = -1;
  auto again = reload(*image, &code);
  EXPECT_EQ(code, kValid);
  EXPECT_TRUE(again->checksumsValid());
}

TEST(RepairChecksums, ASecondRepairChangesNothing) {
  BuiltRom rom = test::buildRom();
  rom.bytes[0x1234] ^= 0xFF;
  rom.bytes[0x9876] ^= 0x0F;
  auto image = test::loadImage(rom.bytes);
  image->repairChecksums();
  const Bytes once = imageBytes(*image);
  image->repairChecksums();
  EXPECT_EQ(imageBytes(*image), once);
}

TEST(ChecksumsValid, AnyChangedByteOutsideTheBlockIsNoticed) {
  const BuiltRom rom = test::buildRom();
  const auto block = static_cast<size_t>(rom.layout.checksumBlockOffset);
  for (size_t pos :
       {size_t{0x06}, size_t{0x90}, block - 1, block + 64, size_t{0x8000}, rom.bytes.size() - 1}) {
    Bytes changed = rom.bytes;
    changed[pos] ^= 0x01;
    auto image = test::loadImage(changed);
    EXPECT_FALSE(image->checksumsValid()) << "offset " << pos;
  }
}

TEST(ChecksumsValid, NeedsTheBlock) {
  auto image = std::make_unique<BiosImage>();
  EXPECT_FALSE(image->checksumsValid());
}

// Thousands of random mutations of valid images: whatever the bytes, a
// repair of an image that passed validation leaves a sound image that
// still passes validation, and a second repair changes nothing while the
// block lies below 0x8000.
TEST(RepairChecksums, RandomMutationsAlwaysEndSound) {
  std::mt19937 random(20261207);
  std::vector<BuiltRom> bases;
  for (int32_t blocks : {0x20, 0x40, 0x60, 0x80}) {
    test::RomSpec spec;
    spec.sizeBlocks = blocks;
    bases.push_back(test::buildRom(spec));
  }
  int repaired = 0;
  for (int round = 0; round < 3000; ++round) {
    const BuiltRom& base = bases[static_cast<size_t>(round) % bases.size()];
    Bytes bytes = base.bytes;
    const int changes = 1 + static_cast<int>(random() % 12);
    for (int c = 0; c < changes; ++c) {
      // Half of the changes hit the first 1 KiB, where the structures are.
      const size_t range = (random() & 1) ? 1024 : bytes.size();
      bytes[random() % range] = static_cast<uint8_t>(random());
    }
    auto image = test::loadImage(bytes);
    if (validateImage(*image) != kValid) continue;
    ++repaired;
    image->repairChecksums();
    ASSERT_TRUE(image->checksumsValid()) << "round " << round;
    int code = -1;
    auto again = reload(*image, &code);
    ASSERT_EQ(code, kValid) << "round " << round;
    ASSERT_TRUE(again->checksumsValid()) << "round " << round;
    if (image->checksumBlockOffset + 64 <= 0x8000) {
      const Bytes once = imageBytes(*image);
      image->repairChecksums();
      ASSERT_EQ(imageBytes(*image), once) << "round " << round;
    }
  }
  EXPECT_GT(repaired, 1000);
}

}  // namespace
}  // namespace varnel
