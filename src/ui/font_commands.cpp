// Exporting the image's fonts to raw or PSF font files and importing them
// from raw, code-page or PSF files. A font is always written in place, at
// the offset its table was found at; tables never move.
#include <memory>

#include "document/font_file.h"
#include "ui/editor_dialog.h"

namespace varnel::ui {

struct FontTable {
  int height;
  MessageId noFontsMessage;
  MessageId implausibleMessage;
};

namespace {

const FontTable kFont8x8{8, MessageId::kNoFonts8x8, MessageId::kImplausibleFont8x8};
const FontTable kFont8x16{16, MessageId::kNoFonts8x16, MessageId::kImplausibleFont8x16};

// The name chosen decides what is written (font_file.h): *.psf and
// *.psf.gz a PSF font, any other a raw one.
constexpr const char* kFontFileFilter =
    "DOS Font files (*.fnt)|*.fnt|PSF console fonts (*.psf)|*.psf|Compressed PSF console fonts "
    "(*.psf.gz)|*.psf.gz|All Files (*.*)|*.*||";
constexpr const char* kFontImportFilter =
    "All font files|*.cpi;*.fnt;*.psf;*.psf.gz|DOS Font files (*.fnt)|*.fnt|DOS and Windows CPI "
    "files (*.cpi)|*.cpi|PSF console fonts (*.psf, *.psf.gz)|*.psf;*.psf.gz|All Files (*.*)|*.*||";

}  // namespace

void EditorDialog::OnSaveFont8x8() {
  saveFont(kFont8x8);
}
void EditorDialog::OnSaveFont8x16() {
  saveFont(kFont8x16);
}
void EditorDialog::OnLoadFont8x8() {
  loadFont(kFont8x8);
}
void EditorDialog::OnLoadFont8x16() {
  loadFont(kFont8x16);
}

void EditorDialog::OnViewFonts() {
  platform_.showFonts(image);
}

void EditorDialog::saveFont(const FontTable& table) {
  const std::span<const uint8_t> font = document.fontTable(table.height);
  if (!document.isOpen() || font.empty()) return;
  const std::optional<std::string> path = platform_.fileDialog(
      {true, "fnt", "", kOfnHideReadOnly | kOfnOverwritePrompt, kFontFileFilter});
  if (!path) return;
  try {
    platform_.writeFile(*path, fontFileBytes(font, table.height, fontFormatOfName(*path)));
  } catch (const StreamError& error) {
    showMessage(MessageId::kErrorSavingFile, error.what());
  }
}

void EditorDialog::loadFont(const FontTable& table) {
  if (!document.isOpen() || document.fontTable(table.height).empty()) return;
  const std::optional<std::string> path = platform_.fileDialog(
      {false, "", "", kOfnFileMustExist | kOfnHideReadOnly, kFontImportFilter});
  if (!path) return;
  try {
    const std::unique_ptr<ByteStream> file = platform_.openFileStream(*path);
    const FontFileContents contents = readFontFile(*file, table.height);
    switch (contents.kind) {
      case FontFileContents::Kind::kCodePageFonts:
        loadCpiFont(table, *file, contents);
        break;
      case FontFileContents::Kind::kNoFontOfSize:
        showMessage(table.noFontsMessage);
        break;
      case FontFileContents::Kind::kUnreadableCodePage:
        showMessage(MessageId::kUnreadableCodePageFile, contents.whyNot);
        break;
      case FontFileContents::Kind::kRawFont:
        loadRawFont(table, contents);
        break;
      case FontFileContents::Kind::kTooShort:
        showMessage(MessageId::kInvalidFile);
        break;
      case FontFileContents::Kind::kPsfFont:
        importFont(table, contents.glyphs);
        break;
      case FontFileContents::Kind::kRefusedPsf:
        showMessage(MessageId::kUnusablePsfFont, contents.whyNot);
        break;
    }
  } catch (const StreamError&) {
    showMessage(MessageId::kErrorOpeningFile);
  }
}

void EditorDialog::loadCpiFont(const FontTable& table, ByteStream& file,
                               const FontFileContents& contents) {
  const CpiFontEntry* entries = contents.entries->data();
  const int chosen = platform_.selectFont(entries, contents.count, [&](int index) {
    return readCodePageGlyphs(file, entries[index], table.height);
  });
  if (chosen < 0 || chosen >= contents.count) return;
  const CpiFontEntry& entry = (*contents.entries)[static_cast<size_t>(chosen)];
  importFont(table, readCodePageGlyphs(file, entry, table.height));
}

// Enter on the question answers No: a stray key never loads a file that is
// not a font. An image whose fonts alone are edited takes no such font:
// the document says why, and nothing is asked first.
void EditorDialog::loadRawFont(const FontTable& table, const FontFileContents& contents) {
  if (contents.plausible || document.scope() == EditScope::kFontsOnly ||
      showMessage(table.implausibleMessage) == kIdYes) {
    importFont(table, contents.glyphs);
  }
}

void EditorDialog::importFont(const FontTable& table, std::span<const uint8_t> glyphs) {
  const EditResult result = document.importFont(table.height, glyphs);
  if (result.refused()) showMessage(MessageId::kFontRefused, result.why);
}

}  // namespace varnel::ui
