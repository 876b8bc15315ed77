#include "console_text.h"

#include <algorithm>
#include <cstdarg>
#include <string>

#ifdef _WIN32
#include <windows.h>

#include <io.h>

#include "io/windows/utf16.h"
#endif

namespace varnel::cli {
namespace {

bool consoleFailed = false;

#ifdef _WIN32
// Writes the text to the console the stream is, if it is one; false when it
// is not (a file, a pipe). A console that refuses the text is remembered for
// consoleWriteFailed.
bool writeToConsole(std::FILE* stream, std::string_view text) {
  const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  DWORD mode = 0;
  if (handle == INVALID_HANDLE_VALUE || GetConsoleMode(handle, &mode) == 0) return false;
  // What the stream holds still goes first.
  std::fflush(stream);
  const std::wstring wide = toUtf16(text);
  // Windows XP's console takes at most about 64 KiB at a time.
  constexpr size_t kChunk = 8192;
  for (size_t done = 0; done < wide.size();) {
    const auto count = static_cast<DWORD>(std::min(kChunk, wide.size() - done));
    DWORD written = 0;
    if (WriteConsoleW(handle, wide.data() + done, count, &written, nullptr) == 0 || written == 0) {
      consoleFailed = true;  // reported at the end, as a failed write to a file is
      return true;
    }
    done += written;
  }
  return true;
}
#endif

}  // namespace

bool consoleWriteFailed() {
  return consoleFailed;
}

void writeText(std::FILE* stream, std::string_view text) {
#ifdef _WIN32
  if (writeToConsole(stream, text)) return;
#endif
  std::fwrite(text.data(), 1, text.size(), stream);
}

void printTo(std::FILE* stream, const char* format, ...) {
  std::va_list arguments;
  va_start(arguments, format);
  std::va_list measuring;
  va_copy(measuring, arguments);
  const int length = std::vsnprintf(nullptr, 0, format, measuring);
  va_end(measuring);
  if (length > 0) {
    std::string text(static_cast<size_t>(length) + 1, '\0');
    std::vsnprintf(text.data(), text.size(), format, arguments);
    text.resize(static_cast<size_t>(length));
    writeText(stream, text);
  }
  va_end(arguments);
}

}  // namespace varnel::cli
