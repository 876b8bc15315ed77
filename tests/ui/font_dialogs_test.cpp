#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <set>
#include <vector>

#include "support/vga_fonts.h"
#include "ui/control_ids.h"
#include "ui/font_dialogs.h"
#include "ui/headless_controls.h"

namespace varnel {
namespace {

using namespace ui;

TEST(FontSelectDialog, ListsOneLinePerEntryAndEnablesOkOnSelection) {
  // Out of text order: the list must keep the file's order, since a line's
  // index is the index of its entry.
  const CpiFontEntry entries[] = {{850, 8, 16, 5000}, {437, 8, 16, 100}, {65536 + 852, 8, 16, 9}};
  HeadlessControls controls(fontSelectDialogTemplate());
  FontSelectDialog dialog(controls);
  controls.setEvents(&dialog);
  dialog.entries = entries;
  dialog.entryCount = 3;
  EXPECT_EQ(dialog.selection, -1);
  dialog.OnInitDialog();
  EXPECT_EQ(controls.items(kIdFontList),
            (std::vector<std::string>{"CodePage 850, 8x16 font", "CodePage 437, 8x16 font",
                                      "CodePage 66388, 8x16 font"}));
  EXPECT_FALSE(controls.isEnabled(kIdOk));
  EXPECT_TRUE(controls.isEnabled(kIdCancel));
  EXPECT_EQ(dialog.result(true), -1);
  controls.choose(kIdFontList, 1);
  EXPECT_TRUE(controls.isEnabled(kIdOk));
  EXPECT_EQ(dialog.result(true), 1);
  EXPECT_EQ(dialog.result(false), -1);
  // A line deselected again (Ctrl and a click) leaves nothing for OK.
  controls.setCurrentSelection(kIdFontList, -1);
  dialog.onCommand(kIdFontList, Notification::kSelChange);
  EXPECT_FALSE(controls.isEnabled(kIdOk));
  EXPECT_EQ(dialog.result(true), -1);
}

TEST(GlyphGrid, CellsFitTheRectangleAndTheGridIsCentred) {
  struct Case {
    ClientRect rect;
    int glyphRows;
    int cellWidth, cellHeight, originX, originY, pixelSize;
  };
  for (const Case& c : {
           Case{{10, 20, 196, 120}, 8, 5, 12, 103 - 80, 70 - 48, 1},
           Case{{0, 0, 256, 128}, 16, 8, 16, 0, 0, 1},
           Case{{3, 3, 34, 10}, 8, 0, 0, 18, 6, 1},
           // Glyph pixels grow by whole pixels, the room of one kept free
           // between glyphs across and down; the tighter of the two decides.
           Case{{0, 0, 32 * 18, 8 * 18}, 8, 18, 18, 0, 0, 2},
           Case{{0, 0, 32 * 17, 8 * 18}, 8, 17, 18, 0, 0, 1},
           Case{{0, 0, 32 * 27, 8 * 18}, 8, 27, 18, 0, 0, 2},
           Case{{0, 0, 32 * 27, 8 * 27}, 8, 27, 27, 0, 0, 3},
           Case{{0, 0, 32 * 18, 8 * 34}, 16, 18, 34, 0, 0, 2},
           Case{{0, 0, 32 * 18, 8 * 33}, 16, 18, 33, 0, 0, 1},
       }) {
    const GlyphGrid grid = layoutGlyphGrid(c.rect, c.glyphRows);
    EXPECT_EQ(grid.cellWidth, c.cellWidth);
    EXPECT_EQ(grid.cellHeight, c.cellHeight);
    EXPECT_EQ(grid.originX, c.originX);
    EXPECT_EQ(grid.originY, c.originY);
    EXPECT_EQ(grid.pixelSize, c.pixelSize) << c.rect.width() << "x" << c.rect.height();
  }
}

class RecordingCanvas : public PixelCanvas {
 public:
  void setPixel(int x, int y, int size) override {
    for (int dy = 0; dy < size; ++dy) {
      for (int dx = 0; dx < size; ++dx)
        pixels.insert({x + dx, y + dy});
    }
    if (backgroundsBeforeFirstPixel < 0) backgroundsBeforeFirstPixel = int(backgrounds.size());
  }
  void fillBackground(int x, int y, int width, int height) override {
    backgrounds.push_back({x, y, width, height});
  }
  std::set<std::pair<int, int>> pixels;
  std::vector<std::array<int, 4>> backgrounds;
  int backgroundsBeforeFirstPixel = -1;
};

TEST(DrawGlyph, BitSevenIsTheLeftmostPixel) {
  const uint8_t rows[] = {0x80, 0x01, 0x00, 0xFF};
  for (const int size : {1, 2, 3}) {
    RecordingCanvas canvas;
    drawGlyph(rows, 100, 50, canvas, 4, size);
    std::set<std::pair<int, int>> expected;
    auto square = [&](int column, int row) {
      for (int dy = 0; dy < size; ++dy) {
        for (int dx = 0; dx < size; ++dx)
          expected.insert({100 + column * size + dx, 50 + row * size + dy});
      }
    };
    square(0, 0);
    square(7, 1);
    for (int column = 0; column < 8; ++column)
      square(column, 3);
    EXPECT_EQ(canvas.pixels, expected) << size;
  }
}

// The preview holds only the selected line's font, read when the line is
// selected; a font that cannot be read, or comes short, shows nothing.
TEST(FontSelectDialog, PreviewPaintsTheSelectedLinesFont) {
  const CpiFontEntry entries[] = {
      {437, 8, 8, 100}, {850, 8, 8, 2200}, {852, 8, 8, 4300}, {866, 8, 8, 6400}};
  std::vector<int> reads;
  const FontGlyphReader glyphsOf = [&reads](int index) {
    reads.push_back(index);
    if (index == 2) throw StreamError("the font's data ends before its last glyph");
    std::vector<uint8_t> glyphs(index == 3 ? 2047 : 2048, 0);
    glyphs[static_cast<size_t>(8 * (index == 0 ? 0 : 33))] = 0x80;  // glyph 0 or 33, one pixel
    return glyphs;
  };
  HeadlessControls controls(fontSelectDialogTemplate());
  FontSelectDialog dialog(controls);
  controls.setEvents(&dialog);
  dialog.entries = entries;
  dialog.entryCount = 4;
  dialog.glyphsOf = glyphsOf;
  int repaints = 0;
  dialog.previewChanged = [&repaints] { ++repaints; };
  dialog.OnInitDialog();
  const ClientRect rect{0, 0, 256, 64};  // 8 x 8 cells from (0, 0)
  struct Case {
    int line;
    std::set<std::pair<int, int>> pixels;
    size_t boxes;
  };
  RecordingCanvas before;
  dialog.paintPreview(rect, before);
  EXPECT_TRUE(before.backgrounds.empty());
  EXPECT_TRUE(reads.empty());
  for (const Case& c : {Case{1, {{8, 8}}, 256}, Case{0, {{0, 0}}, 256}, Case{2, {}, 0},
                        Case{1, {{8, 8}}, 256}, Case{3, {}, 0}, Case{-1, {}, 0}}) {
    SCOPED_TRACE(c.line);
    reads.clear();
    repaints = 0;
    controls.setCurrentSelection(kIdFontList, c.line);
    dialog.onCommand(kIdFontList, Notification::kSelChange);
    EXPECT_EQ(reads, c.line < 0 ? std::vector<int>{} : std::vector<int>{c.line});
    EXPECT_EQ(repaints, 1);
    RecordingCanvas canvas;
    dialog.paintPreview(rect, canvas);
    EXPECT_EQ(canvas.pixels, c.pixels);
    EXPECT_EQ(canvas.backgrounds.size(), c.boxes);
  }
  // A click on the line already selected reads and repaints nothing.
  reads.clear();
  repaints = 0;
  controls.setCurrentSelection(kIdFontList, 0);
  dialog.onCommand(kIdFontList, Notification::kSelChange);
  dialog.onCommand(kIdFontList, Notification::kSelChange);
  EXPECT_EQ(reads, std::vector<int>{0});
  EXPECT_EQ(repaints, 1);
}

TEST(PaintFonts, GlyphsGoToTheirCellsInCodeOrder) {
  auto image = std::make_unique<BiosImage>();
  image->font8x8Offset = 0x1000;
  image->font8x16Offset = 0x2000;
  image->bytes.fill(0);
  // Mark glyphs 0, 31, 32 and 255 of each font with their first row 0x80.
  for (int code : {0, 31, 32, 255}) {
    image->bytes[static_cast<size_t>(0x1000 + 8 * code)] = 0x80;
    image->bytes[static_cast<size_t>(0x2000 + 16 * code)] = 0x80;
  }
  const ClientRect small{0, 0, 256, 64};    // 8 x 8 cells from (0, 0)
  const ClientRect tall{0, 100, 256, 228};  // 8 x 16 cells from (0, 100)
  RecordingCanvas canvas;
  paintFonts(image.get(), small, tall, canvas);
  EXPECT_EQ(canvas.pixels,
            (std::set<std::pair<int, int>>{
                {0, 0}, {248, 0}, {0, 8}, {248, 56}, {0, 100}, {248, 100}, {0, 116}, {248, 212}}));
  // Every glyph box is lit, all before the first pixel: a glyph wider than
  // its cell keeps the pixels that reach into its neighbour's box.
  ASSERT_EQ(canvas.backgrounds.size(), 512u);
  EXPECT_EQ(canvas.backgroundsBeforeFirstPixel, 512);
  for (const std::array<int, 4>& box : {std::array{0, 0, 8, 8}, std::array{248, 56, 8, 8},
                                        std::array{0, 100, 8, 16}, std::array{248, 212, 8, 16}}) {
    EXPECT_NE(std::find(canvas.backgrounds.begin(), canvas.backgrounds.end(), box),
              canvas.backgrounds.end())
        << box[0] << "," << box[1];
  }
  RecordingCanvas none;
  paintFonts(nullptr, small, tall, none);
  EXPECT_TRUE(none.pixels.empty());
  EXPECT_TRUE(none.backgrounds.empty());
}

}  // namespace
}  // namespace varnel
