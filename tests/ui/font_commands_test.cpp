#include <gtest/gtest.h>

#include <optional>

#include "fonts/font_tables.h"
#include "fonts/psf.h"
#include "io/file_io.h"
#include "support/cpi_builder.h"
#include "support/editor_fixture.h"
#include "support/psf_builder.h"
#include "support/vga_fonts.h"

namespace varnel {
namespace {

using namespace ui;
using test::Bytes;
using test::CpiSpec;

class FontCommands : public test::EditorFixture {
 protected:
  void SetUp() override {
    rom = test::buildRom();
    load(rom.bytes);
    ASSERT_TRUE(editor->document.isOpen());
  }
  Bytes table(int32_t offset, int32_t size) const {
    const auto begin = editor->image.bytes.begin() + offset;
    return Bytes(begin, begin + size);
  }
  Bytes font8x8() const { return table(rom.layout.font8x8Offset, 2048); }
  Bytes font8x16() const { return table(rom.layout.font8x16Offset, 4096); }
  // Loads a file through a load button; the file is written first.
  void importFile(int button, const Bytes& content, const std::string& name = "font.fnt") {
    test::writeFile(work.file(name), content);
    platform.answerFile(work.file(name));
    controls.click(button);
  }

  test::BuiltRom rom;
};

Bytes vga8x8() {
  return Bytes(test::kVgaFont8x8.begin(), test::kVgaFont8x8.end());
}
Bytes vga8x16() {
  return Bytes(test::kVgaFont8x16.begin(), test::kVgaFont8x16.end());
}

// A plausible font that differs from the sample's.
Bytes boldened(const Bytes& font) {
  Bytes bold = font;
  for (auto& row : bold)
    row = static_cast<uint8_t>(row | row >> 1);
  return bold;
}

TEST(FontCommandsWithoutImage, DoNothing) {
  test::TempDir program;
  HeadlessControls controls(mainDialogTemplate());
  test::ScriptedPlatform platform;
  EditorDialog editor(controls, platform);
  controls.setEvents(&editor);
  editor.OnInitDialog();
  editor.OnSaveFont8x8();
  editor.OnLoadFont8x8();
  editor.OnSaveFont8x16();
  editor.OnLoadFont8x16();
  EXPECT_TRUE(platform.fileRequests.empty());
}

TEST_F(FontCommands, DoNothingWithoutTheirTable) {
  test::RomSpec spec;
  spec.hasFonts = false;
  load(test::buildRom(spec).bytes);
  ASSERT_TRUE(editor->document.isOpen());
  editor->OnSaveFont8x16();
  editor->OnLoadFont8x16();
  editor->OnSaveFont8x8();
  editor->OnLoadFont8x8();
  EXPECT_EQ(platform.fileRequests.size(), 2u);  // only the two loads
}

TEST_F(FontCommands, ExportWritesExactlyTheTable) {
  test::writeFile(work.file("old.fnt"), Bytes(9000, 0x33));
  platform.answerFile(work.file("old.fnt"));
  controls.click(kIdSave8x16);
  EXPECT_EQ(test::readFile(work.file("old.fnt")), font8x16());
  const FileDialogRequest& request = platform.fileRequests.back();
  EXPECT_TRUE(request.save);
  EXPECT_EQ(request.defaultExtension, "fnt");
  EXPECT_EQ(request.flags, 6u);
  EXPECT_EQ(request.filter,
            "DOS Font files (*.fnt)|*.fnt|PSF console fonts (*.psf)|*.psf|Compressed PSF console "
            "fonts (*.psf.gz)|*.psf.gz|All Files (*.*)|*.*||");

  platform.answerFile(work.file("small.fnt"));
  controls.click(kIdSave8x8);
  EXPECT_EQ(test::readFile(work.file("small.fnt")), font8x8());
  EXPECT_TRUE(platform.messages.empty());
}

TEST_F(FontCommands, FailedExportKeepsTheOldFile) {
  const Bytes previous(100, 0x33);
  test::writeFile(work.file("old.fnt"), previous);
  platform.beforeFileAccess = [](const std::string& path) {
    throw FileError("disk full writing " + path);
  };
  platform.answerFile(work.file("old.fnt"));
  controls.click(kIdSave8x8);
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_EQ(platform.messages[0].text,
            "Error saving file\ndisk full writing " + work.file("old.fnt"));
  EXPECT_EQ(platform.messages[0].caption, "Error");
  EXPECT_EQ(platform.messages[0].style, kMbIconError);
  EXPECT_EQ(test::readFile(work.file("old.fnt")), previous);
}

TEST_F(FontCommands, ImportDialogOffersEveryKind) {
  platform.cancelFile();
  controls.click(kIdLoad8x8);
  const FileDialogRequest& request = platform.fileRequests.back();
  EXPECT_FALSE(request.save);
  EXPECT_EQ(request.defaultExtension, "");
  EXPECT_EQ(request.flags, 0x1004u);
  EXPECT_EQ(
      request.filter,
      "All font files|*.cpi;*.fnt;*.psf;*.psf.gz|DOS Font files (*.fnt)|*.fnt|DOS and "
      "Windows CPI files (*.cpi)|*.cpi|PSF console fonts (*.psf, *.psf.gz)|*.psf;*.psf.gz|All "
      "Files (*.*)|*.*||");
  EXPECT_EQ(imageBytes(), rom.bytes);
}

TEST_F(FontCommands, RawFontOneByteShortIsInvalid) {
  Bytes short8x8 = vga8x8();
  short8x8.pop_back();
  importFile(kIdLoad8x8, short8x8);
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_EQ(platform.messages[0].text, "Invalid file");
  EXPECT_EQ(platform.messages[0].caption, "Error");
  EXPECT_EQ(platform.messages[0].style, kMbIconError);
  EXPECT_EQ(imageBytes(), rom.bytes);
}

TEST_F(FontCommands, PlausibleRawFontLoadsWithoutAQuestion) {
  const Bytes bold = boldened(vga8x16());
  importFile(kIdLoad8x16, bold);
  EXPECT_TRUE(platform.messages.empty());
  EXPECT_EQ(font8x16(), bold);
}

TEST_F(FontCommands, LongerRawFileGivesItsFirstBytes) {
  // A 4096-byte file through Load 8x8: its first 2048 bytes decide.
  Bytes file = boldened(vga8x8());
  file.resize(4096, 0x77);
  importFile(kIdLoad8x8, file);
  EXPECT_TRUE(platform.messages.empty());
  EXPECT_EQ(font8x8(), Bytes(file.begin(), file.begin() + 2048));

  // An 8x16 font read as 8x8 is not plausible: the question comes.
  platform.messageAnswers.push_back(kIdNo);
  importFile(kIdLoad8x8, vga8x16());
  EXPECT_EQ(
      platform.takeMessages(),
      (std::vector<std::string>{
          "This file does not seem to be a valid 8x8 font.\nDo you really want to load it?"}));
}

TEST_F(FontCommands, ImplausibleFontAsksAndObeys) {
  const Bytes junk(4096, 0x5A);
  // No answer scripted: the user pressed Enter, which must not load junk.
  struct Case {
    std::optional<int> answer;
    bool loads;
  };
  for (const Case& c : {Case{kIdNo, false}, Case{std::nullopt, false}, Case{kIdYes, true}}) {
    SCOPED_TRACE(c.answer.value_or(0));
    if (c.answer) platform.messageAnswers.push_back(*c.answer);
    importFile(kIdLoad8x16, junk);
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].text,
              "This file does not seem to be a valid 8x16 font.\nDo you really want to load it?");
    EXPECT_EQ(platform.messages[0].caption, "Warning");
    EXPECT_EQ(platform.messages[0].style, kMbYesNo | kMbIconQuestion | kMbDefButton2);
    EXPECT_EQ(imageBytes() == rom.bytes, !c.loads);
    platform.messages.clear();
  }
  EXPECT_EQ(font8x16(), junk);
}

