// One contract for every implementation of DialogControls: the headless
// controls the behaviour tests use must behave like the controls of each
// real front end. A front end's test program instantiates the suite with a
// backend type that builds the main window's controls:
//   struct Backend { DialogControls& controls(); void setEvents(DialogEvents*); };
//   INSTANTIATE_TYPED_TEST_SUITE_P(Name, ControlsContract, testing::Types<Backend>);
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "ui/control_ids.h"
#include "ui/dialog_controls.h"
#include "ui/dialog_template.h"

namespace varnel::test {

using namespace ui;

// Records events, and what the edit held when its change arrived.
class Recorder : public DialogEvents {
 public:
  explicit Recorder(DialogControls*& controls) : controls_(controls) {}
  void onCommand(int id, Notification code) override {
    events.push_back(std::to_string(id) + ":" + std::to_string(static_cast<int>(code)));
    if (code == Notification::kEditChange) textsSeen.push_back(controls_->text(id));
  }
  void onHScroll(int, int position, int id) override {
    events.push_back(std::to_string(id) + ":scroll" + std::to_string(position));
  }
  std::vector<std::string> events;
  std::vector<std::string> textsSeen;

 private:
  DialogControls*& controls_;
};

template <typename Backend>
class ControlsContract : public testing::Test {
 protected:
  ControlsContract() : recorder(controlsPointer) {
    controlsPointer = &backend.controls();
    backend.setEvents(&recorder);
  }
  ~ControlsContract() override { backend.setEvents(nullptr); }
  DialogControls& controls() { return backend.controls(); }

