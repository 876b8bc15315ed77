// Thousands of random edit sequences on random valid images, each saved and
// loaded again: the load succeeds with sound checksums, and only the bytes
// the edits and the repair may touch have changed.
#include <gtest/gtest.h>

#include <random>
#include <set>

#include "support/editor_fixture.h"
#include "support/random_rom.h"

namespace varnel {
namespace {

using namespace ui;
using test::Bytes;

// One random thing a user does with the window, when the control allows it.
void randomAction(HeadlessControls& c, std::mt19937& random) {
  auto enabled = [&](int id) { return c.isEnabled(id); };
  auto choose = [&](int id) {
    if (enabled(id) && c.itemCount(id) > 0)
      c.choose(id, static_cast<int>(random() % c.itemCount(id)));
  };
  switch (random() % 12) {
    case 0:
      c.drag(kIdCoreSlider, static_cast<int>(random() % 700));
      break;
    case 1:
      if (enabled(kIdMemorySlider)) c.drag(kIdMemorySlider, static_cast<int>(random() % 700));
      break;
    case 2:
      c.type(kIdCoreEdit, std::to_string(random() % 1000));
      break;
    case 3:
      if (enabled(kIdMemoryEdit)) c.typeKeys(kIdMemoryEdit, std::to_string(random() % 10));
      break;
    case 4:
      c.click(kIdSyncClocks);
      break;
    case 5:
      choose(kIdMemoryType);
      break;
    case 6:
      choose(kIdCas);
      break;
    case 7:
      if (enabled(kIdUnsupportedTv)) c.click(kIdUnsupportedTv);
      break;
    case 8:
      choose(kIdTvStandard);
      break;
    case 9:
      if (enabled(kIdCrtOn)) c.click(random() % 2 ? kIdCrtOn : kIdTvOn);
      break;
    case 10:
      c.pressEnter();  // takes a typed clock, if the focus is in one
      break;
    default:
      choose(kIdVendor);
      break;
  }
}

// The bytes that edits and the repair may change in this image.
std::set<size_t> changeableBytes(const BiosImage& loaded) {
  std::set<size_t> bytes;
  auto add = [&](int64_t from, int64_t count) {
    for (int64_t i = 0; i < count; ++i)
      bytes.insert(static_cast<size_t>(from + i));
  };
  if (loaded.defaultCoreClock) add(loaded.defaultCoreClock.offset, 2);
  if (loaded.defaultMemoryClock) add(loaded.defaultMemoryClock.offset, 2);
  if (loaded.coreFeedbackDivPtr) add(loaded.coreFeedbackDivPtr.offset, 1);
  if (loaded.memoryFeedbackDivPtr) add(loaded.memoryFeedbackDivPtr.offset, 1);
  // Configuration bytes: those a patch with every bit set would change.
  auto probe = std::make_unique<BiosImage>(loaded);
  probe->memoryType = 15;
  probe->casIndex = 15;
  probe->patchMemoryConfig();
  for (int32_t p = 0; p < loaded.length; ++p) {
    if (probe->bytes[static_cast<size_t>(p)] != loaded.bytes[static_cast<size_t>(p)]) add(p, 1);
  }
  if (loaded.tvTableOffset != 0) {
    add(loaded.tvTableOffset + 7, 1);
    add(loaded.tvTableOffset + 9, 3);
  }
  add(loaded.headerOffset + 0x1C, 2);
  add(loaded.pciIdCopyOffset, 2);
  add(loaded.checksumBlockOffset, 64);
  add(loaded.length - 1, 1);
  return bytes;
}

class EditProperty : public test::EditorFixture {};

TEST_F(EditProperty, RandomEditsSaveAndLoadSound) {
  platform.filesInMemory = true;
  writeVendorList("10DE NVIDIA Corporation\n1002 ATI Technologies Inc.\n121A 3dfx Interactive\n");
  startUp();
  std::mt19937 random(20261207);
  for (int round = 0; round < 2000; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const Bytes original = test::buildRom(test::randomRomSpec(random)).bytes;
    platform.memoryFiles["in.rom"] = original;
    editor->LoadBiosFile("in.rom", false);
    ASSERT_TRUE(editor->document.isOpen())
        << (platform.messages.empty() ? "" : platform.messages[0].text);
    const std::set<size_t> changeable = changeableBytes(editor->image);
    const int actions = 1 + static_cast<int>(random() % 10);
    for (int a = 0; a < actions; ++a)
      randomAction(controls, random);
    platform.answerFile("out.rom");
    controls.click(kIdSave);
    ASSERT_TRUE(platform.messages.empty()) << platform.messages[0].text;
    const Bytes& saved = platform.memoryFiles["out.rom"];
    ASSERT_EQ(saved.size(), original.size());
    int code = -1;
    auto again = test::loadImage(saved, &code);
    ASSERT_EQ(code, kValid);
    ASSERT_TRUE(again->checksumsValid());
    for (size_t p = 0; p < saved.size(); ++p) {
      if (saved[p] != original[p]) {
        ASSERT_TRUE(changeable.count(p)) << "offset " << p;
      }
    }
  }
}

}  // namespace
}  // namespace varnel
