// The Win32 editor driven end to end through its real window: the sample
// loaded through the editor's file dialog, clocks, CAS and vendor changed
// with the controls, saved; the file must be what varnel-cli writes for the
// same choices.
#include <windows.h>

#include <gtest/gtest.h>

#include <deque>
#include <utility>

#include "image/image_fields.h"
#include "io/windows/utf16.h"
#include "ui/control_ids.h"
#include "ui/editor_dialog.h"
#include "ui/win32/main_window.h"
#include "ui/win32/win32_platform.h"
#include "win32/window_driving.h"

namespace varnel {
namespace {

using namespace ui;
using namespace test;

// Runs a program with the arguments (each quoted) and waits for it; its
// exit status, or -1 when it could not start or did not end in a minute.
int runProgram(const std::wstring& program, const std::vector<std::wstring>& arguments) {
  std::wstring line = L"\"" + program + L"\"";
  for (const std::wstring& argument : arguments)
    line += L" \"" + argument + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                      nullptr, nullptr, &startup, &process)) {
    return -1;
  }
  DWORD status = static_cast<DWORD>(-1);
  if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0) {
    GetExitCodeProcess(process.hProcess, &status);
  } else {
    TerminateProcess(process.hProcess, 1);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<int>(status);
}

// The real Windows platform except that its file dialogs and message boxes
// answer from a script, and the program's folder is one the test made.
class ScriptedWin32Platform : public win32ui::Win32Platform {
 public:
  explicit ScriptedWin32Platform(std::string programDir) : programDir_(std::move(programDir)) {}

  std::deque<std::string> fileAnswers;  // none left: Cancel
  std::vector<FileDialogRequest> fileRequests;
  std::vector<std::string> messages;

  std::optional<std::string> fileDialog(const FileDialogRequest& request) override {
    fileRequests.push_back(request);
    if (fileAnswers.empty()) return std::nullopt;
    std::string answer = fileAnswers.front();
    fileAnswers.pop_front();
    return answer;
  }
  int messageBox(const Message& message, const std::string& text) override {
    // The save's list of changes warns of the vendor ID: the user confirms.
    if (isSaveConfirmation(message.id)) return kIdYes;
    messages.push_back(text);
    return defaultAnswer(message.style);
  }
  std::string programDirectory() override { return programDir_; }

 private:
  std::string programDir_;
};

std::string comboText(HWND combo) {
  const auto index = SendMessageW(combo, CB_GETCURSEL, 0, 0);
  if (index == CB_ERR) return "";
  wchar_t text[1024] = {};
  SendMessageW(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text));
  return toUtf8(text);
}

TEST(Win32Editor, LoadEditAndSaveThroughTheWindowWriteWhatTheCommandLineWrites) {
  const TemporaryFolder folder;
  const std::string folderPath = toUtf8(folder.path());
  writeText(folder.path() + L"Vendor.IDs",
            "1002  ATI Technologies Inc\n10de  NVIDIA Corporation\n121a  3dfx Interactive, Inc.\n");
  const std::wstring sample = programFolder() + L"sample.rom";
  // A name in more than one script: it crosses the file layer as UTF-16.
  const std::wstring saved = folder.path() + L"bearbeitet-\u00e4\u03a9.rom";
  ScriptedWin32Platform platform(folderPath);
  win32ui::MainWindow window(platform);
  platform.setOwner(window.handle());
  window.initialize();
  ShowWindow(window.handle(), SW_SHOW);
  UpdateWindow(window.handle());
  const HWND dialog = window.handle();
  const auto control = [&](int id) { return GetDlgItem(dialog, id); };

  platform.fileAnswers = {toUtf8(sample), toUtf8(saved)};
  click(dialog, kIdLoad);
  ASSERT_EQ(platform.messages, std::vector<std::string>{});
  ASSERT_EQ(windowText(control(kIdFileName)), toUtf8(sample));
  ASSERT_EQ(windowText(control(kIdCoreEdit)), "275");
  ASSERT_EQ(windowText(control(kIdMemoryEdit)), "270");
  ASSERT_EQ(comboText(control(kIdCas)), kCasNames[1]);
  ASSERT_EQ(comboText(control(kIdVendor)), "ATI Technologies Inc [0x1002]");

  // Core: a page up the scale, then three steps back, by keys on the
  // trackbar; memory: twenty steps down; CAS and vendor: the next item.
  pressKey(control(kIdCoreSlider), VK_NEXT);
  pressKey(control(kIdCoreSlider), VK_LEFT, 3);
  pressKey(control(kIdMemorySlider), VK_LEFT, 20);
  pressKey(control(kIdCas), VK_DOWN);
  pressKey(control(kIdVendor), VK_DOWN);
  EXPECT_EQ(windowText(control(kIdCoreEdit)), "297");
  EXPECT_EQ(windowText(control(kIdMemoryEdit)), "250");
  EXPECT_EQ(comboText(control(kIdCas)), kCasNames[2]);
  EXPECT_EQ(comboText(control(kIdVendor)), "NVIDIA Corporation [0x10DE]");

  click(dialog, kIdSave);
  EXPECT_EQ(platform.messages, std::vector<std::string>{});
  ASSERT_EQ(platform.fileRequests.size(), 2u);
  EXPECT_TRUE(platform.fileRequests[1].save);
  EXPECT_EQ(platform.fileRequests[1].initialName, toUtf8(sample));

  const std::wstring expected = folder.path() + L"expected.rom";
  ASSERT_EQ(runProgram(programFolder() + L"varnel-cli.exe",
                       {L"set", sample, L"-o", expected, L"--core", L"297", L"--memory", L"250",
                        L"--cas", L"3", L"--vendor", L"10DE"}),
            0);
  const std::vector<uint8_t> written = readBytes(saved);
  ASSERT_FALSE(written.empty());
  EXPECT_NE(written, readBytes(sample));
  EXPECT_TRUE(written == readBytes(expected)) << "the editor's save differs from varnel-cli's";
}

}  // namespace
}  // namespace varnel
