#include <gtest/gtest.h>

#include <functional>

#include "support/editor_fixture.h"

namespace varnel {
namespace {

using namespace ui;
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
    ASSERT_TRUE(editor->imageLoaded);
  }

  // What must hold after every user action on the clock controls.
  void expectInvariants(const std::string& after) {
    SCOPED_TRACE(after);
    const int core = controls.trackbarPosition(kIdCoreSlider);
    const int memory = controls.trackbarPosition(kIdMemorySlider);
    EXPECT_EQ(controls.text(kIdCoreEdit), std::to_string(core));
    EXPECT_EQ(controls.text(kIdMemoryEdit), std::to_string(memory));
    if (editor->clocksSynchronized) {
      EXPECT_EQ(memory, core);
    }
    // The image is as setClocks leaves it with the final positions.
    BiosImage& image = editor->image;
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
  std::function<void(test::FakeControls&)> act;
  int core, memory;  // positions afterwards
};

// Sequences of user actions, each followed by the invariants.
TEST_F(Clocks, EveryUserActionEndsConsistent) {
  loadSample();
  const std::vector<Action> actions = {
      {"drag core", [](auto& c) { c.drag(kIdCoreSlider, 300); }, 300, 270},
      {"page step", [](auto& c) { c.drag(kIdCoreSlider, 325); }, 325, 270},
      {"type 30", [](auto& c) { c.type(kIdCoreEdit, "30"); }, 50, 270},
      {"empty edit", [](auto& c) { c.type(kIdCoreEdit, ""); }, 50, 270},
      {"paste 600", [](auto& c) { c.type(kIdCoreEdit, "600"); }, 575, 270},
      {"type 1", [](auto& c) { c.type(kIdCoreEdit, "1"); }, 50, 270},
      {"keys 83", [](auto& c) { c.typeKeys(kIdCoreEdit, "83"); }, 575, 270},
      {"type 200", [](auto& c) { c.type(kIdCoreEdit, "200"); }, 200, 270},
      {"letters refused", [](auto& c) { c.type(kIdCoreEdit, "2x"); }, 200, 270},
      {"drag memory", [](auto& c) { c.drag(kIdMemorySlider, 183); }, 200, 183},
      {"memory 40", [](auto& c) { c.type(kIdMemoryEdit, "40"); }, 200, 50},
      {"memory 210", [](auto& c) { c.type(kIdMemoryEdit, "210"); }, 200, 210},
      {"sync on", [](auto& c) { c.click(kIdSyncClocks); }, 200, 200},
      {"drag synced", [](auto& c) { c.drag(kIdCoreSlider, 250); }, 250, 250},
      {"type synced", [](auto& c) { c.type(kIdCoreEdit, "700"); }, 575, 575},
      {"sync off", [](auto& c) { c.click(kIdSyncClocks); }, 575, 575},
      {"memory alone", [](auto& c) { c.drag(kIdMemorySlider, 100); }, 575, 100},
  };
  for (const Action& action : actions) {
    action.act(controls);
    EXPECT_EQ(controls.trackbarPosition(kIdCoreSlider), action.core) << action.name;
    EXPECT_EQ(controls.trackbarPosition(kIdMemorySlider), action.memory) << action.name;
    expectInvariants(action.name);
  }
}

TEST_F(Clocks, SynchronizeDisablesTheMemoryControls) {
  loadSample();
  controls.click(kIdSyncClocks);
  EXPECT_TRUE(editor->clocksSynchronized);
  EXPECT_FALSE(controls.isEnabled(kIdMemorySlider));
  EXPECT_FALSE(controls.isEnabled(kIdMemoryEdit));
  EXPECT_EQ(controls.trackbarPosition(kIdMemorySlider), 275);
  // Both clocks are applied at once: both words now 27500.
  EXPECT_EQ(editor->image.wordAt(editor->image.defaultMemoryClock), 27500);
  controls.click(kIdSyncClocks);
  EXPECT_FALSE(editor->clocksSynchronized);
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
  ASSERT_TRUE(editor->imageLoaded);
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

TEST_F(Clocks, EffectiveLabelFollowsTheBiosNotTheMemoryType) {
  test::RomSpec spec;
  spec.configText = "R250AGP SGS1UN";  // an SDR BIOS
  load(test::buildRom(spec).bytes);
  controls.drag(kIdMemorySlider, 183);
  // memory type 1 on an SDR BIOS: half the clock feeds the divider.
  EXPECT_EQ(controls.text(kIdRealMemory), "  90.00 Mhz (40 * 2.25 Mhz)");
  EXPECT_EQ(controls.text(kIdEffectiveMemory), " 180.00 Mhz (SDR; 128 bits bus)");
}

}  // namespace
}  // namespace varnel
