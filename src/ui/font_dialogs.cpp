#include "ui/font_dialogs.h"

#include <algorithm>
#include <cstdio>

#include "ui/control_ids.h"

namespace varnel::ui {

bool FontSelectDialog::OnInitDialog() {
  for (int i = 0; i < entryCount; ++i) {
    char line[1024];
    std::snprintf(line, sizeof line, "CodePage %d, %dx%d font", entries[i].codePage,
                  entries[i].width, entries[i].height);
    controls_.addString(kIdFontList, line);
  }
  controls_.enable(kIdOk, false);
  return true;
}

void FontSelectDialog::OnSelChangeFontList() {
  selection = controls_.currentSelection(kIdFontList);
  // A line the user deselected again leaves nothing for OK to return.
  controls_.enable(kIdOk, selection >= 0);
}

void FontSelectDialog::onCommand(int id, Notification code) {
  if (id == kIdFontList && code == Notification::kSelChange) OnSelChangeFontList();
}

GlyphGrid layoutGlyphGrid(const ClientRect& rect, int glyphRows) {
  GlyphGrid grid;
  grid.cellWidth = rect.width() / 32;
  grid.cellHeight = (rect.height() * 32) / 256;
  grid.pixelSize =
      std::max(1, std::min(grid.cellWidth / 9, grid.cellHeight / (std::max(1, glyphRows) + 1)));
  grid.originX = (rect.left + rect.right) / 2 - (grid.cellWidth * 32) / 2;
  grid.originY = (rect.top + rect.bottom) / 2 - (grid.cellHeight * 8) / 2;
  return grid;
}

void drawGlyph(const uint8_t* rows, int x, int y, PixelCanvas& canvas, int rowCount,
               int pixelSize) {
  for (int i = 0; i < rowCount; ++i) {
    for (int j = 0; j < 8; ++j) {
      if (rows[i] & (0x80 >> j)) canvas.setPixel(x + j * pixelSize, y + i * pixelSize, pixelSize);
    }
  }
}

namespace {

// Calls `visit(rows, x, y, rowCount, pixelSize)` for every glyph of the image's fonts
// that can be painted.
template <typename Visit>
void forEachGlyph(const BiosImage& image, const ClientRect& grid8x8, const ClientRect& grid8x16,
                  Visit visit) {
  const GlyphGrid small = layoutGlyphGrid(grid8x8, 8);
  const GlyphGrid tall = layoutGlyphGrid(grid8x16, 16);
  // Located tables lie wholly inside the image; a table that would not fit
  // the buffer (an offset set by hand) is not painted at all.
  const bool has8x8 = image.font8x8Offset + 2048 <= kMaxImageSize;
  const bool has8x16 = image.font8x16Offset + 4096 <= kMaxImageSize;
  const uint8_t* font8x8 = image.bytes.data() + image.font8x8Offset;
  const uint8_t* font8x16 = image.bytes.data() + image.font8x16Offset;
  for (int k = 0; k < 256; ++k) {
    const int column = k % 32;
    const int row = k / 32;
    if (has8x8) {
      visit(font8x8 + 8 * k, small.originX + column * small.cellWidth,
            small.originY + row * small.cellHeight, 8, small.pixelSize);
    }
    if (has8x16) {
      visit(font8x16 + 16 * k, tall.originX + column * tall.cellWidth,
            tall.originY + row * tall.cellHeight, 16, tall.pixelSize);
    }
  }
}

}  // namespace

void paintFonts(const BiosImage* image, const ClientRect& grid8x8, const ClientRect& grid8x16,
                PixelCanvas& canvas) {
  if (image == nullptr) return;
  forEachGlyph(*image, grid8x8, grid8x16,
               [&canvas](const uint8_t*, int x, int y, int rowCount, int pixelSize) {
                 canvas.fillBackground(x, y, 8 * pixelSize, rowCount * pixelSize);
               });
  forEachGlyph(*image, grid8x8, grid8x16,
               [&canvas](const uint8_t* rows, int x, int y, int rowCount, int pixelSize) {
                 drawGlyph(rows, x, y, canvas, rowCount, pixelSize);
               });
}

}  // namespace varnel::ui
