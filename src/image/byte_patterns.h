// Searching the image's x86 code for fixed byte sequences.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>

#include "image/bios_image.h"

namespace varnel {

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

}  // namespace varnel
