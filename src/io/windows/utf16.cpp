#include "io/windows/utf16.h"

#include <cstdint>
#include <utility>

namespace varnel {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes the sequence at `text[at]`; returns its code point and length, or
// the replacement character and 1 for a byte that starts no well-formed
// sequence (overlong forms, surrogates and values past U+10FFFF included).
std::pair<char32_t, size_t> decodeOne(std::string_view text, size_t at) {
  const auto byte = [&](size_t i) { return static_cast<uint8_t>(text[at + i]); };
  const uint8_t lead = byte(0);
  if (lead < 0x80) return {lead, 1};
  size_t length = 0;
  char32_t value = 0;
  char32_t minimum = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, value = lead & 0x1F, minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, value = lead & 0x0F, minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, value = lead & 0x07, minimum = 0x10000;
  } else {
    return {kReplacement, 1};
  }
  if (text.size() - at < length) return {kReplacement, 1};
  for (size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return {kReplacement, 1};
    value = (value << 6) | (byte(i) & 0x3F);
  }
  if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
    return {kReplacement, 1};
  }
  return {value, length};
}

void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace

std::wstring toUtf16(std::string_view utf8) {
  std::wstring wide;
  wide.reserve(utf8.size());
  for (size_t at = 0; at < utf8.size();) {
    const auto [c, length] = decodeOne(utf8, at);
    at += length;
    if (c < 0x10000) {
      wide += static_cast<wchar_t>(c);
    } else {
      wide += static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
      wide += static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    }
  }
  return wide;
}

std::string toUtf8(std::wstring_view utf16) {
  std::string narrow;
  narrow.reserve(utf16.size());
  for (size_t at = 0; at < utf16.size(); ++at) {
    const char32_t unit = static_cast<char16_t>(utf16[at]);
    const bool high = unit >= 0xD800 && unit <= 0xDBFF;
    const bool paired = high && at + 1 < utf16.size() && utf16[at + 1] >= 0xDC00 &&
                        utf16[at + 1] <= 0xDFFF;
    if (paired) {
      appendUtf8(narrow, 0x10000 + ((unit - 0xD800) << 10) + (utf16[++at] - 0xDC00));
    } else {
      appendUtf8(narrow, unit >= 0xD800 && unit <= 0xDFFF ? kReplacement : unit);
    }
  }
  return narrow;
}

bool isUtf8(std::string_view text) {
  for (size_t at = 0; at < text.size();) {
    const auto [c, length] = decodeOne(text, at);
    if (c == kReplacement && length == 1 && static_cast<uint8_t>(text[at]) >= 0x80) return false;
    at += length;
  }
  return true;
}

}  // namespace varnel
