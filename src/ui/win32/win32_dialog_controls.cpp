#include "ui/win32/win32_dialog_controls.h"

#include <commctrl.h>

#include <iterator>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "ui/dialog_text.h"
#include "ui/win32/dialog_builder.h"
#include "ui/win32/narrow_text.h"

namespace varnel::win32ui {
namespace {

enum class ControlClass { kOther, kButton, kEdit, kComboBox, kListBox, kTrackbar };

ControlClass classOf(HWND control) {
  wchar_t name[64] = {};
  GetClassNameW(control, name, static_cast<int>(std::size(name)));
  const std::pair<const wchar_t*, ControlClass> classes[] = {
      {L"Button", ControlClass::kButton},        {L"Edit", ControlClass::kEdit},
      {L"ComboBox", ControlClass::kComboBox},    {L"ListBox", ControlClass::kListBox},
      {kTrackbarClass, ControlClass::kTrackbar},
  };
  for (const auto& [className, kind] : classes) {
    if (lstrcmpiW(name, className) == 0) return kind;
  }
  return ControlClass::kOther;
}

// The list messages of a combo box and of a list box do the same things.
struct ListMessages {
  UINT resetContent, insertString, setItemData, getItemData, getCount, getTextLength, getText,
      setCurrentSelection, getCurrentSelection;
  DWORD sortedStyle;
};

constexpr ListMessages kComboMessages = {
    CB_RESETCONTENT, CB_INSERTSTRING, CB_SETITEMDATA, CB_GETITEMDATA, CB_GETCOUNT,
    CB_GETLBTEXTLEN, CB_GETLBTEXT,    CB_SETCURSEL,   CB_GETCURSEL,   CBS_SORT};
constexpr ListMessages kListMessages = {
    LB_RESETCONTENT, LB_INSERTSTRING, LB_SETITEMDATA, LB_GETITEMDATA, LB_GETCOUNT,
    LB_GETTEXTLEN,   LB_GETTEXT,      LB_SETCURSEL,   LB_GETCURSEL,   LBS_SORT};

const ListMessages* listMessages(HWND control) {
  switch (classOf(control)) {
    case ControlClass::kComboBox:
      return &kComboMessages;
    case ControlClass::kListBox:
      return &kListMessages;
    default:
      return nullptr;
  }
}

std::string windowText(HWND window) {
  const int length = GetWindowTextLengthW(window);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const int copied = GetWindowTextW(window, text.data(), length + 1);
  text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
  return toNarrow(text);
}

std::string listItemText(HWND list, const ListMessages& messages, int index) {
  const LRESULT length = SendMessageW(list, messages.getTextLength, static_cast<WPARAM>(index), 0);
  if (length < 0) return "";
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const LRESULT copied = SendMessageW(list, messages.getText, static_cast<WPARAM>(index),
                                      reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
  return toNarrow(text);
}

// The private notification a writable edit sends its dialog for Enter.
constexpr int kEnterKeyCode = static_cast<int>(ui::Notification::kEnterKey);
constexpr const wchar_t* kEditProcedureProperty = L"VarnelEditProcedure";
// The character Ctrl+A types.
constexpr WPARAM kCtrlACharacter = 1;

// Enter in an edit goes to the edit's owner: the edit asks the dialog for
// the key (so that the dialog presses no default button), tells its owner,
// and swallows the character that would only beep. Ctrl+A selects the whole
// text, as users expect: the classic edit control (Windows XP's) has no such
// key, and a clock typed after it would be added to the old digits.
LRESULT CALLBACK enterKeyEditProcedure(HWND edit, UINT message, WPARAM wParam, LPARAM lParam) {
  const auto original = reinterpret_cast<WNDPROC>(GetPropW(edit, kEditProcedureProperty));
  switch (message) {
    case WM_GETDLGCODE: {
      const auto* key = reinterpret_cast<const MSG*>(lParam);
      const LRESULT code = CallWindowProcW(original, edit, message, wParam, lParam);
      if (key != nullptr && key->message == WM_KEYDOWN && key->wParam == VK_RETURN) {
        return code | DLGC_WANTALLKEYS;
      }
      return code;
    }
    case WM_KEYDOWN:
      if (wParam == VK_RETURN) {
        SendMessageW(GetParent(edit), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(edit), kEnterKeyCode),
                     reinterpret_cast<LPARAM>(edit));
        return 0;
      }
      if (wParam == 'A' && GetKeyState(VK_CONTROL) < 0 && GetKeyState(VK_MENU) >= 0) {
        SendMessageW(edit, EM_SETSEL, 0, -1);
        return 0;
      }
      break;
    case WM_CHAR:
      if (wParam == L'\r' || wParam == kCtrlACharacter) return 0;
      break;
    case WM_NCDESTROY:
      SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
      RemovePropW(edit, kEditProcedureProperty);
      break;
    default:
      break;
  }
  return CallWindowProcW(original, edit, message, wParam, lParam);
}

BOOL CALLBACK hookUpEnterKey(HWND child, LPARAM) {
  if (classOf(child) == ControlClass::kEdit &&
      (GetWindowLongW(child, GWL_STYLE) & ES_READONLY) == 0 &&
      GetPropW(child, kEditProcedureProperty) == nullptr) {
    const LONG_PTR original = GetWindowLongPtrW(child, GWLP_WNDPROC);
    SetPropW(child, kEditProcedureProperty, reinterpret_cast<HANDLE>(original));
    SetWindowLongPtrW(child, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&enterKeyEditProcedure));
  }
  return TRUE;
}

// The notifications the editor hears of, by their window-system codes.
bool isDelivered(int code) {
  using ui::Notification;
  for (const Notification known :
       {Notification::kClicked, Notification::kSelChange, Notification::kKillFocus,
        Notification::kEditChange, Notification::kEnterKey}) {
    if (code == static_cast<int>(known)) return true;
  }
  return false;
}

}  // namespace

