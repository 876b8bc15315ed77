// A window without a screen: the controls of a layout table kept in memory
// with the window system's rules, and the user's actions on them. The
// command-line tool drives the editor through it, and so do the tests.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "ui/dialog_controls.h"
#include "ui/dialog_template.h"

namespace varnel::ui {

class HeadlessControls final : public DialogControls {
 public:
  explicit HeadlessControls(const DialogTemplate& layout);
  void setEvents(DialogEvents* events) { events_ = events; }

  // What the user does. Each throws std::logic_error for a disabled
  // control, which the user cannot reach either. Typing focuses the edit;
  // the other actions leave the focus where it is, as a mnemonic key does,
  // and focus() moves it, as a click or Tab does.
  void click(int id);                              // check boxes toggle first
  void choose(int id, int index);                  // picks a list item
  void type(int id, const std::string& text);      // replaces an edit's text (a paste)
  void typeKeys(int id, const std::string& keys);  // appends one key at a time
  void drag(int id, int position);                 // moves a trackbar
  void focus(int id);                              // the edit that loses the focus is told
  // The keyboard, by the layout's rules (ui/keyboard.h): Enter on the
  // focused control, Tab or Shift+Tab, Alt and a caption's key.
  void pressEnter();
  void pressTab(bool backwards = false);
  void pressShortcut(char key);
  int focused() const { return focused_; }

  std::string windowTitle;
  int trackbarLineSize(int id) const { return at(id).lineSize; }
  int trackbarPageSize(int id) const { return at(id).pageSize; }
  int trackbarTickFrequency(int id) const { return at(id).tickFrequency; }
  std::pair<int, int> trackbarRange(int id) const { return {at(id).minimum, at(id).maximum}; }
  std::vector<std::string> items(int id) const { return at(id).items; }
  std::vector<int> ids() const;

  // DialogControls
  bool exists(int id) const override { return controls_.count(id) != 0; }
  void setWindowTitle(const std::string& title) override { windowTitle = title; }
  void enable(int id, bool enabled) override { at(id).enabled = enabled; }
  bool isEnabled(int id) const override { return at(id).enabled; }
  void setText(int id, const std::string& text) override;
  std::string text(int id) const override { return at(id).text; }
  void setCheck(int id, bool checked) override { at(id).checked = checked; }
  bool isChecked(int id) const override { return at(id).checked; }
  void configureTrackbar(int id, int lineSize, int pageSize, int tickFrequency) override;
  void setTrackbarRange(int id, int minimum, int maximum) override;
  void setTrackbarPosition(int id, int position) override;
  int trackbarPosition(int id) const override { return at(id).position; }
  void resetContent(int id) override;
  int addString(int id, const std::string& text) override;
  int insertString(int id, int index, const std::string& text) override;
  void setItemData(int id, int index, uint32_t data) override;
  uint32_t itemData(int id, int index) const override;
  int itemCount(int id) const override { return static_cast<int>(at(id).items.size()); }
  std::string itemText(int id, int index) const override;
  void setCurrentSelection(int id, int index) override;
  int currentSelection(int id) const override { return at(id).selection; }

 private:
  struct Control {
    ControlKind kind = ControlKind::kLabel;
    bool enabled = true;
    bool sorted = false;
    std::string text;
    bool checked = false;
    int minimum = 0, maximum = 100, position = 0;
    int lineSize = 1, pageSize = 0, tickFrequency = 1;
    std::vector<std::string> items;
    std::vector<uint32_t> data;
    int selection = -1;
  };
  Control& at(int id);
  const Control& at(int id) const;
  void requireEnabled(int id) const;
  bool isEdit(int id) const;

  std::vector<int> reachableByTab() const;

  DialogTemplate layout_;
  std::map<int, Control> controls_;
  DialogEvents* events_ = nullptr;
  int focused_ = 0;  // 0: no control has the focus
};

}  // namespace varnel::ui
