// Undo, redo and revert in the window: every user action is one step, and
// the window shows each state of the history exactly as it showed it.
#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include "support/editor_fixture.h"
#include "support/vga_fonts.h"

namespace varnel {
namespace {

using namespace ui;
using test::EditorFixture;

struct UserAction {
  const char* name;
  std::function<void(HeadlessControls&)> act;
};

const UserAction kActions[] = {
    {"drag core", [](HeadlessControls& c) { c.drag(kIdCoreSlider, 300); }},
    {"typed memory",
     [](HeadlessControls& c) {
       c.typeKeys(kIdMemoryEdit, "0");  // 2700: beyond the range, clamped when taken
       c.pressEnter();
     }},
    {"typed then left",
     [](HeadlessControls& c) {
       c.type(kIdCoreEdit, "183");
       c.focus(kIdCoreSlider);
     }},
    {"sync", [](HeadlessControls& c) { c.click(kIdSyncClocks); }},
    {"memory type", [](HeadlessControls& c) { c.choose(kIdMemoryType, 1); }},
    {"CAS", [](HeadlessControls& c) { c.choose(kIdCas, 2); }},
    {"TV standard", [](HeadlessControls& c) { c.choose(kIdTvStandard, 2); }},
    {"CRT off", [](HeadlessControls& c) { c.click(kIdCrtOn); }},
    {"every standard", [](HeadlessControls& c) { c.click(kIdUnsupportedTv); }},
    {"vendor", [](HeadlessControls& c) { c.choose(kIdVendor, 1); }},
};

class History : public EditorFixture, public testing::WithParamInterface<UserAction> {
 protected:
  // What the window shows, without the history's own buttons.
  std::string shown() const {
    std::istringstream lines(windowState());
    std::string kept, line;
    while (std::getline(lines, line)) {
      const int id = std::stoi(line);
      if (id != kIdUndo && id != kIdRedo && id != kIdRevert) kept += line + "\n";
    }
    return kept;
  }
  bool enabled(int id) const { return controls.isEnabled(id); }
};

TEST_P(History, EveryActionIsOneStepTheWindowShowsBackAndForth) {
  writeVendorList("10DE NVIDIA Corporation\n1002 ATI Technologies Inc.\n");
  load(test::buildRom().bytes);
  const std::string loaded = shown();
  EXPECT_FALSE(enabled(kIdUndo));
  EXPECT_FALSE(enabled(kIdRedo));
  EXPECT_FALSE(enabled(kIdRevert));

  GetParam().act(controls);
  controls.focus(kIdCoreSlider);  // whatever was typed is taken
  const std::string edited = shown();
  ASSERT_NE(edited, loaded);
  EXPECT_TRUE(enabled(kIdUndo));
  EXPECT_TRUE(enabled(kIdRevert));

  controls.click(kIdUndo);
  EXPECT_EQ(shown(), loaded);
  EXPECT_FALSE(editor->HasUnsavedChanges());
  EXPECT_FALSE(enabled(kIdUndo));
  EXPECT_TRUE(enabled(kIdRedo));
  EXPECT_FALSE(enabled(kIdRevert));
  controls.click(kIdRedo);
  EXPECT_EQ(shown(), edited);

  controls.click(kIdRevert);
  EXPECT_EQ(shown(), loaded);
  controls.click(kIdUndo);
  EXPECT_EQ(shown(), edited);
}

INSTANTIATE_TEST_SUITE_P(Actions, History, testing::ValuesIn(kActions),
                         [](const testing::TestParamInfo<UserAction>& info) {
                           std::string name = info.param.name;
                           for (char& c : name) {
                             if (c == ' ') c = '_';
                           }
                           return name;
                         });

// A font import is a step too; a new image starts a new history.
TEST_F(EditorFixture, FontImportIsUndoneAndALoadStartsAfresh) {
  load(test::buildRom().bytes);
  const test::Bytes before = imageBytes();
  test::writeFile(work.file("font.fnt"),
                  test::Bytes(test::kVgaFont8x16.begin(), test::kVgaFont8x16.end()));
  platform.answerFile(work.file("font.fnt"));
  controls.click(kIdLoad8x16);
  ASSERT_NE(imageBytes(), before);
  controls.click(kIdUndo);
  EXPECT_EQ(imageBytes(), before);
  controls.click(kIdRedo);
  load(test::buildRom().bytes, "other.rom");
  EXPECT_FALSE(controls.isEnabled(kIdUndo));
  EXPECT_FALSE(controls.isEnabled(kIdRedo));
}

}  // namespace
}  // namespace varnel
