#include "fonts/font_tables.h"

#include "image/byte_patterns.h"

#include <array>
#include <cstring>

namespace varnel {
namespace {

constexpr int16_t kAny = -1;

// mov cx,000Eh / jmp short / mov bp,font8x8 / mov cx,0008h / jmp short /
// mov bp,font8x16 / mov cx,0010h / jmp short. Starts 5 bytes before the
// anchor (the first mov bp).
constexpr std::array<int16_t, 20> kFontPointerCode = {0xB9, 0x0E, 0x00, 0xEB, kAny, 0xBD, kAny,
                                                      kAny, 0xB9, 0x08, 0x00, 0xEB, kAny, 0xBD,
                                                      kAny, kAny, 0xB9, 0x10, 0x00, 0xEB};
constexpr int32_t kFontPointerLead = 5;
constexpr int32_t kFontPointerKey = 1;  // the 0Eh of mov cx,000Eh

// xor bh,bh / mov bl,ah / mov si,alt9x16 / cmp bl,10h / je short /
// mov si,alt9x14 / cmp bl,0Eh / je short. Starts 4 bytes before the anchor.
constexpr std::array<int16_t, 19> kAltTableCode = {0x32, 0xFF, 0x8A, 0xDC, 0xBE, kAny, kAny,
                                                   0x80, 0xFB, 0x10, 0x74, kAny, 0xBE, kAny,
                                                   kAny, 0x80, 0xFB, 0x0E, 0x74};
constexpr int32_t kAltTableLead = 4;
constexpr int32_t kAltTableKey = 3;  // the DCh of mov bl,ah

template <size_t N>
bool matchesAt(const BiosImage& image, int32_t start, const std::array<int16_t, N>& code) {
  for (size_t i = 0; i < N; ++i) {
    if (code[i] != kAny && image.bytes[start + i] != code[i]) return false;
  }
  return true;
}

bool rowsBlank(const uint8_t* glyph, int first, int count) {
  for (int row = first; row < first + count; ++row) {
    if (glyph[row] != 0) return false;
  }
  return true;
}

struct GlyphRule {
  uint8_t code;
  bool upperInked;  // rows of the upper group
  bool lowerInked;  // rows of the lower group
};

// Space blank; quotes inked high only; comma, full stop and low line inked
// low only; braces inked in both halves.
constexpr std::array<GlyphRule, 8> kPunctuationRules = {{{0x20, false, false},
                                                         {0x22, true, false},
                                                         {0x27, true, false},
                                                         {0x2C, false, true},
                                                         {0x2E, false, true},
                                                         {0x5F, false, true},
                                                         {0x7B, true, true},
                                                         {0x7D, true, true}}};

// Checks each rule on two row groups of `groupRows` rows starting at the
// given rows of the glyph.
bool passesRules(const uint8_t* font, int glyphRows, int upperRow, int lowerRow, int groupRows,
                 const GlyphRule* first, const GlyphRule* last) {
  for (const GlyphRule* rule = first; rule != last; ++rule) {
    const uint8_t* glyph = font + rule->code * glyphRows;
    if (rowsBlank(glyph, upperRow, groupRows) == rule->upperInked) return false;
    if (rowsBlank(glyph, lowerRow, groupRows) == rule->lowerInked) return false;
  }
  return true;
}

// The anchor position (`lead` bytes into the code) of the last match whose
// anchor lies in [256, length - 32), or 0 when none does; the last match is
// the one the tables are taken from. The search jumps between the bytes at
// `keyIndex`, a fixed byte of the code that is rare elsewhere, and checks the
// whole code only there.
template <size_t N>
int32_t findLastCode(const BiosImage& image, const std::array<int16_t, N>& code, int32_t lead,
                     int32_t keyIndex) {
  const auto key = static_cast<uint8_t>(code[static_cast<size_t>(keyIndex)]);
  const int32_t shift = keyIndex - lead;  // from the anchor to the key byte
  const int32_t from = kCodeSearchStart + shift;
  for (int32_t q = findLastByte(image, from, image.boundedLength() - 32 + shift, key); q != 0;
       q = findLastByte(image, from, q, key)) {
    if (matchesAt(image, q - keyIndex, code)) return q - shift;
  }
  return 0;
}

}  // namespace

void locateFontTables(BiosImage& image) {
  const int32_t n = image.boundedLength();
  if (const int32_t p = findLastCode(image, kFontPointerCode, kFontPointerLead, kFontPointerKey)) {
    image.font8x8Offset = offsetIfFits(image.wordAt(p + 1), n, kFont8x8Size);
    image.font8x16Offset = offsetIfFits(image.wordAt(p + 9), n, kFont8x16Size);
  }
  if (const int32_t p = findLastCode(image, kAltTableCode, kAltTableLead, kAltTableKey)) {
    image.altFont9x16Offset = offsetIfFits(image.wordAt(p + 1), n, kAltFontTableMinSize);
    image.altFont9x14Offset = offsetIfFits(image.wordAt(p + 9), n, kAltFontTableMinSize);
  }
}

void refreshAltFont9x16(BiosImage& image) {
  const int32_t font = image.font8x16Offset;
  const int32_t table = image.altFont9x16Offset;
  if (font == 0 || table == 0 || font == table) return;
  // Stops at the terminating zero, or at the first entry that would not fit
  // inside the image.
  for (int32_t e = table; e + kAltGlyphEntrySize <= image.boundedLength() && image.bytes[e] != 0;
       e += kAltGlyphEntrySize) {
    const int32_t glyph = font + 16 * image.bytes[e];
    std::memmove(&image.bytes[e + 1], &image.bytes[glyph], 16);
  }
}

bool isPlausibleFont8x8(const uint8_t* font) {
  if (font == nullptr) return false;
  return passesRules(font, 8, 0, 4, 4, kPunctuationRules.begin(), kPunctuationRules.end());
}

bool isPlausibleFont8x16(const uint8_t* font) {
  if (font == nullptr) return false;
  // The braces are checked on rows 4-7 and 8-11; the rest on 0-7 and 8-15.
  const GlyphRule* braces = kPunctuationRules.begin() + 6;
  return passesRules(font, 16, 0, 8, 8, kPunctuationRules.begin(), braces) &&
         passesRules(font, 16, 4, 8, 4, braces, kPunctuationRules.end());
}

}  // namespace varnel
