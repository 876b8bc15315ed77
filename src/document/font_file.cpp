#include "document/font_file.h"

#include "fonts/font_tables.h"

namespace varnel {
namespace {

int32_t tableSize(int height) {
  return height == 8 ? kFont8x8Size : kFont8x16Size;
}

bool isPlausibleFont(int height, const uint8_t* glyphs) {
  return height == 8 ? isPlausibleFont8x8(glyphs) : isPlausibleFont8x16(glyphs);
}

}  // namespace

FontFileContents readFontFile(ByteStream& file, int height) {
  using Kind = FontFileContents::Kind;
  FontFileContents contents;
  contents.count = readCpiFonts(file, *contents.entries, 8, height, &contents.whyNot);
  if (contents.count > 0) {
    contents.kind = Kind::kCodePageFonts;
  } else if (contents.count == 0) {
    contents.kind = Kind::kNoFontOfSize;
  } else if (contents.whyNot != nullptr) {
    contents.kind = Kind::kUnreadableCodePage;
  } else {
    // Only the first 2048 or 4096 bytes of a longer file are used.
    contents.glyphs.resize(static_cast<size_t>(tableSize(height)));
    file.seekTo(0);
    if (file.read(contents.glyphs.data(), tableSize(height)) < tableSize(height)) {
      contents.glyphs.clear();
      return contents;
    }
    contents.kind = Kind::kRawFont;
    contents.plausible = isPlausibleFont(height, contents.glyphs.data());
  }
  return contents;
}

std::vector<uint8_t> readCodePageGlyphs(ByteStream& file, const CpiFontEntry& entry, int height) {
  // The reader made sure the font's data lay wholly inside the file, so the
  // glyphs take no plausibility test.
  std::vector<uint8_t> glyphs(static_cast<size_t>(tableSize(height)));
  file.seekTo(entry.dataOffset);
  if (file.read(glyphs.data(), tableSize(height)) < tableSize(height)) {
    throw StreamError("the font's data ends before its last glyph");
  }
  return glyphs;
}

}  // namespace varnel
