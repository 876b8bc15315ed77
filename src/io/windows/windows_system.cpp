// The system services on Windows, over the file and process layer.
#include <windows.h>

#include <cctype>
#include <memory>

#include "io/file_io.h"
#include "io/system.h"
#include "io/windows/process.h"
#include "io/windows/utf16.h"
#include "io/windows/windows_util.h"

namespace varnel {
namespace {

// Tries at a new folder name before giving up.
constexpr int kFolderAttempts = 100;
// Folders below this depth are left alone by a removal.
constexpr int kMaxRemovalDepth = 32;

// The user's folder for temporary files, which only the user (and the
// system's administrators) may enter, with a trailing separator.
std::wstring temporaryFolder() {
  std::wstring path(MAX_PATH + 1, L'\0');
  const DWORD n = ::GetTempPathW(static_cast<DWORD>(path.size()), path.data());
  if (n == 0 || n >= path.size()) {
    throw FileError("cannot find the folder for temporary files: " +
                    systemMessage(n == 0 ? ::GetLastError() : ERROR_BUFFER_OVERFLOW));
  }
  path.resize(n);
  if (path.back() != L'\\' && path.back() != L'/') path += L'\\';
  return path;
}

// A new folder in the user's folder for temporary files: a name that is
// taken already is never reused.
std::string makeFolderForThisRun() {
  const std::wstring base = temporaryFolder() + L"varnel-";
  for (int attempt = 0; attempt < kFolderAttempts; ++attempt) {
    const std::wstring folder = base + randomCharacters(6);
    if (::CreateDirectoryW(folder.c_str(), nullptr)) return toUtf8(folder);
    const DWORD error = ::GetLastError();
    if (error != ERROR_ALREADY_EXISTS) {
      throw FileError("cannot create a folder in " + toUtf8(base) + ": " + systemMessage(error));
    }
  }
  throw FileError("cannot create a folder in " + toUtf8(base) + ": " +
                  systemMessage(ERROR_ALREADY_EXISTS));
}

// Removes the folder and what lies in it; a link to a folder is removed,
// not followed.
void removeTree(const std::wstring& folder, int depth) {
  WIN32_FIND_DATAW found{};
  const HANDLE search = ::FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring path = folder + L"\\" + name;
      const DWORD attributes = found.dwFileAttributes;
      if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW(path.c_str());
      } else if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 && depth < kMaxRemovalDepth) {
        removeTree(path, depth + 1);
      } else {
        ::RemoveDirectoryW(path.c_str());
      }
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
  }
  ::RemoveDirectoryW(folder.c_str());
}

class WindowsSystem final : public SystemServices {
 public:
  size_t readFilePrefix(const std::string& path, std::span<uint8_t> buffer) override {
    return varnel::readFilePrefix(path, buffer);
  }
  std::optional<std::string> readRegularFilePrefix(const std::string& path, size_t limit) override {
    return varnel::readRegularFilePrefix(path, limit);
  }
  void writeFileAtomically(const std::string& path, std::span<const uint8_t> data) override {
    varnel::writeFileAtomically(path, data);
  }
  std::unique_ptr<ByteStream> openFileStream(const std::string& path) override {
    return std::make_unique<FileByteStream>(path);
  }
  std::string makePrivateFolder() override { return makeFolderForThisRun(); }
  void removeFolder(const std::string& path) override {
    if (!path.empty()) removeTree(toUtf16(path), 0);
  }

  std::unique_ptr<RunningProcess> startProcess(const std::string& program,
                                               const std::vector<std::string>& arguments) override {
    return startHiddenProcess(program, arguments);
  }

  bool isProgram(const std::string& path) override {
    const DWORD attributes = ::GetFileAttributesW(toUtf16(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  }
  uint32_t processId() override { return ::GetCurrentProcessId(); }

  std::string programDirectory() override { return executableDirectory(); }
  // "pokrun" is "Pokrun.exe".
  std::string executableName(std::string_view baseName) const override {
    std::string name(baseName);
    if (!name.empty())
      name[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
    return name + ".exe";
  }
};

}  // namespace

SystemServices& hostSystem() {
  static WindowsSystem system;
  return system;
}

}  // namespace varnel
