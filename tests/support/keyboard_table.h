// What the keyboard does on the main window, one table for every front end:
// the headless controls, the Qt window and the Win32 window each run it with
// every control enabled and their events going to a recorder. A front end
// test only turns a Stroke into its own key presses.
#pragma once

#include <cctype>
#include <string>
#include <vector>

#include "ui/control_ids.h"
#include "ui/dialog_controls.h"
#include "ui/dialog_template.h"
#include "ui/keyboard.h"

namespace varnel::test {

struct Stroke {
  enum Kind { kTab, kShiftTab, kEnter, kAlt } kind;
  char letter = 0;  // with kAlt
};

struct KeyboardCase {
  std::string name;
  int start = 0;  // the control focused first
  std::vector<Stroke> strokes;
  int focusAfter = 0;                // 0: the focus is not checked
  std::vector<std::string> pressed;  // "id:clicked" and "id:enter", in order
};

// Hears the buttons pressed and the edits' Enter; nothing else the keys
// cause (changes, lost focus) matters to the table.
class PressRecorder final : public ui::DialogEvents {
 public:
  void onCommand(int id, ui::Notification code) override {
    if (code == ui::Notification::kClicked) pressed.push_back(std::to_string(id) + ":clicked");
    if (code == ui::Notification::kEnterKey) pressed.push_back(std::to_string(id) + ":enter");
  }
  void onHScroll(int, int, int) override {}
  std::vector<std::string> pressed;
};

inline std::string clicked(int id) {
  return std::to_string(id) + ":clicked";
}
inline std::string enterIn(int id) {
  return std::to_string(id) + ":enter";
}

// Tab walks the layout top to bottom, read-only fields included, and wraps;
// Enter presses the focused button, takes an edit's text, does nothing in a
// list, on a trackbar or a read-only field, and elsewhere presses Save.
inline std::vector<KeyboardCase> listedKeyboardCases() {
  using namespace ui;
  using S = Stroke;
  return {
      {"TabFromTheNameReachesTheTitle", kIdFileName, {{S::kTab}}, kIdTitle, {}},
      {"TabFromExitWrapsToTheName", kIdCancel, {{S::kTab}}, kIdFileName, {}},
      {"ShiftTabFromTheNameWrapsToExit", kIdFileName, {{S::kShiftTab}}, kIdCancel, {}},
      {"TabFromTheCoreEditReachesItsTrackbar", kIdCoreEdit, {{S::kTab}}, kIdCoreSlider, {}},
      {"TabReachesTheRealClock", kIdSyncClocks, {{S::kTab}}, kIdRealCore, {}},
      {"TabRunsLeftToRightAlongARow", kIdLoad, {{S::kTab}}, kIdSave, {}},
      {"EnterInAListDoesNothing", kIdCas, {{S::kEnter}}, kIdCas, {}},
      {"EnterOnATrackbarDoesNothing", kIdCoreSlider, {{S::kEnter}}, kIdCoreSlider, {}},
      {"EnterInAReadOnlyFieldDoesNothing", kIdTitle, {{S::kEnter}}, kIdTitle, {}},
      {"EnterInAClockEditTakesIt", kIdCoreEdit, {{S::kEnter}}, kIdCoreEdit, {enterIn(kIdCoreEdit)}},
      {"EnterOnAButtonPressesIt", kIdLoad, {{S::kEnter}}, kIdLoad, {clicked(kIdLoad)}},
      {"EnterOnACheckBoxPressesSave", kIdSyncClocks, {{S::kEnter}}, 0, {clicked(kIdSave)}},
      {"AltOnAButtonPressesIt", kIdCoreSlider, {{S::kAlt, 'h'}}, 0, {clicked(kIdHelp)}},
      {"AltOnACheckBoxTogglesIt",
       kIdLoad,
       {{S::kAlt, 'y'}},
       kIdSyncClocks,
       {clicked(kIdSyncClocks)}},
  };
}

// Alt and each label's key focus the control the label names.
inline std::vector<KeyboardCase> labelKeyboardCases() {
  std::vector<KeyboardCase> cases;
  const ui::DialogTemplate& layout = ui::mainDialogTemplate();
  for (size_t i = 0; i < layout.controls.size(); ++i) {
    const ui::ControlTemplate& label = layout.controls[i];
    const char key = ui::mnemonicOf(label.caption);
    const ui::ControlTemplate* named = ui::controlNamedBy(layout, i);
    if (label.kind != ui::ControlKind::kLabel || key == 0 || named == nullptr) continue;
    cases.push_back(
        {std::string("AltAndLabelKey_") + key, ui::kIdLoad, {{Stroke::kAlt, key}}, named->id, {}});
  }
  return cases;
}

inline std::vector<KeyboardCase> keyboardCases() {
  std::vector<KeyboardCase> cases = listedKeyboardCases();
  for (KeyboardCase& c : labelKeyboardCases())
    cases.push_back(std::move(c));
  return cases;
}

inline void PrintTo(const KeyboardCase& c, std::ostream* out) {
  *out << c.name;
}

}  // namespace varnel::test