Win32DialogControls::Win32DialogControls(HWND dialog) : dialog_(dialog) {}

HWND Win32DialogControls::control(int id) const {
  const HWND found = id != -1 ? GetDlgItem(dialog_, id) : nullptr;
  if (found == nullptr) throw std::out_of_range("no control " + std::to_string(id));
  return found;
}

void Win32DialogControls::setEvents(ui::DialogEvents* events) {
  events_ = events;
  if (std::exchange(editsHookedUp_, true)) return;
  EnumChildWindows(dialog_, &hookUpEnterKey, 0);
}

bool Win32DialogControls::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND && lParam != 0) {
    const int code = HIWORD(wParam);
    if (!isDelivered(code)) return false;
    deliverCommand(LOWORD(wParam), code);
    return true;
  }
  if (message == WM_HSCROLL && lParam != 0) {
    const auto trackbar = reinterpret_cast<HWND>(lParam);
    if (classOf(trackbar) != ControlClass::kTrackbar) return false;
    const int position = static_cast<int>(SendMessageW(trackbar, TBM_GETPOS, 0, 0));
    if (events_ != nullptr) events_->onHScroll(LOWORD(wParam), position, GetDlgCtrlID(trackbar));
    return true;
  }
  return false;
}

void Win32DialogControls::deliverCommand(int id, int code) {
  // Ids travel as 16-bit words: -1 comes back as 0xFFFF.
  const int controlId = static_cast<int>(static_cast<short>(id)) == -1 ? -1 : id;
  if (events_ != nullptr && controlId != -1) {
    events_->onCommand(controlId, static_cast<ui::Notification>(code));
  }
}

bool Win32DialogControls::exists(int id) const {
  return id != -1 && GetDlgItem(dialog_, id) != nullptr;
}

void Win32DialogControls::setWindowTitle(const std::string& title) {
  SetWindowTextW(dialog_, fromNarrow(title).c_str());
}

// A control disabled while it has the focus would keep it, and the keyboard
// would reach nothing: the focus moves on to the next control first.
void Win32DialogControls::enable(int id, bool enabled) {
  const HWND target = control(id);
  if (!enabled && GetFocus() == target) SendMessageW(dialog_, WM_NEXTDLGCTL, 0, FALSE);
  EnableWindow(target, enabled ? TRUE : FALSE);
}

bool Win32DialogControls::isEnabled(int id) const {
  return IsWindowEnabled(control(id)) != FALSE;
}

// An edit tells its dialog of the new text (EN_CHANGE) before
// SetWindowText returns, even when the text is the same: the dialog
// procedure passes it on through handleMessage.
void Win32DialogControls::setText(int id, const std::string& text) {
  SetWindowTextW(control(id), fromNarrow(text).c_str());
}

std::string Win32DialogControls::text(int id) const {
  return windowText(control(id));
}

