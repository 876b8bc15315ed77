// Dialog layouts: every control with its id, kind, caption, position and
// size in dialog units and initial state, read from resources/dialogs.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace varnel::ui {

enum class ControlKind {
  kLabel,  // static text
  kPushButton,
  kDefaultButton,  // the push button that Enter triggers
  kReadOnlyEdit,   // shows a text the user can select and copy
  kNumberEdit,     // digits only
  kEdit,
  kTrackbar,
  kCheckBox,      // toggles itself when clicked
  kDropDownList,  // a combo box the user can only pick from
  kListBox,
  kGroupBox,
};

enum class Alignment { kLeft, kCenter, kRight };

struct ControlTemplate {
  ControlKind kind = ControlKind::kLabel;
  int id = -1;  // -1: a control nobody addresses (labels, group boxes)
  std::string caption;
  int x = 0, y = 0, width = 0, height = 0;  // dialog units
  Alignment alignment = Alignment::kLeft;
  bool disabled = false;
  bool hidden = false;
  bool sorted = false;      // lists: items kept in the order of their texts
  bool ticksAbove = false;  // trackbars: tick marks above instead of below
  bool textLeft = false;    // check boxes: the caption left of the box
  bool initialFocus = false;  // has the focus when the window opens

  bool inTabOrder() const;
};

struct DialogTemplate {
  int id = 0;
  std::string caption;
  int width = 0, height = 0;  // dialog units
  std::string fontName;
  int fontPoints = 8;
  std::vector<ControlTemplate> controls;          // in tab order
  std::map<int, std::vector<std::string>> items;  // fixed list contents by id

  const ControlTemplate* find(int id) const;
  // The control that has the focus when the window opens; -1 when the
  // first control of the tab order has it.
  int initialFocus() const;
};

// Reads the layout format of resources/dialogs (see main.dlg for it).
// Throws std::runtime_error naming the line of a malformed layout.
DialogTemplate parseDialogTemplate(std::string_view text);

// The layouts built into the program, parsed once.
const DialogTemplate& mainDialogTemplate();
const DialogTemplate& fontSelectDialogTemplate();
const DialogTemplate& fontViewDialogTemplate();

}  // namespace varnel::ui
