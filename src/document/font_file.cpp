#include "document/font_file.h"

#include <algorithm>
#include <cctype>

#include "fonts/font_tables.h"
#include "fonts/gunzip.h"
#include "fonts/psf.h"

namespace varnel {
namespace {

int32_t tableSize(int height) {
  return height == 8 ? kFont8x8Size : kFont8x16Size;
}

bool isPlausibleFont(int height, const uint8_t* glyphs) {
  return height == 8 ? isPlausibleFont8x8(glyphs) : isPlausibleFont8x16(glyphs);
}

bool hasPsfSignature(ByteStream& file) {
  uint8_t start[kPsfSignatureSize] = {};
  file.seekTo(0);
  const int32_t got = file.read(start, kPsfSignatureSize);
  return startsLikePsf(std::span<const uint8_t>(start, static_cast<size_t>(got)));
}

// The whole file, up to one byte more than a PSF file may hold, so that
// the reader refuses a larger one.
void readPsfFile(ByteStream& file, int height, FontFileContents& contents) {
  std::vector<uint8_t> bytes(static_cast<size_t>(kMaxPsfFileSize) + 1);
  file.seekTo(0);
  bytes.resize(static_cast<size_t>(file.read(bytes.data(), kMaxPsfFileSize + 1)));
  PsfFont font = readPsf(bytes, height);
  contents.kind =
      font.glyphs.empty() ? FontFileContents::Kind::kRefusedPsf : FontFileContents::Kind::kPsfFont;
  contents.glyphs = std::move(font.glyphs);
  contents.whyNot = std::move(font.whyNot);
}

// Only the first 2048 or 4096 bytes of a longer file are used.
void readRawFont(ByteStream& file, int height, FontFileContents& contents) {
  contents.glyphs.resize(static_cast<size_t>(tableSize(height)));
  file.seekTo(0);
  if (file.read(contents.glyphs.data(), tableSize(height)) < tableSize(height)) {
    contents.glyphs.clear();
    return;
  }
  contents.kind = FontFileContents::Kind::kRawFont;
  contents.plausible = isPlausibleFont(height, contents.glyphs.data());
}

bool endsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() &&
         std::equal(suffix.begin(), suffix.end(),
                    text.end() - static_cast<ptrdiff_t>(suffix.size()), [](char a, char b) {
                      return std::tolower(static_cast<unsigned char>(a)) ==
                             std::tolower(static_cast<unsigned char>(b));
                    });
}

}  // namespace

FontFileContents readFontFile(ByteStream& file, int height) {
  using Kind = FontFileContents::Kind;
  FontFileContents contents;
  const char* whyNot = nullptr;
  contents.count = readCpiFonts(file, *contents.entries, 8, height, &whyNot);
  if (contents.count > 0) {
    contents.kind = Kind::kCodePageFonts;
  } else if (contents.count == 0) {
    contents.kind = Kind::kNoFontOfSize;
  } else if (whyNot != nullptr) {
    contents.kind = Kind::kUnreadableCodePage;
    contents.whyNot = whyNot;
  } else if (hasPsfSignature(file)) {
    readPsfFile(file, height, contents);
  } else {
    readRawFont(file, height, contents);
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

FontFormat fontFormatOfName(std::string_view path) {
  if (endsWith(path, ".psf")) return FontFormat::kPsf;
  if (endsWith(path, ".psf.gz")) return FontFormat::kGzippedPsf;
  return FontFormat::kRaw;
}

std::vector<uint8_t> fontFileBytes(std::span<const uint8_t> table, int height, FontFormat format) {
  switch (format) {
    case FontFormat::kRaw:
      break;
    case FontFormat::kPsf:
      return writePsf2(table, height);
    case FontFormat::kGzippedPsf:
      return gzip(writePsf2(table, height));
  }
  return {table.begin(), table.end()};
}

}  // namespace varnel
