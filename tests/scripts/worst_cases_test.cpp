// The benchmark's worst cases are valid images that really exercise the
// scans they are named after.
#include <gtest/gtest.h>

#include "image/bios_image.h"
#include "scripts/type2_scripts.h"
#include "support/worst_cases.h"

namespace varnel {
namespace {

TEST(WorstCases, LoadAndKeepSoundChecksums) {
  for (const test::NamedImage& image : test::loadBenchmarkImages()) {
    int code = -1;
    auto loaded = test::loadImage(image.bytes, &code);
    EXPECT_EQ(code, kValid) << image.name;
    EXPECT_TRUE(loaded->checksumsValid()) << image.name;
  }
}

TEST(WorstCases, EachFillsWhatItIsNamedAfter) {
  auto type1 = test::loadImage(test::worstCaseImage(test::WorstCase::kType1CallSites));
  EXPECT_EQ(type1->scriptOffsets.count, kMaxScriptOffsets);
  auto type2 = test::loadImage(test::worstCaseImage(test::WorstCase::kType2CallSites));
  EXPECT_TRUE(findType2Scripts(*type2).found);
  auto fonts = test::loadImage(test::worstCaseImage(test::WorstCase::kFontPatterns));
  EXPECT_NE(fonts->font8x16Offset, 0);
  EXPECT_NE(fonts->altFont9x16Offset, 0);
}

}  // namespace
}  // namespace varnel
