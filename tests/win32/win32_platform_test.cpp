// The Windows platform's arguments to the system's dialogs and its binding
// to HTML Help, checked without showing a window.
#include "ui/win32/win32_platform.h"

#include <gtest/gtest.h>
#include <htmlhelp.h>

#include <set>

#include "io/windows/utf16.h"
#include "ui/dialog_template.h"
#include "ui/editor_dialog.h"
#include "ui/headless_controls.h"
#include "win32/fixed_directory_system.h"

namespace varnel {
namespace {

using win32ui::FileDialogArguments;

// A wide string with its embedded NULs.
template <size_t N>
std::wstring withNuls(const wchar_t (&text)[N]) {
  return std::wstring(text, N - 1);
}

struct FilterCase {
  const char* filter;
  std::wstring expected;
};

TEST(Win32Platform, FiltersAreSeparatedByNulsAndEndInTwo) {
  const FilterCase cases[] = {
      {ui::kRomFilter,
       withNuls(L"Both *.rom and *.bin\0*.rom;*.bin\0ROM Files (*.rom)\0*.rom\0BIN Files "
                L"(*.bin)\0*.bin\0All Files (*.*)\0*.*\0\0")},
      {"DOS Font files (*.fnt)|*.fnt|All Files (*.*)|*.*||",
       withNuls(L"DOS Font files (*.fnt)\0*.fnt\0All Files (*.*)\0*.*\0\0")},
      {"Bilder (*.röm)|*.röm||", withNuls(L"Bilder (*.r\u00f6m)\0*.r\u00f6m\0\0")},
      {"", L""},
  };
  for (const FilterCase& c : cases) {
    EXPECT_EQ(win32ui::windowsFilter(c.filter), c.expected) << c.filter;
  }
}

struct FileDialogCase {
  const char* name;
  ui::FileDialogRequest request;
  const wchar_t* defaultExtension;  // null: none
  const wchar_t* initialName;
};

TEST(Win32Platform, FileDialogRecordCarriesTheRequest) {
  const FileDialogCase cases[] = {
      {"load image", {false, "rom", "", 0x1004, ui::kRomFilter}, L"rom", L""},
      // Saving, the extension is added after the dialog, only to a name
      // that names no file.
      {"save image",
       {true, "rom", "C:\\Karten\\r\u00f6m.rom", 0x0006, ui::kRomFilter},
       nullptr,
       L"C:\\Karten\\r\u00f6m.rom"},
      {"load font", {false, "", "", 0x1004, "A|*.cpi||"}, nullptr, L""},
  };
  const HWND owner = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x1234));
  for (const FileDialogCase& c : cases) {
    SCOPED_TRACE(c.name);
    FileDialogArguments arguments(c.request, owner);
    const OPENFILENAMEW& record = arguments.record();
    EXPECT_EQ(record.lStructSize, sizeof(OPENFILENAMEW));
    EXPECT_EQ(record.hwndOwner, owner);
    EXPECT_EQ(record.Flags, c.request.flags);
    EXPECT_EQ(record.nFilterIndex, 1u);
    const std::wstring filter = win32ui::windowsFilter(c.request.filter);
    ASSERT_NE(record.lpstrFilter, nullptr);
    EXPECT_EQ(std::wstring(record.lpstrFilter, filter.size()), filter);
    if (c.defaultExtension == nullptr) {
      EXPECT_EQ(record.lpstrDefExt, nullptr);
    } else {
      ASSERT_NE(record.lpstrDefExt, nullptr);
      EXPECT_STREQ(record.lpstrDefExt, c.defaultExtension);
    }
    EXPECT_EQ(record.nMaxFile, win32ui::kFileNameCharacters);
    EXPECT_STREQ(record.lpstrFile, c.initialName);
    EXPECT_EQ(arguments.chosenPath(), c.request.initialName);
  }
}

TEST(Win32Platform, FileNameBufferTakesTheLongestNameAndCutsALongerOne) {
  // The longest name a dialog can return fits; one longer is cut, never
  // written past the buffer.
  for (const size_t length :
       {win32ui::kFileNameCharacters - 1, win32ui::kFileNameCharacters + 10}) {
    ui::FileDialogRequest request;
    request.initialName = std::string(length, 'a');
    FileDialogArguments arguments(request, nullptr);
    const size_t kept = std::min(length, win32ui::kFileNameCharacters - 1);
    // Compared whole, not printed: a failure would show 32768 letters.
    EXPECT_TRUE(arguments.chosenPath() == std::string(kept, 'a')) << "length " << length;
    arguments.clearInitialName();
    EXPECT_EQ(arguments.chosenPath(), "");
  }
}

struct MessageCase {
  ui::MessageId id;
  const char* text;
  const wchar_t* caption;
  UINT style;
};

