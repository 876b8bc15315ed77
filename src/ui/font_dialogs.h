// The font selection dialog's behaviour and the font view's painting,
// independent of the toolkit.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "fonts/cpi_reader.h"
#include "image/bios_image.h"
#include "ui/dialog_controls.h"

namespace varnel::ui {

// A control's client rectangle in the dialog's client coordinates.
struct ClientRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int width() const { return right - left; }
  int height() const { return bottom - top; }
};

class PixelCanvas;

// The glyphs of listed font `index`: its 256 glyphs one after the other,
// each as many bytes as the font is high. Throws StreamError when the
// font's data cannot be read.
using FontGlyphReader = std::function<std::vector<uint8_t>(int index)>;

// Lists the fonts found in a code-page file; OK stays disabled until a line
// is selected. Line i shows entry i. The selected line's font is previewed;
// only that font's glyphs are held, read when the line is selected.
class FontSelectDialog : public DialogEvents {
 public:
  explicit FontSelectDialog(DialogControls& controls) : controls_(controls) {}

  int entryCount = 0;
  const CpiFontEntry* entries = nullptr;
  int selection = -1;
  // Where the preview's glyphs come from; none shows no preview.
  FontGlyphReader glyphsOf;
  // Called once the previewed font changed, for the front end to repaint
  // the preview.
  std::function<void()> previewChanged;

  bool OnInitDialog();
  void OnSelChangeFontList();
  // What selectFont returns once the dialog has ended.
  int result(bool ok) const { return ok ? selection : -1; }
  // Paints the selected line's font in `rect` as the font view paints a
  // font; nothing while no line is selected or when the font's data could
  // not be read.
  void paintPreview(const ClientRect& rect, PixelCanvas& canvas) const;

  void onCommand(int id, Notification code) override;
  void onHScroll(int, int, int) override {}

 private:
  void readPreview();

  DialogControls& controls_;
  std::vector<uint8_t> preview_;  // the selected font's glyphs, or none
  int previewRows_ = 0;
};

// Where a 32 x 8 grid of glyphs `glyphRows` high goes in its rectangle: the
// cells fitted to the rectangle (not to the glyphs), the grid centred in it.
// Each glyph pixel is a square of `pixelSize` screen pixels, the largest
// whole size that leaves the room of one such square free between
// neighbouring glyphs, so the glyphs grow with the window on a screen of
// higher resolution, stay sharp and keep apart.
struct GlyphGrid {
  int cellWidth = 0;
  int cellHeight = 0;
  int originX = 0;
  int originY = 0;
  int pixelSize = 1;
};
GlyphGrid layoutGlyphGrid(const ClientRect& rect, int glyphRows);

// Where black pixels go, each glyph on a light box of its own so that the
// glyphs read whatever the window's own colours.
class PixelCanvas {
 public:
  virtual ~PixelCanvas() = default;
  // A black square of `size` pixels from (x, y).
  virtual void setPixel(int x, int y, int size) = 0;
  // Lights the box of one glyph; nothing on a canvas that is light already.
  virtual void fillBackground(int /*x*/, int /*y*/, int /*width*/, int /*height*/) {}
};

// Paints the rows of one glyph, one square of `pixelSize` per set bit, bit 7
// leftmost.
void drawGlyph(const uint8_t* rows, int x, int y, PixelCanvas& canvas, int rowCount, int pixelSize);

// Paints all 256 glyphs of both fonts of the image in their grids, every
// glyph box lit before the first pixel, so that a glyph wider than its cell
// is not covered by its neighbour's box. Nothing without an image.
void paintFonts(const BiosImage* image, const ClientRect& grid8x8, const ClientRect& grid8x16,
                PixelCanvas& canvas);

}  // namespace varnel::ui
