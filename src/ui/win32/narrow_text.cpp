#include "ui/win32/narrow_text.h"

#include "io/windows/utf16.h"

namespace varnel::win32ui {

std::wstring fromNarrow(std::string_view text) {
  if (isUtf8(text)) return toUtf16(text);
  std::wstring latin1;
  latin1.reserve(text.size());
  for (const char c : text)
    latin1.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
  return latin1;
}

std::string toNarrow(std::wstring_view text) {
  return toUtf8(text);
}

}  // namespace varnel::win32ui
