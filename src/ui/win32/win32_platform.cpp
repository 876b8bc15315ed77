#include "ui/win32/win32_platform.h"

#include <commdlg.h>
#include <htmlhelp.h>

#include <algorithm>

#include "io/windows/utf16.h"
#include "ui/editor_dialog.h"
#include "ui/win32/font_dialogs_win32.h"

namespace varnel::win32ui {
namespace {

// The HTML Help control's class, under which the registry names its file.
constexpr const wchar_t* kHelpControlKey =
    L"CLSID\\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}\\InprocServer32";
// The control exports HtmlHelpA as ordinal 14 and HtmlHelpW as 15. The wide
// entry is the one taken, so that help files in folders named in any
// language open.
constexpr WORD kHtmlHelpWideOrdinal = 15;

class HtmlHelpViewer : public ui::HelpViewer {
 public:
  explicit HtmlHelpViewer(HtmlHelpFunction entry) : entry_(entry) {}
  // Help windows still open would outlive the editor's message loop, and
  // ending the program under them can hang it: they are closed first.
  ~HtmlHelpViewer() override { entry_(nullptr, nullptr, HH_CLOSE_ALL, 0); }
  HtmlHelpViewer(const HtmlHelpViewer&) = delete;
  HtmlHelpViewer& operator=(const HtmlHelpViewer&) = delete;

  // The viewer's window has no owner, so that it stays open beside the
  // editor; what it returns (its window, or none) is of no use here. HTML
  // Help tells of a damaged file itself.
  bool displayTableOfContents(const std::string& chmPath) override {
    entry_(nullptr, toUtf16(chmPath).c_str(), HH_DISPLAY_TOC, 0);
    return true;
  }

 private:
  HtmlHelpFunction entry_;
};

}  // namespace

std::optional<std::wstring> SystemHelpControlLibrary::registeredPath() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, kHelpControlKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  wchar_t path[MAX_PATH] = {};
  // One character kept back: a stored text need not end in a NUL.
  DWORD size = sizeof path - sizeof path[0];
  const LONG status =
      RegQueryValueExW(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(path), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) return std::nullopt;
  return std::wstring(path);
}

HMODULE SystemHelpControlLibrary::load(const std::wstring& pathOrName) {
  return LoadLibraryW(pathOrName.c_str());
}

HtmlHelpFunction SystemHelpControlLibrary::entry(HMODULE library) {
  return reinterpret_cast<HtmlHelpFunction>(
      reinterpret_cast<void*>(GetProcAddress(library, MAKEINTRESOURCEA(kHtmlHelpWideOrdinal))));
}

std::unique_ptr<ui::HelpViewer> bindHtmlHelp(HelpControlLibrary& library) {
  HMODULE module = nullptr;
  if (const std::optional<std::wstring> path = library.registeredPath()) {
    module = library.load(*path);
  }
  if (module == nullptr) module = library.load(kHelpControlName);
  if (module == nullptr) return nullptr;
  const HtmlHelpFunction entry = library.entry(module);
  if (entry == nullptr) return nullptr;
  return std::make_unique<HtmlHelpViewer>(entry);
}

MessageBoxArguments messageBoxArguments(const ui::Message& message, const std::string& text) {
  const char* caption = message.caption != nullptr ? message.caption : ui::kApplicationName;
  return {toUtf16(text), toUtf16(caption), message.style};
}

std::wstring windowsFilter(std::string_view filter) {
  std::wstring converted = toUtf16(filter);
  std::replace(converted.begin(), converted.end(), L'|', L'\0');
  return converted;
}

