// The clock trackbars, their edits, the synchronise box and the read-outs.
// While the user types in a clock edit, its text stays as typed: a value
// inside the range moves the trackbar and the read-outs at once, any other
// waits. The typed value is taken (given to the document, which clamps it
// to the range, and written back) when the edit loses the focus, when Enter
// is pressed in it, and before any other action of the window runs. The
// program's own writes into the edits raise change events too; those are
// recognised and pass, since the writer has already moved everything.
#include <cstdio>
#include <utility>

#include "image/image_fields.h"
#include "ui/editor_dialog.h"

namespace varnel::ui {
namespace {

int sliderOf(int editId) {
  return editId == kIdCoreEdit ? kIdCoreSlider : kIdMemorySlider;
}

}  // namespace

// `position` is where the user left the trackbar, as it reported it.
void EditorDialog::OnHScroll(int /*scrollCode*/, int position, int sliderId) {
  if (sliderId == kIdCoreSlider || sliderId == kIdMemorySlider) setClock(sliderId, position);
}

// A clock chosen in the window goes to the document, and the window shows
// what the document made of it.
void EditorDialog::setClock(int sliderId, int mhz) {
  if (sliderId == kIdCoreSlider) {
    document.setCoreClock(mhz);
  } else {
    document.setMemoryClock(mhz);
  }
  showClocks();
}

// The trackbars, the edits the user is not typing in, and the read-outs.
void EditorDialog::showClocks() {
  controls_.setTrackbarPosition(kIdCoreSlider, document.coreMHz());
  controls_.setTrackbarPosition(kIdMemorySlider, document.memoryMHz());
  if (!pendingClockEdits_.core) setDialogInt(kIdCoreEdit, document.coreMHz());
  if (!pendingClockEdits_.memory) setDialogInt(kIdMemoryEdit, document.memoryMHz());
  UpdateClockDisplay();
}

void EditorDialog::OnChangeCoreEdit() {
  followTypedClock(kIdCoreEdit);
}

void EditorDialog::OnChangeMemoryEdit() {
  followTypedClock(kIdMemoryEdit);
}

void EditorDialog::OnCommitCoreEdit() {
  commitClockEdit(kIdCoreEdit);
}

void EditorDialog::OnCommitMemoryEdit() {
  commitClockEdit(kIdMemoryEdit);
}

bool& EditorDialog::clockEditPending(int editId) {
  return editId == kIdCoreEdit ? pendingClockEdits_.core : pendingClockEdits_.memory;
}

void EditorDialog::followTypedClock(int editId) {
  if (writingClockEdit_) return;
  clockEditPending(editId) = true;
  const int typed = dialogInt(editId);
  if (typed < kLowestClockMHz || typed > kHighestClockMHz) return;
  setClock(sliderOf(editId), typed);
}

void EditorDialog::commitClockEdit(int editId) {
  // An edit the user did not type in holds its trackbar's position already;
  // taking it again would rewrite the image for nothing.
  if (!std::exchange(clockEditPending(editId), false)) return;
  setClock(sliderOf(editId), dialogInt(editId));
  // A typed clock is one step of the history once it is taken.
  document.endGesture();
}

void EditorDialog::commitClockEdits() {
  commitClockEdit(kIdCoreEdit);
  commitClockEdit(kIdMemoryEdit);
}

void EditorDialog::OnSynchronizeClocks() {
  const bool on = controls_.isChecked(kIdSyncClocks);
  document.setClocksSynchronized(on);
  controls_.enable(kIdMemorySlider, !on);
  controls_.enable(kIdMemoryEdit, !on);
  if (on) showClocks();
}

void EditorDialog::UpdateClockDisplay() {
  char text[1024];
  const double step = image.clockStepMHz;
  const int coreDivider = image.byteAt(image.coreFeedbackDivPtr);
  if (coreDivider != 0) {
    std::snprintf(text, sizeof text, "%7.2f Mhz (%d * %.2f Mhz)", image.realCoreClock(),
                  coreDivider, step);
    controls_.setText(kIdRealCore, text);
  } else {
    controls_.setText(kIdRealCore, "Not found");
  }
  const int memoryDivider = image.byteAt(image.memoryFeedbackDivPtr);
  if (memoryDivider != 0) {
    // A memory clock beyond what the divider reaches with this memory type
    // gets the divider's limit: the read-out says so.
    const bool limited = !document.memoryLimitReason().empty();
    std::snprintf(text, sizeof text,
                  limited ? "%7.2f Mhz (limit: %d * %.2f Mhz)" : "%7.2f Mhz (%d * %.2f Mhz)",
                  image.realMemoryClock(), memoryDivider, step);
    controls_.setText(kIdRealMemory, text);
  } else {
    controls_.setText(kIdRealMemory, "Not found");
  }
  if (memoryDivider != 0 && image.memoryType != 0 && image.busWidthBits != 0) {
    // The label names the memory type the clock is computed for, so that it
    // never contradicts the type list; a type without a name falls back to
    // the BIOS's own kind, from its configuration text.
    const char* typeName = memoryTypeName(image.memoryType);
    if (typeName == nullptr) typeName = image.isDdrBios ? "DDR" : "SDR";
    std::snprintf(text, sizeof text, "%7.2f Mhz (%s; %d bits bus)", image.effectiveMemoryClock(),
                  typeName, image.busWidthBits);
    controls_.setText(kIdEffectiveMemory, text);
  } else {
    controls_.setText(kIdEffectiveMemory, "Unknown");
  }
}

}  // namespace varnel::ui