void Win32DialogControls::setCheck(int id, bool checked) {
  const HWND box = control(id);
  if (classOf(box) == ControlClass::kButton) {
    SendMessageW(box, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
  }
}

bool Win32DialogControls::isChecked(int id) const {
  const HWND box = control(id);
  return classOf(box) == ControlClass::kButton &&
         SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Win32DialogControls::configureTrackbar(int id, int lineSize, int pageSize, int tickFrequency) {
  const HWND trackbar = control(id);
  if (classOf(trackbar) != ControlClass::kTrackbar) return;
  SendMessageW(trackbar, TBM_SETLINESIZE, 0, lineSize);
  SendMessageW(trackbar, TBM_SETPAGESIZE, 0, pageSize);
  SendMessageW(trackbar, TBM_SETTICFREQ, static_cast<WPARAM>(tickFrequency), 0);
}

// Minimum and maximum separately: TBM_SETRANGE packs both into 16 bits.
// The trackbar moves its position into the new range.
void Win32DialogControls::setTrackbarRange(int id, int minimum, int maximum) {
  const HWND trackbar = control(id);
  if (classOf(trackbar) != ControlClass::kTrackbar) return;
  SendMessageW(trackbar, TBM_SETRANGEMIN, FALSE, minimum);
  SendMessageW(trackbar, TBM_SETRANGEMAX, TRUE, maximum);
}

void Win32DialogControls::setTrackbarPosition(int id, int position) {
  const HWND trackbar = control(id);
  if (classOf(trackbar) == ControlClass::kTrackbar) {
    SendMessageW(trackbar, TBM_SETPOS, TRUE, position);  // clamps to the range
  }
}

int Win32DialogControls::trackbarPosition(int id) const {
  const HWND trackbar = control(id);
  if (classOf(trackbar) != ControlClass::kTrackbar) return 0;
  return static_cast<int>(SendMessageW(trackbar, TBM_GETPOS, 0, 0));
}

void Win32DialogControls::resetContent(int id) {
  const HWND list = control(id);
  if (const ListMessages* messages = listMessages(list)) {
    SendMessageW(list, messages->resetContent, 0, 0);
  }
}

// The list's own sorting (CBS_SORT, LBS_SORT) is the system's, whose order
// of equal and accented texts varies between versions; the editor's order
// is put in place by inserting each text where it belongs.
int Win32DialogControls::addString(int id, const std::string& text) {
  const HWND list = control(id);
  const ListMessages* messages = listMessages(list);
  if (messages == nullptr) return -1;
  const int count = itemCount(id);
  int index = count;
  if ((GetWindowLongW(list, GWL_STYLE) & static_cast<LONG>(messages->sortedStyle)) != 0) {
    std::vector<std::string> texts;
    for (int i = 0; i < count; ++i)
      texts.push_back(listItemText(list, *messages, i));
    index = ui::sortedInsertIndex(texts, text);
  }
  return insertString(id, index, text);
}

int Win32DialogControls::insertString(int id, int index, const std::string& text) {
  const HWND list = control(id);
  const ListMessages* messages = listMessages(list);
  if (messages == nullptr) return -1;
  const int count = itemCount(id);
  if (index < 0 || index > count) index = count;
  const std::wstring wide = fromNarrow(text);
  const LRESULT inserted = SendMessageW(list, messages->insertString, static_cast<WPARAM>(index),
                                        reinterpret_cast<LPARAM>(wide.c_str()));
  return static_cast<int>(inserted);
}

void Win32DialogControls::setItemData(int id, int index, uint32_t data) {
  const HWND list = control(id);
  const ListMessages* messages = listMessages(list);
  if (messages == nullptr || index < 0 || index >= itemCount(id)) return;
  SendMessageW(list, messages->setItemData, static_cast<WPARAM>(index), static_cast<LPARAM>(data));
}

uint32_t Win32DialogControls::itemData(int id, int index) const {
  const HWND list = control(id);
  const ListMessages* messages = listMessages(list);
  if (messages == nullptr || index < 0 || index >= itemCount(id)) return ui::kListError;
  return static_cast<uint32_t>(
      SendMessageW(list, messages->getItemData, static_cast<WPARAM>(index), 0));
}

int Win32DialogControls::itemCount(int id) const {
  const HWND list = control(id);
  const ListMessages* messages = listMessages(list);
  if (messages == nullptr) return 0;
  const LRESULT count = SendMessageW(list, messages->getCount, 0, 0);
  return count > 0 ? static_cast<int>(count) : 0;
}

std::string Win32DialogControls::itemText(int id, int index) const {
  const HWND list = control(id);
  const ListMessages* messages = listMessages(list);
  if (messages == nullptr || index < 0 || index >= itemCount(id)) return "";
  return listItemText(list, *messages, index);
}

void Win32DialogControls::setCurrentSelection(int id, int index) {
  const HWND list = control(id);
  const ListMessages* messages = listMessages(list);
  if (messages == nullptr) return;
  if (index < 0 || index >= itemCount(id)) index = -1;
  SendMessageW(list, messages->setCurrentSelection, static_cast<WPARAM>(index), 0);
}

int Win32DialogControls::currentSelection(int id) const {
  const HWND list = control(id);
  const ListMessages* messages = listMessages(list);
  if (messages == nullptr) return -1;
  const LRESULT selection = SendMessageW(list, messages->getCurrentSelection, 0, 0);
  return selection >= 0 ? static_cast<int>(selection) : -1;
}

}  // namespace varnel::win32ui
