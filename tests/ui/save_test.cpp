#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <deque>
#include <functional>
#include <optional>

#include "support/editor_fixture.h"
#include "support/faults.h"

namespace varnel {
namespace {

using namespace ui;
using test::Bytes;
using test::EditorFixture;
using test::RomSpec;
using test::ShownMessage;

class Save : public EditorFixture {};

TEST_F(Save, NothingHappensWithoutAnImage) {
  startUp();
  editor->OnSaveBios();
  EXPECT_TRUE(platform.fileRequests.empty());
}

TEST_F(Save, DialogOffersTheLoadedFileName) {
  load(test::buildRom().bytes, "card.rom");
  platform.cancelFile();
  controls.click(kIdSave);
  ASSERT_EQ(platform.fileRequests.size(), 2u);
  const FileDialogRequest& request = platform.fileRequests[1];
  EXPECT_TRUE(request.save);
  EXPECT_EQ(request.defaultExtension, "rom");
  EXPECT_EQ(request.initialName, work.file("card.rom"));
  EXPECT_EQ(request.flags, 6u);
  EXPECT_EQ(request.filter, platform.fileRequests[0].filter);

  test::writeFile(work.file("dump.ram"), test::buildRom().bytes);
  editor->LoadBiosFile(work.file("dump.ram"), true);
  platform.cancelFile();
  controls.click(kIdSave);
  EXPECT_EQ(platform.fileRequests.back().initialName, "");
}

TEST_F(Save, CancelChangesNothing) {
  Bytes bytes = test::buildRom().bytes;
  load(bytes);
  controls.click(kIdUnsupportedTv);  // would set both masks on save
  platform.cancelFile();
  controls.click(kIdSave);
  EXPECT_EQ(imageBytes(), bytes);
}

TEST_F(Save, WritesASoundImageAndShowsItsName) {
  load(test::buildRom().bytes);
  controls.drag(kIdCoreSlider, 300);
  const Bytes saved = save("out.rom");
  EXPECT_EQ(saved.size(), 49152u);
  EXPECT_EQ(controls.text(kIdFileName), work.file("out.rom"));
  int code = -1;
  auto again = test::loadImage(saved, &code);
  EXPECT_EQ(code, kValid);
  EXPECT_TRUE(again->checksumsValid());
}

TEST_F(Save, TwoSavesGiveIdenticalFiles) {
  load(test::buildRom().bytes);
  controls.type(kIdCoreEdit, "310");
  EXPECT_EQ(save("one.rom"), save("two.rom"));
}

TEST_F(Save, SupportedMasksFollowTheUnsupportedBox) {
  RomSpec spec;
  spec.tvMask = 0x01;
  spec.tvMask2 = 0x00;
  const test::BuiltRom rom = test::buildRom(spec);
  const auto mask = static_cast<size_t>(rom.layout.tvTableOffset) + 10;

  load(rom.bytes);
  controls.choose(kIdTvStandard, 1);  // the list is None, NTSC: NTSC
  Bytes saved = save();
  EXPECT_EQ(saved[mask], 0x01);
  EXPECT_EQ(saved[mask + 1], 0x01);

  load(rom.bytes);
  controls.click(kIdUnsupportedTv);
  controls.choose(kIdTvStandard, 3);  // PAL-M
  saved = save();
  EXPECT_EQ(saved[mask], 0xFF);
  EXPECT_EQ(saved[mask + 1], 0xFF);

  load(rom.bytes);
  controls.click(kIdUnsupportedTv);
  controls.choose(kIdTvStandard, 3);
  controls.click(kIdUnsupportedTv);  // off again: only PAL-M is added
  saved = save();
  EXPECT_EQ(saved[mask], 0x05);
  EXPECT_EQ(saved[mask + 1], 0x04);
}

TEST_F(Save, ShortImageReplacesALongerFileWhole) {
  RomSpec spec;
  spec.sizeBlocks = 0x40;
  load(test::buildRom(spec).bytes);
  test::writeFile(work.file("big.rom"), Bytes(65536, 0xEE));
  EXPECT_EQ(save("big.rom").size(), 32768u);
}

// Folder modes and file-size limits are POSIX's.
#ifndef _WIN32
TEST_F(Save, FailedSaveIntoALockedFolderKeepsThePreviousFile) {
  if (::geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
  load(test::buildRom().bytes, "card.rom");
  const std::string locked = work.file("locked");
  ::mkdir(locked.c_str(), 0755);
  const Bytes previous(5000, 0x42);
  test::writeFile(locked + "/old.rom", previous);
  ::chmod(locked.c_str(), 0555);
  platform.answerFile(locked + "/old.rom");
  controls.click(kIdSave);
  EXPECT_EQ(platform.takeMessages(),
            (std::vector<std::string>{"Error saving file\ncannot create a temporary file for " +
                                      locked + "/old.rom: Permission denied"}));
  EXPECT_EQ(test::readFile(locked + "/old.rom"), previous);
  EXPECT_EQ(controls.text(kIdFileName), work.file("card.rom"));
}

TEST_F(Save, FullDiskKeepsThePreviousFileAndTheRepairedImage) {
  load(test::buildRom().bytes, "card.rom");
  controls.drag(kIdCoreSlider, 320);
  const Bytes previous(5000, 0x42);
  test::writeFile(work.file("old.rom"), previous);
  {
    const test::FileSizeLimit full(4096);
    platform.answerFile(work.file("old.rom"));
    controls.click(kIdSave);
  }
  EXPECT_EQ(platform.takeMessages(),
            (std::vector<std::string>{"Error saving file\ncannot write " + work.file("old.rom") +
                                      ": File too large"}));
  EXPECT_EQ(test::readFile(work.file("old.rom")), previous);
  EXPECT_EQ(controls.text(kIdFileName), work.file("card.rom"));
  // The repair stays in memory, and the next save writes the same bytes.
  EXPECT_TRUE(editor->image.checksumsValid());
  const Bytes repaired = imageBytes();
  EXPECT_EQ(save("retry.rom"), repaired);
}
#endif

// Closing the window: asked only when a save would write something new.
struct Closing {
  const char* name;
  bool load;
  std::function<void(HeadlessControls&, test::ScriptedPlatform&)> edit;
  std::deque<int> answers;            // to the question, if it comes
  std::optional<const char*> saveAs;  // the Save dialog's answer; nothing cancels
  bool asked;
  bool closes;
  bool saved;  // saveAs holds the image
};

void PrintTo(const Closing& c, std::ostream* out) {
  *out << c.name;
}

class Exit : public EditorFixture, public testing::WithParamInterface<Closing> {};

void nothing(HeadlessControls&, test::ScriptedPlatform&) {}
void dragCore(HeadlessControls& c, test::ScriptedPlatform&) {
  c.drag(kIdCoreSlider, 300);
}

TEST_P(Exit, AsksToSaveOnlyWhatChanged) {
  const Closing& c = GetParam();
  startUp();
  if (c.load) load(test::buildRom().bytes, "card.rom");
  c.edit(controls, platform);
  platform.messageAnswers = c.answers;
  if (c.asked && c.answers.front() == kIdYes) {
    if (c.saveAs) {
      platform.answerFile(work.file(*c.saveAs));
    } else {
      platform.cancelFile();
    }
  }
  EXPECT_EQ(editor->ConfirmExit(), c.closes);
  std::vector<ShownMessage> questions;
  for (const ShownMessage& m : platform.messages) {
    if (m.style == (kMbYesNoCancel | kMbIconQuestion)) questions.push_back(m);
  }
  ASSERT_EQ(questions.size(), c.asked ? 1u : 0u);
  if (c.asked) {
    EXPECT_EQ(questions[0].text, "Save the changes to the BIOS image?");
    EXPECT_TRUE(questions[0].defaultCaption);
  }
  if (c.saved) {
    EXPECT_EQ(test::readFile(work.file(*c.saveAs)), imageBytes());
    EXPECT_FALSE(editor->HasUnsavedChanges());
  } else if (c.asked) {
    EXPECT_TRUE(editor->HasUnsavedChanges());
  }
  EXPECT_TRUE(platform.fileAnswers.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Exit,
    testing::Values(
        Closing{"NoImage", false, nothing, {}, {}, false, true, false},
        Closing{"Unchanged", true, nothing, {}, {}, false, true, false},
        Closing{"EditUndoneByHand",
                true,
                [](auto& c, auto&) {
                  c.drag(kIdCoreSlider, 300);
                  c.drag(kIdCoreSlider, 275);
                },
                {},
                {},
                false,
                true,
                false},
        Closing{"SavedAfterTheEdit",
                true,
                [](auto& c, auto& p) {
                  c.drag(kIdCoreSlider, 300);
                  p.filesInMemory = true;
                  p.answerFile("saved.rom");
                  c.click(kIdSave);
                },
                {},
                {},
                false,
                true,
                false},
        Closing{"No", true, dragCore, {kIdNo}, {}, true, true, false},
        Closing{"Cancel", true, dragCore, {kIdCancel}, {}, true, false, false},
        Closing{"YesSaves", true, dragCore, {kIdYes}, "kept.rom", true, true, true},
        Closing{"YesButTheSaveDialogCancelled", true, dragCore, {kIdYes}, {}, true, false, false},
        Closing{"YesButTheWriteFails",
                true,
                dragCore,
                {kIdYes, 1},
                "no/such/folder/kept.rom",
                true,
                false,
                false},
        Closing{"ClockTypedButNotTaken",
                true,
                [](auto& c, auto&) { c.type(kIdCoreEdit, "30"); },
                {kIdNo},
                {},
                true,
                true,
                false},
        Closing{"OnlyTheUnsupportedBox",
                true,
                [](auto& c, auto&) { c.click(kIdUnsupportedTv); },
                {kIdNo},
                {},
                true,
                true,
                false}),
    [](const testing::TestParamInfo<Closing>& info) { return std::string(info.param.name); });

// Load, change one thing of each kind, save, load the saved file: exactly
// the changed bytes (and the checksum bytes) differ, and it loads sound.
TEST_F(Save, EndToEnd) {
  writeVendorList("10DE NVIDIA Corporation\n1002 ATI Technologies Inc.\n");
  const test::BuiltRom rom = test::buildRom();
  const test::RomLayout& l = rom.layout;
  load(rom.bytes);
  controls.drag(kIdCoreSlider, 300);
  controls.choose(kIdMemoryType, 1);  // SDR
  controls.choose(kIdCas, 2);         // CAS3
  controls.choose(kIdTvStandard, 2);  // PAL
  controls.click(kIdCrtOn);           // off: TV goes on
  controls.choose(kIdVendor, 1);      // NVIDIA
  const Bytes saved = save("edited.rom");

  Bytes expected = rom.bytes;
  const auto pll = static_cast<size_t>(l.pllInfoOffset);
  test::putWord(expected, pll + 10, 30000);
  test::putWord(expected, pll + 8, 27000);
  expected[static_cast<size_t>(l.pllEntry) + 3] = 133;  // trunc(300.4 / 2.25)
  expected[static_cast<size_t>(l.pllEntry) + 2] = 240;  // SDR on a DDR BIOS: 2 x 270
  for (size_t at :
       {static_cast<size_t>(l.memoryConfigEntry) + 1, static_cast<size_t>(l.memoryConfigEntry) + 2,
        static_cast<size_t>(l.type1Scripts[2]) + 1, static_cast<size_t>(l.type1Scripts[2]) + 2}) {
    expected[at] = 0x23;
  }
  const auto tv = static_cast<size_t>(l.tvTableOffset);
  expected[tv + 7] = 0x02;
  expected[tv + 9] = 0x02;
  test::putWord(expected, static_cast<size_t>(l.headerOffset) + 0x1C, 0x10DE);
  test::putWord(expected, 0x70, 0x10DE);

  ASSERT_EQ(saved.size(), expected.size());
  const auto block = static_cast<size_t>(l.checksumBlockOffset);
  for (size_t i = 0; i < saved.size(); ++i) {
    const bool checksumByte = (i >= block && i < block + 64) || i == saved.size() - 1;
    if (!checksumByte) {
      EXPECT_EQ(saved[i], expected[i]) << "offset " << i;
    }
  }
  load(saved, "reloaded.rom");
  EXPECT_TRUE(editor->document.isOpen());
  EXPECT_TRUE(platform.messages.empty());
  EXPECT_EQ(controls.trackbarPosition(kIdCoreSlider), 300);
  EXPECT_EQ(controls.currentSelection(kIdMemoryType), 1);
  EXPECT_EQ(controls.currentSelection(kIdCas), 2);
  EXPECT_FALSE(controls.isChecked(kIdCrtOn));
  EXPECT_TRUE(controls.isChecked(kIdTvOn));
  EXPECT_EQ(controls.itemData(kIdVendor, controls.currentSelection(kIdVendor)), 0x10DEu);
}

// Save lists what it will change before the file dialog; with a warning,
// Enter (the default answer) goes back and nothing is written.
TEST_F(Save, ListsTheChangesFirstAndWarningsMakeEnterGoBack) {
  struct Case {
    const char* name;
    std::function<void(HeadlessControls&)> edit;
    const char* first;  // the message's first line
    const char* listed;
    bool warns;
  };
  writeVendorList("10DE NVIDIA Corporation\n1002 ATI Technologies Inc.\n");
  for (const Case& c : {
           Case{"nothing", [](HeadlessControls&) {},
                "Nothing differs from the loaded image. Save it anyway?", "", false},
           Case{"a clock", [](HeadlessControls& k) { k.drag(kIdCoreSlider, 300); },
                "Save the image with these changes?",
                "\nChanges:\n- Core clock: 275 -> 300 MHz (real 274.50 -> 299.25 MHz)", false},
           Case{"a vendor", [](HeadlessControls& k) { k.choose(kIdVendor, 1); },
                "Save the image with these changes? Read the warnings first.",
                "\n\nWarnings:\n- The vendor ID differs from the original's: 1002 -> 10DE.", true},
       }) {
    SCOPED_TRACE(c.name);
    load(test::buildRom().bytes);
    c.edit(controls);
    platform.messages.clear();
    platform.confirmSaves = false;
    const size_t dialogs = platform.fileRequests.size();
    if (!c.warns) platform.cancelFile();
    controls.click(kIdSave);  // answered as Enter would
    ASSERT_EQ(platform.messages.size(), 1u);
    const ShownMessage shown = platform.messages.front();
    EXPECT_EQ(shown.text.substr(0, shown.text.find('\n')), c.first);
    EXPECT_NE(shown.text.find(c.listed), std::string::npos) << shown.text;
    EXPECT_EQ(shown.caption, c.warns ? "Warning" : "");
    EXPECT_EQ(platform.fileRequests.size(), dialogs + (c.warns ? 0 : 1));
    // Going back writes nothing and keeps the edits.
    platform.messages.clear();
    platform.messageAnswers.push_back(kIdNo);
    controls.click(kIdSave);
    EXPECT_EQ(platform.fileRequests.size(), dialogs + (c.warns ? 0 : 1));
    EXPECT_EQ(editor->HasUnsavedChanges(), std::string(c.name) != "nothing");
    platform.messages.clear();
    platform.confirmSaves = true;
  }
}

}  // namespace
}  // namespace varnel
