#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <optional>

#include "support/editor_fixture.h"

namespace varnel {
namespace {

using namespace ui;
using test::Bytes;
using test::EditorFixture;
using test::RomSpec;

class Load : public EditorFixture {};

Bytes imageWith(const RomSpec& spec) {
  return test::buildRom(spec).bytes;
}

TEST_F(Load, OpenDialogAsksForRomFiles) {
  startUp();
  platform.cancelFile();
  controls.click(kIdLoad);
  ASSERT_EQ(platform.fileRequests.size(), 1u);
  const FileDialogRequest& request = platform.fileRequests[0];
  EXPECT_FALSE(request.save);
  EXPECT_EQ(request.defaultExtension, "rom");
  EXPECT_EQ(request.initialName, "");
  EXPECT_EQ(request.flags, 0x1004u);
  EXPECT_EQ(request.filter,
            "Both *.rom and *.bin|*.rom;*.bin|ROM Files (*.rom)|*.rom|BIN Files (*.bin)|*.bin|All "
            "Files (*.*)|*.*||");
  EXPECT_FALSE(editor->document.isOpen());
}

// Loading another image over edited work asks first, as closing does: Cancel
// (or a save that does not go through) keeps everything, No drops the
// edits, Yes saves them first. A file that is refused asks nothing and
// keeps the edits, and so does an image without edits.
struct Replacing {
  const char* name;
  bool edited;
  bool valid;                         // whether the second file may be loaded
  std::deque<int> answers;            // to the question, then to any other box
  std::optional<std::string> saveAs;  // the answer to Save's file dialog
  bool asked;
  bool replaced;
};

class ReplacingEditedWork : public EditorFixture, public testing::WithParamInterface<Replacing> {};

TEST_P(ReplacingEditedWork, AsksFirst) {
  const Replacing& c = GetParam();
  load(test::buildRom().bytes, "first.rom");
  if (c.edited) controls.drag(kIdCoreSlider, 300);
  const Bytes edited = imageBytes();
  platform.takeMessages();
  platform.messageAnswers = c.answers;
  RomSpec other;
  other.coreClockWord = 31000;
  Bytes second = imageWith(other);
  if (!c.valid) second[0] = 0;
  test::writeFile(work.file("second.rom"), second);
  platform.answerFile(work.file("second.rom"));
  if (c.asked && c.answers.front() == kIdYes) {
    if (c.saveAs) {
      platform.answerFile(work.file(*c.saveAs));
    } else {
      platform.cancelFile();
    }
  }
  controls.click(kIdLoad);
  const std::vector<std::string> shown = platform.takeMessages();
  EXPECT_EQ(std::count(shown.begin(), shown.end(), "Save the changes to the BIOS image?"),
            c.asked ? 1 : 0);
  EXPECT_EQ(controls.text(kIdFileName), work.file(c.replaced ? "second.rom" : "first.rom"));
  if (!c.replaced) {
    EXPECT_EQ(imageBytes(), edited);
  }
  if (c.saveAs && c.replaced) {
    // The edited image, saved before the other one came.
    const Bytes saved = test::readFile(work.file(*c.saveAs));
    EXPECT_EQ(saved.size(), edited.size());
    EXPECT_NE(saved, test::buildRom().bytes);
    EXPECT_NE(saved, second);
  }
  EXPECT_TRUE(platform.fileAnswers.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReplacingEditedWork,
    testing::Values(Replacing{"Unedited", false, true, {}, {}, false, true},
                    Replacing{"Cancel", true, true, {kIdCancel}, {}, true, false},
                    Replacing{"No", true, true, {kIdNo}, {}, true, true},
                    Replacing{"YesSavesFirst", true, true, {kIdYes}, "edited.rom", true, true},
                    Replacing{
                        "YesButTheSaveDialogCancelled", true, true, {kIdYes}, {}, true, false},
                    Replacing{"RefusedFileAsksNothing", true, false, {}, {}, false, false}),
    [](const testing::TestParamInfo<Replacing>& info) { return std::string(info.param.name); });

TEST_F(Load, ShowsTheImage) {
  load(test::buildRom().bytes, "sample.rom");
  EXPECT_TRUE(editor->document.isOpen());
  EXPECT_TRUE(platform.messages.empty());
  EXPECT_EQ(controls.text(kIdFileName), work.file("sample.rom"));
  EXPECT_EQ(controls.text(kIdTitle), "VARNEL SAMPLE R250 64MB DDR P/N 000-00000-000 ");
  EXPECT_EQ(controls.text(kIdDateTime), "2026/12/07 08:00");
  EXPECT_EQ(controls.trackbarPosition(kIdCoreSlider), 275);
  EXPECT_EQ(controls.trackbarPosition(kIdMemorySlider), 270);
  EXPECT_EQ(controls.text(kIdCoreEdit), "275");
  EXPECT_EQ(controls.text(kIdMemoryEdit), "270");
  EXPECT_EQ(controls.text(kIdRealCore), " 274.50 Mhz (122 * 2.25 Mhz)");
  EXPECT_EQ(controls.text(kIdRealMemory), " 270.00 Mhz (120 * 2.25 Mhz)");
  EXPECT_EQ(controls.text(kIdEffectiveMemory), " 540.00 Mhz (DDR; 128 bits bus)");
  EXPECT_EQ(controls.currentSelection(kIdMemoryType), 0);
  EXPECT_EQ(controls.currentSelection(kIdCas), 1);
  for (int id : {kIdSave, kIdCoreSlider, kIdCoreEdit, kIdSyncClocks, kIdMemorySlider, kIdMemoryEdit,
                 kIdMemoryType, kIdCas, kIdTvStandard, kIdUnsupportedTv, kIdCrtOn, kIdTvOn,
                 kIdSave8x8, kIdLoad8x8, kIdSave8x16, kIdLoad8x16, kIdViewFonts, kIdVendor}) {
    EXPECT_TRUE(controls.isEnabled(id)) << id;
  }
  EXPECT_TRUE(controls.isChecked(kIdCrtOn));
  EXPECT_FALSE(controls.isChecked(kIdTvOn));
  EXPECT_FALSE(controls.isChecked(kIdSyncClocks));
}

TEST_F(Load, LoadingChangesNoImageByte) {
  const Bytes bytes = test::buildRom().bytes;
  load(bytes);
  EXPECT_EQ(imageBytes(), bytes);
}

struct Failure {
  const char* name;
  std::function<Bytes()> bytes;  // nothing: the answer is a folder, which cannot be read
  const char* message;
  const char* reason;  // words of the line that explains a refusal
};

class LoadFailure : public Load, public testing::WithParamInterface<Failure> {};

// A failed load only shows its message: the image on show, its unsaved
// edits and everything the window shows stay as they were.
TEST_P(LoadFailure, ShowsItsMessageAndChangesNothing) {
  load(test::buildRom().bytes, "first.rom");
  ASSERT_TRUE(editor->document.isOpen());
  controls.drag(kIdCoreSlider, 300);
  controls.click(kIdCrtOn);
  const Bytes edited = imageBytes();
  const std::string window = windowState();
  if (GetParam().bytes) {
    load(GetParam().bytes(), "second.rom");
  } else {
    platform.answerFile(work.path());
    controls.click(kIdLoad);
  }
  ASSERT_EQ(platform.messages.size(), 1u);
  const std::string& text = platform.messages[0].text;
  const size_t lineEnd = text.find('\n');
  EXPECT_EQ(text.substr(0, lineEnd), GetParam().message);
  if (*GetParam().reason != '\0') {
    ASSERT_NE(lineEnd, std::string::npos) << text;
    EXPECT_NE(text.find(GetParam().reason, lineEnd), std::string::npos) << text;
  } else {
    EXPECT_EQ(lineEnd, std::string::npos) << text;
  }
  EXPECT_EQ(platform.messages[0].caption, "Error");
  EXPECT_EQ(platform.messages[0].style, kMbIconError);
  EXPECT_TRUE(editor->document.isOpen());
  EXPECT_EQ(imageBytes(), edited);
  EXPECT_EQ(windowState(), window);
}

Bytes changedAt(size_t offset, uint8_t value) {
  Bytes b = test::buildRom().bytes;
  b[offset] = value;
  return b;
}

INSTANTIATE_TEST_SUITE_P(
    Failures, LoadFailure,
    testing::Values(Failure{"Unreadable", nullptr, "Error opening file", ""},
                    Failure{"TooShort", [] { return Bytes(100, 0x55); },
                            "This is not a valid ATi BIOS", "shorter than 16384 bytes"},
                    Failure{"NoRomSignature", [] { return changedAt(0, 0xAA); },
                            "This is not a valid ATi BIOS", "signature 55 AA"},
                    Failure{"NoSignatureText", [] { return changedAt(0x39, '1'); },
                            "This is not a valid ATi BIOS", "\" 761295520\" is missing"},
                    Failure{"ChecksumsBad",
                            [] {
                              Bytes b = test::buildRom().bytes;
                              b[0x3000] ^= 0x40;
                              return b;
                            },
                            "Checksums bad", "damaged or was changed by another tool"}),
    [](const testing::TestParamInfo<Failure>& info) { return std::string(info.param.name); });

TEST_F(Load, UnreadableFilesGiveErrorOpeningFile) {
  startUp();
  platform.answerFile(work.file("vanished.rom"));
  controls.click(kIdLoad);
  platform.answerFile(work.path());  // a folder
  controls.click(kIdLoad);
  EXPECT_EQ(platform.takeMessages(),
            (std::vector<std::string>{"Error opening file", "Error opening file"}));
  EXPECT_FALSE(editor->document.isOpen());
}

TEST_F(Load, ReconstructedDumpReportsItsOwnChecksumFailure) {
  startUp();
  Bytes bad = test::buildRom().bytes;
  bad[0x3000] ^= 0x40;
  test::writeFile(work.file("dump.ram"), bad);
  editor->LoadBiosFile(work.file("dump.ram"), true);
  const std::vector<std::string> messages = platform.takeMessages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].substr(0, messages[0].find('\n')), "BIOS reconstruction failed");
  test::writeFile(work.file("dump.ram"), test::buildRom().bytes);
  editor->LoadBiosFile(work.file("dump.ram"), true);
  EXPECT_EQ(controls.text(kIdFileName), "current (reconstructed)");
}

TEST_F(Load, ReadsAtMost64KiB) {
  RomSpec spec;
  spec.sizeBlocks = 0x80;
  Bytes bytes = imageWith(spec);
  const Bytes image = bytes;
  bytes.resize(70000, 0x11);
  load(bytes);
  EXPECT_TRUE(editor->document.isOpen());
  EXPECT_EQ(editor->image.length, 65536);
  EXPECT_EQ(imageBytes(), image);
}

struct ClockWords {
  uint16_t core, memory;
  uint8_t coreDivider, memoryDivider;
  int corePosition, memoryPosition;
  bool synchronized;
};

class LoadClocks : public Load, public testing::WithParamInterface<ClockWords> {};

TEST_P(LoadClocks, PlaceTheTrackbars) {
  const ClockWords& c = GetParam();
  RomSpec spec;
  spec.coreClockWord = c.core;
  spec.memoryClockWord = c.memory;
  spec.coreDivider = c.coreDivider;
  spec.memoryDivider = c.memoryDivider;
  load(imageWith(spec));
  ASSERT_TRUE(editor->document.isOpen());
  EXPECT_EQ(controls.trackbarPosition(kIdCoreSlider), c.corePosition);
  EXPECT_EQ(controls.trackbarPosition(kIdMemorySlider), c.memoryPosition);
  EXPECT_EQ(controls.text(kIdCoreEdit), std::to_string(c.corePosition));
  EXPECT_EQ(controls.text(kIdMemoryEdit), std::to_string(c.memoryPosition));
  EXPECT_EQ(editor->document.clocksSynchronized(), c.synchronized);
  EXPECT_EQ(controls.isChecked(kIdSyncClocks), c.synchronized);
  EXPECT_EQ(controls.isEnabled(kIdMemorySlider), !c.synchronized);
  EXPECT_EQ(controls.isEnabled(kIdMemoryEdit), !c.synchronized);
  // Loading only displays: the words stay as they were.
  EXPECT_EQ(editor->image.wordAt(editor->image.defaultCoreClock), c.core);
  EXPECT_EQ(editor->image.wordAt(editor->image.defaultMemoryClock), c.memory);
}

INSTANTIATE_TEST_SUITE_P(Words, LoadClocks,
                         testing::Values(ClockWords{18300, 18300, 81, 81, 183, 183, true},
                                         ClockWords{18300, 18300, 81, 82, 183, 183, false},
                                         ClockWords{16650, 16601, 73, 73, 167, 167, true},
                                         ClockWords{4900, 4901, 22, 22, 50, 50, false},
                                         ClockWords{60000, 100, 255, 1, 575, 50, false}));

TEST_F(Load, MemoryListsFollowTheConfiguration) {
  struct Case {
    uint8_t config;
    bool typeEnabled;
    int typeSelection;
    bool casEnabled;
    int casSelection;
  };
  for (const Case& c : {Case{0x22, true, 1, true, 1}, Case{0x02, false, -1, true, 1},
                        Case{0x16, true, 0, false, -1}, Case{0x14, true, 0, true, -1},
                        Case{0x31, false, -1, true, 0}}) {
    RomSpec spec;
    spec.memoryConfig1 = c.config;
    spec.memoryConfig2 = 0;
    load(imageWith(spec));
    ASSERT_TRUE(editor->document.isOpen());
    EXPECT_EQ(controls.isEnabled(kIdMemoryType), c.typeEnabled) << int{c.config};
    EXPECT_EQ(controls.isEnabled(kIdCas), c.casEnabled) << int{c.config};
    // A list the image gives nothing for shows nothing, never the choice
    // of the image loaded before (each case follows the one before it).
    EXPECT_EQ(controls.currentSelection(kIdMemoryType), c.typeSelection) << int{c.config};
    EXPECT_EQ(controls.currentSelection(kIdCas), c.casSelection) << int{c.config};
  }
}

TEST_F(Load, FontButtonsFollowTheTablesFound) {
  test::BuiltRom rom = test::buildRom();
  // Point the 8x16 operand outside the image: only the 8x8 table is found.
  for (size_t p = 0x100; p + 20 < rom.bytes.size(); ++p) {
    if (rom.bytes[p] == 0xBD && test::getWord(rom.bytes, p + 1) == rom.layout.font8x8Offset) {
      test::putWord(rom.bytes, p + 9, 0xFFFF);
      break;
    }
  }
  test::sealChecksums(rom.bytes, rom.layout.checksumBlockOffset, rom.layout.spareByte);
  load(rom.bytes);
  ASSERT_TRUE(editor->document.isOpen());
  EXPECT_TRUE(controls.isEnabled(kIdSave8x8));
  EXPECT_TRUE(controls.isEnabled(kIdLoad8x8));
  EXPECT_FALSE(controls.isEnabled(kIdSave8x16));
  EXPECT_FALSE(controls.isEnabled(kIdLoad8x16));
  EXPECT_FALSE(controls.isEnabled(kIdViewFonts));
}

// A BIOS of a later family, loaded after an image with every box ticked:
// its names and fonts are on show, everything else is off and empty, and a
// line says why; the next valid image clears that line.
TEST_F(Load, FontsOnlyImageOffersItsFontsAndSaysWhy) {
  RomSpec ticked;
  ticked.tvOutputs = 0x03;
  ticked.memoryClockWord = ticked.coreClockWord;
  ticked.memoryDivider = ticked.coreDivider;
  load(imageWith(ticked), "first.rom");
  ASSERT_TRUE(controls.isChecked(kIdSyncClocks));
  load(imageWith(test::laterFamilySpec()), "later.rom");
  ASSERT_EQ(editor->document.scope(), EditScope::kFontsOnly);
  EXPECT_TRUE(platform.messages.empty());
  EXPECT_EQ(controls.text(kIdFileName), work.file("later.rom"));
  EXPECT_EQ(controls.text(kIdDateTime), "2026/12/07 08:00");
  EXPECT_EQ(controls.text(kIdScopeNote), std::string("Fonts only: ") + kFontsOnlyReason);
  for (int id : {kIdSave, kIdSave8x8, kIdLoad8x8, kIdSave8x16, kIdLoad8x16, kIdViewFonts}) {
    EXPECT_TRUE(controls.isEnabled(id)) << id;
  }
  for (int id : {kIdCoreSlider, kIdCoreEdit, kIdSyncClocks, kIdMemorySlider, kIdMemoryEdit,
                 kIdMemoryType, kIdCas, kIdTvStandard, kIdUnsupportedTv, kIdCrtOn, kIdTvOn,
                 kIdVendor, kIdUndo, kIdRedo, kIdRevert}) {
    EXPECT_FALSE(controls.isEnabled(id)) << id;
  }
  for (int id : {kIdCoreEdit, kIdMemoryEdit, kIdRealCore, kIdRealMemory, kIdEffectiveMemory}) {
    EXPECT_EQ(controls.text(id), "") << id;
  }
  for (int id : {kIdMemoryType, kIdCas, kIdTvStandard, kIdVendor}) {
    EXPECT_EQ(controls.currentSelection(id), -1) << id;
  }
  for (int id : {kIdSyncClocks, kIdCrtOn, kIdTvOn, kIdUnsupportedTv}) {
    EXPECT_FALSE(controls.isChecked(id)) << id;
  }
  load(imageWith(ticked), "again.rom");
  EXPECT_EQ(controls.text(kIdScopeNote), "");
  EXPECT_TRUE(controls.isEnabled(kIdCoreSlider));
}

// Loaded after an image with every box ticked, an image without a table
// shows the boxes greyed out and empty, never the earlier image's choices.
TEST_F(Load, WithoutTvTableTheTvControlsStayDisabled) {
  RomSpec spec;
  spec.tvOutputs = 0x03;       // CRT and TV on
  spec.tvStandardByte = 0x03;  // PAL-M, not in the mask: every standard offered
  load(imageWith(spec));
  ASSERT_TRUE(controls.isChecked(kIdCrtOn) && controls.isChecked(kIdTvOn) &&
              controls.isChecked(kIdUnsupportedTv));
  spec = {};
  spec.hasTvTable = false;
  load(imageWith(spec));
  ASSERT_TRUE(editor->document.isOpen());
  for (int id : {kIdTvStandard, kIdUnsupportedTv, kIdCrtOn, kIdTvOn}) {
    EXPECT_FALSE(controls.isEnabled(id)) << id;
  }
  for (int id : {kIdUnsupportedTv, kIdCrtOn, kIdTvOn}) {
    EXPECT_FALSE(controls.isChecked(id)) << id;
  }
  EXPECT_EQ(controls.items(kIdTvStandard), (std::vector<std::string>{"None"}));
  EXPECT_EQ(controls.currentSelection(kIdTvStandard), 0);
}

TEST_F(Load, UnsupportedStandardBoxStartsCheckedForAnUnsupportedStandard) {
  RomSpec spec;
  spec.tvStandardByte = 0x03;  // PAL-M, not in the mask 0x03
  load(imageWith(spec));
  EXPECT_TRUE(controls.isChecked(kIdUnsupportedTv));
  EXPECT_EQ(controls.itemCount(kIdTvStandard), 9);
  spec.tvStandardByte = 0x02;
  load(imageWith(spec));
  EXPECT_FALSE(controls.isChecked(kIdUnsupportedTv));
  EXPECT_EQ(controls.items(kIdTvStandard), (std::vector<std::string>{"None", "NTSC", "PAL"}));
  EXPECT_EQ(controls.currentSelection(kIdTvStandard), 2);
}

TEST_F(Load, VendorMissingFromTheListIsAddedOnce) {
  writeVendorList("10DE NVIDIA Corporation\n");
  load(test::buildRom().bytes);
  EXPECT_EQ(controls.items(kIdVendor),
            (std::vector<std::string>{"ATi Technologies [1002]", "NVIDIA Corporation [0x10DE]"}));
  EXPECT_EQ(controls.currentSelection(kIdVendor), 0);
  load(test::buildRom().bytes);
  EXPECT_EQ(controls.itemCount(kIdVendor), 2);
  EXPECT_EQ(controls.currentSelection(kIdVendor), 0);

  RomSpec spec;
  spec.vendorId = 0x1234;
  load(imageWith(spec));
  EXPECT_EQ(controls.itemText(kIdVendor, controls.currentSelection(kIdVendor)), "Unknown [1234]");
  EXPECT_EQ(controls.itemData(kIdVendor, controls.currentSelection(kIdVendor)), 0x1234u);
}

TEST_F(Load, VendorInTheListIsSelectedLastMatchWinning) {
  writeVendorList("1002 ATI Technologies Inc.\n1002 Another name\n");
  load(test::buildRom().bytes);
  EXPECT_EQ(controls.itemCount(kIdVendor), 2);
  EXPECT_EQ(controls.itemText(kIdVendor, controls.currentSelection(kIdVendor)),
            "ATI Technologies Inc. [0x1002]");
}

}  // namespace
}  // namespace varnel
