// What the user would lose by closing the window, and the question that
// offers to save it first.
#include "ui/editor_dialog.h"

namespace varnel::ui {

std::vector<uint8_t> EditorDialog::bytesToSave() const {
  auto copy = std::make_unique<BiosImage>(image);
  applySaveSettings(*copy);
  return std::vector<uint8_t>(copy->bytes.begin(), copy->bytes.begin() + copy->length);
}

// Compares what a save would write, so that a setting only the save applies
// (the unsupported TV standards) counts as a change, and an edit the user
// undid by hand does not.
void EditorDialog::rememberSavedState() {
  savedBytes_ = bytesToSave();
}

bool EditorDialog::HasUnsavedChanges() const {
  return imageLoaded && bytesToSave() != savedBytes_;
}

bool EditorDialog::ConfirmExit() {
  return offerToSaveChanges();
}

// Before anything replaces edited work (the window closes, or a load or
// Current brings another image), the user may save it first: false when
// they cancel, or when the save they chose did not go through.
bool EditorDialog::offerToSaveChanges() {
  commitClockEdits();
  if (!HasUnsavedChanges()) return true;
  switch (showMessage(MessageId::kSaveChanges)) {
    case kIdYes:
      // Closes only when the save went through, not when its dialog was
      // cancelled or writing failed.
      OnSaveBios();
      return !HasUnsavedChanges();
    case kIdNo:
      return true;
    default:
      return false;
  }
}

}  // namespace varnel::ui
