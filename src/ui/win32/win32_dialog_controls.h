// The controls of a Windows dialog behind the editor's DialogControls.
#pragma once

#include <windows.h>

#include "ui/dialog_controls.h"

namespace varnel::win32ui {

class Win32DialogControls final : public ui::DialogControls {
 public:
  // The dialog's controls, found by their ids.
  explicit Win32DialogControls(HWND dialog);

  // Where the user's actions go (null: nowhere). The first call also makes
  // Enter in each writable edit reach its owner (as kEnterKey) instead of
  // pressing the dialog's default button.
  void setEvents(ui::DialogEvents* events);
  // The dialog procedure passes every message here first: the controls'
  // notifications (WM_COMMAND, WM_HSCROLL) go to the events. True when the
  // message was one of them.
  bool handleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  HWND dialog() const { return dialog_; }
  // Throws std::out_of_range for an id the dialog does not have.
  HWND control(int id) const;

  bool exists(int id) const override;
  void setWindowTitle(const std::string& title) override;
  void enable(int id, bool enabled) override;
  bool isEnabled(int id) const override;
  void setText(int id, const std::string& text) override;
  std::string text(int id) const override;
  void setCheck(int id, bool checked) override;
  bool isChecked(int id) const override;
  void configureTrackbar(int id, int lineSize, int pageSize, int tickFrequency) override;
  void setTrackbarRange(int id, int minimum, int maximum) override;
  void setTrackbarPosition(int id, int position) override;
  int trackbarPosition(int id) const override;
  void resetContent(int id) override;
  int addString(int id, const std::string& text) override;
  int insertString(int id, int index, const std::string& text) override;
  void setItemData(int id, int index, uint32_t data) override;
  uint32_t itemData(int id, int index) const override;
  int itemCount(int id) const override;
  std::string itemText(int id, int index) const override;
  void setCurrentSelection(int id, int index) override;
  int currentSelection(int id) const override;

 private:
  void deliverCommand(int id, int code);

  HWND dialog_;
  ui::DialogEvents* events_ = nullptr;
  bool editsHookedUp_ = false;
};

}  // namespace varnel::win32ui