TEST(Win32Platform, MessageBoxesTakeTextCaptionAndStyleOfTheMessage) {
  const MessageCase cases[] = {
      {ui::MessageId::kErrorOpeningFile, "Error opening file", L"Error", MB_ICONERROR},
      {ui::MessageId::kNoFonts8x8, "There are no 8x8 fonts int this file.", L"Varnel", MB_OK},
      {ui::MessageId::kImplausibleFont8x16, "Caf\u00e9\nZeile", L"Warning",
       MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2},
      {ui::MessageId::kSaveChanges, "Save the changes to the BIOS image?", L"Varnel",
       MB_YESNOCANCEL | MB_ICONQUESTION},
  };
  for (const MessageCase& c : cases) {
    const win32ui::MessageBoxArguments arguments =
        win32ui::messageBoxArguments(ui::message(c.id), c.text);
    EXPECT_EQ(arguments.text, toUtf16(c.text));
    EXPECT_EQ(arguments.caption, c.caption) << c.text;
    EXPECT_EQ(arguments.style, c.style) << c.text;
  }
}

// A help control library that is only pretended: which loads succeed and
// whether the entry exists is set per case; the entry records its calls.
struct HelpCall {
  HWND owner;
  std::wstring file;  // "" for none
  UINT command;
  DWORD_PTR data;
};
std::vector<HelpCall> helpCalls;

HWND WINAPI recordingHtmlHelp(HWND owner, const wchar_t* file, UINT command, DWORD_PTR data) {
  helpCalls.push_back({owner, file != nullptr ? file : L"", command, data});
  return nullptr;
}

class FakeHelpLibrary : public win32ui::HelpControlLibrary {
 public:
  std::optional<std::wstring> registered;
  std::set<std::wstring> loadable;
  bool hasEntry = true;
  std::vector<std::wstring>* loads = nullptr;

  std::optional<std::wstring> registeredPath() override { return registered; }
  HMODULE load(const std::wstring& pathOrName) override {
    loads->push_back(pathOrName);
    return loadable.count(pathOrName) != 0 ? GetModuleHandleW(nullptr) : nullptr;
  }
  win32ui::HtmlHelpFunction entry(HMODULE) override {
    return hasEntry ? &recordingHtmlHelp : nullptr;
  }
};

struct HelpCase {
  const char* name;
  std::optional<std::wstring> registered;
  std::set<std::wstring> loadable;
  bool hasEntry;
  std::vector<std::wstring> expectedLoads;  // over two requests
  bool opens;
};

// Two help requests, then the end of the program.
TEST(Win32Platform, HelpLoadsTheControlOnceAndNeverRetriesAFailure) {
  const std::wstring registered = L"C:\\Windows\\System32\\hhctrl.ocx";
  const std::wstring byName = win32ui::kHelpControlName;
  const HelpCase cases[] = {
      {"registered", registered, {registered}, true, {registered}, true},
      {"not registered, found by name", std::nullopt, {byName}, true, {byName}, true},
      {"registered file missing", registered, {byName}, true, {registered, byName}, true},
      {"no control at all", registered, {}, true, {registered, byName}, false},
      {"control without its entry", std::nullopt, {byName}, false, {byName}, false},
  };
  test::FixedDirectorySystem system("C:\\Programme\\Gr\u00e4fik\\");
  // The help file is there; what it holds is the control's business.
  system.emptyFiles.insert("C:\\Programme\\Gr\u00e4fik\\Varnel.chm");
  for (const HelpCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::wstring> loads;
    auto library = std::make_unique<FakeHelpLibrary>();
    library->registered = c.registered;
    library->loadable = c.loadable;
    library->hasEntry = c.hasEntry;
    library->loads = &loads;
    helpCalls.clear();
    {
      win32ui::Win32Platform platform(system, std::move(library));
      ui::HeadlessControls controls(ui::mainDialogTemplate());
      ui::EditorDialog editor(controls, platform);
      editor.ShowHelp();
      editor.ShowHelp();
      EXPECT_EQ(platform.help().failed(), !c.opens);
    }
    EXPECT_EQ(loads, c.expectedLoads);
    // Both requests for the contents, then the help windows closed.
    ASSERT_EQ(helpCalls.size(), c.opens ? 3u : 0u);
    for (size_t i = 0; i < helpCalls.size(); ++i) {
      const bool closing = i == 2;
      EXPECT_EQ(helpCalls[i].owner, nullptr);
      EXPECT_EQ(helpCalls[i].file, closing ? L"" : L"C:\\Programme\\Gr\u00e4fik\\Varnel.chm");
      EXPECT_EQ(helpCalls[i].command, static_cast<UINT>(closing ? HH_CLOSE_ALL : HH_DISPLAY_TOC));
      EXPECT_EQ(helpCalls[i].data, 0u);
    }
  }
}

// The system's own control, as Windows (and Wine) install it: registered for
// its class, and its entry the wide HtmlHelp.
TEST(Win32Platform, SystemHelpControlIsFoundWithItsWideEntry) {
  win32ui::SystemHelpControlLibrary library;
  const std::optional<std::wstring> registered = library.registeredPath();
  ASSERT_TRUE(registered.has_value());
  const HMODULE control = library.load(*registered);
  ASSERT_NE(control, nullptr);
  EXPECT_EQ(reinterpret_cast<void*>(library.entry(control)),
            reinterpret_cast<void*>(GetProcAddress(control, "HtmlHelpW")));
  EXPECT_NE(library.entry(control), nullptr);
}

}  // namespace
}  // namespace varnel
