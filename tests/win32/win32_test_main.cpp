// Runs the Win32 front end's tests: the common controls' bar classes are
// registered first, as the editor does before its window exists.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>

namespace {

// Under Wine on a display without a window manager, a window the manager
// would own is waited for (two seconds) each time it hides. This program's
// windows are left to Wine instead; Wine reads the setting as the program
// starts, Windows ignores it. Returns whether it was there already.
bool leaveWindowsToWine() {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (length == 0 || length == MAX_PATH) return true;
  const std::wstring program(path, length);
  const std::wstring name = program.substr(program.find_last_of(L"\\/") + 1);
  const std::wstring settings = L"Software\\Wine\\AppDefaults\\" + name + L"\\X11 Driver";
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, settings.c_str(), 0, KEY_QUERY_VALUE, &key) ==
      ERROR_SUCCESS) {
    const bool there =
        RegQueryValueExW(key, L"Managed", nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(key);
    if (there) return true;
  }
  if (RegCreateKeyExW(HKEY_CURRENT_USER, settings.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                      &key, nullptr) != ERROR_SUCCESS) {
    return true;
  }
  const wchar_t no[] = L"N";
  RegSetValueExW(key, L"Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>(no), sizeof no);
  RegCloseKey(key);
  return false;
}

// Runs this program again with the same arguments and output; its status.
int runAgain() {
  std::wstring commandLine = GetCommandLineW();
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return 2;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD status = 2;
  GetExitCodeProcess(process.hProcess, &status);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<int>(status);
}

}  // namespace

int main(int argc, char** argv) {
  if (!leaveWindowsToWine()) return runAgain();
  INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX), ICC_BAR_CLASSES};
  if (!InitCommonControlsEx(&classes)) return 2;
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
