// Real BIOS images dumped from cards, where the shared test data is present.
#include <gtest/gtest.h>

#include "image/bios_image.h"
#include "image/validation.h"
#include "support/test_paths.h"

namespace varnel {
namespace {

std::unique_ptr<BiosImage> loadReal(const std::string& name, int* code) {
  const auto dir = test::testDataDir();
  if (!dir) return nullptr;
  return test::loadImage(test::readFile(*dir + "/roms/" + name), code);
}

#define SKIP_WITHOUT_TESTDATA(image) \
  if (!(image)) GTEST_SKIP() << "no shared test data (../shared/testdata or $VARNEL_TESTDATA)"

// The Radeon 9500/9600 images belong to a later family: another text follows
// the date text, so the configuration text is not where the header says.
// Their checksum blocks still follow the hash and sum rules exactly.
class LaterFamilyImage : public testing::TestWithParam<const char*> {};

TEST_P(LaterFamilyImage, IsRefusedButItsChecksumBlockFollowsTheRules) {
  int code = -1;
  auto image = loadReal(GetParam(), &code);
  SKIP_WITHOUT_TESTDATA(image);
  EXPECT_EQ(code, kBadStructure);
  EXPECT_EQ(findStructureFault(*image), StructureFault::kConfigTextMisplaced);
  EXPECT_NE(std::string(refusalReason(*image, code)).find("later ATI family"), std::string::npos);
  ASSERT_NE(image->checksumBlockOffset, 0);
  EXPECT_EQ(image->dwordAt(image->hashSlotA), image->imageHash);
  EXPECT_EQ(image->dwordAt(image->hashSlotB), image->imageHash);
  EXPECT_EQ(image->byteSum & 0xFF, 0);
  EXPECT_EQ(image->byteAt(image->sumFieldA.offset + 1), image->byteSum >> 8);
  EXPECT_EQ(image->byteAt(image->sumFieldB.offset + 1), image->byteSum >> 8);
  EXPECT_TRUE(image->checksumsValid());
}

INSTANTIATE_TEST_SUITE_P(Radeon, LaterFamilyImage,
                         testing::Values("Connect3D.9500NP.128.Infineon30.021212.rom",
                                         "Sapphire.9600PRO.128.Samsung28.030829.rom"));

TEST(RealImage, Rage128PassesValidationButNotItsHash) {
  int code = -1;
  auto image = loadReal("Rage128progl_zerostate.VBI", &code);
  SKIP_WITHOUT_TESTDATA(image);
  EXPECT_EQ(code, kValid);
  EXPECT_EQ(image->length, 49152);
  EXPECT_FALSE(image->checksumsValid());
  EXPECT_NE(image->dwordAt(image->hashSlotA), image->imageHash);
}

TEST(RealImage, Rage128RepairedPassesBothChecks) {
  int code = -1;
  auto image = loadReal("Rage128progl_zerostate.VBI", &code);
  SKIP_WITHOUT_TESTDATA(image);
  image->repairChecksums();
  test::Bytes saved(image->bytes.begin(), image->bytes.begin() + image->length);
  auto again = test::loadImage(saved, &code);
  EXPECT_EQ(code, kValid);
  EXPECT_TRUE(again->checksumsValid());
}

}  // namespace
}  // namespace varnel