// An image whose fonts alone are edited takes no font that does not look
// like one: nothing is asked, the refusal says why, and the image stays.
TEST_F(FontCommands, FontsOnlyImageRefusesAnImplausibleFontWithoutAsking) {
  rom = test::buildRom(test::laterFamilySpec());
  load(rom.bytes);
  ASSERT_EQ(editor->document.scope(), EditScope::kFontsOnly);
  platform.messageAnswers.push_back(kIdYes);
  importFile(kIdLoad8x16, Bytes(4096, 0x5A));
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_EQ(platform.messages[0].text,
            "This font cannot be loaded into this BIOS\nthis BIOS opens for its fonts only "
            "while they look like fonts, and this one does not");
  EXPECT_EQ(imageBytes(), rom.bytes);
  platform.messages.clear();
  importFile(kIdLoad8x16, boldened(font8x16()));
  EXPECT_TRUE(platform.messages.empty());
  EXPECT_NE(imageBytes(), rom.bytes);
}

TEST_F(FontCommands, CodePageFileWithoutTheSizeSaysSo) {
  CpiSpec spec;
  spec.entries = {{437, {{8, 16}, {8, 14}}}};
  importFile(kIdLoad8x8, test::buildCpi(spec).bytes, "ega.cpi");
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_EQ(platform.messages[0].text, "There are no 8x8 fonts int this file.");
  EXPECT_TRUE(platform.messages[0].defaultCaption);
  EXPECT_EQ(platform.messages[0].style, kMbOk);
  EXPECT_EQ(imageBytes(), rom.bytes);
  spec.entries = {{437, {{8, 8}}}};
  importFile(kIdLoad8x16, test::buildCpi(spec).bytes, "ega.cpi");
  EXPECT_EQ(platform.messages.back().text, "There are no 8x16 fonts int this file.");
}

