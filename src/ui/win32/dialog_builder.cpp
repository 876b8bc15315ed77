#include "ui/win32/dialog_builder.h"

#include <commctrl.h>

#include <string>
#include <string_view>

#include "ui/keyboard.h"
#include "ui/win32/narrow_text.h"
#include "ui/win32/win32_dialog_controls.h"

namespace varnel::win32ui {
namespace {

using ui::Alignment;
using ui::ControlKind;
using ui::ControlTemplate;

// The predefined window classes a template names by number.
constexpr WORD kButtonClass = 0x0080;
constexpr WORD kEditClass = 0x0081;
constexpr WORD kStaticClass = 0x0082;
constexpr WORD kListBoxClass = 0x0083;
constexpr WORD kComboBoxClass = 0x0085;

// Writes the words of a template: numbers, texts and the padding that puts
// each control on a four-byte boundary.
class TemplateWriter {
 public:
  void word(WORD value) { words_.push_back(value); }
  void dword(DWORD value) {
    word(LOWORD(value));
    word(HIWORD(value));
  }
  void text(std::wstring_view value) {
    for (const wchar_t c : value)
      word(static_cast<WORD>(c));
    word(0);
  }
  void ordinal(WORD value) {
    word(0xFFFF);
    word(value);
  }
  void alignToDword() {
    if (words_.size() % 2 != 0) word(0);
  }
  std::vector<WORD> take() { return std::move(words_); }

