// PSF console fonts: every header field and fault of a hand-made file, the
// gzip layer, and the file written for a table.
#include <gtest/gtest.h>

#include <functional>

#include "fonts/gunzip.h"
#include "fonts/psf.h"
#include "support/psf_builder.h"

namespace varnel {
namespace {

using test::Bytes;
using test::PsfSpec;

PsfSpec psf1(uint32_t height, uint8_t mode = 0) {
  PsfSpec spec;
  spec.version = 1;
  spec.height = height;
  spec.psf1Mode = mode;
  return spec;
}

PsfSpec psf2(uint32_t width, uint32_t height) {
  PsfSpec spec;
  spec.width = width;
  spec.height = height;
  return spec;
}

template <typename Field>
PsfSpec with(PsfSpec spec, Field PsfSpec::*field, Field value) {
  spec.*field = value;
  return spec;
}

Bytes patched(Bytes file, size_t at, uint32_t value) {
  test::putDword(file, at, value);
  return file;
}

Bytes cut(Bytes file, size_t bytesOff) {
  file.resize(file.size() - bytesOff);
  return file;
}

// A PSF2 8x16 font padded with a trailing table to exactly `size` bytes.
Bytes psf2OfSize(size_t size) {
  return buildPsf(
      with(psf2(8, 16), &PsfSpec::trailingBytes, static_cast<uint32_t>(size - 32 - 256 * 16)));
}

Bytes damaged(Bytes file, size_t fromEnd) {
  file[file.size() - fromEnd] ^= 0x55;
  return file;
}

constexpr size_t kPsf2HeaderSize = 8, kPsf2Length = 16, kPsf2CharSize = 20;
constexpr size_t kMiB = 1 << 20;

struct PsfCase {
  const char* name;
  Bytes file;
  int height;
  std::string whyNot;  // "" when the file gives the first 256 glyphs of its data
};

const std::vector<PsfCase> kPsfCases = {
    {"PSF2 8x16", buildPsf(psf2(8, 16)), 16, ""},
    {"PSF2 8x8", buildPsf(psf2(8, 8)), 8, ""},
    {"PSF2 of 512 glyphs gives its first 256",
     buildPsf(with(psf2(8, 16), &PsfSpec::glyphCount, 512u)), 16, ""},
    {"PSF2 with a Unicode table",
     buildPsf(with(with(psf2(8, 16), &PsfSpec::flags, 1u), &PsfSpec::trailingBytes, 600u)), 16, ""},
    {"PSF2 with a longer header", buildPsf(with(psf2(8, 8), &PsfSpec::headerSize, 40u)), 8, ""},
    {"PSF2 header cut short", cut(buildPsf(psf2(8, 16)), 4096 + 1), 16,
     "the file ends inside the PSF header"},
    {"PSF2 signature alone", {0x72, 0xB5, 0x4A, 0x86}, 16, "the file ends inside the PSF header"},
    {"PSF2 version 1", buildPsf(with(psf2(8, 16), &PsfSpec::psf2Version, 1u)), 16,
     "the PSF2 version is 1, not 0"},
    {"PSF2 header size below 32", patched(buildPsf(psf2(8, 16)), kPsf2HeaderSize, 31), 16,
     "the PSF2 header size is 31, less than 32"},
    {"PSF2 header size past the end", patched(buildPsf(psf2(8, 16)), kPsf2HeaderSize, 0xFFFFFFFF),
     16, "the font's glyphs run past the end of the file"},
    {"PSF2 unknown flags", buildPsf(with(psf2(8, 16), &PsfSpec::flags, 3u)), 16,
     "the PSF2 flags 0x3 are unknown"},
    {"PSF2 glyph size not that of its rows",
     buildPsf(with(psf2(8, 16), &PsfSpec::glyphSize, {17u})), 16,
     "a glyph takes 17 bytes, where 8x16 pixels take 16"},
    {"PSF2 glyph size of 2^32 - 1", patched(buildPsf(psf2(8, 16)), kPsf2CharSize, 0xFFFFFFFF), 16,
     "a glyph takes 4294967295 bytes, where 8x16 pixels take 16"},
    {"PSF2 length past the end", patched(buildPsf(psf2(8, 16)), kPsf2Length, 257), 16,
     "the font's glyphs run past the end of the file"},
    {"PSF2 length of 2^32 - 1", patched(buildPsf(psf2(8, 16)), kPsf2Length, 0xFFFFFFFF), 16,
     "the font's glyphs run past the end of the file"},
    {"PSF2 glyphs one byte short", cut(buildPsf(psf2(8, 16)), 1), 16,
     "the font's glyphs run past the end of the file"},
    {"PSF2 of 255 glyphs", buildPsf(with(psf2(8, 16), &PsfSpec::glyphCount, 255u)), 16,
     "the font has 255 glyphs, fewer than 256"},
    {"PSF2 of no glyphs", buildPsf(with(psf2(8, 8), &PsfSpec::glyphCount, 0u)), 8,
     "the font has 0 glyphs, fewer than 256"},
    {"PSF2 9 wide", buildPsf(psf2(9, 16)), 16, "the font is 9x16, not 8x16"},
    {"PSF2 16x32", buildPsf(psf2(16, 32)), 16, "the font is 16x32, not 8x16"},
    {"PSF2 of no width", buildPsf(psf2(0, 16)), 16, "the font is 0x16, not 8x16"},
    {"PSF2 8x8 for the 8x16 table", buildPsf(psf2(8, 8)), 16, "the font is 8x8, not 8x16"},
    {"PSF2 8x16 for the 8x8 table", buildPsf(psf2(8, 16)), 8, "the font is 8x16, not 8x8"},
    {"PSF1 8x16", buildPsf(psf1(16)), 16, ""},
    {"PSF1 8x8", buildPsf(psf1(8)), 8, ""},
    {"PSF1 of 512 glyphs gives its first 256", buildPsf(psf1(16, 0x01)), 16, ""},
    {"PSF1 with a Unicode table", buildPsf(with(psf1(16, 0x02), &PsfSpec::trailingBytes, 600u)), 16,
     ""},
    {"PSF1 of 512 glyphs with Unicode sequences",
     buildPsf(with(psf1(8, 0x05), &PsfSpec::trailingBytes, 900u)), 8, ""},
    {"PSF1 unknown mode", buildPsf(psf1(16, 0x06)), 16,
     "the PSF1 mode is 0x6, not one of 0x0 to 0x5"},
    {"PSF1 header cut short", {0x36, 0x04, 0x00}, 16, "the file ends inside the PSF header"},
    {"PSF1 glyphs one byte short", cut(buildPsf(psf1(8)), 1), 8,
     "the font's glyphs run past the end of the file"},
    {"PSF1 of 512 glyphs with 256 there", cut(buildPsf(psf1(8, 0x01)), 256 * 8), 8,
     "the font's glyphs run past the end of the file"},
    {"PSF1 8x14", buildPsf(psf1(14)), 16, "the font is 8x14, not 8x16"},
    {"PSF1 8x16 for the 8x8 table", buildPsf(psf1(16)), 8, "the font is 8x16, not 8x8"},
    {"PSF1 of no height", buildPsf(psf1(0)), 8, "the font is 8x0, not 8x8"},
    {"no signature", Bytes(4096, 0x18), 16, "the file is not a PSF font"},
    {"PSF of exactly 1 MiB", psf2OfSize(kMiB), 16, ""},
    {"PSF larger than 1 MiB", psf2OfSize(kMiB + 1), 16, "the file is larger than 1 MiB"},
    {"compressed PSF2", gzip(buildPsf(psf2(8, 16))), 16, ""},
    {"compressed PSF1", gzip(buildPsf(psf1(8, 0x03))), 8, ""},
    {"compressed, then more bytes",
     [] {
       Bytes file = gzip(buildPsf(psf2(8, 8)));
       file.resize(file.size() + 40, 0x00);
       return file;
     }(),
     8, ""},
    {"compressed, inflating to exactly 1 MiB", gzip(psf2OfSize(kMiB)), 16, ""},
    {"compressed, inflating to more than 1 MiB", gzip(psf2OfSize(kMiB + 1)), 16,
     "it inflates to more than 1 MiB"},
    {"compressed, cut short", cut(gzip(buildPsf(psf2(8, 16))), 9), 16,
     "the compressed data ends early"},
    {"compressed, signature alone", {0x1F, 0x8B}, 16, "the compressed data ends early"},
    {"compressed, damaged checksum", damaged(gzip(buildPsf(psf2(8, 16))), 8), 16,
     "the compressed data is damaged"},
    {"compressed, unknown method",
     [] {
       Bytes file = gzip(buildPsf(psf2(8, 16)));
       file[2] = 7;
       return file;
     }(),
     16, "the compressed data is damaged"},
    {"compressed PSF of another size", gzip(buildPsf(psf2(9, 16))), 16,
     "the font is 9x16, not 8x16"},
    {"compressed, not a PSF font", gzip(Bytes(4096, 0x18)), 16,
     "the compressed file is not a PSF font"},
    {"compressed twice", gzip(gzip(buildPsf(psf2(8, 16)))), 16,
     "the compressed file is not a PSF font"},
};

// A failing case is named by its name, not by its bytes.
void PrintTo(const PsfCase& c, std::ostream* out) {
  *out << c.name;
}

class ReadPsf : public testing::TestWithParam<PsfCase> {};

TEST_P(ReadPsf, GivesTheFirst256GlyphsOrTheReasonNot) {
  const PsfCase& c = GetParam();
  const PsfFont font = readPsf(c.file, c.height);
  EXPECT_EQ(font.whyNot, c.whyNot);
  if (c.whyNot.empty()) {
    const Bytes data = test::psfGlyphData(256, static_cast<uint32_t>(c.height));
    EXPECT_EQ(font.glyphs, data);
  } else {
    EXPECT_TRUE(font.glyphs.empty());
  }
}

std::string caseName(const testing::TestParamInfo<PsfCase>& info) {
  std::string name = info.param.name;
  for (char& ch : name) {
    if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
  }
  return name;
}

INSTANTIATE_TEST_SUITE_P(Files, ReadPsf, testing::ValuesIn(kPsfCases), caseName);

TEST(WritePsf2, WritesTheHeaderAFontOfTheTableHasAndReadsBack) {
  for (uint32_t height : {8u, 16u}) {
    const Bytes glyphs = test::psfGlyphData(256, height);
    const Bytes file = writePsf2(glyphs, static_cast<int>(height));
    EXPECT_EQ(file, buildPsf(psf2(8, height))) << height;
    EXPECT_EQ(readPsf(file, static_cast<int>(height)).glyphs, glyphs) << height;
    EXPECT_EQ(readPsf(gzip(file), static_cast<int>(height)).glyphs, glyphs) << height;
  }
}

// No time stamp and a fixed system byte: every build compresses a font to
// the same bytes.
TEST(Gzip, WritesNoTimeStampAndTheSameSystemEverywhere) {
  const Bytes data = test::psfGlyphData(256, 16);
  const Bytes file = gzip(data);
  ASSERT_GE(file.size(), 18u);
  EXPECT_EQ(Bytes(file.begin(), file.begin() + 10),
            (Bytes{0x1F, 0x8B, 0x08, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0xFF}));
  const Inflated back = gunzip(file, 4096);
  EXPECT_EQ(back.result, Inflated::Result::kWhole);
  EXPECT_EQ(back.bytes, data);
  EXPECT_EQ(gunzip(file, 4095).result, Inflated::Result::kTooLarge);
}

}  // namespace
}  // namespace varnel
