// The system's dialogs as the Windows platform opens them, on a display:
// the file dialogs get the request's filter, default extension and initial
// name and give the chosen path back whole; message boxes show the
// message's caption, text and buttons and answer with the button pressed.
#include <gtest/gtest.h>

#include "ui/editor_dialog.h"
#include "ui/win32/win32_platform.h"
#include "win32/fixed_directory_system.h"
#include "win32/window_driving.h"

namespace varnel {
namespace {

using namespace test;

// The control ids of the dialogs' file name box and file type list.
constexpr int kFileNameBox = 0x47C;
constexpr int kFileTypeList = 0x470;

// Types a name into the dialog's file name box.
void typeFileName(HWND dialog, const std::wstring& name) {
  const HWND box = GetDlgItem(dialog, kFileNameBox);
  HWND edit = FindWindowExW(box, nullptr, L"Edit", nullptr);
  if (edit == nullptr) {  // a combo box inside an extended one
    edit =
        FindWindowExW(FindWindowExW(box, nullptr, L"ComboBox", nullptr), nullptr, L"Edit", nullptr);
  }
  SetWindowTextW(edit != nullptr ? edit : box, name.c_str());
}

struct FileDialogCase {
  const char* name;
  ui::FileDialogRequest request;
  const wchar_t* caption;
  std::wstring typed;  // "" types nothing
  bool cancel;
  std::optional<std::wstring> expected;
  int replaceQuestions = 0;  // answered Yes
};

// Answers Yes to each question box (one with a Yes button) that opens
// while it lives, the file dialog's own or one after it, and counts them.
class ReplaceQuestionAnswerer {
 public:
  ReplaceQuestionAnswerer() {
    answered_ = 0;
    timer_ = SetTimer(nullptr, 0, 50, &onTimer);
  }
  ~ReplaceQuestionAnswerer() { KillTimer(nullptr, timer_); }
  ReplaceQuestionAnswerer(const ReplaceQuestionAnswerer&) = delete;
  ReplaceQuestionAnswerer& operator=(const ReplaceQuestionAnswerer&) = delete;
  int answered() const { return answered_; }

 private:
  static BOOL CALLBACK answer(HWND window, LPARAM) {
    wchar_t kind[16] = {};
    GetClassNameW(window, kind, 16);
    const HWND yes = GetDlgItem(window, IDYES);
    if (std::wstring(kind) == L"#32770" && IsWindowVisible(window) && yes != nullptr) {
      ++answered_;
      PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDYES, BN_CLICKED),
                   reinterpret_cast<LPARAM>(yes));
      return FALSE;
    }
    return TRUE;
  }
  static void CALLBACK onTimer(HWND, UINT, UINT_PTR, DWORD) {
    EnumThreadWindows(GetCurrentThreadId(), &answer, 0);
  }
  static inline int answered_ = 0;
  UINT_PTR timer_;
};

