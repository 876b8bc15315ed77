// The text of the script traces: lines appended to the image's trace while
// tracing is on, for the caller to show afterwards.
#pragma once

#include <cstdint>
#include <string>

namespace varnel {

// `value` in upper-case hex, padded with zeros to at least `digits` digits.
inline std::string hexText(uint32_t value, int digits) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  do {
    text.insert(text.begin(), kDigits[value & 0xF]);
    value >>= 4;
  } while (value != 0);
  if (static_cast<int>(text.size()) < digits) text.insert(0, digits - text.size(), '0');
  return text;
}

}  // namespace varnel
