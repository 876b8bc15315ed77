#include <gtest/gtest.h>

#include <cctype>
#include <functional>

#include "support/editor_fixture.h"

namespace varnel {
namespace {

using namespace ui;
using test::Bytes;
using test::EditorFixture;

class Clocks : public EditorFixture {
 protected:
  void loadSample(bool synchronized = false) {
    test::RomSpec spec;
    if (synchronized) {
      spec.memoryClockWord = spec.coreClockWord;
      spec.memoryDivider = spec.coreDivider;
    }
    load(test::buildRom(spec).bytes);
    ASSERT_TRUE(editor->document.isOpen());
  }

  // What must hold after every user action on the clock controls.
  void expectInvariants(const std::string& after) {
    SCOPED_TRACE(after);
    const int core = controls.trackbarPosition(kIdCoreSlider);
    const int memory = controls.trackbarPosition(kIdMemorySlider);
    EXPECT_EQ(controls.text(kIdCoreEdit), std::to_string(core));
    EXPECT_EQ(controls.text(kIdMemoryEdit), std::to_string(memory));
    if (editor->document.clocksSynchronized()) {
      EXPECT_EQ(memory, core);
    }
    // The image is as setClocks leaves it with the final positions.
    const BiosImage& image = editor->image;
    auto expected = std::make_unique<BiosImage>(image);
    expected->setClocks(static_cast<float>(core), static_cast<float>(memory));
    EXPECT_TRUE(expected->bytes == image.bytes);
    EXPECT_EQ(image.wordAt(image.defaultCoreClock), core * 100);
    EXPECT_EQ(image.wordAt(image.defaultMemoryClock), memory * 100);
    // The read-outs show the final dividers.
    char text[64];
    std::snprintf(text, sizeof text, "%7.2f Mhz (%d * 2.25 Mhz)",
                  image.byteAt(image.coreFeedbackDivPtr) * 2.25,
                  image.byteAt(image.coreFeedbackDivPtr));
    EXPECT_EQ(controls.text(kIdRealCore), text);
    std::snprintf(text, sizeof text, "%7.2f Mhz (%d * 2.25 Mhz)",
                  image.byteAt(image.memoryFeedbackDivPtr) * 2.25,
                  image.byteAt(image.memoryFeedbackDivPtr));
    EXPECT_EQ(controls.text(kIdRealMemory), text);
  }
};

struct Action {
  const char* name;
  std::function<void(HeadlessControls&)> act;
  int core, memory;  // positions afterwards
};

// Typed text, taken with Enter.
auto enter(int edit, const char* text) {
  return [edit, text](HeadlessControls& c) {
    c.type(edit, text);
    c.pressEnter();
  };
}

// Sequences of user actions, each followed by the invariants.
TEST_F(Clocks, EveryUserActionEndsConsistent) {
  loadSample();
  const std::vector<Action> actions = {
      {"drag core", [](auto& c) { c.drag(kIdCoreSlider, 300); }, 300, 270},
      {"page step", [](auto& c) { c.drag(kIdCoreSlider, 325); }, 325, 270},
      {"empty edit", enter(kIdCoreEdit, ""), 50, 270},
      {"type 200", enter(kIdCoreEdit, "200"), 200, 270},
      {"letters refused", enter(kIdCoreEdit, "2x"), 200, 270},
      {"drag memory", [](auto& c) { c.drag(kIdMemorySlider, 183); }, 200, 183},
      {"memory 40", enter(kIdMemoryEdit, "40"), 200, 50},
      {"memory 210", enter(kIdMemoryEdit, "210"), 200, 210},
      {"sync on", [](auto& c) { c.click(kIdSyncClocks); }, 200, 200},
      {"drag synced", [](auto& c) { c.drag(kIdCoreSlider, 250); }, 250, 250},
      {"type synced", enter(kIdCoreEdit, "700"), 575, 575},
      {"sync off", [](auto& c) { c.click(kIdSyncClocks); }, 575, 575},
      {"memory alone", [](auto& c) { c.drag(kIdMemorySlider, 100); }, 575, 100},
      {"typed, then its trackbar dragged",
       [](auto& c) {
         c.type(kIdCoreEdit, "400");
         c.drag(kIdCoreSlider, 120);
       },
       120, 100},
      {"typed, then the other trackbar dragged",
       [](auto& c) {
         c.type(kIdCoreEdit, "30");
         c.drag(kIdMemorySlider, 140);
       },
       50, 140},
  };
  for (const Action& action : actions) {
    action.act(controls);
    EXPECT_EQ(controls.trackbarPosition(kIdCoreSlider), action.core) << action.name;
    EXPECT_EQ(controls.trackbarPosition(kIdMemorySlider), action.memory) << action.name;
    expectInvariants(action.name);
  }
}

// How the user ends typing in a clock edit.
enum class Taking { kTab, kEnter, kOtherAction };

struct Typing {
  const char* name;
  bool synchronized;
  int edit;
  std::string text;
  bool paste;  // all at once; otherwise one key at a time over a selected text
  Taking taking;
  int live;   // the trackbar while the text stands as typed
  int taken;  // the clock once taken
};

void PrintTo(const Typing& c, std::ostream* out) {
  *out << c.name;
}

class TypedClocks : public Clocks, public testing::WithParamInterface<Typing> {};

// The text stays as typed, whatever it is; only the taking clamps it.
TEST_P(TypedClocks, StayAsTypedUntilTaken) {
  const Typing& t = GetParam();
  loadSample(t.synchronized);
  const int slider = t.edit == kIdCoreEdit ? kIdCoreSlider : kIdMemorySlider;
  if (t.paste) {
    controls.type(t.edit, t.text);
  } else {
    controls.type(t.edit, t.text.substr(0, 1));
    controls.typeKeys(t.edit, t.text.substr(1));
  }
  EXPECT_EQ(controls.text(t.edit), t.text);
  EXPECT_EQ(controls.trackbarPosition(slider), t.live);
  if (t.synchronized) {
    EXPECT_EQ(controls.trackbarPosition(kIdMemorySlider), t.live);
  }

  switch (t.taking) {
    case Taking::kTab:
      controls.focus(slider);
      break;
    case Taking::kEnter:
      controls.pressEnter();  // takes the value and presses no button
      break;
    case Taking::kOtherAction:
      controls.click(kIdViewFonts);
      ASSERT_EQ(platform.viewedImage, &editor->image);
      break;
  }
  EXPECT_EQ(controls.trackbarPosition(slider), t.taken);
  expectInvariants(t.name);
  if (t.synchronized) {
    EXPECT_EQ(controls.trackbarPosition(kIdMemorySlider), t.taken);
  }
  // A second taking finds nothing new.
  const Bytes before = imageBytes();
  controls.pressEnter();
  EXPECT_EQ(imageBytes(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TypedClocks,
    testing::Values(
        Typing{"keys 183, Tab", false, kIdCoreEdit, "183", false, Taking::kTab, 183, 183},
        Typing{"keys 30, Tab", false, kIdCoreEdit, "30", false, Taking::kTab, 275, 50},
        Typing{"paste 600, Tab", false, kIdCoreEdit, "600", true, Taking::kTab, 275, 575},
        Typing{"keys 300, Enter", false, kIdCoreEdit, "300", false, Taking::kEnter, 300, 300},
        Typing{"keys 250, then another button", false, kIdCoreEdit, "250", false,
               Taking::kOtherAction, 250, 250},
        Typing{"keys 5750 pass 575", false, kIdCoreEdit, "5750", false, Taking::kEnter, 575, 575},
        Typing{"keys 0183", false, kIdCoreEdit, "0183", false, Taking::kTab, 183, 183},
        Typing{"empty paste", false, kIdCoreEdit, "", true, Taking::kEnter, 275, 50},
        Typing{"memory keys 90", false, kIdMemoryEdit, "90", false, Taking::kTab, 90, 90},
        Typing{"memory keys 9, then another button", false, kIdMemoryEdit, "9", false,
               Taking::kOtherAction, 270, 50},
        Typing{"synchronized keys 183", true, kIdCoreEdit, "183", false, Taking::kEnter, 183, 183},
        Typing{"synchronized paste 20", true, kIdCoreEdit, "20", true, Taking::kTab, 275, 50}),
    [](const testing::TestParamInfo<Typing>& info) {
      std::string name;
      for (char c : std::string(info.param.name))
        name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
      return name;
    });

TEST_F(Clocks, SynchronizeDisablesTheMemoryControls) {
  loadSample();
  controls.click(kIdSyncClocks);
  EXPECT_TRUE(editor->document.clocksSynchronized());
  EXPECT_FALSE(controls.isEnabled(kIdMemorySlider));
  EXPECT_FALSE(controls.isEnabled(kIdMemoryEdit));
  EXPECT_EQ(controls.trackbarPosition(kIdMemorySlider), 275);
  // Both clocks are applied at once: both words now 27500.
  EXPECT_EQ(editor->image.wordAt(editor->image.defaultMemoryClock), 27500);
  controls.click(kIdSyncClocks);
  EXPECT_FALSE(editor->document.clocksSynchronized());
  EXPECT_TRUE(controls.isEnabled(kIdMemorySlider));
  EXPECT_EQ(controls.trackbarPosition(kIdMemorySlider), 275);
}

TEST_F(Clocks, FirstEditRewritesWordsToWholeMegahertz) {
  test::RomSpec spec;
  spec.coreClockWord = 16650;
  load(test::buildRom(spec).bytes);
  EXPECT_EQ(editor->image.wordAt(editor->image.defaultCoreClock), 16650);
  controls.drag(kIdMemorySlider, 271);
  EXPECT_EQ(editor->image.wordAt(editor->image.defaultCoreClock), 16700);
}

TEST_F(Clocks, ReadOutsToTheCharacter) {
  loadSample();
  controls.drag(kIdCoreSlider, 200);
  controls.drag(kIdMemorySlider, 183);
  EXPECT_EQ(controls.text(kIdRealCore), " 200.25 Mhz (89 * 2.25 Mhz)");
  EXPECT_EQ(controls.text(kIdRealMemory), " 182.25 Mhz (81 * 2.25 Mhz)");
  EXPECT_EQ(controls.text(kIdEffectiveMemory), " 364.50 Mhz (DDR; 128 bits bus)");
}

TEST_F(Clocks, MissingValuesReadNotFoundAndUnknown) {
  test::RomSpec spec;
  spec.memoryDivider = 0;
  load(test::buildRom(spec).bytes);
  EXPECT_EQ(controls.text(kIdRealMemory), "Not found");
  EXPECT_EQ(controls.text(kIdEffectiveMemory), "Unknown");

  spec = {};
  spec.loopForm = test::LoopForm::kNone;
  test::BuiltRom rom = test::buildRom(spec);
  // No register-0x12 entry anywhere: the bus width is unknown.
  rom.bytes[static_cast<size_t>(rom.layout.memoryConfigEntry)] = 0x13;
  test::sealChecksums(rom.bytes, rom.layout.checksumBlockOffset, rom.layout.spareByte);
  load(rom.bytes);
  ASSERT_TRUE(editor->document.isOpen());
  EXPECT_EQ(editor->image.busWidthBits, 0);
  EXPECT_EQ(controls.text(kIdEffectiveMemory), "Unknown");

  spec = {};
  spec.loopForm = test::LoopForm::kNone;
  rom = test::buildRom(spec);
  rom.bytes[static_cast<size_t>(rom.layout.pllEntry)] = 0x0B;  // no divider entry
  test::sealChecksums(rom.bytes, rom.layout.checksumBlockOffset, rom.layout.spareByte);
  load(rom.bytes);
  EXPECT_EQ(controls.text(kIdRealCore), "Not found");
  EXPECT_EQ(controls.text(kIdRealMemory), "Not found");
}

// The effective clock is computed for the memory type in the list, and its
// label says that type, whatever kind of BIOS it is.
TEST_F(Clocks, EffectiveLabelFollowsTheMemoryTypeChosen) {
  struct Case {
    const char* configText;
    int typeIndex;  // in the memory type list
    const char* realMemory;
    const char* effective;
  };
  // Memory type 1 on an SDR BIOS: half the clock feeds the divider.
  for (const Case& c :
       {Case{"R250AGP SGS1UN", 0, "  90.00 Mhz (40 * 2.25 Mhz)", " 180.00 Mhz (DDR; 128 bits bus)"},
        Case{"R250AGP SGS1UN", 1, " 182.25 Mhz (81 * 2.25 Mhz)", " 182.25 Mhz (SDR; 128 bits bus)"},
        Case{"R250AGP DGD1UN", 1, " 364.50 Mhz (162 * 2.25 Mhz)",
             " 364.50 Mhz (SDR; 128 bits bus)"}}) {
    SCOPED_TRACE(std::string(c.configText) + " type " + std::to_string(c.typeIndex));
    test::RomSpec spec;
    spec.configText = c.configText;
    load(test::buildRom(spec).bytes);
    controls.choose(kIdMemoryType, c.typeIndex);
    controls.drag(kIdMemorySlider, 183);
    EXPECT_EQ(controls.text(kIdRealMemory), c.realMemory);
    EXPECT_EQ(controls.text(kIdEffectiveMemory), c.effective);
  }
}

// SDR memory on a DDR BIOS: twice the clock feeds the divider, which
// reaches 287 MHz at most; beyond, the read-out shows the limit it gets.
TEST_F(Clocks, AMemoryClockBeyondTheDividerShowsTheLimit) {
  loadSample();
  controls.choose(kIdMemoryType, 1);
  struct Case {
    int memory;
    const char* realMemory;
  };
  for (const Case& c :
       {Case{287, " 573.75 Mhz (255 * 2.25 Mhz)"}, Case{288, " 573.75 Mhz (limit: 255 * 2.25 Mhz)"},
        Case{575, " 573.75 Mhz (limit: 255 * 2.25 Mhz)"},
        Case{200, " 398.25 Mhz (177 * 2.25 Mhz)"}}) {
    controls.drag(kIdMemorySlider, c.memory);
    EXPECT_EQ(controls.text(kIdRealMemory), c.realMemory) << c.memory;
  }
}

}  // namespace
}  // namespace varnel
