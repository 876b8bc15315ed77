#include "ui/font_dialogs.h"

#include <algorithm>
#include <cstdio>
#include <span>

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
  const int before = selection;
  selection = controls_.currentSelection(kIdFontList);
  // A line the user deselected again leaves nothing for OK to return.
  controls_.enable(kIdOk, selection >= 0);
  // A click on the selected line reports a change too; the preview stays.
  if (selection == before) return;
  readPreview();
  if (previewChanged) previewChanged();
}

void FontSelectDialog::readPreview() {
  preview_.clear();
  previewRows_ = 0;
  if (selection < 0 || selection >= entryCount || !glyphsOf) return;
  try {
    preview_ = glyphsOf(selection);
  } catch (const StreamError&) {
    preview_.clear();  // the line stays selectable; OK reports the failure
  }
  previewRows_ = entries[selection].height;
  // Fewer bytes than the glyphs need are not painted at all.
  if (previewRows_ <= 0 || preview_.size() < 256u * static_cast<unsigned>(previewRows_)) {
    preview_.clear();
  }
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

// One font's 256 glyphs and the rectangle its grid fills.
struct GlyphTable {
  const uint8_t* glyphs = nullptr;
  int rows = 0;
  ClientRect rect;
};

// Calls `visit(rows, x, y, rowCount, pixelSize)` for every glyph of the
// tables, each table in its own grid.
template <typename Visit>
void forEachGlyph(std::span<const GlyphTable> tables, Visit visit) {
  for (const GlyphTable& table : tables) {
    const GlyphGrid grid = layoutGlyphGrid(table.rect, table.rows);
    for (int k = 0; k < 256; ++k) {
      visit(table.glyphs + table.rows * k, grid.originX + (k % 32) * grid.cellWidth,
            grid.originY + (k / 32) * grid.cellHeight, table.rows, grid.pixelSize);
    }
  }
}

// Every glyph box is lit before the first pixel, so that a glyph wider than
// its cell is not covered by its neighbour's box.
void paintGlyphTables(std::span<const GlyphTable> tables, PixelCanvas& canvas) {
  forEachGlyph(tables, [&canvas](const uint8_t*, int x, int y, int rowCount, int pixelSize) {
    canvas.fillBackground(x, y, 8 * pixelSize, rowCount * pixelSize);
  });
  forEachGlyph(tables, [&canvas](const uint8_t* rows, int x, int y, int rowCount, int pixelSize) {
    drawGlyph(rows, x, y, canvas, rowCount, pixelSize);
  });
}

}  // namespace

void paintFonts(const BiosImage* image, const ClientRect& grid8x8, const ClientRect& grid8x16,
                PixelCanvas& canvas) {
  if (image == nullptr) return;
  // Located tables lie wholly inside the image; a table that would not fit
  // the buffer (an offset set by hand) is not painted at all.
  GlyphTable tables[2];
  size_t count = 0;
  if (image->font8x8Offset + 2048 <= kMaxImageSize) {
    tables[count++] = {image->bytes.data() + image->font8x8Offset, 8, grid8x8};
  }
  if (image->font8x16Offset + 4096 <= kMaxImageSize) {
    tables[count++] = {image->bytes.data() + image->font8x16Offset, 16, grid8x16};
  }
  paintGlyphTables(std::span(tables, count), canvas);
}

void FontSelectDialog::paintPreview(const ClientRect& rect, PixelCanvas& canvas) const {
  if (preview_.empty()) return;
  const GlyphTable table{preview_.data(), previewRows_, rect};
  paintGlyphTables(std::span(&table, 1), canvas);
}

}  // namespace varnel::ui
