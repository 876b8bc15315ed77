#include "fonts/gunzip.h"

#include <algorithm>
#include <limits>
#include <new>
#include <stdexcept>

#define ZLIB_CONST
#include <zlib.h>

namespace varnel {
namespace {

// The largest window, with the gzip wrapper and no other.
constexpr int kGzipWindowBits = 15 + 16;
constexpr int kMemoryLevel = 8;
// "Unknown" in the header's system byte: zlib would write the system it
// was built for, and a Windows build would differ from a Linux one.
constexpr int kUnknownSystem = 255;

uInt chunkSize(size_t size) {
  return static_cast<uInt>(std::min<size_t>(size, std::numeric_limits<uInt>::max()));
}

Inflated::Result resultOf(int status, uLong produced, uInt roomLeft, int32_t limit) {
  using Result = Inflated::Result;
  if (status == Z_MEM_ERROR) throw std::bad_alloc();
  if (status == Z_STREAM_END) {
    return produced > static_cast<uLong>(limit) ? Result::kTooLarge : Result::kWhole;
  }
  if (status != Z_OK && status != Z_BUF_ERROR) return Result::kDamaged;
  return roomLeft == 0 ? Result::kTooLarge : Result::kEndsEarly;
}

}  // namespace

bool startsLikeGzip(std::span<const uint8_t> start) {
  return start.size() >= sizeof kGzipMagic && start[0] == kGzipMagic[0] &&
         start[1] == kGzipMagic[1];
}

// One call inflates all the input into room for limit + 1 bytes: a stream
// that fills the room inflates to more than the limit.
Inflated gunzip(std::span<const uint8_t> file, int32_t limit) {
  z_stream stream{};
  if (inflateInit2(&stream, kGzipWindowBits) != Z_OK) throw std::bad_alloc();
  Inflated inflated;
  inflated.bytes.resize(static_cast<size_t>(limit) + 1);
  stream.next_in = file.data();
  stream.avail_in = chunkSize(file.size());  // callers pass far less than 4 GiB
  stream.next_out = inflated.bytes.data();
  stream.avail_out = chunkSize(inflated.bytes.size());
  const int status = inflate(&stream, Z_FINISH);
  inflated.result = resultOf(status, stream.total_out, stream.avail_out, limit);
  inflated.bytes.resize(inflated.result == Inflated::Result::kWhole ? stream.total_out : 0);
  inflateEnd(&stream);
  return inflated;
}

std::vector<uint8_t> gzip(std::span<const uint8_t> data) {
  z_stream stream{};
  if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, kGzipWindowBits, kMemoryLevel,
                   Z_DEFAULT_STRATEGY) != Z_OK) {
    throw std::bad_alloc();
  }
  gz_header header{};
  header.os = kUnknownSystem;
  deflateSetHeader(&stream, &header);
  std::vector<uint8_t> out(deflateBound(&stream, static_cast<uLong>(data.size())));
  stream.next_in = data.data();
  stream.avail_in = chunkSize(data.size());
  stream.next_out = out.data();
  stream.avail_out = chunkSize(out.size());
  const int status = deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  // deflateBound's room always holds the whole stream.
  if (status != Z_STREAM_END) throw std::logic_error("gzip: the output did not fit its bound");
  return out;
}

}  // namespace varnel
