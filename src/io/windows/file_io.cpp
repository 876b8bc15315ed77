// The file layer on Windows. Names are UTF-8 inside the program and UTF-16
// at the system, so that a file named in any language is found; every call
// is one Windows XP has.
#include "io/file_io.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "io/windows/save_faults.h"
#include "io/windows/utf16.h"
#include "io/windows/windows_util.h"

namespace varnel {
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// The attributes a replaced file passes on to its replacement.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
// The most bytes one ReadFile or WriteFile call is given.
constexpr size_t kMaxTransfer = 1u << 20;
// Tries at a temporary name before giving up.
constexpr int kNameAttempts = 100;

[[noreturn]] void fail(const std::string& what, const std::string& path, DWORD error) {
  throw FileError(what + " " + path + ": " + systemMessage(error));
}

[[noreturn]] void refuse(const std::string& path, const std::string& why) {
  throw FileError("cannot save " + path + ": " + why);
}

HANDLE handleOf(SystemHandle handle) {
  return reinterpret_cast<HANDLE>(handle);
}

const char* kindOf(DWORD fileType) {
  if (fileType == FILE_TYPE_PIPE) return "a pipe";
  if (fileType == FILE_TYPE_CHAR) return "a device";
  return "not a regular file";
}

// Reads until the buffer is full or the file ends; with `offset`, from
// there, otherwise from the file's position.
size_t readFully(HANDLE file, uint8_t* buffer, size_t size, const int64_t* offset,
                 const std::string& path) {
  size_t total = 0;
  while (total < size) {
    const auto asked = static_cast<DWORD>(std::min(size - total, kMaxTransfer));
    DWORD got = 0;
    OVERLAPPED at{};
    if (offset != nullptr) {
      const auto position = static_cast<uint64_t>(*offset) + total;
      at.Offset = static_cast<DWORD>(position);
      at.OffsetHigh = static_cast<DWORD>(position >> 32);
    }
    if (!::ReadFile(file, buffer + total, asked, &got, offset != nullptr ? &at : nullptr)) {
      const DWORD error = ::GetLastError();
      if (error == ERROR_HANDLE_EOF) break;
      fail("cannot read", path, error);
    }
    if (got == 0) break;
    total += got;
  }
  return total;
}

void writeFully(HANDLE file, const uint8_t* data, size_t size, const std::string& path) {
  size_t total = 0;
  while (total < size) {
    const auto asked = static_cast<DWORD>(std::min(size - total, kMaxTransfer));
    DWORD put = 0;
    if (!::WriteFile(file, data + total, asked, &put, nullptr)) {
      fail("cannot write", path, ::GetLastError());
    }
    if (put == 0) fail("cannot write", path, ERROR_DISK_FULL);
    total += put;
  }
}

// Opens a file to read it. Only a file on a disk is read: a folder, device
// or pipe is refused before a byte is read, so no input can hang a command.
OwnedHandle openRegularFileToRead(const std::string& path) {
  const std::wstring name = toUtf16(path);
  const DWORD attributes = ::GetFileAttributesW(name.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) fail("cannot open", path, ::GetLastError());
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    throw FileError("cannot read " + path + ": it is a folder");
  }
  if ((attributes & FILE_ATTRIBUTE_DEVICE) != 0) {
    throw FileError("cannot read " + path + ": it is a device");
  }
  OwnedHandle file(::CreateFileW(name.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) fail("cannot open", path, ::GetLastError());
  const DWORD type = ::GetFileType(file.get());
  if (type != FILE_TYPE_DISK) throw FileError("cannot read " + path + ": it is " + kindOf(type));
  return file;
}

// The path from the drive or share down, so that what is done by name
// does not depend on the current folder (the system's replacement does not
// take a relative name everywhere).
std::wstring fullPathOf(const std::string& path) {
  const std::wstring name = toUtf16(path);
  std::wstring full(MAX_PATH, L'\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    const DWORD n =
        ::GetFullPathNameW(name.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (n == 0) fail("cannot save", path, ::GetLastError());
    if (n < full.size()) {
      full.resize(n);
      return full;
    }
    full.resize(n);
  }
  fail("cannot save", path, ERROR_FILENAME_EXCED_RANGE);
}

bool isMissing(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// --- Where a save goes, and what it keeps ----------------------------------

struct SaveTarget {
  std::string path;
  bool exists = false;
  DWORD attributes = 0;
};

SaveTarget inspectTarget(const std::string& path) {
  SaveTarget target{path};
  const DWORD attributes = ::GetFileAttributesW(toUtf16(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = ::GetLastError();
    if (!isMissing(error)) fail("cannot save", path, error);
    return target;
  }
  target.exists = true;
  target.attributes = attributes;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) refuse(path, "it is a folder");
  if ((attributes & FILE_ATTRIBUTE_DEVICE) != 0) refuse(path, "it is a device");
  return target;
}

// A save that replaces the file's contents: besides what no save replaces,
// a link, a read-only file, a file with several names and a file another
// program holds open against deletion are refused before a byte is written.
SaveTarget targetToReplace(const std::string& path) {
  SaveTarget target = inspectTarget(path);
  if (!target.exists) return target;
  if ((target.attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    refuse(path, "it is a link; save to the file it leads to");
  }
  if ((target.attributes & FILE_ATTRIBUTE_READONLY) != 0) refuse(path, "the file is read-only");
  // Opened the way the replacement will need it, and no further.
  OwnedHandle file(::CreateFileW(toUtf16(path).c_str(), GENERIC_WRITE | DELETE, kShareAll, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) refuse(path, systemMessage(::GetLastError()));
  const DWORD type = ::GetFileType(file.get());
  if (type != FILE_TYPE_DISK) refuse(path, std::string("it is ") + kindOf(type));
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(file.get(), &info)) {
    fail("cannot save", path, ::GetLastError());
  }
  if (info.nNumberOfLinks > 1) {
    refuse(path, "it has " + std::to_string(info.nNumberOfLinks) +
                     " hard links, and a save would part it from the others; save it "
                     "under another name");
  }
  return target;
}

int replacementsBeforeFault = -1;

bool replacementFaultDue() {
  if (replacementsBeforeFault < 0) return false;
  return replacementsBeforeFault-- == 0;
}

// Creates a hidden file of a fresh name in `folder` (which ends with a
// separator), open in `file`, and returns its name.
std::wstring freshHiddenFile(const std::wstring& folder, const std::string& savedPath,
                             OwnedHandle& file) {
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    const std::wstring name = folder + L".vrn" + randomCharacters(6);
    file.reset(::CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_HIDDEN, nullptr));
    if (file.valid()) return name;
    const DWORD error = ::GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
      fail("cannot create a temporary file for", savedPath, error);
    }
  }
  fail("cannot create a temporary file for", savedPath, ERROR_FILE_EXISTS);
}

// A replacement written to a temporary file beside its target, put in place
// by commit(); dropped uncommitted, it leaves nothing behind. The temporary
// file is hidden until it is finished, so that one left by a program ended
// from outside does not show in the folder.
class PendingSave {
 public:
  PendingSave(SaveTarget target, bool keepAttributes)
      : target_(std::move(target)),
        keep_(keepAttributes && target_.exists),
        full_(fullPathOf(target_.path)) {
    temporary_ = freshHiddenFile(folder(), target_.path, file_);
  }
  ~PendingSave() {
    file_.reset();
    if (!temporary_.empty()) ::DeleteFileW(temporary_.c_str());
  }
  PendingSave(const PendingSave&) = delete;
  PendingSave& operator=(const PendingSave&) = delete;

