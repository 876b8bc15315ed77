// What a font file offers for one of the image's font tables: a code-page
// file's fonts of the table's size, or a raw font's glyphs. Whatever the
// file's name, the code-page reader sees it first, and a file with the
// code-page signature is never taken as a raw font (its header would
// become glyphs).
#pragma once

#include <memory>
#include <vector>

#include "fonts/cpi_reader.h"
#include "stream/byte_stream.h"

namespace varnel {

struct FontFileContents {
  enum class Kind {
    kCodePageFonts,       // `entries` holds `count` fonts of the size
    kNoFontOfSize,        // a code-page file without a font of the size
    kUnreadableCodePage,  // the signature, but not readable: `whyNot`
    kRawFont,             // `glyphs`, one table's bytes; `plausible` or not
    kTooShort,            // no code-page file, and shorter than one table
  };
  Kind kind = Kind::kTooShort;
  std::unique_ptr<CpiFontList> entries = std::make_unique<CpiFontList>();
  int count = 0;
  const char* whyNot = nullptr;
  std::vector<uint8_t> glyphs;
  bool plausible = false;
};

// Reads what `file` offers for the table of glyph height 8 or 16; a failing
// stream throws StreamError.
FontFileContents readFontFile(ByteStream& file, int height);

// The glyphs of a font the code-page reader listed, read whole before any
// is used, since the file may have changed or fail meanwhile; throws
// StreamError when the data ends early.
std::vector<uint8_t> readCodePageGlyphs(ByteStream& file, const CpiFontEntry& entry, int height);

}  // namespace varnel
