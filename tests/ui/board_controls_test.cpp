#include <gtest/gtest.h>

#include "support/editor_fixture.h"

namespace varnel {
namespace {

using namespace ui;
using test::EditorFixture;
using test::RomSpec;

class Board : public EditorFixture {
 protected:
  test::BuiltRom loadWith(const RomSpec& spec) {
    test::BuiltRom rom = test::buildRom(spec);
    load(rom.bytes);
    EXPECT_TRUE(editor->document.isOpen());
    return rom;
  }
  uint8_t tvByte(const test::BuiltRom& rom, int offset) const {
    return editor->image.bytes[static_cast<size_t>(rom.layout.tvTableOffset + offset)];
  }
};

struct TvListCase {
  const char* name;
  uint8_t mask;
  uint8_t standard;
  bool all;
  std::vector<std::string> items;
  std::vector<uint32_t> data;
  int selection;
};

class TvList : public Board, public testing::WithParamInterface<TvListCase> {};

TEST_P(TvList, ListsTheStandardsTheMaskAllows) {
  const TvListCase& c = GetParam();
  RomSpec spec;
  spec.tvMask = c.mask;
  spec.tvStandardByte = c.standard;
  loadWith(spec);
  if (controls.isChecked(kIdUnsupportedTv) != c.all) controls.click(kIdUnsupportedTv);
  EXPECT_EQ(controls.items(kIdTvStandard), c.items);
  for (size_t i = 0; i < c.data.size(); ++i) {
    EXPECT_EQ(controls.itemData(kIdTvStandard, static_cast<int>(i)), c.data[i]) << i;
  }
  EXPECT_EQ(controls.currentSelection(kIdTvStandard), c.selection);
}

const std::vector<std::string> kAllNames = {"None",   "NTSC",      "PAL",    "PAL-M", "PAL-60",
                                            "NTSC-J", "SCART RGB", "PAL-CN", "PAL-N"};

INSTANTIATE_TEST_SUITE_P(
    Masks, TvList,
    testing::Values(
        TvListCase{
            "SupportedOnly", 0x05, 2, false, {"None", "NTSC", "PAL", "PAL-M"}, {0, 1, 2, 3}, 2},
        TvListCase{"AllStandards", 0x05, 2, true, kAllNames, {0, 1, 2, 3, 4, 5, 6, 7, 8}, 2},
        TvListCase{"NoneOnly", 0x00, 0, false, {"None"}, {0}, 0},
        TvListCase{"UnnamedCode", 0x01, 9, false, {"None", "NTSC"}, {0, 1}, 0},
        TvListCase{"LastCode", 0x80, 8, false, {"None", "PAL-N"}, {0, 8}, 1}),
    [](const testing::TestParamInfo<TvListCase>& info) { return std::string(info.param.name); });

TEST_F(Board, PickingAStandardWritesItsCode) {
  RomSpec spec;
  spec.tvStandardByte = 0x51;
  const test::BuiltRom rom = loadWith(spec);
  controls.choose(kIdTvStandard, 2);  // PAL
  EXPECT_EQ(tvByte(rom, 7), 0x52);
  EXPECT_EQ(editor->image.tvStandard, 2);
  controls.choose(kIdTvStandard, 0);  // None
  EXPECT_EQ(tvByte(rom, 7), 0x50);
}

// The boxes show what the document made of a click: turning the last
// output off turns the other on.
TEST_F(Board, OutputBoxesShowBothOutputsAfterAClick) {
  struct Case {
    uint8_t outputs;
    int clicked;
    bool crt, tv;
  };
  for (const Case& c : {Case{0x01, kIdCrtOn, false, true}, Case{0x02, kIdTvOn, true, false},
                        Case{0x81, kIdTvOn, true, true}}) {
    RomSpec spec;
    spec.tvOutputs = c.outputs;
    loadWith(spec);
    controls.click(c.clicked);
    EXPECT_EQ(controls.isChecked(kIdCrtOn), c.crt) << int{c.outputs};
    EXPECT_EQ(controls.isChecked(kIdTvOn), c.tv) << int{c.outputs};
  }
}

TEST_F(Board, MemoryTypeAndCasPatchEveryScriptAndRecomputeTheDivider) {
  const test::BuiltRom rom = loadWith({});
  controls.drag(kIdMemorySlider, 270);
  EXPECT_EQ(editor->image.byteAt(editor->image.memoryFeedbackDivPtr), 120);
  controls.choose(kIdMemoryType, 1);  // SDR, CAS stays 2
  const size_t entry = static_cast<size_t>(rom.layout.memoryConfigEntry);
  EXPECT_EQ(editor->image.bytes[entry + 1], 0x22);
  EXPECT_EQ(editor->image.bytes[entry + 2], 0x22);
  EXPECT_EQ(editor->image.bytes[static_cast<size_t>(rom.layout.type1Scripts[2]) + 1], 0x22);
  // A DDR BIOS with SDR memory: twice the clock feeds the divider.
  EXPECT_EQ(editor->image.byteAt(editor->image.memoryFeedbackDivPtr), 240);
  EXPECT_EQ(controls.text(kIdEffectiveMemory), " 540.00 Mhz (SDR; 128 bits bus)");
  controls.choose(kIdCas, 2);  // CAS3
  EXPECT_EQ(editor->image.bytes[entry + 1], 0x23);
  EXPECT_EQ(editor->image.casIndex, 3);
}

TEST_F(Board, VendorChoiceWritesBothCopies) {
  writeVendorList("10DE NVIDIA Corporation\n1002 ATI Technologies Inc.\n");
  const test::BuiltRom rom = loadWith({});
  const auto header = static_cast<size_t>(rom.layout.headerOffset);
  controls.choose(kIdVendor, 1);  // NVIDIA sorts after ATI
  EXPECT_EQ(editor->image.wordAt(static_cast<int64_t>(header) + 0x1C), 0x10DE);
  EXPECT_EQ(editor->image.wordAt(0x70), 0x10DE);
  // The other word of the identifier pair stays.
  EXPECT_EQ(editor->image.wordAt(static_cast<int64_t>(header) + 0x1E), 0x0002);
  EXPECT_EQ(editor->image.wordAt(0x72), 0x0002);
  controls.choose(kIdVendor, 0);
  EXPECT_EQ(editor->image.bytes[header + 0x1C], 0x02);
  EXPECT_EQ(editor->image.bytes[header + 0x1D], 0x10);
}

}  // namespace
}  // namespace varnel