TEST_F(FontCommands, ChoosingTheSecondListedFontLoadsIt) {
  CpiSpec spec;
  spec.entries = {{850, {{8, 16}, {8, 8}}}, {437, {{8, 16}}}};
  platform.fontAnswers.push_back(1);
  importFile(kIdLoad8x16, test::buildCpi(spec).bytes, "fonts.fnt");  // the name does not matter
  ASSERT_EQ(platform.fontLists.size(), 1u);
  EXPECT_EQ(platform.fontLists[0],
            (std::vector<std::string>{"CodePage 850, 8x16 font", "CodePage 437, 8x16 font"}));
  // Each line previews its own font, the one OK would load.
  EXPECT_EQ(platform.fontPreviews[0], (std::vector<Bytes>{test::cpiGlyphData(850, {8, 16}),
                                                          test::cpiGlyphData(437, {8, 16})}));
  EXPECT_EQ(font8x16(), test::cpiGlyphData(437, {8, 16}));
  EXPECT_TRUE(platform.messages.empty());
}

TEST_F(FontCommands, CancelledSelectionLoadsNothing) {
  CpiSpec spec;
  spec.entries = {{850, {{8, 8}}}, {437, {{8, 8}}}};
  platform.fontAnswers.push_back(-1);
  importFile(kIdLoad8x8, test::buildCpi(spec).bytes, "ega.cpi");
  EXPECT_EQ(imageBytes(), rom.bytes);
  EXPECT_TRUE(platform.messages.empty());
}

// A file with the code-page, PSF or gzip signature that its reader refuses
// is never offered as a raw font, not even to a user who would answer Yes:
// its headers would become glyphs.
TEST_F(FontCommands, FileWithASignatureItsReaderRefusesIsRefusedWithTheReason) {
  CpiSpec otherDevice;
  otherDevice.entries = {{437, {{8, 16}}}, {850, {{8, 16}}, "LCD     "}};
  Bytes cutShort = test::buildCpi(otherDevice).bytes;
  cutShort.resize(24);
  test::PsfSpec small;
  small.height = 8;
  small.trailingBytes = 4096;  // as long as an 8x16 raw font
  Bytes notCompressed(4096, 0x00);
  notCompressed[0] = 0x1F;
  notCompressed[1] = 0x8B;
  struct Case {
    const char* name;
    Bytes file;
    const char* message;
  };
  for (const Case& c : {
           Case{"other device", test::buildCpi(otherDevice).bytes,
                "Not a readable code-page file\na code-page entry is not for an EGA or VGA screen"},
           Case{"cut short", cutShort,
                "Not a readable code-page file\nthe file ends inside a header"},
           Case{"PSF 8x8", test::buildPsf(small),
                "Not a usable PSF font\nthe font is 8x8, not 8x16"},
           Case{"gzip signature", notCompressed,
                "Not a usable PSF font\nthe compressed data is damaged"},
       }) {
    platform.messageAnswers.push_back(kIdYes);
    importFile(kIdLoad8x16, c.file, "odd.cpi");
    EXPECT_TRUE(platform.fontLists.empty()) << c.name;
    ASSERT_EQ(platform.messages.size(), 1u) << c.name;
    EXPECT_EQ(platform.messages[0].text, c.message) << c.name;
    EXPECT_EQ(platform.messages[0].caption, "Error") << c.name;
    EXPECT_EQ(imageBytes(), rom.bytes) << c.name;
    platform.messages.clear();
    platform.messageAnswers.clear();
  }
}

