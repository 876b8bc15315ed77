// Exporting the image's fonts to raw font files and importing them from raw
// or code-page files. A font is always written in place, at the offset its
// table was found at; tables never move.
#include <algorithm>
#include <array>
#include <memory>

#include "fonts/font_tables.h"
#include "ui/editor_dialog.h"

namespace varnel::ui {

struct FontTable {
  uint16_t BiosImage::*offset;
  int32_t size;
  int height;
  MessageId noFontsMessage;
  MessageId implausibleMessage;
  bool (*isPlausible)(const uint8_t*);
  bool refreshesAlternates;
};

namespace {

const FontTable kFont8x8{
    &BiosImage::font8x8Offset,      kFont8x8Size,       8,    MessageId::kNoFonts8x8,
    MessageId::kImplausibleFont8x8, isPlausibleFont8x8, false};

const FontTable kFont8x16{
    &BiosImage::font8x16Offset,      kFont8x16Size,       16,  MessageId::kNoFonts8x16,
    MessageId::kImplausibleFont8x16, isPlausibleFont8x16, true};

constexpr const char* kFontFileFilter = "DOS Font files (*.fnt)|*.fnt|All Files (*.*)|*.*||";
constexpr const char* kFontImportFilter =
    "Both *.cpi and *.fnt|*.cpi;*.fnt|DOS Font files (*.fnt)|*.fnt|DOS and Windows CPI files "
    "(*.cpi)|*.cpi|All Files (*.*)|*.*||";

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
  const uint16_t offset = image.*table.offset;
  if (!imageLoaded || offset == 0) return;
  const std::optional<std::string> path = platform_.fileDialog(
      {true, "fnt", "", kOfnHideReadOnly | kOfnOverwritePrompt, kFontFileFilter});
  if (!path) return;
  try {
    platform_.writeFile(
        *path, std::span<const uint8_t>(&image.bytes[offset], static_cast<size_t>(table.size)));
  } catch (const StreamError& error) {
    showMessage(MessageId::kErrorSavingFile, error.what());
  }
}

void EditorDialog::loadFont(const FontTable& table) {
  if (!imageLoaded || image.*table.offset == 0) return;
  const std::optional<std::string> path = platform_.fileDialog(
      {false, "", "", kOfnFileMustExist | kOfnHideReadOnly, kFontImportFilter});
  if (!path) return;
  try {
    const std::unique_ptr<ByteStream> file = platform_.openFileStream(*path);
    // Whatever the file's name, it is offered to the code-page reader first.
    auto entries = std::make_unique<CpiFontList>();
    const char* whyNot = nullptr;
    const int found = readCpiFonts(*file, *entries, 8, table.height, &whyNot);
    if (found > 0) {
      const int chosen = platform_.selectFont(entries->data(), found);
      if (chosen >= 0 && chosen < found) {
        loadCpiFont(table, *file, (*entries)[static_cast<size_t>(chosen)]);
      }
    } else if (found == 0) {
      showMessage(table.noFontsMessage);
    } else if (whyNot != nullptr) {
      // A file with the code-page signature is never taken as a raw font:
      // its header would become glyphs.
      showMessage(MessageId::kUnreadableCodePageFile, whyNot);
    } else {
      loadRawFont(table, *file);
    }
  } catch (const StreamError&) {
    showMessage(MessageId::kErrorOpeningFile);
  }
}

void EditorDialog::loadCpiFont(const FontTable& table, ByteStream& file,
                               const CpiFontEntry& entry) {
  // The reader made sure the font's data lay wholly inside the file, so the
  // glyphs take no plausibility test; they are still read whole before any
  // goes in, since the file may have changed or fail meanwhile.
  std::array<uint8_t, kFont8x16Size> glyphs{};
  file.seekTo(entry.dataOffset);
  if (file.read(glyphs.data(), table.size) < table.size) {
    throw StreamError("the font's data ends before its last glyph");
  }
  storeFont(table, glyphs.data());
}

void EditorDialog::loadRawFont(const FontTable& table, ByteStream& file) {
  std::array<uint8_t, kFont8x16Size> glyphs{};
  file.seekTo(0);
  if (file.read(glyphs.data(), table.size) < table.size) {
    showMessage(MessageId::kInvalidFile);
    return;
  }
  // Only the first 2048 or 4096 bytes of a longer file are used. Enter on
  // the question answers No: a stray key never loads a file that is not a
  // font.
  if (table.isPlausible(glyphs.data()) || showMessage(table.implausibleMessage) == kIdYes) {
    storeFont(table, glyphs.data());
  }
}

void EditorDialog::storeFont(const FontTable& table, const uint8_t* glyphs) {
  std::copy_n(glyphs, table.size, &image.bytes[image.*table.offset]);
  if (table.refreshesAlternates) refreshAltFont9x16(image);
}

}  // namespace varnel::ui