  void write(std::span<const uint8_t> data) {
    writeFully(file_.get(), data.data(), data.size(), target_.path);
  }

  // Appends every byte of the file at `source`.
  void copyFrom(const std::string& source) {
    const OwnedHandle in = openRegularFileToRead(source);
    std::vector<uint8_t> chunk(1 << 16);
    while (const size_t got = readFully(in.get(), chunk.data(), chunk.size(), nullptr, source)) {
      write(std::span<const uint8_t>(chunk.data(), got));
    }
  }

  // Everything that can fail before the replacement: flush, close, the
  // attributes the replaced file had.
  void finish() {
    if (!::FlushFileBuffers(file_.get())) fail("cannot flush", target_.path, ::GetLastError());
    if (!::CloseHandle(file_.release())) fail("cannot close", target_.path, ::GetLastError());
    const DWORD kept = keep_ ? target_.attributes & kKeptAttributes : 0;
    // Changed, so marked for backup programs like any file just written.
    if (!::SetFileAttributesW(temporary_.c_str(), kept | FILE_ATTRIBUTE_ARCHIVE)) {
      fail("cannot set the attributes of", target_.path, ::GetLastError());
    }
  }

  // An existing file is replaced, keeping its security settings; a new
  // name gets the file moved there, written through to the disk.
  void commit() { replaceTarget(nullptr); }

