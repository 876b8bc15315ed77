// Driving the Win32 editor's windows in tests as a user would: clicks and
// keys sent to the real controls, modal dialogs acted on while they run,
// the files beside the test program, and a temporary folder of its own.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "io/windows/utf16.h"

namespace varnel::test {

// The folder of this program, with a trailing separator.
inline std::wstring programFolder() {
  std::wstring path(MAX_PATH, L'\0');
  const DWORD length = GetModuleFileNameW(nullptr, path.data(), MAX_PATH);
  path.resize(length);
  return path.substr(0, path.find_last_of(L"\\/") + 1);
}

inline std::vector<uint8_t> readBytes(const std::wstring& path) {
  std::vector<uint8_t> bytes;
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  uint8_t buffer[4096];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
    bytes.insert(bytes.end(), buffer, buffer + got);
  CloseHandle(file);
  return bytes;
}

inline void writeText(const std::wstring& path, const std::string& text) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
  ASSERT_EQ(written, text.size());
}

// A folder of its own in the system's folder for temporary files, removed
// with its files at the end.
class TemporaryFolder {
 public:
  TemporaryFolder() {
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    path_ = std::wstring(base) + L"varnel-win32-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
    CreateDirectoryW(path_.c_str(), nullptr);
  }
  ~TemporaryFolder() {
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((path_ + L"*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        DeleteFileW((path_ + found.cFileName).c_str());
      } while (FindNextFileW(search, &found));
      FindClose(search);
    }
    RemoveDirectoryW(path_.c_str());
  }
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;
  const std::wstring& path() const { return path_; }

 private:
  std::wstring path_;
};

// Runs `drive` on the first modal dialog with this caption once the modal
// loop that `open` starts is running, as a user acts on a dialog already
// shown.
inline void whileModal(const wchar_t* caption, std::function<void(HWND)> drive,
                       const std::function<void()>& open) {
  static const wchar_t* wanted = nullptr;
  static std::function<void(HWND)>* action = nullptr;
  wanted = caption;
  action = &drive;
  struct Timer {
    static void CALLBACK onTimer(HWND, UINT, UINT_PTR id, DWORD) {
      const HWND dialog = FindWindowW(L"#32770", wanted);
      if (dialog == nullptr || !IsWindowVisible(dialog)) return;
      KillTimer(nullptr, id);
      (*action)(dialog);
      // A dialog the action left open is cancelled after what it posted,
      // so that a failing case ends instead of waiting for a user.
      PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    }
  };
  const UINT_PTR timer = SetTimer(nullptr, 0, 50, &Timer::onTimer);
  open();
  KillTimer(nullptr, timer);
}

// A user's click on a control, through the control itself.
inline void click(HWND dialog, int id) {
  SendMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

// A key pressed `times` times while the control has the focus.
inline void pressKey(HWND control, WPARAM key, int times = 1) {
  for (int i = 0; i < times; ++i) {
    SendMessageW(control, WM_KEYDOWN, key, 1);
    SendMessageW(control, WM_KEYUP, key, 0xC0000001);
  }
}

// A mouse click on line `index` of a list box.
inline void clickLine(HWND list, int index) {
  RECT line{};
  SendMessageW(list, LB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&line));
  const LPARAM at = MAKELPARAM((line.left + line.right) / 2, (line.top + line.bottom) / 2);
  SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageW(list, WM_LBUTTONUP, 0, at);
}

inline std::string windowText(HWND window) {
  wchar_t text[1024] = {};
  GetWindowTextW(window, text, 1024);
  return toUtf8(text);
}

}  // namespace varnel::test
