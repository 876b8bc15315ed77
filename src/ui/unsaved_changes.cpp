// What the user would lose by closing the window, and the question that
// offers to save it first.
#include "ui/editor_dialog.h"

namespace varnel::ui {

bool EditorDialog::HasUnsavedChanges() const {
  return document.hasUnsavedChanges();
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
