// On Windows, varnel-cli's texts reach a console as the characters they
// are (a console shows bytes in its own code page, so UTF-8 would come out
// as mojibake) and a file as the very UTF-8 bytes.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "console_text.h"

namespace varnel::cli {
namespace {

constexpr const char* kName =
    "Grafik-\xC3\x9C"
    "bertaktung.rom: \xE2\x9C\x93";
constexpr const wchar_t* kWideName = L"Grafik-\u00DCbertaktung.rom: \u2713";

TEST(ConsoleText, AConsoleShowsTheCharactersAndAFileGetsTheBytes) {
  FreeConsole();
  ASSERT_TRUE(AllocConsole());
  const HANDLE console =
      CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(console, INVALID_HANDLE_VALUE);
  SetConsoleCursorPosition(console, {0, 0});
  std::FILE* stream =
      _fdopen(_open_osfhandle(reinterpret_cast<intptr_t>(console), _O_BINARY), "wb");
  ASSERT_NE(stream, nullptr);
  std::fputs("first ", stream);  // buffered text goes out first
  printTo(stream, "%s", kName);
  const std::wstring expected = std::wstring(L"first ") + kWideName;
  std::wstring shown(expected.size(), L'?');
  DWORD read = 0;
  ASSERT_TRUE(ReadConsoleOutputCharacterW(console, shown.data(), static_cast<DWORD>(shown.size()),
                                          {0, 0}, &read));
  EXPECT_EQ(shown, expected);
  EXPECT_FALSE(consoleWriteFailed());
  std::fclose(stream);
  FreeConsole();

  std::FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  writeText(file, kName);
  std::rewind(file);
  char bytes[64] = {};
  const size_t length = std::fread(bytes, 1, sizeof bytes, file);
  EXPECT_EQ(std::string(bytes, length), kName);
  std::fclose(file);
}

}  // namespace
}  // namespace varnel::cli
