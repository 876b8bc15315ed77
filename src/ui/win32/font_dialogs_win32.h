// The font selection dialog and the font view on Windows, built from their
// layout tables.
#pragma once

#include <windows.h>

#include "fonts/cpi_reader.h"
#include "image/bios_image.h"
#include "ui/font_dialogs.h"

namespace varnel::win32ui {

// Runs the selection dialog modally over `owner`: the chosen entry, or -1.
// No line is selected when it opens, and OK is enabled only while one is.
// The selected line's font, read from `glyphsOf`, is previewed.
int runFontSelectDialog(HWND owner, const CpiFontEntry* entries, int count,
                        const ui::FontGlyphReader& glyphsOf);

// Shows both fonts of the image modally over `owner` until it is closed.
void runFontViewDialog(HWND owner, const BiosImage& image);

// The rectangle of a dialog's control in the dialog's client coordinates.
ui::ClientRect controlRect(HWND dialog, int id);

// Paints both fonts of the image into the font view's grids, black pixels
// on a white box per glyph, with one device pixel per glyph pixel.
void paintFontView(HWND dialog, HDC dc, const BiosImage& image);

}  // namespace varnel::win32ui
