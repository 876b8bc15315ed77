// varnel-cli font: export, import and render the image's VGA fonts, read
// and stored through the same document as the editor's font commands.
#include <cstdio>
#include <optional>
#include <string>

#include "commands.h"
#include "console_text.h"
#include "document/font_file.h"
#include "document_session.h"
#include "fonts/cpi_reader.h"
#include "io/file_io.h"
#include "output_file.h"
#include "png_writer.h"
#include "ui/font_dialogs.h"

namespace varnel::cli {
namespace {

using Result = std::optional<CommandError>;

struct FontOptions {
  std::string size;
  std::string input;
  std::string fontFile;
  std::string output;
  std::string format;  // of an export: "raw", "psf", or empty to go by OUT's name
  std::optional<int> codePage;
  std::optional<int> index;
  bool force = false;
  bool inPlace = false;
  int scale = 1;
};

Result checkSize(const std::string& size) {
  if (size == "8x8" || size == "8x16") return std::nullopt;
  return CommandError{kExitUsage, "the font size is 8x8 or 8x16"};
}

// Exports and pictures go to standard output for "-".
OutputWriter standardOutputOrFile() {
  OutputWriter writer;
  writer.dashIsStandardOutput = true;
  return writer;
}

int glyphHeight(const std::string& size) {
  return size == "8x8" ? 8 : 16;
}

Result openWithTable(const FontOptions& o, Document& document) {
  if (Result error = openDocument(o.input, document)) return error;
  if (!document.fontTable(glyphHeight(o.size)).empty()) return std::nullopt;
  return CommandError{kExitRefused, "this image has no " + o.size + " font table"};
}

// --format psf writes a compressed file only where the name asks for one.
FontFormat exportFormat(const FontOptions& o) {
  const FontFormat named = fontFormatOfName(o.output);
  if (o.format == "raw") return FontFormat::kRaw;
  if (o.format == "psf" && named == FontFormat::kRaw) return FontFormat::kPsf;
  return named;
}

Result runExport(const FontOptions& o) {
  if (Result error = checkSize(o.size)) return error;
  if (!toStandardOutput(o.output)) {
    if (Result error = checkOutput(o.output, {o.input}, InPlace::kNotOffered)) return error;
  }
  Document document;
  if (Result error = openWithTable(o, document)) return error;
  try {
    const int height = glyphHeight(o.size);
    standardOutputOrFile().write(
        o.output, fontFileBytes(document.fontTable(height), height, exportFormat(o)));
  } catch (const FileError& error) {
    return saveError(error);
  }
  return std::nullopt;
}

std::string listing(const CpiFontEntry* entries, int count) {
  std::string text;
  for (int i = 0; i < count; ++i) {
    char line[96];
    std::snprintf(line, sizeof line, "\n  %d: CodePage %d, %dx%d font", i, entries[i].codePage,
                  entries[i].width, entries[i].height);
    text += line;
  }
  return text;
}

// Which listed font --codepage or --index asks for; -1 (and a reason) when
// the choice is missing or matches nothing.
int chooseFont(const FontOptions& o, const CpiFontEntry* entries, int count, std::string& why) {
  if (o.index) {
    if (*o.index >= 0 && *o.index < count) return *o.index;
    why = "--index " + std::to_string(*o.index) + " is not among the fonts listed:";
  } else if (o.codePage) {
    for (int i = 0; i < count; ++i) {
      if (entries[i].codePage == *o.codePage) return i;
    }
    why = "no font of code page " + std::to_string(*o.codePage) + " in the file:";
  } else if (count == 1) {
    return 0;
  } else {
    why = "the file holds " + std::to_string(count) +
          " fonts of the size; choose one with --codepage or --index:";
  }
  why += listing(entries, count);
  return -1;
}

// The glyphs FONTFILE gives for the table, as the editor's import takes
// them; what the editor would say when it gives none.
Result importGlyphs(const FontOptions& o, ByteStream& file, std::vector<uint8_t>& glyphs) {
  using Kind = FontFileContents::Kind;
  const bool small = o.size == "8x8";
  const FontFileContents contents = readFontFile(file, glyphHeight(o.size));
  switch (contents.kind) {
    case Kind::kCodePageFonts: {
      std::string why;
      const int chosen = chooseFont(o, contents.entries->data(), contents.count, why);
      if (chosen < 0) return CommandError{kExitUsage, why};
      glyphs = readCodePageGlyphs(file, (*contents.entries)[static_cast<size_t>(chosen)],
                                  glyphHeight(o.size));
      return std::nullopt;
    }
    case Kind::kNoFontOfSize:
      return editorMessage(small ? ui::MessageId::kNoFonts8x8 : ui::MessageId::kNoFonts8x16);
    case Kind::kUnreadableCodePage:
      return editorMessage(ui::MessageId::kUnreadableCodePageFile, contents.whyNot);
    case Kind::kRawFont:
      if (!contents.plausible && !o.force) {
        CommandError error = editorMessage(small ? ui::MessageId::kImplausibleFont8x8
                                                 : ui::MessageId::kImplausibleFont8x16);
        error.message += " (give --force to load it anyway)";
        return error;
      }
      glyphs = contents.glyphs;
      return std::nullopt;
    case Kind::kPsfFont:
      glyphs = contents.glyphs;
      return std::nullopt;
    case Kind::kRefusedPsf:
      return editorMessage(ui::MessageId::kUnusablePsfFont, contents.whyNot);
    case Kind::kTooShort:
      break;
  }
  return editorMessage(ui::MessageId::kInvalidFile);
}

Result runImport(const FontOptions& o) {
  if (Result error = checkSize(o.size)) return error;
  const InPlace inPlace = o.inPlace ? InPlace::kGiven : InPlace::kNotGiven;
  if (Result error = checkOutput(o.output, {o.input, o.fontFile}, inPlace)) return error;
  OutputWriter writer;
  std::unique_ptr<InPlaceRun> held;
  if (Result error = InPlaceRun::begin(o.input, o.output, inPlace, writer, held)) return error;
  Document document;
  if (Result error = openWithTable(o, document)) return error;
  std::vector<uint8_t> glyphs;
  try {
    const std::unique_ptr<ByteStream> file = hostSystem().openFileStream(o.fontFile);
    if (Result error = importGlyphs(o, *file, glyphs)) return error;
  } catch (const FileError& error) {
    return editorMessage(ui::MessageId::kErrorOpeningFile, error.what());
  } catch (const StreamError&) {
    return editorMessage(ui::MessageId::kErrorOpeningFile);
  }
  const EditResult imported = document.importFont(glyphHeight(o.size), glyphs);
  if (imported.refused()) return CommandError{kExitRefused, imported.why};
  if (Result error = saveDocument(document, o.output, writer)) return error;
  printTo(stdout, "%s: saved with the new %s font\n", o.output.c_str(), o.size.c_str());
  return std::nullopt;
}

class ScaledCanvas : public ui::PixelCanvas {
 public:
  ScaledCanvas(GreyImage& image, int scale) : image_(image), scale_(scale) {}
  void setPixel(int x, int y, int size) override {
    for (int dy = 0; dy < size * scale_; ++dy) {
      for (int dx = 0; dx < size * scale_; ++dx)
        image_.set(x * scale_ + dx, y * scale_ + dy, 0);
    }
  }

