// varnel.exe: the editor on Windows. One main window; the program ends
// when it closes.
#include <windows.h>

#include <commctrl.h>

#include "ui/win32/main_window.h"
#include "ui/win32/win32_platform.h"

namespace {

// The editor's window on the platform of Windows: its message boxes, file
// dialogs, help and font dialogs, owned by the main window.
int runEditorOnWindowsPlatform() {
  varnel::win32ui::Win32Platform platform;
  varnel::win32ui::MainWindow window(platform);
  platform.setOwner(window.handle());
  return window.exec();
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // The trackbars are the common controls' bar classes.
  INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX), ICC_BAR_CLASSES};
  if (!InitCommonControlsEx(&classes)) return 1;
  runEditorOnWindowsPlatform();
  return 0;
}
