// Files on disk: bounded reads, atomic writes, and a file as a byte stream.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "fonts/byte_stream.h"

namespace varnel {

// A file could not be opened, read, written or closed.
class FileError : public StreamError {
 public:
  using StreamError::StreamError;
};

// Reads at most buffer.size() bytes from the start of the file; returns how
// many were read. Throws FileError when the file cannot be opened or read.
size_t readFilePrefix(const std::string& path, std::span<uint8_t> buffer);

// The first `limit` bytes of a regular file, or nothing when the path is
// missing, unreadable or not a regular file. Never waits on a FIFO or a
// device: the file is opened without blocking and checked before reading.
std::optional<std::string> readRegularFilePrefix(const std::string& path, size_t limit);

// Writes the bytes to a temporary file beside the target, flushes it to disk
// and renames it over the target, keeping an existing target's permission
// bits. On any failure the temporary file is removed, the target is left
// exactly as it was, and FileError is thrown.
void writeFileAtomically(const std::string& path, std::span<const uint8_t> data);

// Removes a file; a file that is not there, or cannot be removed, is ignored.
void removeFileQuietly(const std::string& path);

bool fileExists(const std::string& path);

// A file opened for reading, as a seekable byte stream. Throws FileError.
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

  int fd_ = -1;
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
