// Searching the image's x86 code for fixed byte sequences.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <functional>

#include "image/bios_image.h"

namespace varnel {

// The BIOS's code is searched from this image offset on.
inline constexpr int32_t kCodeSearchStart = 256;

// An offset read from the image, kept only when a table of `tableSize`
// bytes starting there fits the first n bytes. The comparison is signed, so
// an image shorter than the table rejects every offset.
inline uint16_t offsetIfFits(uint16_t offset, int32_t n, int32_t tableSize) {
  return offset > n - tableSize ? 0 : offset;
}

// The first position p >= from at which the pattern lies wholly before
// `limit` (p + size <= limit), or 0 when there is none.
template <size_t N>
int32_t findPattern(const BiosImage& image, int32_t from, int32_t limit,
                    const std::array<uint8_t, N>& pattern) {
  limit = std::min(limit, kMaxImageSize);
  if (from < 0 || limit - from < static_cast<int32_t>(N)) return 0;
  const auto* first = image.bytes.data() + from;
  const auto* last = image.bytes.data() + limit;
  const auto* hit =
      std::search(first, last, std::boyer_moore_horspool_searcher(pattern.begin(), pattern.end()));
  return hit == last ? 0 : static_cast<int32_t>(hit - image.bytes.data());
}

// The first position p in [from, limit) that holds `value`, or 0 when there
// is none.
inline int32_t findByte(const BiosImage& image, int32_t from, int32_t limit, uint8_t value) {
  limit = std::min(limit, kMaxImageSize);
  if (from < 0 || from >= limit) return 0;
  const auto* start = image.bytes.data();
  const void* hit = std::memchr(start + from, value, static_cast<size_t>(limit - from));
  return hit == nullptr ? 0 : static_cast<int32_t>(static_cast<const uint8_t*>(hit) - start);
}

// The last position p in [from, limit) that holds `value`, or 0 when there is
// none. Skips eight bytes at a time where none of them holds the value.
inline int32_t findLastByte(const BiosImage& image, int32_t from, int32_t limit, uint8_t value) {
  constexpr uint64_t kOnes = 0x0101010101010101u;
  constexpr uint64_t kHighBits = kOnes << 7;
  limit = std::min(limit, kMaxImageSize);
  if (from < 0) return 0;
  for (int32_t p = limit; p > from;) {
    if (p - from >= 8) {
      uint64_t word = 0;
      std::memcpy(&word, image.bytes.data() + (p - 8), sizeof word);
      const uint64_t differences = word ^ (kOnes * value);  // a zero byte where it holds value
      if (((differences - kOnes) & ~differences & kHighBits) == 0) {
        p -= 8;
        continue;
      }
    }
    --p;
    if (image.bytes[p] == value) return p;
  }
  return 0;
}

}  // namespace varnel