  Backend backend;
  DialogControls* controlsPointer = nullptr;
  Recorder recorder;
};

TYPED_TEST_SUITE_P(ControlsContract);

TYPED_TEST_P(ControlsContract, InitialStateFollowsTheLayout) {
  const DialogTemplate& layout = mainDialogTemplate();
  for (const ControlTemplate& control : layout.controls) {
    if (control.id == -1) continue;
    ASSERT_TRUE(this->controls().exists(control.id)) << control.id;
    EXPECT_EQ(this->controls().isEnabled(control.id), !control.disabled) << control.id;
    const auto items = layout.items.find(control.id);
    const size_t count = items != layout.items.end() ? items->second.size() : 0;
    EXPECT_EQ(this->controls().itemCount(control.id), static_cast<int>(count)) << control.id;
  }
  EXPECT_FALSE(this->controls().exists(4242));
  EXPECT_EQ(this->controls().currentSelection(kIdCas), -1);
}

TYPED_TEST_P(ControlsContract, TrackbarsClampToTheirRange) {
  DialogControls& c = this->controls();
  c.setTrackbarRange(kIdCoreSlider, 50, 575);
  for (auto [asked, got] : {std::pair{30, 50}, std::pair{600, 575}, std::pair{300, 300},
                            std::pair{-5, 50}, std::pair{575, 575}}) {
    c.setTrackbarPosition(kIdCoreSlider, asked);
    EXPECT_EQ(c.trackbarPosition(kIdCoreSlider), got) << asked;
  }
  EXPECT_TRUE(this->recorder.events.empty());
}

TYPED_TEST_P(ControlsContract, WritingAnEditRaisesItsChangeAtOnce) {
  DialogControls& c = this->controls();
  c.setText(kIdCoreEdit, "123");
  c.setText(kIdCoreEdit, "123");  // the same text is a change too
  c.setText(kIdFileName, "name.rom");
  EXPECT_EQ(this->recorder.events, (std::vector<std::string>{"1007:768", "1007:768", "1002:768"}));
  // The handler already sees the new text.
  EXPECT_EQ(this->recorder.textsSeen, (std::vector<std::string>{"123", "123", "name.rom"}));
  EXPECT_EQ(c.text(kIdFileName), "name.rom");
}

TYPED_TEST_P(ControlsContract, OtherProgrammaticChangesRaiseNothing) {
  DialogControls& c = this->controls();
  c.setCheck(kIdSyncClocks, true);
  c.insertString(kIdCas, 0, "CAS1");
  c.insertString(kIdCas, 1, "CAS2");
  c.setCurrentSelection(kIdCas, 1);
  c.setTrackbarRange(kIdMemorySlider, 50, 575);
  c.setTrackbarPosition(kIdMemorySlider, 200);
  c.enable(kIdSave, true);
  c.resetContent(kIdTvStandard);
  c.insertString(kIdTvStandard, 0, "None");
  EXPECT_TRUE(this->recorder.events.empty());
  EXPECT_TRUE(c.isChecked(kIdSyncClocks));
  EXPECT_TRUE(c.isEnabled(kIdSave));
  EXPECT_EQ(c.currentSelection(kIdCas), 1);
}

TYPED_TEST_P(ControlsContract, SortedListKeepsItemsInTextOrderWithTheirData) {
  DialogControls& c = this->controls();
  struct Added {
    const char* text;
    uint32_t data;
  };
  for (const Added& added : {Added{"Zeta [0x1002]", 0x1002}, Added{"alpha [0x0001]", 1},
                             Added{"Beta [0x0002]", 2}, Added{"Beta [0x0002]", 3}}) {
    const int index = c.addString(kIdVendor, added.text);
    EXPECT_EQ(c.itemText(kIdVendor, index), added.text);
    c.setItemData(kIdVendor, index, added.data);
  }
  ASSERT_EQ(c.itemCount(kIdVendor), 4);
  EXPECT_EQ(c.itemText(kIdVendor, 0), "alpha [0x0001]");
  EXPECT_EQ(c.itemText(kIdVendor, 3), "Zeta [0x1002]");
  EXPECT_EQ(c.itemData(kIdVendor, 0), 1u);
  EXPECT_EQ(c.itemData(kIdVendor, 1), 2u);
  EXPECT_EQ(c.itemData(kIdVendor, 2), 3u);  // an equal text goes after its twin
  EXPECT_EQ(c.itemData(kIdVendor, 3), 0x1002u);
  EXPECT_EQ(c.itemData(kIdVendor, 4), kListError);
  // Adding items selects none of them.
  EXPECT_EQ(c.currentSelection(kIdVendor), -1);
}

TYPED_TEST_P(ControlsContract, UnsortedListInsertsWhereAsked) {
  DialogControls& c = this->controls();
  EXPECT_EQ(c.addString(kIdTvStandard, "B"), 0);
  EXPECT_EQ(c.insertString(kIdTvStandard, 0, "A"), 0);
  EXPECT_EQ(c.insertString(kIdTvStandard, 2, "C"), 2);
  EXPECT_EQ(c.addString(kIdTvStandard, "A2"), 3);
  EXPECT_EQ(c.currentSelection(kIdTvStandard), -1);
  c.setItemData(kIdTvStandard, 2, 7);
  EXPECT_EQ(c.itemData(kIdTvStandard, 2), 7u);
  c.setCurrentSelection(kIdTvStandard, 3);
  EXPECT_EQ(c.currentSelection(kIdTvStandard), 3);
  c.setCurrentSelection(kIdTvStandard, 9);  // out of the list: none
  EXPECT_EQ(c.currentSelection(kIdTvStandard), -1);
  c.resetContent(kIdTvStandard);
  EXPECT_EQ(c.itemCount(kIdTvStandard), 0);
  EXPECT_EQ(c.currentSelection(kIdTvStandard), -1);
}

REGISTER_TYPED_TEST_SUITE_P(ControlsContract, InitialStateFollowsTheLayout,
                            TrackbarsClampToTheirRange, WritingAnEditRaisesItsChangeAtOnce,
                            OtherProgrammaticChangesRaiseNothing,
                            SortedListKeepsItemsInTextOrderWithTheirData,
                            UnsortedListInsertsWhereAsked);

}  // namespace varnel::test
