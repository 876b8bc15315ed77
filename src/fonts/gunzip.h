// gzip in memory: inflating a compressed file with a bound on its size, and
// compressing to bytes that depend on nothing but the data.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace varnel {

inline constexpr uint8_t kGzipMagic[2] = {0x1F, 0x8B};

bool startsLikeGzip(std::span<const uint8_t> start);

struct Inflated {
  enum class Result { kWhole, kTooLarge, kEndsEarly, kDamaged };
  Result result = Result::kWhole;
  std::vector<uint8_t> bytes;  // empty unless kWhole
};

// Inflates the first gzip member of `file` (what follows it is ignored),
// refusing a file that would inflate to more than `limit` bytes; never
// holds more than limit + 1 bytes of output.
Inflated gunzip(std::span<const uint8_t> file, int32_t limit);

// A gzip file of `data` without name or time stamp and with the same
// system byte on every system, so that every build writes the same bytes.
std::vector<uint8_t> gzip(std::span<const uint8_t> data);

}  // namespace varnel
