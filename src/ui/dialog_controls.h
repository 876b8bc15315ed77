// What the editor's behaviour needs of a window: its controls, by id.
#pragma once

#include <cstdint>
#include <string>

namespace varnel::ui {

// Notifications a control sends to its window.
enum class Notification : int {
  kClicked = 0,         // a button or check box was clicked
  kSelChange = 1,       // the user picked another item of a list
  kKillFocus = 0x200,   // an edit lost the keyboard focus
  kEditChange = 0x300,  // the text of an edit changed, by the user or the program
  // Enter was pressed in an edit. The window delivers it to the edit's
  // owner instead of pressing the default button (no window system code:
  // a front end raises it from the edit's own key handling).
  kEnterKey = 0x7F00,
};

// Where a window delivers its controls' events.
class DialogEvents {
 public:
  virtual ~DialogEvents() = default;
  virtual void onCommand(int id, Notification code) = 0;
  // A trackbar moved by the user; scrollCode tells how (every code is
  // handled alike here). The arguments come in the order that
  // EditorDialog::OnHScroll takes them.
  virtual void onHScroll(int scrollCode, int position, int sliderId) = 0;
};

// The scroll code the front ends send: the trackbar's thumb was dragged.
inline constexpr int kThumbTrack = 5;

// The controls of one window. Programmatic changes raise no events, except
// that setting an edit's text raises its kEditChange at once, before
// setText returns, as the window system does.
class DialogControls {
 public:
  virtual ~DialogControls() = default;

  virtual bool exists(int id) const = 0;
  virtual void setWindowTitle(const std::string& title) = 0;

  virtual void enable(int id, bool enabled) = 0;
  virtual bool isEnabled(int id) const = 0;

  virtual void setText(int id, const std::string& text) = 0;
  virtual std::string text(int id) const = 0;

  virtual void setCheck(int id, bool checked) = 0;
  virtual bool isChecked(int id) const = 0;

  virtual void configureTrackbar(int id, int lineSize, int pageSize, int tickFrequency) = 0;
  virtual void setTrackbarRange(int id, int minimum, int maximum) = 0;
  // Clamps to the range; read the position back to learn where it landed.
  virtual void setTrackbarPosition(int id, int position) = 0;
  virtual int trackbarPosition(int id) const = 0;

  // Lists (combo boxes and list boxes). A sorted list inserts each added
  // text where sortedInsertIndex() puts it and returns that index.
  virtual void resetContent(int id) = 0;
  virtual int addString(int id, const std::string& text) = 0;
  virtual int insertString(int id, int index, const std::string& text) = 0;
  virtual void setItemData(int id, int index, uint32_t data) = 0;
  // kListError for an index that is not there.
  virtual uint32_t itemData(int id, int index) const = 0;
  virtual int itemCount(int id) const = 0;
  virtual std::string itemText(int id, int index) const = 0;
  // An index outside the list (-1 among them) leaves no item selected.
  virtual void setCurrentSelection(int id, int index) = 0;
  virtual int currentSelection(int id) const = 0;  // -1: none
};

inline constexpr uint32_t kListError = 0xFFFFFFFFu;

}  // namespace varnel::ui
