// The editor's texts are narrow 8-bit strings: paths and names in UTF-8,
// texts out of an image in Latin-1. Windows shows UTF-16.
#pragma once

#include <string>
#include <string_view>

namespace varnel::win32ui {

// UTF-8 where the bytes are valid UTF-8, Latin-1 otherwise, as the Qt
// editor shows them.
std::wstring fromNarrow(std::string_view text);
std::string toNarrow(std::wstring_view text);

}  // namespace varnel::win32ui
