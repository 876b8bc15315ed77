// The Win32 controls keep the contract of every DialogControls, and the
// window the dialog builder makes is the one its layout describes.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <memory>

#include "support/controls_contract.h"
#include "ui/win32/dialog_builder.h"
#include "ui/win32/narrow_text.h"
#include "ui/win32/win32_dialog_controls.h"

namespace varnel::test {
namespace {

using win32ui::Win32DialogControls;

// A dialog procedure that hands the controls' notifications to them, as
// every dialog of the editor does.
INT_PTR CALLBACK routeToControls(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* controls = reinterpret_cast<Win32DialogControls*>(GetWindowLongPtrW(dialog, DWLP_USER));
  return controls != nullptr && controls->handleMessage(message, wParam, lParam) ? TRUE : FALSE;
}

// The main window's layout as a real dialog, made but not shown.
class Win32Dialog {
 public:
  explicit Win32Dialog(const DialogTemplate& layout) {
    const std::vector<WORD> words = win32ui::buildDialogTemplate(layout);
    handle_ = CreateDialogIndirectParamW(GetModuleHandleW(nullptr),
                                         reinterpret_cast<LPCDLGTEMPLATEW>(words.data()), nullptr,
                                         &routeToControls, 0);
    if (handle_ == nullptr) throw std::runtime_error("the dialog could not be created");
    win32ui::addFixedItems(handle_, layout);
    controls_ = std::make_unique<Win32DialogControls>(handle_);
    SetWindowLongPtrW(handle_, DWLP_USER, reinterpret_cast<LONG_PTR>(controls_.get()));
  }
  ~Win32Dialog() {
    SetWindowLongPtrW(handle_, DWLP_USER, 0);
    DestroyWindow(handle_);
  }
  Win32Dialog(const Win32Dialog&) = delete;
  Win32Dialog& operator=(const Win32Dialog&) = delete;
  HWND handle() const { return handle_; }
  Win32DialogControls& controls() { return *controls_; }

