#include "io/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace varnel {
namespace {

[[noreturn]] void fail(const std::string& what, const std::string& path, int error) {
  throw FileError(what + " " + path + ": " + std::strerror(error));
}

// Reads until the buffer is full or the file ends; retries interrupted reads.
size_t readFully(int fd, uint8_t* buffer, size_t size, const std::string& path) {
  size_t total = 0;
  while (total < size) {
    const ssize_t got = ::read(fd, buffer + total, size - total);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) fail("cannot read", path, errno);
    if (got == 0) break;
    total += static_cast<size_t>(got);
  }
  return total;
}

// Reads from `offset` until the buffer is full or the file ends.
size_t readFullyAt(int fd, uint8_t* buffer, size_t size, int64_t offset, const std::string& path) {
  size_t total = 0;
  while (total < size) {
    const ssize_t got =
        ::pread(fd, buffer + total, size - total, static_cast<off_t>(offset) + static_cast<off_t>(total));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) fail("cannot read", path, errno);
    if (got == 0) break;
    total += static_cast<size_t>(got);
  }
  return total;
}

// Bytes a file stream reads ahead.
constexpr size_t kReadAheadSize = 4096;

void writeFully(int fd, const uint8_t* data, size_t size, const std::string& path) {
  size_t total = 0;
  while (total < size) {
    const ssize_t put = ::write(fd, data + total, size - total);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) fail("cannot write", path, put < 0 ? errno : ENOSPC);
    total += static_cast<size_t>(put);
  }
}

std::string directoryOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string fileNameOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// New files get the usual mode for documents, filtered by the umask.
mode_t modeForTarget(const std::string& path) {
  struct stat existing {};
  if (::stat(path.c_str(), &existing) == 0) return existing.st_mode & 07777;
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

void syncDirectory(const std::string& directory) {
  const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

size_t readFilePrefix(const std::string& path, std::span<uint8_t> buffer) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) fail("cannot open", path, errno);
  try {
    const size_t n = readFully(fd, buffer.data(), buffer.size(), path);
    ::close(fd);
    return n;
  } catch (...) {
    ::close(fd);
    throw;
  }
}

std::optional<std::string> readRegularFilePrefix(const std::string& path, size_t limit) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::optional<std::string> text;
  struct stat status {};
  if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode)) {
    std::string bytes(limit, '\0');
    try {
      bytes.resize(readFully(fd, reinterpret_cast<uint8_t*>(bytes.data()), limit, path));
      text = std::move(bytes);
    } catch (const FileError&) {
    }
  }
  ::close(fd);
  return text;
}

void writeFileAtomically(const std::string& path, std::span<const uint8_t> data) {
  const std::string directory = directoryOf(path);
  std::string pattern = directory + "/." + fileNameOf(path) + ".XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  const int fd = ::mkstemp(name.data());
  if (fd < 0) fail("cannot create a temporary file for", path, errno);
  const std::string temporary(name.data());
  bool closed = false;
  try {
    writeFully(fd, data.data(), data.size(), path);
    if (::fchmod(fd, modeForTarget(path)) != 0) fail("cannot set the mode of", path, errno);
    if (::fsync(fd) != 0) fail("cannot flush", path, errno);
    closed = true;
    if (::close(fd) != 0) fail("cannot close", path, errno);
  } catch (...) {
    if (!closed) ::close(fd);
    ::unlink(temporary.c_str());
    throw;
  }
  if (::rename(temporary.c_str(), path.c_str()) != 0) {
    const int error = errno;
    ::unlink(temporary.c_str());
    fail("cannot replace", path, error);
  }
  syncDirectory(directory);
}

void removeFileQuietly(const std::string& path) {
  ::unlink(path.c_str());
}

bool fileExists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0;
}

FileByteStream::FileByteStream(const std::string& path) : path_(path) {
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) fail("cannot open", path, errno);
}

FileByteStream::~FileByteStream() {
  if (fd_ >= 0) ::close(fd_);
}

void FileByteStream::seekTo(int64_t position) {
  if (position < 0) throw FileError("seek before the start of " + path_);
  position_ = position;
}

void FileByteStream::seekBy(int64_t offset) {
  seekTo(position_ + offset);
}

int32_t FileByteStream::read(uint8_t* buffer, int32_t count) {
  if (count <= 0) return 0;
  const auto size = static_cast<size_t>(count);
  const bool inWindow = position_ >= windowStart_ &&
                        position_ - windowStart_ + count <= static_cast<int64_t>(window_.size());
  if (!inWindow) {
    if (size > kReadAheadSize) return readDirectly(buffer, count);
    window_.resize(kReadAheadSize);
    try {
      window_.resize(readFullyAt(fd_, window_.data(), window_.size(), position_, path_));
    } catch (const FileError&) {
      // Only a failure of the bytes asked for is the caller's.
      window_.clear();
      return readDirectly(buffer, count);
    }
    windowStart_ = position_;
  }
  const auto offset = static_cast<size_t>(position_ - windowStart_);
  const size_t n = std::min(size, window_.size() - offset);
  std::memcpy(buffer, window_.data() + offset, n);
  position_ += static_cast<int64_t>(n);
  return static_cast<int32_t>(n);
}

int32_t FileByteStream::readDirectly(uint8_t* buffer, int32_t count) {
  const size_t n = readFullyAt(fd_, buffer, static_cast<size_t>(count), position_, path_);
  position_ += static_cast<int64_t>(n);
  return static_cast<int32_t>(n);
}

int64_t FileByteStream::position() {
  return position_;
}

int64_t FileByteStream::length() {
  struct stat info {};
  if (::fstat(fd_, &info) != 0) fail("cannot tell the size of", path_, errno);
  return info.st_size;
}

}  // namespace varnel

namespace varnel {

std::string executableDirectory() {
  std::vector<char> path(4096);
  const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size() - 1);
  if (n <= 0) return "";
  const std::string file(path.data(), static_cast<size_t>(n));
  const size_t slash = file.rfind('/');
  return slash == std::string::npos ? file : file.substr(0, slash + 1);
}

}  // namespace varnel
