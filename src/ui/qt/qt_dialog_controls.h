// The controls of a Qt dialog behind the editor's DialogControls.
#pragma once

#include <QDialog>
#include <map>

#include "ui/dialog_controls.h"

namespace varnel::qtui {

class QtDialogControls final : public ui::DialogControls {
 public:
  // `widgets` by control id, as the dialog builder made them.
  QtDialogControls(QDialog& window, std::map<int, QWidget*> widgets);

  // Connects the widgets' user actions to `events` (null: to nothing):
  // clicks, list choices, edits, an edit's loss of focus and Enter in it,
  // and trackbar moves. Programmatic changes raise nothing, except setText
  // on an edit, which raises its change event at once.
  void setEvents(ui::DialogEvents* events);
  QWidget* widget(int id) const;

  bool exists(int id) const override { return widgets_.count(id) != 0; }
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
  void connectWidget(int id, QWidget* widget);
  bool isSortedList(int id) const;

  QDialog& window_;
  std::map<int, QWidget*> widgets_;
  ui::DialogEvents* events_ = nullptr;
  bool connected_ = false;
};

}  // namespace varnel::qtui
