// The editor's main window on Windows: the dialog built from its layout
// table, its controls and the editor's behaviour on them.
#pragma once

#include <windows.h>

#include <shellapi.h>

#include <memory>
#include <string>

#include "ui/editor_dialog.h"
#include "ui/platform.h"
#include "ui/win32/win32_dialog_controls.h"

namespace varnel::win32ui {

class MainWindow {
 public:
  // Creates the window, hidden. The common controls' bar classes must be
  // registered (InitCommonControlsEx with ICC_BAR_CLASSES).
  explicit MainWindow(ui::Platform& platform);
  ~MainWindow();
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // The window while it is open, null once it closed.
  HWND handle() const { return dialog_; }
  bool isOpen() const { return dialog_ != nullptr; }
  Win32DialogControls& controls() { return *controls_; }
  ui::EditorDialog& editor() { return *editor_; }

  // Initialises the window, shows it, loads `file` when one is given, and
  // runs the program's message loop until Exit, Escape or the close box end
  // it (after the editor's question about unsaved changes).
  int exec(const std::string& file = "");
  // Initialises without showing: for tests.
  void initialize();
  // One message of the loop: F1 presses "&Help", Ctrl+Z "&Undo", Ctrl+Y
  // and Ctrl+Shift+Z "Re&do"; the dialog's own keys (Tab, mnemonics, Enter,
  // Escape) go to the dialog, the rest to its window.
  void processMessage(MSG& message);
  // Closes the window once the editor agrees.
  void requestClose();

 private:
  static INT_PTR CALLBACK dialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  bool onMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void onInitDialog(HWND window);
  void pressButton(int id);
  void loadDroppedFile(HDROP drop);
  int buttonOfKey(const MSG& message) const;

  HWND dialog_ = nullptr;
  std::unique_ptr<Win32DialogControls> controls_;
  std::unique_ptr<ui::EditorDialog> editor_;
  bool initialized_ = false;
  bool asking_ = false;  // the question about unsaved changes is open
};

}  // namespace varnel::win32ui