 private:
  HWND handle_ = nullptr;
  std::unique_ptr<Win32DialogControls> controls_;
};

struct Win32Backend {
  Win32Dialog dialog{mainDialogTemplate()};
  DialogControls& controls() { return dialog.controls(); }
  void setEvents(DialogEvents* events) { dialog.controls().setEvents(events); }
};

INSTANTIATE_TYPED_TEST_SUITE_P(Win32, ControlsContract, testing::Types<Win32Backend>);

std::wstring className(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

// What the system must have made of each kind of control.
struct KindExpectation {
  ControlKind kind;
  const wchar_t* windowClass;
  DWORD typeMask;  // the bits that tell the variant of its class
  DWORD type;
  DWORD styles;  // further styles it must have
  DWORD extendedStyles;
};

const KindExpectation kKinds[] = {
    {ControlKind::kLabel, L"Static", 0, 0, 0, 0},
    {ControlKind::kPushButton, L"Button", BS_TYPEMASK, BS_PUSHBUTTON, 0, 0},
    {ControlKind::kDefaultButton, L"Button", BS_TYPEMASK, BS_DEFPUSHBUTTON, 0, 0},
    {ControlKind::kReadOnlyEdit, L"Edit", 0, 0, ES_READONLY, WS_EX_CLIENTEDGE},
    {ControlKind::kNumberEdit, L"Edit", 0, 0, ES_NUMBER, WS_EX_CLIENTEDGE},
    {ControlKind::kEdit, L"Edit", 0, 0, 0, WS_EX_CLIENTEDGE},
    {ControlKind::kTrackbar, TRACKBAR_CLASSW, 0, 0, TBS_AUTOTICKS, 0},
    {ControlKind::kCheckBox, L"Button", BS_TYPEMASK, BS_AUTOCHECKBOX, 0, 0},
    {ControlKind::kDropDownList, L"ComboBox", 0x3, CBS_DROPDOWNLIST, 0, 0},
    {ControlKind::kListBox, L"ListBox", 0, 0, LBS_NOTIFY, WS_EX_CLIENTEDGE},
    {ControlKind::kGroupBox, L"Button", BS_TYPEMASK, BS_GROUPBOX, 0, 0},
};

const KindExpectation& expectationFor(ControlKind kind) {
  for (const KindExpectation& expected : kKinds) {
    if (expected.kind == kind) return expected;
  }
  throw std::logic_error("a control kind without an expectation");
}

// The styles each flag of a layout stands for, on the kinds it applies to.
struct FlagExpectation {
  const char* name;
  ControlKind kind;
  bool (*isSet)(const ControlTemplate&);
  DWORD style;
};

const FlagExpectation kFlags[] = {
    {"sorted", ControlKind::kDropDownList, [](const ControlTemplate& c) { return c.sorted; },
     CBS_SORT},
    {"sorted", ControlKind::kListBox, [](const ControlTemplate& c) { return c.sorted; }, LBS_SORT},
    {"ticksabove", ControlKind::kTrackbar, [](const ControlTemplate& c) { return c.ticksAbove; },
     TBS_TOP},
    {"textleft", ControlKind::kCheckBox, [](const ControlTemplate& c) { return c.textLeft; },
     BS_LEFTTEXT},
    {"center", ControlKind::kNumberEdit,
     [](const ControlTemplate& c) { return c.alignment == Alignment::kCenter; }, ES_CENTER},
    {"right", ControlKind::kLabel,
     [](const ControlTemplate& c) { return c.alignment == Alignment::kRight; }, SS_RIGHT},
    {"center", ControlKind::kLabel,
     [](const ControlTemplate& c) { return c.alignment == Alignment::kCenter; }, SS_CENTER},
    {"right", ControlKind::kNumberEdit,
     [](const ControlTemplate& c) { return c.alignment == Alignment::kRight; }, ES_RIGHT},
    {"center", ControlKind::kReadOnlyEdit,
     [](const ControlTemplate& c) { return c.alignment == Alignment::kCenter; }, ES_CENTER},
    {"right", ControlKind::kCheckBox,
     [](const ControlTemplate& c) { return c.alignment == Alignment::kRight; }, BS_RIGHT},
};

// Every kind and flag of the layout format, and fixed list contents.
const DialogTemplate& everyKindLayout() {
  static const DialogTemplate layout = parseDialogTemplate(R"(
DIALOG 900 200 160 "Tahoma" 9 "Every kind"
LABEL         -  "Left"       5   5  40 10
LABEL         -  "Centre"    50   5  40 10 center
LABEL         -  "Right"     95   5  40 10 right
EDIT          10 "not shown"  5  20  60 12
NUMBER        11 ""          70  20  30 12 right
READONLY      12 ""         105  20  60 12 center
TRACKBAR      13 ""           5  35 150 20
TRACKBAR      14 ""           5  55 150 20 ticksabove
CHECKBOX      15 "Box"        5  80  60 10
CHECKBOX      16 "Text left" 70  80  80 10 textleft right
DROPDOWN      17 ""           5  95  60 60 sorted
DROPDOWN      18 ""          70  95  60 60
LISTBOX       19 ""           5 110  60 40 sorted
GROUPBOX      -  "Group"    135 100  60 50
PUSHBUTTON    20 "Hidden"   140 110  40 14 hidden
DEFPUSHBUTTON 1  "OK"       140 130  40 14 disabled
ITEMS 17 "b" "C" "a"
ITEMS 18 "b" "C" "a"
ITEMS 19 "b" "C" "a"
)");
  return layout;
}

class BuiltDialog : public testing::TestWithParam<const DialogTemplate*> {};

TEST_P(BuiltDialog, EveryControlIsWhatItsLayoutSays) {
  const DialogTemplate& layout = *GetParam();
  const Win32Dialog dialog(layout);
  HWND control = GetWindow(dialog.handle(), GW_CHILD);
  for (const ControlTemplate& expected : layout.controls) {
    ASSERT_NE(control, nullptr) << "fewer controls than the layout has";
    SCOPED_TRACE(expected.caption + " " + std::to_string(expected.id));
    const KindExpectation& kind = expectationFor(expected.kind);
    const DWORD style = static_cast<DWORD>(GetWindowLongW(control, GWL_STYLE));
    EXPECT_EQ(GetDlgCtrlID(control), expected.id);
    EXPECT_EQ(lstrcmpiW(className(control).c_str(), kind.windowClass), 0);
    EXPECT_EQ(style & kind.typeMask, kind.type);
    EXPECT_EQ(style & kind.styles, kind.styles);
    const auto extendedStyle = static_cast<DWORD>(GetWindowLongW(control, GWL_EXSTYLE));
    EXPECT_EQ(extendedStyle & kind.extendedStyles, kind.extendedStyles);
    for (const FlagExpectation& flag : kFlags) {
      if (flag.kind == expected.kind) {
        EXPECT_EQ((style & flag.style) == flag.style, flag.isSet(expected)) << flag.name;
      }
    }
    EXPECT_EQ((style & WS_TABSTOP) != 0, expected.inTabOrder());
    EXPECT_EQ(IsWindowEnabled(control) != FALSE, !expected.disabled);
    EXPECT_EQ((style & WS_VISIBLE) != 0, !expected.hidden);
    const bool captioned =
        expected.kind == ControlKind::kLabel || expected.kind == ControlKind::kPushButton ||
        expected.kind == ControlKind::kDefaultButton || expected.kind == ControlKind::kCheckBox ||
        expected.kind == ControlKind::kGroupBox;
    wchar_t caption[64] = {};
    GetWindowTextW(control, caption, 64);
    EXPECT_EQ(win32ui::toNarrow(caption), captioned ? expected.caption : "");
    // Position and size in dialog units of the layout's font; a drop-down
    // list's height in the layout is that of its open list.
    RECT inUnits{expected.x, expected.y, expected.width, expected.height};
    MapDialogRect(dialog.handle(), &inUnits);
    RECT placed{};
    GetWindowRect(control, &placed);
    MapWindowPoints(nullptr, dialog.handle(), reinterpret_cast<POINT*>(&placed), 2);
    EXPECT_EQ(placed.left, inUnits.left);
    EXPECT_EQ(placed.top, inUnits.top);
    EXPECT_EQ(placed.right - placed.left, inUnits.right);
    if (expected.kind != ControlKind::kDropDownList) {
      EXPECT_EQ(placed.bottom - placed.top, inUnits.bottom);
    }
    control = GetWindow(control, GW_HWNDNEXT);
  }
  EXPECT_EQ(control, nullptr) << "more controls than the layout has";
}

INSTANTIATE_TEST_SUITE_P(Layouts, BuiltDialog,
                         testing::Values(&mainDialogTemplate(), &fontSelectDialogTemplate(),
                                         &fontViewDialogTemplate(), &everyKindLayout()));

TEST(FixedLists, HoldTheirItemsInTheListsOrderWithNoneSelected) {
  Win32Dialog dialog(everyKindLayout());
  const struct {
    int id;
    std::vector<std::string> items;
  } lists[] = {{17, {"a", "b", "C"}}, {18, {"b", "C", "a"}}, {19, {"a", "b", "C"}}};
  for (const auto& list : lists) {
    std::vector<std::string> shown;
    for (int i = 0; i < dialog.controls().itemCount(list.id); ++i)
      shown.push_back(dialog.controls().itemText(list.id, i));
    EXPECT_EQ(shown, list.items) << list.id;
    EXPECT_EQ(dialog.controls().currentSelection(list.id), -1) << list.id;
  }
}

TEST(BuiltDialogFrame, CaptionFontAndSizeComeFromTheLayout) {
  for (const DialogTemplate* layout :
       {&mainDialogTemplate(), &fontSelectDialogTemplate(), &fontViewDialogTemplate()}) {
    const Win32Dialog dialog(*layout);
    SCOPED_TRACE(layout->caption);
    wchar_t caption[128] = {};
    GetWindowTextW(dialog.handle(), caption, 128);
    EXPECT_EQ(win32ui::toNarrow(caption), layout->caption);
    LOGFONTW font{};
    const auto shown = reinterpret_cast<HFONT>(SendMessageW(dialog.handle(), WM_GETFONT, 0, 0));
    ASSERT_EQ(GetObjectW(shown, sizeof font, &font), static_cast<int>(sizeof font));
    EXPECT_EQ(win32ui::toNarrow(font.lfFaceName), layout->fontName);
    const HDC screen = GetDC(nullptr);
    EXPECT_EQ(-font.lfHeight, MulDiv(layout->fontPoints, GetDeviceCaps(screen, LOGPIXELSY), 72));
    ReleaseDC(nullptr, screen);
    RECT inUnits{0, 0, layout->width, layout->height};
    MapDialogRect(dialog.handle(), &inUnits);
    RECT client{};
    GetClientRect(dialog.handle(), &client);
    EXPECT_EQ(client.right, inUnits.right);
    EXPECT_EQ(client.bottom, inUnits.bottom);
  }
}

// Texts out of an image may be any bytes: valid UTF-8 is shown as such,
// anything else as Latin-1, and read back as UTF-8, as the Qt editor does.
struct ShownText {
  const char* set;
  const char* readBack;
};

class TextsOnScreen : public testing::TestWithParam<ShownText> {};

TEST_P(TextsOnScreen, ShowBytesAsTheOtherFrontEndsDo) {
  Win32Dialog dialog(mainDialogTemplate());
  Win32DialogControls& controls = dialog.controls();
  controls.setText(kIdTitle, GetParam().set);
  EXPECT_EQ(controls.text(kIdTitle), GetParam().readBack);
  controls.addString(kIdTvStandard, GetParam().set);
  EXPECT_EQ(controls.itemText(kIdTvStandard, 0), GetParam().readBack);
}

INSTANTIATE_TEST_SUITE_P(Bytes, TextsOnScreen,
                         testing::Values(ShownText{"R250 64MB", "R250 64MB"},
                                         ShownText{"\xC9"
                                                   "cran 9\xB0",
                                                   "\xC3\x89"
                                                   "cran 9\xC2\xB0"},
                                         ShownText{"Gr\xC3\xB6\xC3\x9F"
                                                   "e",
                                                   "Gr\xC3\xB6\xC3\x9F"
                                                   "e"},
                                         ShownText{"\xC3", "\xC3\x83"}, ShownText{"", ""}));

}  // namespace
}  // namespace varnel::test
