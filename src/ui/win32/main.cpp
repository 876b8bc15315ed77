// varnel.exe: the editor on Windows. One main window; the program ends
// when it closes.
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "io/windows/utf16.h"
#include "ui/start_arguments.h"
#include "ui/win32/main_window.h"
#include "ui/win32/win32_platform.h"

namespace {

// The arguments after the program's name, as Windows splits the command
// line (quotes around names with blanks), in UTF-8.
std::vector<std::string> commandLineArguments() {
  std::vector<std::string> arguments;
  int count = 0;
  LPWSTR* split = CommandLineToArgvW(GetCommandLineW(), &count);
  if (split == nullptr) return arguments;
  for (int i = 1; i < count; ++i)
    arguments.push_back(varnel::toUtf8(split[i]));
  LocalFree(split);
  return arguments;
}

// The editor's window on the platform of Windows: its message boxes, file
// dialogs, help and font dialogs, owned by the main window. A file given
// on the command line ("Open with", a file dropped on the program) is
// loaded; a window program prints nothing, so options are ignored.
int runEditorOnWindowsPlatform() {
  const varnel::ui::StartArguments start = varnel::ui::parseStartArguments(commandLineArguments());
  const bool withFile = start.action == varnel::ui::StartArguments::Action::kRun;
  varnel::win32ui::Win32Platform platform;
  varnel::win32ui::MainWindow window(platform);
  platform.setOwner(window.handle());
  return window.exec(withFile ? start.file : std::string());
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // The trackbars are the common controls' bar classes.
  INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX), ICC_BAR_CLASSES};
  if (!InitCommonControlsEx(&classes)) return 1;
  runEditorOnWindowsPlatform();
  return 0;
}
