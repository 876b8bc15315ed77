// Lists the screen fonts of one size in a DOS/Windows code-page (CPI) file.
#pragma once

#include <array>
#include <cstdint>

#include "stream/byte_stream.h"

namespace varnel {

struct CpiFontEntry {
  int32_t codePage = 0;
  int32_t width = 0;
  int32_t height = 0;
  // Stream position of the font's first glyph byte.
  int32_t dataOffset = 0;
};

inline constexpr int32_t kMaxCpiFonts = 1024;
using CpiFontList = std::array<CpiFontEntry, kMaxCpiFonts>;

// Walks the file's headers (no glyph data is read), each header at most
// once. Returns -1 when the stream is not a readable CPI file (or holds more
// than 1024 matching fonts, or the walk comes back to a header it has read,
// or a matching font's data starts where `dataOffset` cannot hold), else the
// number of fonts of the wanted size, described in entries[0..n-1] in file
// order. Failures of the stream itself are thrown as StreamError and left to
// the caller. When a stream that begins with the code-page signature
// (FF "FONT") cannot be read, `*whyNot` (if given) says why; it is null for a
// stream that is read, or that lacks the signature and so may be a raw font.
int readCpiFonts(ByteStream& stream, CpiFontList& entries, int wantWidth, int wantHeight,
                 const char** whyNot = nullptr);

}  // namespace varnel
