#include <gtest/gtest.h>

#include <string>

#include "io/windows/utf16.h"

namespace varnel {
namespace {

struct Utf8Case {
  const char* name;
  std::string utf8;
  std::wstring utf16;
  bool wellFormed;
};

// Bytes that are not UTF-8 must never merge with their neighbours into
// another character: a path spelt with them names no other file.
TEST(Utf16, ConvertsUtf8AndReplacesEachBadByte) {
  const Utf8Case cases[] = {
      {"ascii", "card.rom", L"card.rom", true},
      {"two bytes", "K\xC3\xA4rte", L"K\u00E4rte", true},
      {"three bytes", "\xE2\x82\xAC", L"\u20AC", true},
      {"four bytes as a surrogate pair", "\xF0\x9F\x98\x80", L"\xD83D\xDE00", true},
      {"latin-1 byte", "K\xE4rte", L"K\uFFFDrte", false},
      {"truncated sequence at the end", "a\xE2\x82", L"a\uFFFD\uFFFD", false},
      {"overlong slash", "\xC0\xAF", L"\uFFFD\uFFFD", false},
      {"encoded surrogate", "\xED\xA0\x80", L"\uFFFD\uFFFD\uFFFD", false},
      {"past U+10FFFF", "\xF4\x90\x80\x80", L"\uFFFD\uFFFD\uFFFD\uFFFD", false},
      {"lone continuation byte", "\x80x", L"\uFFFDx", false},
  };
  for (const Utf8Case& c : cases) {
    EXPECT_EQ(toUtf16(c.utf8), c.utf16) << c.name;
    EXPECT_EQ(isUtf8(c.utf8), c.wellFormed) << c.name;
    if (c.wellFormed) {
      EXPECT_EQ(toUtf8(c.utf16), c.utf8) << c.name;
    }
  }
}

TEST(Utf16, UnpairedSurrogatesBecomeReplacementCharacters) {
  EXPECT_EQ(toUtf8(std::wstring(L"a") + wchar_t(0xD800) + L"b"), "a\xEF\xBF\xBD" "b");
  EXPECT_EQ(toUtf8(std::wstring(1, wchar_t(0xDC00))), "\xEF\xBF\xBD");
  EXPECT_EQ(toUtf8(std::wstring(1, wchar_t(0xD83D))), "\xEF\xBF\xBD");
}

}  // namespace
}  // namespace varnel