 private:
  std::vector<WORD> words_;
};

DWORD staticAlignment(Alignment alignment) {
  switch (alignment) {
    case Alignment::kCenter:
      return SS_CENTER;
    case Alignment::kRight:
      return SS_RIGHT;
    default:
      return SS_LEFT;
  }
}

DWORD editAlignment(Alignment alignment) {
  switch (alignment) {
    case Alignment::kCenter:
      return ES_CENTER;
    case Alignment::kRight:
      return ES_RIGHT;
    default:
      return ES_LEFT;
  }
}

// A button's own default alignment is left for check boxes, centred for
// push buttons: only what the table asks for is set.
DWORD buttonAlignment(Alignment alignment) {
  switch (alignment) {
    case Alignment::kCenter:
      return BS_CENTER;
    case Alignment::kRight:
      return BS_RIGHT;
    default:
      return 0;
  }
}

DWORD kindStyle(const ControlTemplate& control) {
  switch (control.kind) {
    case ControlKind::kLabel:
      return staticAlignment(control.alignment);
    case ControlKind::kPushButton:
      return BS_PUSHBUTTON;
    case ControlKind::kDefaultButton:
      return BS_DEFPUSHBUTTON;
    case ControlKind::kReadOnlyEdit:
      return ES_AUTOHSCROLL | ES_READONLY | editAlignment(control.alignment);
    case ControlKind::kNumberEdit:
      return ES_AUTOHSCROLL | ES_NUMBER | editAlignment(control.alignment);
    case ControlKind::kEdit:
      return ES_AUTOHSCROLL | editAlignment(control.alignment);
    case ControlKind::kTrackbar:
      return TBS_HORZ | TBS_AUTOTICKS | (control.ticksAbove ? TBS_TOP : TBS_BOTTOM);
    case ControlKind::kCheckBox:
      return BS_AUTOCHECKBOX | (control.textLeft ? BS_LEFTTEXT : 0) |
             buttonAlignment(control.alignment);
    case ControlKind::kDropDownList:
      return CBS_DROPDOWNLIST | WS_VSCROLL | (control.sorted ? CBS_SORT : 0);
    case ControlKind::kListBox:
      // The size the layout gives, not rounded to whole lines.
      return LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | (control.sorted ? LBS_SORT : 0);
    case ControlKind::kGroupBox:
      return BS_GROUPBOX;
  }
  return 0;
}

DWORD controlStyle(const ControlTemplate& control) {
  DWORD style = WS_CHILD | kindStyle(control);
  if (!control.hidden) style |= WS_VISIBLE;
  if (control.disabled) style |= WS_DISABLED;
  // Each control is a group of its own: the arrow keys move nowhere.
  if (control.inTabOrder()) style |= WS_TABSTOP | WS_GROUP;
  return style;
}

// Edits and lists are sunk into the dialog.
DWORD controlExtendedStyle(ControlKind kind) {
  switch (kind) {
    case ControlKind::kReadOnlyEdit:
    case ControlKind::kNumberEdit:
    case ControlKind::kEdit:
    case ControlKind::kListBox:
      return WS_EX_CLIENTEDGE;
    default:
      return 0;
  }
}

void writeClass(TemplateWriter& out, ControlKind kind) {
  switch (kind) {
    case ControlKind::kLabel:
      return out.ordinal(kStaticClass);
    case ControlKind::kReadOnlyEdit:
    case ControlKind::kNumberEdit:
    case ControlKind::kEdit:
      return out.ordinal(kEditClass);
    case ControlKind::kTrackbar:
      return out.text(kTrackbarClass);
    case ControlKind::kDropDownList:
      return out.ordinal(kComboBoxClass);
    case ControlKind::kListBox:
      return out.ordinal(kListBoxClass);
    case ControlKind::kPushButton:
    case ControlKind::kDefaultButton:
    case ControlKind::kCheckBox:
    case ControlKind::kGroupBox:
      return out.ordinal(kButtonClass);
  }
}

// Edits start empty, as in the other front ends; lists and trackbars show
// no caption.
bool hasCaption(ControlKind kind) {
  switch (kind) {
    case ControlKind::kLabel:
    case ControlKind::kPushButton:
    case ControlKind::kDefaultButton:
    case ControlKind::kCheckBox:
    case ControlKind::kGroupBox:
      return true;
    default:
      return false;
  }
}

void writeControl(TemplateWriter& out, const ControlTemplate& control) {
  out.alignToDword();
  out.dword(0);  // help id
  out.dword(controlExtendedStyle(control.kind));
  out.dword(controlStyle(control));
  out.word(static_cast<WORD>(control.x));
  out.word(static_cast<WORD>(control.y));
  out.word(static_cast<WORD>(control.width));
  out.word(static_cast<WORD>(control.height));
  out.dword(static_cast<DWORD>(control.id));  // -1 for controls nobody addresses
  writeClass(out, control.kind);
  out.text(hasCaption(control.kind) ? fromNarrow(control.caption) : std::wstring());
  out.word(0);  // no creation data
}

}  // namespace

std::vector<WORD> buildDialogTemplate(const ui::DialogTemplate& layout, DWORD extraStyle) {
  TemplateWriter out;
  out.word(1);       // version
  out.word(0xFFFF);  // extended template
  out.dword(0);      // help id
  out.dword(0);      // extended style
  out.dword(DS_SETFONT | DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU |
            extraStyle);
  out.word(static_cast<WORD>(layout.controls.size()));
  out.word(0);  // x, y: centred
  out.word(0);
  out.word(static_cast<WORD>(layout.width));
  out.word(static_cast<WORD>(layout.height));
  out.word(0);  // no menu
  out.word(0);  // the system's dialog class
  out.text(fromNarrow(layout.caption));
  out.word(static_cast<WORD>(layout.fontPoints));
  out.word(FW_NORMAL);
  out.word(MAKEWORD(FALSE, DEFAULT_CHARSET));  // not italic; the default character set
  out.text(fromNarrow(layout.fontName));
  for (const ControlTemplate& control : layout.controls)
    writeControl(out, control);
  return out.take();
}

void addFixedItems(HWND dialog, const ui::DialogTemplate& layout) {
  Win32DialogControls controls(dialog);
  for (const auto& [id, items] : layout.items) {
    if (!controls.exists(id)) continue;
    for (const std::string& item : items)
      controls.addString(id, item);
  }
}

bool focusInitialControl(HWND dialog, const ui::DialogTemplate& layout) {
  // -1 is also the id of every label: no flag means no control here.
  if (layout.initialFocus() == -1) return false;
  const HWND control = GetDlgItem(dialog, layout.initialFocus());
  if (control == nullptr) return false;
  // As Tab moves it: a push button given the focus becomes the one Enter
  // presses.
  SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
  return true;
}

bool isIgnoredEnter(HWND dialog, const MSG& message, const ui::DialogTemplate& layout) {
  if (message.message != WM_KEYDOWN || message.wParam != VK_RETURN) return false;
  if (message.hwnd == nullptr || GetParent(message.hwnd) != dialog) return false;
  const ui::ControlTemplate* control = layout.find(GetDlgCtrlID(message.hwnd));
  if (control == nullptr || !ui::enterIsIgnored(control->kind)) return false;
  // An open list takes Enter to pick the highlighted item.
  return control->kind != ui::ControlKind::kDropDownList ||
         SendMessageW(message.hwnd, CB_GETDROPPEDSTATE, 0, 0) == FALSE;
}

}  // namespace varnel::win32ui
