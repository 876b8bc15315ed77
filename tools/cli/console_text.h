// What varnel-cli prints, through one door: the program's texts are UTF-8.
// On Windows a console shows text in its own code page (437, 850...), where
// UTF-8 bytes come out as mojibake, so text for a console goes as UTF-16
// through WriteConsoleW; to a file or a pipe, and on every other system, the
// bytes go unchanged, the same on every system.
#pragma once

#include <cstdio>
#include <string_view>

namespace varnel::cli {

void writeText(std::FILE* stream, std::string_view text);

// Whether a console refused part of a text (a failed write to a file or a
// pipe shows in the stream's error indicator instead).
bool consoleWriteFailed();

// printf into writeText (MinGW's printf is its own, C99 one: %zu works).
#if defined(__MINGW32__)
__attribute__((format(__MINGW_PRINTF_FORMAT, 2, 3)))
#elif defined(__GNUC__)
__attribute__((format(printf, 2, 3)))
#endif
void printTo(std::FILE* stream, const char* format, ...);

}  // namespace varnel::cli
