// Text crosses the Windows API as UTF-16 and lives as UTF-8 everywhere else
// in the program, so that file names in any language survive both ways.
// Converted here rather than by the system, whose treatment of bad bytes
// differs between Windows XP (drops them) and later versions.
#pragma once

#include <string>
#include <string_view>

namespace varnel {

// UTF-8 to UTF-16. Each byte that does not belong to a well-formed UTF-8
// sequence becomes U+FFFD, so a bad name leads to a file that does not
// exist, never to another file's name.
std::wstring toUtf16(std::string_view utf8);

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string toUtf8(std::wstring_view utf16);

// True when the bytes are well-formed UTF-8.
bool isUtf8(std::string_view text);

}  // namespace varnel
