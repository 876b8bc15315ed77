// What a font file offers for a table: which reader takes it. A file with
// the PSF or gzip signature is read as PSF and never falls through to the
// raw reader, even where it is long enough to be a raw font.
#include <gtest/gtest.h>

#include "document/font_file.h"
#include "fonts/gunzip.h"
#include "support/psf_builder.h"
#include "support/vga_fonts.h"

namespace varnel {
namespace {

using test::Bytes;
using Kind = FontFileContents::Kind;

Bytes psf2(uint32_t width, uint32_t height, uint32_t trailingBytes = 0) {
  test::PsfSpec spec;
  spec.width = width;
  spec.height = height;
  spec.trailingBytes = trailingBytes;
  return test::buildPsf(spec);
}

Bytes gzipSignatureThen(size_t zeros) {
  Bytes file(2 + zeros, 0x00);
  file[0] = 0x1F;
  file[1] = 0x8B;
  return file;
}

struct FontFileCase {
  const char* name;
  Bytes file;
  Kind kind;
  std::string whyNot;
};

TEST(ReadFontFile, PsfAndGzipSignaturesGoToThePsfReaderOnly) {
  const Bytes raw(test::kVgaFont8x16.begin(), test::kVgaFont8x16.end());
  const std::vector<FontFileCase> cases = {
      {"raw font", raw, Kind::kRawFont, ""},
      {"PSF of the size", psf2(8, 16), Kind::kPsfFont, ""},
      {"compressed PSF of the size", gzip(psf2(8, 16)), Kind::kPsfFont, ""},
      {"PSF of another size, longer than a table", psf2(9, 16), Kind::kRefusedPsf,
       "the font is 9x16, not 8x16"},
      {"gzip signature before zeros", gzipSignatureThen(5000), Kind::kRefusedPsf,
       "the compressed data is damaged"},
      {"gzip signature alone", gzipSignatureThen(0), Kind::kRefusedPsf,
       "the compressed data ends early"},
      // Read whole up to the limit and a byte more, so that the reader sees
      // that it is too long.
      {"PSF one byte longer than 1 MiB", psf2(8, 16, (1 << 20) + 1 - 32 - 4096), Kind::kRefusedPsf,
       "the file is larger than 1 MiB"},
  };
  for (const FontFileCase& c : cases) {
    MemoryByteStream stream(c.file);
    const FontFileContents contents = readFontFile(stream, 16);
    EXPECT_EQ(contents.kind, c.kind) << c.name;
    EXPECT_EQ(contents.whyNot, c.whyNot) << c.name;
    if (c.kind == Kind::kPsfFont) {
      EXPECT_EQ(contents.glyphs, test::psfGlyphData(256, 16)) << c.name;
    }
  }
}

TEST(FontFileBytes, TheNameChoosesTheFormatInAnyCase) {
  const std::vector<std::pair<std::string, FontFormat>> names = {
      {"font.fnt", FontFormat::kRaw},
      {"font", FontFormat::kRaw},
      {"psf", FontFormat::kRaw},
      {"font.psf.txt", FontFormat::kRaw},
      {"font.gz", FontFormat::kRaw},
      {"font.psf", FontFormat::kPsf},
      {"dir.psf/FONT.PSF", FontFormat::kPsf},
      {"font.psf.gz", FontFormat::kGzippedPsf},
      {"Font.Psf.GZ", FontFormat::kGzippedPsf},
  };
  for (const auto& [name, format] : names)
    EXPECT_EQ(fontFormatOfName(name), format) << name;
}

}  // namespace
}  // namespace varnel
