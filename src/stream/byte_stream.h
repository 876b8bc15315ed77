// A seekable byte stream: what the code-page reader needs of a file.
#pragma once

#include <cstdint>
#include <span>
#include <stdexcept>

namespace varnel {

// A failure of the stream itself (an I/O error, a seek before the start).
class StreamError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class ByteStream {
 public:
  virtual ~ByteStream() = default;
  // Both seeks throw StreamError for a position before the start; a position
  // past the end is allowed, and reads there return nothing.
  virtual void seekTo(int64_t position) = 0;
  virtual void seekBy(int64_t offset) = 0;
  // Reads up to `count` bytes; returns how many were read.
  virtual int32_t read(uint8_t* buffer, int32_t count) = 0;
  virtual int64_t position() = 0;
  virtual int64_t length() = 0;
};

// A stream over bytes in memory, which it does not own.
class MemoryByteStream final : public ByteStream {
 public:
  explicit MemoryByteStream(std::span<const uint8_t> data) : data_(data) {}

  void seekTo(int64_t position) override;
  void seekBy(int64_t offset) override { seekTo(position_ + offset); }
  int32_t read(uint8_t* buffer, int32_t count) override;
  int64_t position() override { return position_; }
  int64_t length() override { return static_cast<int64_t>(data_.size()); }

 private:
  std::span<const uint8_t> data_;
  int64_t position_ = 0;
};

}  // namespace varnel
