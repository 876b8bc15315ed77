// The TV-out, memory-timing and vendor controls.
#include "image/image_fields.h"
#include "scripts/tv_table.h"
#include "ui/editor_dialog.h"

namespace varnel::ui {

void EditorDialog::OnCrtOn() {
  document.setCrtOutput(controls_.isChecked(kIdCrtOn));
  showOutputs();
}

void EditorDialog::OnTvOn() {
  document.setTvOutput(controls_.isChecked(kIdTvOn));
  showOutputs();
}

// One output always stays on: turning one off may have turned the other on.
void EditorDialog::showOutputs() {
  controls_.setCheck(kIdCrtOn, isCrtOutputOn(image));
  controls_.setCheck(kIdTvOn, isTvOutputOn(image));
}

void EditorDialog::OnTvStandardChange() {
  const int selected = controls_.currentSelection(kIdTvStandard);
  if (selected < 0) return;
  document.setTvStandard(static_cast<int>(controls_.itemData(kIdTvStandard, selected)));
}

void EditorDialog::OnEnableUnsupportedTv() {
  document.setAllTvStandards(controls_.isChecked(kIdUnsupportedTv));
  FillTvStandardCombo();
}

void EditorDialog::FillTvStandardCombo() {
  controls_.resetContent(kIdTvStandard);
  int next = 0;
  int current = 0;
  for (const int code : document.offeredTvStandards()) {
    controls_.insertString(kIdTvStandard, next, TvStandardNames[static_cast<size_t>(code)]);
    controls_.setItemData(kIdTvStandard, next, static_cast<uint32_t>(code));
    if (code == image.tvStandard) current = next;
    ++next;
  }
  controls_.setCurrentSelection(kIdTvStandard, current);
}

void EditorDialog::OnMemoryTypeChange() {
  const int selected = controls_.currentSelection(kIdMemoryType);
  if (selected < 0) return;
  document.setMemoryType(selected + 1);
  UpdateClockDisplay();
}

void EditorDialog::OnCasChange() {
  const int selected = controls_.currentSelection(kIdCas);
  if (selected < 0) return;
  document.setCas(selected + 1);
  UpdateClockDisplay();
}

void EditorDialog::OnVendorChange() {
  const int selected = controls_.currentSelection(kIdVendor);
  if (selected < 0) return;
  const auto id = static_cast<uint16_t>(controls_.itemData(kIdVendor, selected));
  document.setVendorId(id);
}

}  // namespace varnel::ui
