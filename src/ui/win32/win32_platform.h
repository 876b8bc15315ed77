// The platform services of the editor on Windows: message boxes, the common
// file dialogs, the font dialogs and help through Windows' HTML Help.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/help_binding.h"
#include "ui/platform.h"

namespace varnel::win32ui {

// The HTML Help control's wide-character entry: owner, file, command, data.
using HtmlHelpFunction = HWND(WINAPI*)(HWND, const wchar_t*, UINT, DWORD_PTR);

// Where the HTML Help control comes from; the system's registry and loader
// by default, a fake in tests.
class HelpControlLibrary {
 public:
  virtual ~HelpControlLibrary() = default;
  // The control's file as registered for its class, or nothing.
  virtual std::optional<std::wstring> registeredPath() = 0;
  // Loads a library by path or by name (the system's search order); null
  // when it cannot. A loaded library stays loaded for the whole run.
  virtual HMODULE load(const std::wstring& pathOrName) = 0;
  // The library's wide-character HtmlHelp entry, or null.
  virtual HtmlHelpFunction entry(HMODULE library) = 0;
};

class SystemHelpControlLibrary : public HelpControlLibrary {
 public:
  std::optional<std::wstring> registeredPath() override;
  HMODULE load(const std::wstring& pathOrName) override;
  HtmlHelpFunction entry(HMODULE library) override;
};

// The control's file name, tried when the registry names none that loads.
inline constexpr const wchar_t* kHelpControlName = L"hhctrl.ocx";

// Loads the HTML Help control (the registered file, else the control by
// name) and finds its entry; null when either fails.
std::unique_ptr<ui::HelpViewer> bindHtmlHelp(HelpControlLibrary& library);

// A message box as MessageBoxW takes it.
struct MessageBoxArguments {
  std::wstring text;
  std::wstring caption;
  UINT style = 0;
};
MessageBoxArguments messageBoxArguments(const ui::Message& message, const std::string& text);

// A filter "Description|*.a;*.b|...||" as the common file dialogs take it:
// the same texts separated by NUL characters, ending in two of them.
std::wstring windowsFilter(std::string_view filter);

// Characters of the buffer that receives the chosen path.
inline constexpr size_t kFileNameCharacters = 32768;

// The common file dialog's record for a request, with the buffers it points
// into (so it cannot be copied or moved).
class FileDialogArguments {
 public:
  FileDialogArguments(const ui::FileDialogRequest& request, HWND owner);
  FileDialogArguments(const FileDialogArguments&) = delete;
  FileDialogArguments& operator=(const FileDialogArguments&) = delete;

  OPENFILENAMEW& record() { return record_; }
  // Starts without an initial name (one the dialog refused).
  void clearInitialName() { fileName_[0] = L'\0'; }
  // The chosen name as the dialog gave it back.
  std::wstring chosenName() const { return fileName_.data(); }
  std::string chosenPath() const;
  // The path to save to: the chosen name, with the default extension added
  // only when the name has none and names no file.
  std::wstring savePath() const;

 private:
  std::wstring filter_;
  std::wstring defaultExtension_;
  std::vector<wchar_t> fileName_;
  OPENFILENAMEW record_{};
};

class Win32Platform : public ui::Platform {
 public:
  explicit Win32Platform(SystemServices& system = hostSystem(),
                         std::unique_ptr<HelpControlLibrary> helpLibrary =
                             std::make_unique<SystemHelpControlLibrary>());

  // Message boxes, file dialogs and font dialogs are owned by this window
  // (the main window, once it exists).
  void setOwner(HWND owner) { owner_ = owner; }
  HWND owner() const { return owner_; }

  std::optional<std::string> fileDialog(const ui::FileDialogRequest& request) override;
  int messageBox(const ui::Message& message, const std::string& text) override;
  int selectFont(const CpiFontEntry* entries, int count,
                 const ui::FontGlyphReader& glyphsOf) override;
  void showFonts(const BiosImage& image) override;
  bool showHelp(const std::string& chmPath) override;
  const ui::HelpBinding& help() const { return help_; }

 private:
  // The question the file dialog asks before replacing a file, for a name
  // that got the default extension after the dialog ended.
  bool confirmReplacing(const std::wstring& path);
  HWND owner_ = nullptr;
  std::unique_ptr<HelpControlLibrary> helpLibrary_;
  ui::HelpBinding help_;
};

}  // namespace varnel::win32ui