 private:
  GreyImage& image_;
  int scale_;
};

Result runRender(const FontOptions& o) {
  if (!toStandardOutput(o.output)) {
    if (Result error = checkOutput(o.output, {o.input}, InPlace::kNotOffered)) return error;
  }
  Document document;
  if (Result error = openDocument(o.input, document)) return error;
  const BiosImage& image = document.image();
  if (image.font8x8Offset == 0 || image.font8x16Offset == 0) {
    return CommandError{kExitRefused, "this image lacks a font table"};
  }
  // Like the view: a 32 x 8 grid per font, here with cells one pixel wider
  // and taller than the glyphs.
  const ui::ClientRect grid8x8{4, 4, 4 + 32 * 9, 4 + 8 * 9};
  const ui::ClientRect grid8x16{4, 84, 4 + 32 * 9, 84 + 8 * 17};
  GreyImage picture((32 * 9 + 8) * o.scale, (84 + 8 * 17 + 4) * o.scale);
  ScaledCanvas canvas(picture, o.scale);
  ui::paintFonts(&image, grid8x8, grid8x16, canvas);
  try {
    standardOutputOrFile().write(o.output, encodePng(picture));
  } catch (const FileError& error) {
    return saveError(error);
  }
  return std::nullopt;
}

void finish(int& status, const Result& error) {
  if (error) printTo(stderr, "varnel-cli font: %s\n", error->message.c_str());
  status = error ? error->status : kExitOk;
}

}  // namespace

void addFontCommand(CLI::App& app, int& status) {
  CLI::App* font = app.add_subcommand("font", "Export, import and render the VGA text fonts");
  font->require_subcommand(1);
  auto o = std::make_shared<FontOptions>();

  CLI::App* exporter =
      font->add_subcommand("export", "Write a font table as a raw or PSF font file");
  exporter->add_option("SIZE", o->size, "8x8 or 8x16")->required();
  exporter->add_option("IN", o->input, "ROM image")->required();
  exporter
      ->add_option("OUT", o->output,
                   "Font file to write: PSF for a name ending in .psf, PSF compressed with gzip "
                   "for .psf.gz, else raw (.fnt); - for standard output")
      ->required();
  exporter
      ->add_option("--format", o->format,
                   "raw or psf, whatever OUT's name; psf is compressed only for a .psf.gz name")
      ->check(CLI::IsMember({"raw", "psf"}));
  exporter->callback([o, &status] { finish(status, runExport(*o)); });

  CLI::App* importer = font->add_subcommand(
      "import", "Replace a font table with a font from a raw, code-page or PSF file, and save");
  importer->add_option("SIZE", o->size, "8x8 or 8x16")->required();
  importer->add_option("IN", o->input, "ROM image")->required();
  importer
      ->add_option("FONTFILE", o->fontFile,
                   "Raw font (.fnt), code-page file (.cpi) or PSF console font (.psf, .psf.gz)")
      ->required();
  importer->add_option("-o,--output", o->output, "Where to save the changed image")->required();
  importer->add_option("--codepage", o->codePage, "Pick the code page's font from a CPI file")
      ->check(CLI::NonNegativeNumber);
  importer->add_option("--index", o->index, "Pick the I-th listed font (from 0) of a CPI file")
      ->check(CLI::Range(0, kMaxCpiFonts - 1));
  importer->add_flag("--force", o->force, "Load a raw font that does not look like a font");
  importer->add_flag("--in-place", o->inPlace,
                     "Allow OUT to be IN; the original is kept as IN.bak");

  CLI::App* render = font->add_subcommand("render", "Draw both fonts into a PNG picture");
  render->add_option("IN", o->input, "ROM image")->required();
  render->add_option("-o,--output", o->output, "PNG file to write; - for standard output")
      ->required();
  render->add_option("--scale", o->scale, "Enlarge every pixel to N x N (1 to 16)")
      ->check(CLI::Range(1, 16))
      ->capture_default_str();
  render->callback([o, &status] { finish(status, runRender(*o)); });
  importer->callback([o, &status] { finish(status, runImport(*o)); });

  font->footer(
      "Exit status: 0 done, 1 a file cannot be read or written, 2 not a valid image, 3 "
      "checksums bad, 6 the file or font is refused (no font of the size, a PSF font that is "
      "damaged or of another size, too short, not plausible without --force, no such table), "
      "64 a wrong command line.");
}

}  // namespace varnel::cli
