// Faults for tests: a disk that fills up, a stream that breaks.
#pragma once

#ifndef _WIN32
#include <sys/resource.h>

#include <csignal>
#endif
#include <cstdint>

#include "stream/byte_stream.h"
#include "support/rom_builder.h"

namespace varnel::test {

#ifndef _WIN32
// Limits the size of files this process (and what it starts meanwhile)
// may write: writes past the limit fail with EFBIG, as on a full disk.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(long bytes);
  ~FileSizeLimit();
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  bool active_;
  rlimit saved_{};
  void (*savedHandler_)(int) = SIG_DFL;
};
#endif  // Windows has no limit of its own on the size of a process's files.

// A stream over bytes that fails once a read would pass `failAt`; the
// bytes before that point arrive first, like data before a bad sector.
// With `truncated`, the read there just ends short, like a file that
// another program cut meanwhile (its length still tells the old size).
class FailingStream final : public ByteStream {
 public:
  FailingStream(Bytes data, int64_t failAt, bool truncated = false)
      : data_(std::move(data)), inner_(data_), failAt_(failAt), truncated_(truncated) {}
  void seekTo(int64_t position) override { inner_.seekTo(position); }
  void seekBy(int64_t offset) override { inner_.seekBy(offset); }
  int32_t read(uint8_t* buffer, int32_t count) override;
  int64_t position() override { return inner_.position(); }
  int64_t length() override { return inner_.length(); }

 private:
  Bytes data_;
  MemoryByteStream inner_;
  int64_t failAt_;
  bool truncated_;
};

}  // namespace varnel::test
