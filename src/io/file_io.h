// Files on disk: bounded reads, atomic writes, and a file as a byte stream.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "io/system.h"
#include "stream/byte_stream.h"

namespace varnel {

// An open file as the system knows it (a descriptor or a handle), kept
// opaque so that this header is the same on every system.
using SystemHandle = intptr_t;
inline constexpr SystemHandle kNoSystemHandle = -1;

// Reads at most buffer.size() bytes from the start of the file; returns how
// many were read. Throws FileError when the file cannot be opened or read,
// or is not a regular file (a FIFO or device could block or never end).
size_t readFilePrefix(const std::string& path, std::span<uint8_t> buffer);

// The first `limit` bytes of a regular file, or nothing when the path is
// missing, unreadable or not a regular file. Never waits on a FIFO or a
// device: the file is opened without blocking and checked before reading.
std::optional<std::string> readRegularFilePrefix(const std::string& path, size_t limit);

// Saves replace a file whole: the new bytes go to a short-named temporary
// file beside the target (".vrn" and six random characters), are flushed to
// disk and renamed over it, so that a failed or interrupted save leaves the
// target exactly as it was and no temporary file behind (SIGINT, SIGTERM
// and SIGHUP remove it before the program ends; a write past the file-size
// limit is a write error, not a signal). Failures throw FileError with the
// system's reason and the path.
//
// What a save does to an existing target:
// - a symbolic link keeps being the link: the file it points to is replaced
//   (beside that file); a link to nothing is refused;
// - the replaced file keeps its mode, and its owner and group where the
//   process may set them;
// - refused, leaving everything as it was: a target that is not a regular
//   file (a folder, a device, a FIFO, a socket); a file with several hard
//   links, since replacing it would part it from its other names and
//   writing into it could leave every name half-written; a file the user
//   may not write (for root: a file whose mode has no write bit at all).
//
// On Windows the temporary file is put in place with ReplaceFileW, so that
// the replaced file's security settings stay, and its hidden, system and
// archive attributes are carried over. Refused there besides: a symbolic
// link or other reparse point (the system gives no way to follow one on
// Windows XP), a read-only file, and a file another program has open
// without letting it be deleted. A program ended from outside (Ctrl+C, its
// console closed) can leave the temporary file there; the target is intact.
void writeFileAtomically(const std::string& path, std::span<const uint8_t> data);

// Like writeFileAtomically, and the previous file's every byte is kept as
// `backup` (replaced the same way) in the same step: when either cannot be
// written, neither is changed. Both are written in full before either is
// put in place; should the file itself then fail to be replaced (on
// Windows, a program that opened it in between), `backup` already holds
// the bytes the file still holds.
void writeFileKeepingBackup(const std::string& path, const std::string& backup,
                            std::span<const uint8_t> data);

// Puts a new file at `path`, atomically as above, but never through a link
// and never taking anything from what was there: the name gets a new file
// owned by the process, of mode 0644 less the umask. A folder, device, FIFO
// or socket at `path` is refused.
void writeNewFileAtomically(const std::string& path, std::span<const uint8_t> data);

// Throws the FileError a save to `path` would end with before it writes a
// byte (not a regular file, several links, read-only...), so that a command
// can refuse a target before it does any work.
void checkSaveTarget(const std::string& path);

// Writes the bytes to the process's standard output. Throws FileError.
void writeStandardOutput(std::span<const uint8_t> data);

// True when both names lead to one file (after links), whatever spelling.
bool sameFile(const std::string& a, const std::string& b);

// Holds a file exclusively against other processes that lock it the same
// way, also in the same process, for as long as the object lives. Throws FileError when the file is
// held already or cannot be opened.
class FileLock {
 public:
  explicit FileLock(const std::string& path);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

 private:
  SystemHandle handle_ = kNoSystemHandle;
};

// Removes a file; a file that is not there, or cannot be removed, is ignored.
void removeFileQuietly(const std::string& path);

bool fileExists(const std::string& path);

// A regular file opened for reading, as a seekable byte stream. Throws
// FileError, also for anything but a regular file.
class FileByteStream final : public ByteStream {
 public:
  explicit FileByteStream(const std::string& path);
  ~FileByteStream() override;
  FileByteStream(const FileByteStream&) = delete;
  FileByteStream& operator=(const FileByteStream&) = delete;

  void seekTo(int64_t position) override;
  void seekBy(int64_t offset) override;
  int32_t read(uint8_t* buffer, int32_t count) override;
  int64_t position() override;
  int64_t length() override;

 private:
  int32_t readDirectly(uint8_t* buffer, int32_t count);
  // Reads from `position` until the buffer is full or the file ends; the
  // one read each system implements.
  size_t readAt(uint8_t* buffer, size_t size, int64_t position);

  SystemHandle handle_ = kNoSystemHandle;
  std::string path_;
  int64_t position_ = 0;
  // Bytes read ahead from windowStart_: small reads a few bytes apart (the
  // headers of a code-page file) then cost a system call per window, not
  // one per read.
  std::vector<uint8_t> window_;
  int64_t windowStart_ = 0;
};

}  // namespace varnel

namespace varnel {

// The folder of the running program with a trailing '/', or "" when it
// cannot be told.
std::string executableDirectory();

}  // namespace varnel
