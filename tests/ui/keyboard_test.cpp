// The keyboard rules of the layout tables, and the headless controls
// following them as the Qt and Win32 windows do (the same table runs
// against those in their own tests).
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "support/keyboard_table.h"
#include "ui/dialog_template.h"
#include "ui/headless_controls.h"
#include "ui/keyboard.h"

namespace varnel::test {
namespace {

using namespace ui;

TEST(Mnemonic, IsTheCharacterAfterASingleAmpersand) {
  for (const auto& [caption, key] : std::map<std::string, char>{{"&Help", 'h'},
                                                                {"Cu&rrent", 'r'},
                                                                {"Load &8x8", '8'},
                                                                {"R&&D", 0},
                                                                {"R&&&D", 'd'},
                                                                {"Plain", 0},
                                                                {"Trailing&", 0}}) {
    EXPECT_EQ(mnemonicOf(caption), key) << caption;
  }
}

bool isButton(ControlKind kind) {
  return kind == ControlKind::kPushButton || kind == ControlKind::kDefaultButton ||
         kind == ControlKind::kCheckBox;
}

// In every window: no key reaches two controls, every button and check box
// has a key (but OK and Cancel, which Enter and Escape press), and a label's
// key names a control it can focus (a label just before a push button would
// press the button instead).
TEST(Mnemonic, EveryWindowsKeysAreUniqueAndReachWhatTheyName) {
  for (const DialogTemplate* layout :
       {&mainDialogTemplate(), &fontSelectDialogTemplate(), &fontViewDialogTemplate()}) {
    SCOPED_TRACE(layout->caption);
    std::map<char, std::string> owners;
    for (size_t i = 0; i < layout->controls.size(); ++i) {
      const ControlTemplate& control = layout->controls[i];
      const char key = mnemonicOf(control.caption);
      if (isButton(control.kind) && control.id != kIdOk && control.id != kIdCancel) {
        EXPECT_NE(key, 0) << control.caption;
      }
      if (key == 0) continue;
      const auto [owner, added] = owners.emplace(key, control.caption);
      EXPECT_TRUE(added) << control.caption << " and " << owner->second << " share " << key;
      if (control.kind != ControlKind::kLabel) continue;
      const ControlTemplate* named = controlNamedBy(*layout, i);
      ASSERT_NE(named, nullptr) << control.caption;
      EXPECT_FALSE(named->kind == ControlKind::kPushButton ||
                   named->kind == ControlKind::kDefaultButton)
          << control.caption;
    }
  }
}

// Tab runs down the window: no control of the tab order lies wholly above
// the one before it (controls of one row overlap in height).
TEST(TabOrder, RunsDownTheWindow) {
  const DialogTemplate& layout = mainDialogTemplate();
  const ControlTemplate* previous = nullptr;
  for (const ControlTemplate& control : layout.controls) {
    if (!control.inTabOrder()) continue;
    if (previous != nullptr) {
      EXPECT_GT(control.y + control.height, previous->y) << control.id << " after " << previous->id;
    }
    previous = &control;
  }
  EXPECT_EQ(layout.initialFocus(), kIdLoad);
}

class HeadlessKeyboard : public testing::TestWithParam<KeyboardCase> {};

TEST_P(HeadlessKeyboard, FollowsTheTable) {
  const KeyboardCase& c = GetParam();
  HeadlessControls controls(mainDialogTemplate());
  for (const int id : controls.ids())
    controls.enable(id, true);
  PressRecorder recorder;
  controls.setEvents(&recorder);
  controls.focus(c.start);
  for (const Stroke& stroke : c.strokes) {
    switch (stroke.kind) {
      case Stroke::kTab:
        controls.pressTab();
        break;
      case Stroke::kShiftTab:
        controls.pressTab(true);
        break;
      case Stroke::kEnter:
        controls.pressEnter();
        break;
      case Stroke::kAlt:
        controls.pressShortcut(stroke.letter);
        break;
    }
  }
  if (c.focusAfter != 0) {
    EXPECT_EQ(controls.focused(), c.focusAfter);
  }
  EXPECT_EQ(recorder.pressed, c.pressed);
}

INSTANTIATE_TEST_SUITE_P(Keys, HeadlessKeyboard, testing::ValuesIn(keyboardCases()),
                         [](const testing::TestParamInfo<KeyboardCase>& info) {
                           return info.param.name;
                         });

}  // namespace
}  // namespace varnel::test