FileDialogArguments::FileDialogArguments(const ui::FileDialogRequest& request, HWND owner)
    : filter_(windowsFilter(request.filter)),
      defaultExtension_(toUtf16(request.defaultExtension)),
      fileName_(kFileNameCharacters, L'\0') {
  const std::wstring initialName = toUtf16(request.initialName);
  std::copy_n(initialName.begin(), std::min(initialName.size(), fileName_.size() - 1),
              fileName_.begin());
  record_.lStructSize = sizeof record_;
  record_.hwndOwner = owner;
  record_.lpstrFilter = filter_.empty() ? nullptr : filter_.c_str();
  record_.nFilterIndex = 1;
  record_.lpstrFile = fileName_.data();
  record_.nMaxFile = static_cast<DWORD>(fileName_.size());
  // Saving, the dialog would add the default extension to every name typed
  // without one: a dump named "card" could not be saved over, "card.rom"
  // would be written beside it. savePath adds it instead.
  const bool dialogAddsExtension = !request.save && !defaultExtension_.empty();
  record_.lpstrDefExt = dialogAddsExtension ? defaultExtension_.c_str() : nullptr;
  record_.Flags = request.flags;
}

namespace {

bool namesAFile(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool hasExtension(const std::wstring& path) {
  const size_t name = path.find_last_of(L"\\/:");
  return path.find(L'.', name == std::wstring::npos ? 0 : name + 1) != std::wstring::npos;
}

std::wstring fileNamePart(const std::wstring& path) {
  const size_t name = path.find_last_of(L"\\/:");
  return name == std::wstring::npos ? path : path.substr(name + 1);
}

}  // namespace

std::string FileDialogArguments::chosenPath() const {
  return toUtf8(chosenName());
}

std::wstring FileDialogArguments::savePath() const {
  const std::wstring chosen = chosenName();
  if (defaultExtension_.empty() || hasExtension(chosen) || namesAFile(chosen)) return chosen;
  return chosen + L"." + defaultExtension_;
}

Win32Platform::Win32Platform(SystemServices& system,
                             std::unique_ptr<HelpControlLibrary> helpLibrary)
    : ui::Platform(system),
      helpLibrary_(std::move(helpLibrary)),
      help_([this] { return bindHtmlHelp(*helpLibrary_); }) {}

std::optional<std::string> Win32Platform::fileDialog(const ui::FileDialogRequest& request) {
  FileDialogArguments arguments(request, owner_);
  const auto run = [&] {
    return request.save ? GetSaveFileNameW(&arguments.record())
                        : GetOpenFileNameW(&arguments.record());
  };
  bool chosen = run() != FALSE;
  // A name the dialog refuses to start with (one with characters no file
  // name may hold) would keep it from opening at all: start without it.
  if (!chosen && CommDlgExtendedError() == FNERR_INVALIDFILENAME) {
    arguments.clearInitialName();
    chosen = run() != FALSE;
  }
  if (!request.save) return chosen ? std::optional(arguments.chosenPath()) : std::nullopt;
  // The dialog asked before replacing the name as chosen; a name that got
  // the extension here is asked about here, and No shows the dialog again.
  for (; chosen; chosen = run() != FALSE) {
    const std::wstring path = arguments.savePath();
    if (path == arguments.chosenName() || (request.flags & ui::kOfnOverwritePrompt) == 0 ||
        GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES || confirmReplacing(path)) {
      return toUtf8(path);
    }
  }
  return std::nullopt;
}

bool Win32Platform::confirmReplacing(const std::wstring& path) {
  const std::wstring question =
      fileNamePart(path) + L" already exists.\nDo you want to replace it?";
  return MessageBoxW(owner_, question.c_str(), L"Confirm Save As",
                     MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES;
}

int Win32Platform::messageBox(const ui::Message& message, const std::string& text) {
  const MessageBoxArguments arguments = messageBoxArguments(message, text);
  const int answer =
      MessageBoxW(owner_, arguments.text.c_str(), arguments.caption.c_str(), arguments.style);
  // A box with only OK answers OK however it is closed: Windows says so for
  // Escape, Wine answers Cancel.
  return (arguments.style & MB_TYPEMASK) == MB_OK ? IDOK : answer;
}

int Win32Platform::selectFont(const CpiFontEntry* entries, int count,
                              const ui::FontGlyphReader& glyphsOf) {
  return runFontSelectDialog(owner_, entries, count, glyphsOf);
}

void Win32Platform::showFonts(const BiosImage& image) {
  runFontViewDialog(owner_, image);
}

bool Win32Platform::showHelp(const std::string& chmPath) {
  return help_.request(chmPath);
}

}  // namespace varnel::win32ui
