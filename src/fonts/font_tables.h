// The VGA text fonts inside the image and the tests for raw font files.
#pragma once

#include <cstdint>

#include "image/bios_image.h"

namespace varnel {

inline constexpr int32_t kFont8x8Size = 2048;
inline constexpr int32_t kFont8x16Size = 4096;
inline constexpr int32_t kAltFontTableMinSize = 256;
inline constexpr int32_t kAltGlyphEntrySize = 17;

// Finds the font tables through the code that loads their addresses.
void locateFontTables(BiosImage& image);

// Copies the 8x16 glyph of every character listed in the 9x16 alternate
// table into that table's entry.
void refreshAltFont9x16(BiosImage& image);

// Whether a raw file looks like a font: a few punctuation glyphs must be
// inked and blank in the right halves. Null buffers fail.
bool isPlausibleFont8x8(const uint8_t* font);
bool isPlausibleFont8x16(const uint8_t* font);

}  // namespace varnel