TEST(Win32FileDialogs, RequestReachesTheDialogAndThePathComesBack) {
  const std::wstring folder = programFolder();
  const std::wstring sample = folder + L"sample.rom";
  const TemporaryFolder scratch;
  const std::wstring dump = scratch.path() + L"dump";
  const std::wstring taken = scratch.path() + L"taken";
  writeText(dump, "a dump without an extension");
  writeText(taken + L".rom", "a file the extension leads to");
  const FileDialogCase cases[] = {
      {"save: the default extension added to a typed name",
       {true, "rom", "", ui::kOfnHideReadOnly | ui::kOfnOverwritePrompt, ui::kRomFilter},
       L"Save As",
       folder + L"bild-\u03a9",
       false,
       folder + L"bild-\u03a9.rom"},
      {"save: a typed name that names a file is that file, after the question",
       {true, "rom", "", ui::kOfnHideReadOnly | ui::kOfnOverwritePrompt, ui::kRomFilter},
       L"Save As",
       dump,
       false,
       dump,
       1},
      {"save: the default extension leads to a file, asked about",
       {true, "rom", "", ui::kOfnHideReadOnly | ui::kOfnOverwritePrompt, ui::kRomFilter},
       L"Save As",
       taken,
       false,
       taken + L".rom",
       1},
      {"save: the proposed name of an extension-less file saves over it",
       {true, "rom", toUtf8(dump), ui::kOfnHideReadOnly | ui::kOfnOverwritePrompt, ui::kRomFilter},
       L"Save As",
       L"",
       false,
       dump,
       1},
      {"open: a typed name that names a file is that file",
       {false, "rom", "", ui::kOfnHideReadOnly | ui::kOfnFileMustExist, ui::kRomFilter},
       L"Open",
       dump,
       false,
       dump},
      {"open: the initial name taken as it is",
       {false, "rom", toUtf8(sample), ui::kOfnHideReadOnly | ui::kOfnFileMustExist, ui::kRomFilter},
       L"Open",
       L"",
       false,
       sample},
      {"cancelled",
       {false, "rom", "", ui::kOfnHideReadOnly | ui::kOfnFileMustExist, ui::kRomFilter},
       L"Open",
       L"",
       true,
       std::nullopt},
  };
  FixedDirectorySystem system(toUtf8(folder));
  win32ui::Win32Platform platform(system);
  for (const FileDialogCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::string fileType;
    std::optional<std::string> chosen = "not shown";
    int replaceQuestions = 0;
    whileModal(
        c.caption,
        [&](HWND dialog) {
          fileType = windowText(GetDlgItem(dialog, kFileTypeList));
          if (!c.typed.empty()) typeFileName(dialog, c.typed);
          click(dialog, c.cancel ? IDCANCEL : IDOK);
        },
        [&] {
          const ReplaceQuestionAnswerer answerer;
          chosen = platform.fileDialog(c.request);
          replaceQuestions = answerer.answered();
        });
    EXPECT_EQ(fileType, "Both *.rom and *.bin");
    EXPECT_EQ(replaceQuestions, c.replaceQuestions);
    if (c.expected) {
      EXPECT_EQ(chosen, toUtf8(*c.expected));
    } else {
      EXPECT_EQ(chosen, std::nullopt);
    }
  }
}

struct MessageCase {
  ui::MessageId id;
  const wchar_t* caption;
  WPARAM key;  // pressed on the box
  int expected;
};

TEST(Win32MessageBoxes, ShowTheMessageAndAnswerWithTheButtonPressed) {
  const MessageCase cases[] = {
      {ui::MessageId::kErrorOpeningFile, L"Error", VK_RETURN, 1},
      {ui::MessageId::kNoFonts8x16, L"Varnel", VK_ESCAPE, 1},
      {ui::MessageId::kSaveChanges, L"Varnel", VK_RETURN, ui::kIdYes},
      {ui::MessageId::kSaveChanges, L"Varnel", VK_ESCAPE, ui::kIdCancel},
      {ui::MessageId::kImplausibleFont8x8, L"Warning", VK_RETURN, ui::kIdNo},
  };
  FixedDirectorySystem system(toUtf8(programFolder()));
  win32ui::Win32Platform platform(system);
  for (const MessageCase& c : cases) {
    const ui::Message& message = ui::message(c.id);
    SCOPED_TRACE(message.text);
    const std::string text = std::string(message.text) + "\nZ:\\Karten\\b\u00f6se.rom";
    std::string shown;
    int answer = 0;
    whileModal(
        c.caption,
        [&](HWND box) {
          // The message box's text is its static control 0xFFFF.
          shown = windowText(GetDlgItem(box, 0xFFFF));
          PostMessageW(box, WM_KEYDOWN, c.key, 1);
          PostMessageW(box, WM_KEYUP, c.key, 0xC0000001);
        },
        [&] { answer = platform.messageBox(message, text); });
    EXPECT_EQ(shown, text);
    EXPECT_EQ(answer, c.expected);
  }
}

}  // namespace
}  // namespace varnel
