#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <iterator>
#include <random>
#include <set>

#include "support/editor_fixture.h"
#include "ui/vendor_list.h"

namespace varnel {
namespace {

using namespace ui;
using test::EditorFixture;

// Enabled at start-up and after a failed load: the four buttons that need
// no image, the read-only fields and the line under the buttons.
const std::set<int> kAlwaysEnabled = {
    kIdHelp,     kIdLoad,     kIdCurrent,    kIdCancel,          kIdFileName, kIdTitle,
    kIdDateTime, kIdRealCore, kIdRealMemory, kIdEffectiveMemory, kIdScopeNote};

void expectNoImageState(const HeadlessControls& controls) {
  for (int id : controls.ids()) {
    EXPECT_EQ(controls.isEnabled(id), kAlwaysEnabled.count(id) != 0) << "control " << id;
  }
}

class Startup : public EditorFixture {};

TEST_F(Startup, WindowStartsWithNoImageAndEditingControlsDisabled) {
  startUp();
  EXPECT_EQ(controls.windowTitle, "Varnel by Pell Ardrake aka Quill88 - Version 1.0");
  EXPECT_FALSE(editor->document.isOpen());
  expectNoImageState(controls);
  // No vendor list beside the program: an empty list, and no message.
  EXPECT_EQ(controls.itemCount(kIdVendor), 0);
  EXPECT_TRUE(platform.messages.empty());
}

TEST_F(Startup, ClockTrackbarsAreConfigured) {
  startUp();
  for (int id : {kIdCoreSlider, kIdMemorySlider}) {
    EXPECT_EQ(controls.trackbarRange(id), std::make_pair(50, 575));
    EXPECT_EQ(controls.trackbarLineSize(id), 1);
    EXPECT_EQ(controls.trackbarPageSize(id), 25);
    EXPECT_EQ(controls.trackbarTickFrequency(id), 25);
  }
}

TEST_F(Startup, FixedListsHoldTheirItems) {
  startUp();
  EXPECT_EQ(controls.items(kIdMemoryType), (std::vector<std::string>{"DDR", "SDR"}));
  EXPECT_EQ(controls.items(kIdCas),
            (std::vector<std::string>{"CAS1 (Ultra)", "CAS2 (Normal)", "CAS3 (Slow)"}));
}

TEST_F(Startup, ProgramDirectoryComesFromThePlatform) {
  startUp();
  EXPECT_EQ(editor->GetProgramDirectory(), programDir.path() + "/");
}

TEST_F(Startup, VendorListIsReadBesideTheProgramAndSorted) {
  writeVendorList("1002 Zeta\n10DE Alpha\n10de alpha twin\n");
  startUp();
  EXPECT_EQ(controls.items(kIdVendor),
            (std::vector<std::string>{"Alpha [0x10DE]", "alpha twin [0x10DE]", "Zeta [0x1002]"}));
  EXPECT_EQ(controls.itemData(kIdVendor, 0), 0x10DEu);
  EXPECT_EQ(controls.itemData(kIdVendor, 2), 0x1002u);
}

TEST_F(Startup, LongLinesAreReadInPiecesOf1023Characters) {
  // 1023 characters of one line form a piece; the rest is judged alone.
  std::string line = "1002 " + std::string(1018, 'N') + "ABCD Tail\n";
  writeVendorList(line);
  startUp();
  const std::vector<std::string> items = controls.items(kIdVendor);
  ASSERT_EQ(items.size(), 2u);
  // The first piece's name is shortened so that the id still fits.
  EXPECT_EQ(items[0], std::string(1014, 'N') + " [0x1002]");
  EXPECT_EQ(items[1], "Tail [0xABCD]");
}

struct VendorLine {
  const char* line;
  const char* text;  // nullptr: no item
  uint32_t id;
};

class VendorLines : public testing::TestWithParam<VendorLine> {};

TEST_P(VendorLines, YieldTheirItem) {
  const VendorLine& c = GetParam();
  const std::optional<VendorItem> item = parseVendorLine(c.line);
  if (c.text == nullptr) {
    EXPECT_FALSE(item) << c.line;
    return;
  }
  ASSERT_TRUE(item) << c.line;
  EXPECT_EQ(item->text, c.text);
  EXPECT_EQ(item->id, c.id);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, VendorLines,
    testing::Values(
        VendorLine{"1002 ATI Technologies Inc.\n", "ATI Technologies Inc. [0x1002]", 0x1002},
        VendorLine{"1002 ATI Technologies Inc.\r\n", "ATI Technologies Inc. [0x1002]", 0x1002},
        VendorLine{"1002\tATI Technologies Inc.\n", "ATI Technologies Inc. [0x1002]", 0x1002},
        VendorLine{"1002    ATI Technologies Inc.  \n", "ATI Technologies Inc. [0x1002]", 0x1002},
        VendorLine{"1002 ATI Technologies Inc.", "ATI Technologies Inc. [0x1002]", 0x1002},
        VendorLine{"  1F Foo\n", "Foo [0x001F]", 0x1F},
        VendorLine{"12G4 Foo\n", "Foo [0x0012]", 0x12},
        VendorLine{"10de Foo\n", "Foo [0x10DE]", 0x10DE}, VendorLine{"-0de Foo\n", nullptr, 0},
        VendorLine{"+1F Foo\n", nullptr, 0}, VendorLine{"0x1F Foo\n", "Foo [0x0000]", 0},
        VendorLine{"1002\n", nullptr, 0}, VendorLine{"1002 \n", nullptr, 0},
        VendorLine{"1002 \t \r\n", nullptr, 0}, VendorLine{"10021 Foo\n", nullptr, 0},
        VendorLine{"XYZW Foo\n", nullptr, 0}, VendorLine{"\n", nullptr, 0}));

TEST_F(Startup, OnlyTheFirstMiBOfTheVendorListIsRead) {
  // Lines of 64 characters: the first MiB holds 16384 of them exactly.
  std::string list;
  for (int i = 0; i < 16384 + 10; ++i) {
    char line[65];
    std::snprintf(line, sizeof line, "%04X %-58s\n", i & 0xFFFF,
                  ("Vendor " + std::to_string(i)).c_str());
    list += line;
  }
  ASSERT_EQ(list.size(), (16384 + 10) * 64u);
  writeVendorList(list);
  startUp();
  EXPECT_EQ(controls.itemCount(kIdVendor), 16384);
}

#ifndef _WIN32
TEST_F(Startup, AVendorListThatIsAFifoIsNotRead) {
  // It would wait for a writer for ever.
  ASSERT_EQ(::mkfifo(programDir.file("Vendor.IDs").c_str(), 0600), 0);
  startUp();
  EXPECT_EQ(controls.itemCount(kIdVendor), 0);
}
#endif

TEST_F(Startup, AVendorListThatIsAFolderIsNotRead) {
  ASSERT_TRUE(std::filesystem::create_directory(programDir.file("Vendor.IDs")));
  startUp();
  EXPECT_EQ(controls.itemCount(kIdVendor), 0);
}

// The list is sorted once; it must end exactly as adding each item to the
// sorted list one by one would leave it, data included.
TEST_F(Startup, SortedOnceAsTheListWouldSortEachItem) {
  std::mt19937 random(1307);
  const char* names[] = {"acme", "Acme", "ACME", "acme corp", "Acm", "b", "B", "a b", "a-b", "_x"};
  std::string list;
  HeadlessControls oneByOne(mainDialogTemplate());
  for (int i = 0; i < 3000; ++i) {
    const std::string line = std::to_string(1000 + random() % 9000).substr(0, 4) + " " +
                             names[random() % std::size(names)] + "\n";
    list += line;
    const std::optional<VendorItem> item = parseVendorLine(line.c_str());
    ASSERT_TRUE(item);
    oneByOne.setItemData(kIdVendor, oneByOne.addString(kIdVendor, item->text), item->id);
  }
  writeVendorList(list);
  startUp();
  ASSERT_EQ(controls.items(kIdVendor), oneByOne.items(kIdVendor));
  for (int i = 0; i < controls.itemCount(kIdVendor); ++i) {
    ASSERT_EQ(controls.itemData(kIdVendor, i), oneByOne.itemData(kIdVendor, i)) << i;
  }
}

TEST_F(Startup, ALongVendorListTakesLinearTime) {
  std::string list;
  for (int i = 0; i < 30000; ++i)
    list += "10DE Vendor number " + std::to_string(30000 - i) + "\n";
  writeVendorList(list);
  const std::clock_t start = std::clock();
  startUp();
  const double seconds = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
  EXPECT_EQ(controls.itemCount(kIdVendor), 30000);
  // Sorting each item into the list took about a minute.
  EXPECT_LT(seconds, 2.0);
}

TEST_F(Startup, WithoutAProgramDirectoryTheListIsLookedUpInTheCurrentFolder) {
  platform.programDir = "";
  startUp();
  EXPECT_EQ(editor->GetProgramDirectory(), "");
}

}  // namespace
}  // namespace varnel
