// What a file stream does alike on every system: small reads served from a
// window read ahead, larger ones straight from the file.
#include <algorithm>
#include <cstring>

#include "io/file_io.h"

namespace varnel {
namespace {

// Bytes a file stream reads ahead.
constexpr size_t kReadAheadSize = 4096;

}  // namespace

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
      window_.resize(readAt(window_.data(), window_.size(), position_));
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
  const size_t n = readAt(buffer, static_cast<size_t>(count), position_);
  position_ += static_cast<int64_t>(n);
  return static_cast<int32_t>(n);
}

int64_t FileByteStream::position() {
  return position_;
}

}  // namespace varnel
