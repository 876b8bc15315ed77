#include <gtest/gtest.h>

#include <array>
#include <random>
#include <vector>

#include "fonts/font_tables.h"
#include "image/bios_image.h"
#include "support/raw_image.h"
#include "support/rom_builder.h"
#include "support/test_paths.h"
#include "support/vga_fonts.h"

namespace varnel {
namespace {

using test::Bytes;
using test::RawImage;

constexpr int32_t kN = 16384;

// mov cx,0Eh / jmp / mov bp,a / mov cx,8 / jmp / mov bp,b / mov cx,10h / jmp
// with its anchor (the first mov bp) at p.
void putFontPointerCode(RawImage& raw, int32_t p, uint16_t font8x8, uint16_t font8x16) {
  raw.at(p - 5, {0xB9, 0x0E, 0x00, 0xEB, 0x33, 0xBD});
  raw.word(p + 1, font8x8);
  raw.at(p + 3, {0xB9, 0x08, 0x00, 0xEB, 0x44, 0xBD});
  raw.word(p + 9, font8x16);
  raw.at(p + 11, {0xB9, 0x10, 0x00, 0xEB});
}

void putAltTableCode(RawImage& raw, int32_t p, uint16_t alt9x16, uint16_t alt9x14) {
  raw.at(p - 4, {0x32, 0xFF, 0x8A, 0xDC, 0xBE});
  raw.word(p + 1, alt9x16);
  raw.at(p + 3, {0x80, 0xFB, 0x10, 0x74, 0x55, 0xBE});
  raw.word(p + 9, alt9x14);
  raw.at(p + 11, {0x80, 0xFB, 0x0E, 0x74});
}

TEST(LocateFontTables, FindsTheTablesOfTheBuiltImage) {
  const test::BuiltRom rom = test::buildRom();
  auto image = test::loadImage(rom.bytes);
  EXPECT_EQ(image->font8x8Offset, rom.layout.font8x8Offset);
  EXPECT_EQ(image->font8x16Offset, rom.layout.font8x16Offset);
  EXPECT_EQ(image->altFont9x16Offset, rom.layout.altFont9x16Offset);
  EXPECT_EQ(image->altFont9x14Offset, rom.layout.altFont9x14Offset);
}

TEST(LocateFontTables, NoPatternNoTables) {
  test::RomSpec spec;
  spec.hasFonts = false;
  spec.hasAltTables = false;
  auto image = test::loadImage(test::buildRom(spec).bytes);
  EXPECT_EQ(image->font8x8Offset, 0);
  EXPECT_EQ(image->font8x16Offset, 0);
  EXPECT_EQ(image->altFont9x16Offset, 0);
  EXPECT_EQ(image->altFont9x14Offset, 0);
}

TEST(LocateFontTables, LastMatchDecidesEvenWhenItsValueFails) {
  RawImage raw(kN);
  putFontPointerCode(raw, 0x400, 0x1000, 0x2000);
  putFontPointerCode(raw, 0x500, 0x1100, kN - 4095);
  locateFontTables(*raw);
  EXPECT_EQ(raw->font8x8Offset, 0x1100);  // the bound tests are independent
  EXPECT_EQ(raw->font8x16Offset, 0);
}

// The font scan written plainly: every offset from 256 to length - 33 is
// tested, and each later match replaces the earlier one.
std::array<uint16_t, 4> plainFontTables(const BiosImage& image) {
  std::array<uint16_t, 4> tables{};  // 8x8, 8x16, 9x16, 9x14
  const int32_t n = image.length;
  const auto fits = [n](uint16_t offset, int32_t size) -> uint16_t {
    return offset > n - size ? 0 : offset;
  };
  const auto matches = [&image](int32_t start, std::initializer_list<int> code) {
    for (int c : code) {
      if (c >= 0 && image.bytes[static_cast<size_t>(start)] != c) return false;
      ++start;
    }
    return true;
  };
  for (int32_t p = 256; p < n - 32; ++p) {
    if (matches(p - 5, {0xB9, 0x0E, 0x00, 0xEB, -1, 0xBD, -1,   -1,   0xB9, 0x08,
                        0x00, 0xEB, -1,   0xBD, -1, -1,   0xB9, 0x10, 0x00, 0xEB})) {
      tables[0] = fits(image.wordAt(p + 1), 2048);
      tables[1] = fits(image.wordAt(p + 9), 4096);
    }
    if (matches(p - 4, {0x32, 0xFF, 0x8A, 0xDC, 0xBE, -1, -1, 0x80, 0xFB, 0x10, 0x74, -1, 0xBE, -1,
                        -1, 0x80, 0xFB, 0x0E, 0x74})) {
      tables[2] = fits(image.wordAt(p + 1), 256);
      tables[3] = fits(image.wordAt(p + 9), 256);
    }
  }
  return tables;
}

TEST(LocateFontTables, SameAsThePlainScanOnRandomImages) {
  std::mt19937 random(1516);
  for (int round = 0; round < 400; ++round) {
    const int32_t n = 16384 + static_cast<int32_t>(random() % 49153);
    RawImage raw(n);
    // Few byte values, so that anchors are everywhere and most fail late.
    const uint8_t values[] = {0xBD, 0xBE, 0xB9, 0xEB, 0x00, 0x10, 0x0E, 0xDC};
    for (int32_t p = 0; p < n; ++p)
      (*raw).bytes[static_cast<size_t>(p)] = values[random() % 8];
    for (int k = static_cast<int>(random() % 4); k > 0; --k) {
      // Anywhere, or at the ends of the searched range (256 and n - 33).
      const int32_t ends[] = {256, n - 33, n - 32,
                              300 + static_cast<int32_t>(random() % (n - 400))};
      const int32_t p = ends[random() % 4];
      const auto a = static_cast<uint16_t>(random() % 0x10000);
      const auto b = static_cast<uint16_t>(random() % 0x10000);
      if (random() % 2) {
        putFontPointerCode(raw, p, a, b);
      } else {
        putAltTableCode(raw, p, a, b);
      }
      if (random() % 3 == 0) raw.at(p + static_cast<int32_t>(random() % 12), {0x00});
    }
    locateFontTables(*raw);
    const std::array<uint16_t, 4> fast = {raw->font8x8Offset, raw->font8x16Offset,
                                          raw->altFont9x16Offset, raw->altFont9x14Offset};
    EXPECT_EQ(fast, plainFontTables(*raw)) << "round " << round;
  }
}

struct BoundCase {
  const char* name;
  int32_t value;
  uint16_t expected;
};

class FontBounds : public testing::TestWithParam<BoundCase> {};

TEST_P(FontBounds, TableMayEndExactlyAtTheImageEnd) {
  const BoundCase& c = GetParam();
  RawImage raw(kN);
  const auto value = static_cast<uint16_t>(c.value);
  const std::string which = c.name;
  putFontPointerCode(raw, 0x400, which == "8x8" ? value : 0x1000, which == "8x16" ? value : 0x1000);
  putAltTableCode(raw, 0x600, which == "9x16" ? value : 0x1000, which == "9x14" ? value : 0x1000);
  locateFontTables(*raw);
  const uint16_t found = which == "8x8"    ? raw->font8x8Offset
                         : which == "8x16" ? raw->font8x16Offset
                         : which == "9x16" ? raw->altFont9x16Offset
                                           : raw->altFont9x14Offset;
  EXPECT_EQ(found, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Edges, FontBounds,
    testing::Values(BoundCase{"8x8", kN - 2048, kN - 2048}, BoundCase{"8x8", kN - 2047, 0},
                    BoundCase{"8x16", kN - 4096, kN - 4096}, BoundCase{"8x16", kN - 4095, 0},
                    BoundCase{"9x16", kN - 256, kN - 256}, BoundCase{"9x16", kN - 255, 0},
                    BoundCase{"9x14", kN - 256, kN - 256}, BoundCase{"9x14", kN - 255, 0},
                    BoundCase{"8x8", 0xFFFF, 0}));

TEST(LocateFontTables, AnchorsRunFrom256ToLengthMinus33) {
  struct Case {
    int32_t anchor;
    bool found;
  };
  for (const Case& c :
       {Case{255, false}, Case{256, true}, Case{kN - 33, true}, Case{kN - 32, false}}) {
    RawImage fonts(kN);
    putFontPointerCode(fonts, c.anchor, 0x1000, 0x2000);
    locateFontTables(*fonts);
    EXPECT_EQ(fonts->font8x8Offset != 0, c.found) << "font anchor " << c.anchor;
    RawImage alt(kN);
    putAltTableCode(alt, c.anchor, 0x1000, 0x2000);
    locateFontTables(*alt);
    EXPECT_EQ(alt->altFont9x16Offset != 0, c.found) << "alt anchor " << c.anchor;
  }
}

TEST(LocateFontTables, AnyBytesMatchWhateverTheyHold) {
  for (uint8_t any : {0x00, 0x7F, 0xFF}) {
    RawImage raw(kN);
    putFontPointerCode(raw, 0x400, 0x1000, 0x2000);
    raw.at(0x400 - 1, {any});
    raw.at(0x400 + 7, {any});
    putAltTableCode(raw, 0x600, 0x3000, 0x3100);
    raw.at(0x600 + 7, {any});
    locateFontTables(*raw);
    EXPECT_EQ(raw->font8x16Offset, 0x2000);
    EXPECT_EQ(raw->altFont9x14Offset, 0x3100);
  }
}

TEST(LocateFontTables, EveryComparedByteMatters) {
  // Offsets from the anchor of the bytes each pattern compares.
  const std::vector<int32_t> fontBytes = {-5, -4, -3, -2, 0, 3, 4, 5, 6, 8, 11, 12, 13, 14};
  const std::vector<int32_t> altBytes = {-4, -3, -2, -1, 0, 3, 4, 5, 6, 8, 11, 12, 13, 14};
  for (int32_t at : fontBytes) {
    RawImage raw(kN);
    putFontPointerCode(raw, 0x400, 0x1000, 0x2000);
    raw.at(0x400 + at, {static_cast<uint8_t>(raw->bytes[static_cast<size_t>(0x400 + at)] ^ 0x01)});
    locateFontTables(*raw);
    EXPECT_EQ(raw->font8x8Offset, 0) << "font byte " << at;
  }
  for (int32_t at : altBytes) {
    RawImage raw(kN);
    putAltTableCode(raw, 0x400, 0x1000, 0x2000);
    raw.at(0x400 + at, {static_cast<uint8_t>(raw->bytes[static_cast<size_t>(0x400 + at)] ^ 0x01)});
    locateFontTables(*raw);
    EXPECT_EQ(raw->altFont9x16Offset, 0) << "alt byte " << at;
  }
}

// --- refreshing the 9x16 alternates ----------------------------------------

constexpr int32_t kFont = 0x1000;
constexpr int32_t kAlt = 0x3000;

RawImage refreshImage() {
  RawImage raw(kN);
  for (int32_t i = 0; i < 4096; ++i)
    raw.at(kFont + i, {static_cast<uint8_t>(i * 13 + 1)});
  raw->font8x16Offset = kFont;
  raw->altFont9x16Offset = kAlt;
  return raw;
}

TEST(RefreshAltFont9x16, CopiesTheGlyphOfEveryListedCharacter) {
  RawImage raw = refreshImage();
  raw.at(kAlt, {0x41});
  raw.at(kAlt + 17, {0x42});
  raw.at(kAlt + 34, {0x00, 0x99});
  refreshAltFont9x16(*raw);
  for (int32_t entry = 0; entry < 2; ++entry) {
    const int32_t e = kAlt + 17 * entry;
    EXPECT_EQ(raw->bytes[static_cast<size_t>(e)], 0x41 + entry);
    for (int32_t row = 0; row < 16; ++row) {
      EXPECT_EQ(raw->bytes[static_cast<size_t>(e + 1 + row)],
                raw->bytes[static_cast<size_t>(kFont + 16 * (0x41 + entry) + row)]);
    }
  }
  EXPECT_EQ(raw->bytes[kAlt + 35], 0x99);
}

TEST(RefreshAltFont9x16, DoesNothingWithoutBothTablesOrWithAnEmptyTable) {
  struct Case {
    uint16_t font, alt;
    uint8_t firstCode;
  };
  for (const Case& c : {Case{0, kAlt, 0x41}, Case{kFont, 0, 0x41}, Case{kAlt, kAlt, 0x41},
                        Case{kFont, kAlt, 0x00}}) {
    RawImage raw = refreshImage();
    raw.at(kAlt, {c.firstCode});
    raw->font8x16Offset = c.font;
    raw->altFont9x16Offset = c.alt;
    const auto before = raw->bytes;
    refreshAltFont9x16(*raw);
    EXPECT_EQ(raw->bytes, before) << c.font << " " << c.alt;
  }
}

TEST(RefreshAltFont9x16, TableWithoutTerminatorStopsAtTheImageEnd) {
  RawImage raw = refreshImage();
  const int32_t table = kN - 3 * 17 - 5;
  for (int32_t i = table; i < kN; ++i)
    raw.at(i, {0x41});
  raw->altFont9x16Offset = static_cast<uint16_t>(table);
  refreshAltFont9x16(*raw);
  // Three entries fit; the five bytes after them are not an entry.
  EXPECT_EQ(raw->bytes[static_cast<size_t>(kN - 5 - 1)], raw->bytes[kFont + 16 * 0x41 + 15]);
  for (int32_t i = kN - 5; i < kN; ++i)
    EXPECT_EQ(raw->bytes[static_cast<size_t>(i)], 0x41);
  EXPECT_EQ(raw->bytes[kN], 0xFF);  // past the image: untouched
}

TEST(RefreshAltFont9x16, BuiltImageTakesTheNewGlyphs) {
  const test::BuiltRom rom = test::buildRom();
  auto image = test::loadImage(rom.bytes);
  refreshAltFont9x16(*image);
  for (size_t k = 0; k < rom.layout.altCodes.size(); ++k) {
    const uint8_t code = rom.layout.altCodes[k];
    const int32_t entry = rom.layout.altFont9x16Offset + 17 * static_cast<int32_t>(k);
    for (int32_t row = 0; row < 16; ++row) {
      EXPECT_EQ(image->bytes[static_cast<size_t>(entry + 1 + row)],
                test::kVgaFont8x16[static_cast<size_t>(code * 16 + row)]);
    }
  }
  // The 9x14 table is left alone.
  EXPECT_TRUE(std::equal(rom.bytes.begin() + rom.layout.altFont9x14Offset,
                         rom.bytes.begin() + rom.layout.altFont9x14Offset + 46,
                         image->bytes.begin() + rom.layout.altFont9x14Offset));
}

// --- plausibility ----------------------------------------------------------

TEST(Plausibility, VgaFontsPass) {
  EXPECT_TRUE(isPlausibleFont8x8(test::kVgaFont8x8.data()));
  EXPECT_TRUE(isPlausibleFont8x16(test::kVgaFont8x16.data()));
}

TEST(Plausibility, EmptyAndMissingBuffersFail) {
  const std::array<uint8_t, 4096> zero{};
  EXPECT_FALSE(isPlausibleFont8x8(zero.data()));
  EXPECT_FALSE(isPlausibleFont8x16(zero.data()));
  EXPECT_FALSE(isPlausibleFont8x8(nullptr));
  EXPECT_FALSE(isPlausibleFont8x16(nullptr));
}

TEST(Plausibility, OnlyTheEightGlyphsMatter) {
  std::array<uint8_t, 2048> font{};
  for (uint8_t code : {0x22, 0x27, 0x2C, 0x2E, 0x5F, 0x7B, 0x7D}) {
    for (int row = 0; row < 8; ++row)
      font[code * 8 + row] = test::kVgaFont8x8[code * 8 + row];
  }
  EXPECT_TRUE(isPlausibleFont8x8(font.data()));
}

TEST(Plausibility, BracesOuterRowsOf8x16AreNotLookedAt) {
  std::array<uint8_t, 4096> font;
  std::copy(test::kVgaFont8x16.begin(), test::kVgaFont8x16.end(), font.begin());
  for (uint8_t code : {0x7B, 0x7D}) {
    for (int row : {0, 1, 2, 3, 12, 13, 14, 15})
      font[code * 16 + row] = 0xFF;
  }
  EXPECT_TRUE(isPlausibleFont8x16(font.data()));
}

struct RuleBreak {
  uint8_t code;
  int firstRow;
  int rows;
  bool ink;  // ink the rows (they must be blank) or clear them (they must be inked)
};

std::string ruleName(const RuleBreak& rule) {
  char name[48];
  std::snprintf(name, sizeof name, "%s_%02X_rows%d", rule.ink ? "Inked" : "Cleared", rule.code,
                rule.firstRow);
  return name;
}

template <size_t N>
bool passesAfter(const std::array<uint8_t, N>& source, int glyphRows, const RuleBreak& rule,
                 bool (*test)(const uint8_t*)) {
  std::array<uint8_t, N> font = source;
  for (int row = rule.firstRow; row < rule.firstRow + rule.rows; ++row) {
    font[static_cast<size_t>(rule.code * glyphRows + row)] = rule.ink ? 0x18 : 0x00;
  }
  return test(font.data());
}

class Plausibility8x8Rule : public testing::TestWithParam<RuleBreak> {};
TEST_P(Plausibility8x8Rule, BreakingItFails) {
  EXPECT_FALSE(passesAfter(test::kVgaFont8x8, 8, GetParam(), isPlausibleFont8x8));
}
INSTANTIATE_TEST_SUITE_P(Rules, Plausibility8x8Rule,
                         testing::Values(RuleBreak{0x20, 1, 1, true}, RuleBreak{0x20, 6, 1, true},
                                         RuleBreak{0x22, 0, 4, false}, RuleBreak{0x22, 5, 1, true},
                                         RuleBreak{0x27, 0, 4, false}, RuleBreak{0x27, 7, 1, true},
                                         RuleBreak{0x2C, 0, 1, true}, RuleBreak{0x2C, 4, 4, false},
                                         RuleBreak{0x2E, 3, 1, true}, RuleBreak{0x2E, 4, 4, false},
                                         RuleBreak{0x5F, 2, 1, true}, RuleBreak{0x5F, 4, 4, false},
                                         RuleBreak{0x7B, 0, 4, false}, RuleBreak{0x7B, 4, 4, false},
                                         RuleBreak{0x7D, 0, 4, false},
                                         RuleBreak{0x7D, 4, 4, false}),
                         [](const testing::TestParamInfo<RuleBreak>& info) {
                           return ruleName(info.param);
                         });

class Plausibility8x16Rule : public testing::TestWithParam<RuleBreak> {};
TEST_P(Plausibility8x16Rule, BreakingItFails) {
  EXPECT_FALSE(passesAfter(test::kVgaFont8x16, 16, GetParam(), isPlausibleFont8x16));
}
INSTANTIATE_TEST_SUITE_P(Rules, Plausibility8x16Rule,
                         testing::Values(RuleBreak{0x20, 0, 1, true}, RuleBreak{0x20, 15, 1, true},
                                         RuleBreak{0x22, 0, 8, false}, RuleBreak{0x22, 8, 1, true},
                                         RuleBreak{0x27, 0, 8, false}, RuleBreak{0x27, 12, 1, true},
                                         RuleBreak{0x2C, 7, 1, true}, RuleBreak{0x2C, 8, 8, false},
                                         RuleBreak{0x2E, 0, 1, true}, RuleBreak{0x2E, 8, 8, false},
                                         RuleBreak{0x5F, 4, 1, true}, RuleBreak{0x5F, 8, 8, false},
                                         RuleBreak{0x7B, 4, 4, false}, RuleBreak{0x7B, 8, 4, false},
                                         RuleBreak{0x7D, 4, 4, false},
                                         RuleBreak{0x7D, 8, 4, false}),
                         [](const testing::TestParamInfo<RuleBreak>& info) {
                           return ruleName(info.param);
                         });

TEST(Plausibility, RealRawFontsPass) {
  const auto dir = test::testDataDir();
  if (!dir) GTEST_SKIP() << "no shared test data (../shared/testdata or $VARNEL_TESTDATA)";
  for (const char* name : {"IBM_VGA_8x8.bin", "Sapphire9600NPRO128_8x8.bin"}) {
    const Bytes font = test::readFile(*dir + "/fonts/" + name);
    ASSERT_EQ(font.size(), 2048u);
    EXPECT_TRUE(isPlausibleFont8x8(font.data())) << name;
  }
  for (const char* name : {"IBM_VGA_8x16.bin", "Sapphire9600NPRO128_8x16.bin"}) {
    const Bytes font = test::readFile(*dir + "/fonts/" + name);
    ASSERT_EQ(font.size(), 4096u);
    EXPECT_TRUE(isPlausibleFont8x16(font.data())) << name;
  }
}

}  // namespace
}  // namespace varnel
