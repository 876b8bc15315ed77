// The font selection dialog (103) and the font view (104) on Qt.
#pragma once

#include <QDialog>

#include "fonts/cpi_reader.h"
#include "image/bios_image.h"
#include "ui/font_dialogs.h"
#include "ui/qt/dialog_builder.h"

namespace varnel::qtui {

// Runs the selection dialog modally, previewing the selected line's font
// from `glyphsOf`; the chosen entry, or -1.
int runFontSelectDialog(QWidget* owner, const CpiFontEntry* entries, int count,
                        const ui::FontGlyphReader& glyphsOf);

// The font view: paints both fonts of an image in the rectangles that its
// two hidden controls mark.
class FontViewDialog : public QDialog {
 public:
  explicit FontViewDialog(QWidget* owner);
  // Shows the image's fonts modally; returns the dialog's result.
  int showFonts(const BiosImage& image);
  void setImage(const BiosImage* image) { image_ = image; }
  const BuiltDialog& built() const { return built_; }

 private:
  BuiltDialog built_;
  const BiosImage* image_ = nullptr;
};

}  // namespace varnel::qtui