  // Commits; the file replaced, if any, is kept under a fresh hidden name
  // in its folder, which is returned ("" when no file was replaced).
  std::wstring commitKeepingReplaced() {
    if (!target_.exists) {
      commit();
      return {};
    }
    OwnedHandle reserved;
    std::wstring aside = freshHiddenFile(folder(), target_.path, reserved);
    reserved.reset();
    try {
      replaceTarget(aside.c_str());
    } catch (const FileError&) {
      ::DeleteFileW(aside.c_str());
      throw;
    }
    return aside;
  }

  bool replacesAFile() const { return target_.exists; }
  const std::wstring& fullPath() const { return full_; }

 private:
  // `keepReplacedAs`, when given, gets the replaced file.
  void replaceTarget(const wchar_t* keepReplacedAs) {
    if (replacementFaultDue()) fail("cannot replace", target_.path, ERROR_ACCESS_DENIED);
    const bool done = target_.exists
                          ? ::ReplaceFileW(full_.c_str(), temporary_.c_str(), keepReplacedAs,
                                           REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)
                          : ::MoveFileExW(temporary_.c_str(), full_.c_str(),
                                          MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!done) fail("cannot replace", target_.path, ::GetLastError());
    temporary_.clear();
  }
  std::wstring folder() const { return full_.substr(0, full_.find_last_of(L"\\/") + 1); }

  SaveTarget target_;
  bool keep_;
  std::wstring full_;  // the target's full path
  OwnedHandle file_;
  std::wstring temporary_;
};

bool identityOf(const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
  const OwnedHandle file(::CreateFileW(toUtf16(path).c_str(), FILE_READ_ATTRIBUTES, kShareAll,
                                       nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                       nullptr));
  return file.valid() && ::GetFileInformationByHandle(file.get(), &info);
}

}  // namespace

size_t readFilePrefix(const std::string& path, std::span<uint8_t> buffer) {
  const OwnedHandle file = openRegularFileToRead(path);
  return readFully(file.get(), buffer.data(), buffer.size(), nullptr, path);
}

std::optional<std::string> readRegularFilePrefix(const std::string& path, size_t limit) {
  try {
    const OwnedHandle file = openRegularFileToRead(path);
    std::string bytes(limit, '\0');
    bytes.resize(
        readFully(file.get(), reinterpret_cast<uint8_t*>(bytes.data()), limit, nullptr, path));
    return bytes;
  } catch (const FileError&) {
    return std::nullopt;
  }
}

void writeFileAtomically(const std::string& path, std::span<const uint8_t> data) {
  PendingSave save(targetToReplace(path), true);
  save.write(data);
  save.finish();
  save.commit();
}

void writeFileKeepingBackup(const std::string& path, const std::string& backup,
                            std::span<const uint8_t> data) {
  if (sameFile(path, backup)) refuse(backup, "it is the same file as " + path);
  PendingSave copy(targetToReplace(backup), true);
  copy.copyFrom(path);
  copy.finish();
  PendingSave save(targetToReplace(path), true);
  save.write(data);
  save.finish();
  // An older backup is kept aside until the file itself is saved, so that
  // a failed save leaves it where it was.
  const std::wstring older = copy.commitKeepingReplaced();
  try {
    save.commit();
  } catch (const FileError&) {
    if (older.empty()) {
      removeFileQuietly(backup);
    } else {
      ::MoveFileExW(older.c_str(), copy.fullPath().c_str(), MOVEFILE_REPLACE_EXISTING);
    }
    throw;
  }
  if (!older.empty()) ::DeleteFileW(older.c_str());
}

void failReplacementAfter(int replacements) {
  replacementsBeforeFault = replacements;
}

void writeNewFileAtomically(const std::string& path, std::span<const uint8_t> data) {
  SaveTarget target = inspectTarget(path);
  // Whatever was there is replaced by name, never written through.
  target.exists = false;
  PendingSave save(std::move(target), false);
  save.write(data);
  save.finish();
  save.commit();
}

void checkSaveTarget(const std::string& path) {
  targetToReplace(path);
}

