#include "stream/byte_stream.h"

#include <algorithm>
#include <cstring>

namespace varnel {

void MemoryByteStream::seekTo(int64_t position) {
  if (position < 0) throw StreamError("seek before the start of the data");
  position_ = position;
}

int32_t MemoryByteStream::read(uint8_t* buffer, int32_t count) {
  const auto size = static_cast<int64_t>(data_.size());
  if (count <= 0 || position_ >= size) return 0;
  const auto n = static_cast<int32_t>(std::min<int64_t>(count, size - position_));
  std::memcpy(buffer, data_.data() + position_, static_cast<size_t>(n));
  position_ += n;
  return n;
}

}  // namespace varnel
