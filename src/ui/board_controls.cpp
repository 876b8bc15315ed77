// The TV-out, memory-timing and vendor controls.
#include "image/image_fields.h"
#include "scripts/tv_table.h"
#include "ui/editor_dialog.h"

namespace varnel::ui {

void EditorDialog::OnCrtOn() {
  const bool on = controls_.isChecked(kIdCrtOn);
  image.setCrtEnabled(on);
  if (!on) {
    // One output always stays on.
    controls_.setCheck(kIdTvOn, true);
    image.setTvEnabled(true);
  }
}

void EditorDialog::OnTvOn() {
  const bool on = controls_.isChecked(kIdTvOn);
  image.setTvEnabled(on);
  if (!on) {
    controls_.setCheck(kIdCrtOn, true);
    image.setCrtEnabled(true);
  }
}

void EditorDialog::OnTvStandardChange() {
  const int selected = controls_.currentSelection(kIdTvStandard);
  if (selected < 0) return;
  image.setTvStandard(static_cast<int>(controls_.itemData(kIdTvStandard, selected)));
}

void EditorDialog::OnEnableUnsupportedTv() {
  allTvStandards_ = controls_.isChecked(kIdUnsupportedTv);
  FillTvStandardCombo();
}

void EditorDialog::FillTvStandardCombo() {
  const bool all = allTvStandards_;
  controls_.resetContent(kIdTvStandard);
  controls_.insertString(kIdTvStandard, 0, TvStandardNames[0]);
  controls_.setItemData(kIdTvStandard, 0, 0);
  int next = 1;
  bool selected = false;
  for (int code = 1; code < static_cast<int>(TvStandardNames.size()); ++code) {
    // The current standard is always listed, supported or not.
    if (!all && !image.isTvStandardSupported(code) && code != image.tvStandard) continue;
    controls_.insertString(kIdTvStandard, next, TvStandardNames[static_cast<size_t>(code)]);
    controls_.setItemData(kIdTvStandard, next, static_cast<uint32_t>(code));
    if (code == image.tvStandard) {
      controls_.setCurrentSelection(kIdTvStandard, next);
      selected = true;
    }
    ++next;
  }
  if (!selected) controls_.setCurrentSelection(kIdTvStandard, 0);
}

void EditorDialog::OnMemoryTypeChange() {
  const int selected = controls_.currentSelection(kIdMemoryType);
  if (selected < 0) return;
  image.memoryType = static_cast<uint8_t>(selected + 1);
  image.patchMemoryConfig();
  // The memory divider depends on the memory type: apply the clocks again.
  UpdateClockDisplay();
}

void EditorDialog::OnCasChange() {
  const int selected = controls_.currentSelection(kIdCas);
  if (selected < 0) return;
  image.casIndex = static_cast<uint8_t>(selected + 1);
  image.patchMemoryConfig();
  UpdateClockDisplay();
}

void EditorDialog::OnVendorChange() {
  const int selected = controls_.currentSelection(kIdVendor);
  if (selected < 0) return;
  const auto id = static_cast<uint16_t>(controls_.itemData(kIdVendor, selected));
  setVendorId(image, id);
}

}  // namespace varnel::ui