void writeStandardOutput(std::span<const uint8_t> data) {
  std::fflush(stdout);
  // Straight to the handle: the bytes go out as they are, with no line-end
  // translation of the C runtime's text mode.
  const HANDLE output = ::GetStdHandle(STD_OUTPUT_HANDLE);
  if (output == INVALID_HANDLE_VALUE || output == nullptr) {
    fail("cannot write", "standard output", ERROR_INVALID_HANDLE);
  }
  writeFully(output, data.data(), data.size(), "standard output");
}

bool sameFile(const std::string& a, const std::string& b) {
  BY_HANDLE_FILE_INFORMATION first{};
  BY_HANDLE_FILE_INFORMATION second{};
  return identityOf(a, first) && identityOf(b, second) &&
         first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
         first.nFileIndexHigh == second.nFileIndexHigh &&
         first.nFileIndexLow == second.nFileIndexLow;
}

// Held with a named semaphore of one for the file's identity rather than a
// lock on the file: an open handle on the file would keep Windows from
// replacing it when the holder itself saves. Unlike a mutex, a semaphore is
// not taken again by the thread that holds it; it goes with the last handle,
// so a holder that dies lets the file go.
FileLock::FileLock(const std::string& path) {
  // The name may get a new file between taking its identity and the lock (a
  // save that just ended): then the lock is for the old one and taken again.
  for (int attempt = 0; attempt < 8; ++attempt) {
    BY_HANDLE_FILE_INFORMATION before{};
    if (!identityOf(path, before)) fail("cannot open", path, ::GetLastError());
    char name[64];
    std::snprintf(name, sizeof name, "varnel-file-%08lx-%08lx%08lx",
                  static_cast<unsigned long>(before.dwVolumeSerialNumber),
                  static_cast<unsigned long>(before.nFileIndexHigh),
                  static_cast<unsigned long>(before.nFileIndexLow));
    OwnedHandle semaphore(::CreateSemaphoreW(nullptr, 1, 1, toUtf16(name).c_str()));
    if (!semaphore.valid()) fail("cannot lock", path, ::GetLastError());
    const DWORD waited = ::WaitForSingleObject(semaphore.get(), 0);
    if (waited == WAIT_TIMEOUT) {
      throw FileError(path + " is being changed by another command; try again when it is done");
    }
    if (waited != WAIT_OBJECT_0) fail("cannot lock", path, ::GetLastError());
    BY_HANDLE_FILE_INFORMATION after{};
    if (identityOf(path, after) && after.dwVolumeSerialNumber == before.dwVolumeSerialNumber &&
        after.nFileIndexHigh == before.nFileIndexHigh &&
        after.nFileIndexLow == before.nFileIndexLow) {
      handle_ = reinterpret_cast<SystemHandle>(semaphore.release());
      return;
    }
    ::ReleaseSemaphore(semaphore.get(), 1, nullptr);
  }
  throw FileError(path + " keeps changing; try again");
}

FileLock::~FileLock() {
  if (handle_ == kNoSystemHandle) return;
  ::ReleaseSemaphore(handleOf(handle_), 1, nullptr);
  ::CloseHandle(handleOf(handle_));
}

void removeFileQuietly(const std::string& path) {
  ::DeleteFileW(toUtf16(path).c_str());
}

bool fileExists(const std::string& path) {
  return ::GetFileAttributesW(toUtf16(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

FileByteStream::FileByteStream(const std::string& path) : path_(path) {
  handle_ = reinterpret_cast<SystemHandle>(openRegularFileToRead(path).release());
}

FileByteStream::~FileByteStream() {
  if (handle_ != kNoSystemHandle) ::CloseHandle(handleOf(handle_));
}

size_t FileByteStream::readAt(uint8_t* buffer, size_t size, int64_t position) {
  return readFully(handleOf(handle_), buffer, size, &position, path_);
}

int64_t FileByteStream::length() {
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(handleOf(handle_), &size)) {
    fail("cannot tell the size of", path_, ::GetLastError());
  }
  return size.QuadPart;
}

std::string executableDirectory() {
  // A path that fills the buffer may have been cut short (on Windows XP
  // without saying so): then the buffer grows and the name is asked again.
  for (DWORD size = MAX_PATH; size <= 32768; size *= 2) {
    std::vector<wchar_t> path(size);
    const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), size);
    if (n == 0) return "";
    if (n >= size) continue;
    const std::wstring file(path.data(), n);
    const size_t separator = file.find_last_of(L"\\/");
    return separator == std::wstring::npos ? "" : toUtf8(file.substr(0, separator + 1));
  }
  return "";
}

}  // namespace varnel
