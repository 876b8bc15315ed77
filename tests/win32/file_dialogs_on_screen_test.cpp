// The common file dialogs as the Windows platform opens them, on a display:
// the request's filter, default extension and initial name reach them, and
// the chosen path comes back whole.
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
};

TEST(Win32FileDialogs, RequestReachesTheDialogAndThePathComesBack) {
  const std::wstring folder = programFolder();
  const std::wstring sample = folder + L"sample.rom";
  const FileDialogCase cases[] = {
      {"save: the default extension added to a typed name",
       {true, "rom", "", ui::kOfnHideReadOnly | ui::kOfnOverwritePrompt, ui::kRomFilter},
       L"Save As",
       folder + L"bild-\u03a9",
       false,
       folder + L"bild-\u03a9.rom"},
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
    whileModal(
        c.caption,
        [&](HWND dialog) {
          fileType = windowText(GetDlgItem(dialog, kFileTypeList));
          if (!c.typed.empty()) typeFileName(dialog, c.typed);
          click(dialog, c.cancel ? IDCANCEL : IDOK);
        },
        [&] { chosen = platform.fileDialog(c.request); });
    EXPECT_EQ(fileType, "Both *.rom and *.bin");
    if (c.expected) {
      EXPECT_EQ(chosen, toUtf8(*c.expected));
    } else {
      EXPECT_EQ(chosen, std::nullopt);
    }
  }
}

}  // namespace
}  // namespace varnel