TEST_F(FontCommands, Load8x16RefreshesTheAlternatesAndLoad8x8DoesNot) {
  const Bytes alternates = table(rom.layout.altFont9x16Offset, 17 * 8 + 1);
  importFile(kIdLoad8x8, boldened(vga8x8()));
  EXPECT_EQ(table(rom.layout.altFont9x16Offset, 17 * 8 + 1), alternates);

  const Bytes bold = boldened(vga8x16());
  importFile(kIdLoad8x16, bold);
  for (size_t k = 0; k < rom.layout.altCodes.size(); ++k) {
    const int32_t entry = rom.layout.altFont9x16Offset + 17 * static_cast<int32_t>(k);
    const uint8_t code = rom.layout.altCodes[k];
    EXPECT_EQ(editor->image.bytes[static_cast<size_t>(entry)], code);
    EXPECT_EQ(table(entry + 1, 16), Bytes(bold.begin() + code * 16, bold.begin() + code * 16 + 16))
        << int{code};
  }
}

TEST_F(FontCommands, UnreadableFilesGiveErrorOpeningFile) {
  platform.answerFile(work.file("missing.fnt"));
  controls.click(kIdLoad8x8);
  platform.answerFile(work.path());
  controls.click(kIdLoad8x16);
  EXPECT_EQ(platform.takeMessages(),
            (std::vector<std::string>{"Error opening file", "Error opening file"}));
  EXPECT_EQ(imageBytes(), rom.bytes);
}

// Raw, PSF and compressed PSF files, as the name asks for (in any case):
// each loads back into the image as it was loaded.
TEST_F(FontCommands, ExportedFontsImportBackUnchanged) {
  // Only the 9x16 alternates change: they now hold the 8x16 glyphs.
  auto refreshed = test::loadImage(rom.bytes);
  refreshAltFont9x16(*refreshed);
  const Bytes expected(refreshed->bytes.begin(), refreshed->bytes.begin() + refreshed->length);
  ASSERT_NE(expected, rom.bytes);
  for (const std::string extension : {".fnt", ".PSF", ".psf.gz"}) {
    load(rom.bytes);  // over the last round's import, answering No
    platform.messages.clear();
    platform.answerFile(work.file("f8" + extension));
    controls.click(kIdSave8x8);
    platform.answerFile(work.file("f16" + extension));
    controls.click(kIdSave8x16);
    if (extension != ".fnt") {
      EXPECT_EQ(readPsf(test::readFile(work.file("f8" + extension)), 8).glyphs, font8x8());
      EXPECT_EQ(readPsf(test::readFile(work.file("f16" + extension)), 16).glyphs, font8x16());
    }
    platform.answerFile(work.file("f8" + extension));
    controls.click(kIdLoad8x8);
    platform.answerFile(work.file("f16" + extension));
    controls.click(kIdLoad8x16);
    EXPECT_TRUE(platform.messages.empty()) << extension;
    EXPECT_EQ(imageBytes(), expected) << extension;
    // And a second round trip changes nothing at all.
    platform.answerFile(work.file("f16" + extension));
    controls.click(kIdSave8x16);
    platform.answerFile(work.file("f16" + extension));
    controls.click(kIdLoad8x16);
    EXPECT_EQ(imageBytes(), expected) << extension;
  }
}

TEST_F(FontCommands, RealCodePageFontSurvivesSaveAndLoad) {
  const auto dir = test::testDataDir();
  if (!dir) GTEST_SKIP() << "no shared test data (../shared/testdata or $VARNEL_TESTDATA)";
  const Bytes cpi = test::readFile(*dir + "/cpi/msdos6-ega.cpi");
  auto entries = std::make_unique<CpiFontList>();
  MemoryByteStream stream(cpi);
  ASSERT_GT(readCpiFonts(stream, *entries, 8, 16), 1);
  ASSERT_EQ((*entries)[1].codePage, 850);
  platform.fontAnswers.push_back(1);
  importFile(kIdLoad8x16, cpi, "ega.cpi");
  const Bytes saved = save("with850.rom");
  load(saved, "with850.rom");
  ASSERT_TRUE(editor->document.isOpen());
  EXPECT_TRUE(platform.messages.empty());
  const auto data = cpi.begin() + (*entries)[1].dataOffset;
  EXPECT_EQ(font8x16(), Bytes(data, data + 4096));
}

TEST_F(FontCommands, ViewShowsTheEditorsImage) {
  controls.click(kIdViewFonts);
  EXPECT_EQ(platform.fontViews, 1);
  EXPECT_EQ(platform.viewedImage, &editor->image);
}

}  // namespace
}  // namespace varnel
