#include <gtest/gtest.h>

#include "image/bios_image.h"
#include "support/test_paths.h"

namespace varnel {
namespace {

TEST(SampleRom, CommittedCopyIsWhatTheBuilderMakes) {
  const test::Bytes committed = test::readFile(test::samplePath());
  EXPECT_TRUE(committed == test::buildRom().bytes)
      << "samples/sample.rom is stale: rebuild it with the sample-rom target";
}

TEST(SampleRom, IsValidWithSoundChecksums) {
  int code = -1;
  auto image = test::loadImage(test::readFile(test::samplePath()), &code);
  EXPECT_EQ(code, kValid);
  EXPECT_TRUE(image->checksumsValid());
}

}  // namespace
}  // namespace varnel
