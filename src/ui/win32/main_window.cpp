#include "ui/win32/main_window.h"

#include <shellapi.h>

#include <stdexcept>
#include <string>

#include "io/windows/utf16.h"
#include "ui/control_ids.h"
#include "ui/dialog_template.h"
#include "ui/win32/dialog_builder.h"
#include "ui/win32/resource_ids.h"

namespace varnel::win32ui {
namespace {

// The program's icon in the size of the system metrics given (SM_CXICON
// and SM_CYICON, or the small ones); null when the program carries none.
HICON programIcon(int widthMetric, int heightMetric) {
  return static_cast<HICON>(LoadImageW(
      GetModuleHandleW(nullptr), MAKEINTRESOURCEW(VARNEL_ICON_RESOURCE), IMAGE_ICON,
      GetSystemMetrics(widthMetric), GetSystemMetrics(heightMetric), LR_DEFAULTCOLOR | LR_SHARED));
}

}  // namespace

MainWindow::MainWindow(ui::Platform& platform) {
  const std::vector<WORD> layout = buildDialogTemplate(ui::mainDialogTemplate(), WS_MINIMIZEBOX);
  CreateDialogIndirectParamW(GetModuleHandleW(nullptr),
                             reinterpret_cast<LPCDLGTEMPLATEW>(layout.data()), nullptr,
                             &MainWindow::dialogProcedure, reinterpret_cast<LPARAM>(this));
  if (dialog_ == nullptr) throw std::runtime_error("the main window could not be created");
  controls_ = std::make_unique<Win32DialogControls>(dialog_);
  editor_ = std::make_unique<ui::EditorDialog>(*controls_, platform);
  controls_->setEvents(editor_.get());
}

// The editor hears nothing more before the window goes: a focused edit
// reports its loss of focus as it is destroyed.
MainWindow::~MainWindow() {
  if (controls_ != nullptr) controls_->setEvents(nullptr);
  if (dialog_ != nullptr) DestroyWindow(dialog_);
}

INT_PTR CALLBACK MainWindow::dialogProcedure(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(window, DWLP_USER, lParam);
    reinterpret_cast<MainWindow*>(lParam)->onInitDialog(window);
    // FALSE: the focus stays where the layout put it.
    return focusInitialControl(window, ui::mainDialogTemplate()) ? FALSE : TRUE;
  }
  auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(window, DWLP_USER));
  if (self == nullptr) return FALSE;
  if (message == WM_NCDESTROY) {
    self->dialog_ = nullptr;
    return FALSE;
  }
  return self->onMessage(message, wParam, lParam) ? TRUE : FALSE;
}

void MainWindow::onInitDialog(HWND window) {
  dialog_ = window;
  DragAcceptFiles(window, TRUE);
  addFixedItems(window, ui::mainDialogTemplate());
  if (const HICON big = programIcon(SM_CXICON, SM_CYICON)) {
    SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
  }
  if (const HICON small = programIcon(SM_CXSMICON, SM_CYSMICON)) {
    SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
  }
}

bool MainWindow::onMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      if (controls_ != nullptr) controls_->handleMessage(message, wParam, lParam);
      // "E&xit" and Escape (which the dialog turns into Exit's command).
      if (LOWORD(wParam) == ui::kIdCancel && HIWORD(wParam) == BN_CLICKED) requestClose();
      return true;
    case WM_HSCROLL:
      return controls_ != nullptr && controls_->handleMessage(message, wParam, lParam);
    case WM_CLOSE:  // the close box, Alt+F4
      requestClose();
      return true;
    case WM_DROPFILES:
      loadDroppedFile(reinterpret_cast<HDROP>(wParam));
      return true;
    default:
      return false;
  }
}

// A file dropped anywhere on the window is loaded as Load... loads it
// (asking first about unsaved edits); of several, the first.
void MainWindow::loadDroppedFile(HDROP drop) {
  std::wstring name;
  const UINT length = DragQueryFileW(drop, 0, nullptr, 0);
  if (DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0) > 0 && length > 0) {
    name.resize(length + 1);
    name.resize(DragQueryFileW(drop, 0, name.data(), length + 1));
  }
  DragFinish(drop);
  if (!name.empty() && editor_ != nullptr) editor_->LoadBiosFile(toUtf8(name), false);
}

void MainWindow::initialize() {
  if (initialized_) return;
  initialized_ = true;
  editor_->OnInitDialog();
}

void MainWindow::requestClose() {
  if (asking_ || !isOpen()) return;  // a second close while the question is open
  asking_ = true;
  const bool close = editor_->ConfirmExit();
  asking_ = false;
  if (!close || !isOpen()) return;
  controls_->setEvents(nullptr);
  DestroyWindow(dialog_);
}

void MainWindow::pressButton(int id) {
  const HWND button = GetDlgItem(dialog_, id);
  if (button == nullptr || !IsWindowEnabled(button)) return;
  SendMessageW(dialog_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

namespace {

// The window's keys and the buttons they press, as on every window of the
// desktop: F1 for help, Ctrl+Z to undo, Ctrl+Y or Ctrl+Shift+Z to redo.
// Taken before the focused control sees them, so that an edit's own undo
// never answers Ctrl+Z here.
struct KeyButton {
  WPARAM key;
  bool control, shift;
  int button;
};

constexpr KeyButton kWindowKeys[] = {{VK_F1, false, false, ui::kIdHelp},
                                     {'Z', true, false, ui::kIdUndo},
                                     {'Y', true, false, ui::kIdRedo},
                                     {'Z', true, true, ui::kIdRedo}};

bool isDown(int key) {
  return (GetKeyState(key) & 0x8000) != 0;
}

}  // namespace

// The button a key pressed in this window stands for; 0 for none.
int MainWindow::buttonOfKey(const MSG& message) const {
  if (message.message != WM_KEYDOWN) return 0;
  for (const KeyButton& key : kWindowKeys) {
    if (key.key == message.wParam && key.control == isDown(VK_CONTROL) &&
        key.shift == isDown(VK_SHIFT) && !isDown(VK_MENU)) {
      return key.button;
    }
  }
  return 0;
}

void MainWindow::processMessage(MSG& message) {
  const bool forThisWindow =
      isOpen() && (message.hwnd == dialog_ || IsChild(dialog_, message.hwnd) != FALSE);
  if (const int button = forThisWindow ? buttonOfKey(message) : 0) {
    pressButton(button);
    return;
  }
  if (forThisWindow && isIgnoredEnter(dialog_, message, ui::mainDialogTemplate())) return;
  if (isOpen() && IsDialogMessageW(dialog_, &message) != FALSE) return;
  TranslateMessage(&message);
  DispatchMessageW(&message);
}

int MainWindow::exec(const std::string& file) {
  initialize();
  ShowWindow(dialog_, SW_SHOW);
  SetForegroundWindow(dialog_);
  // Loaded once the window is on show, so that a refusal has it as owner.
  if (!file.empty()) editor_->LoadBiosFile(file, false);
  MSG message;
  while (isOpen() && GetMessageW(&message, nullptr, 0, 0) > 0)
    processMessage(message);
  return ui::kIdCancel;
}

}  // namespace varnel::win32ui
