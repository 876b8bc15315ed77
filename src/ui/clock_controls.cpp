// The clock trackbars, their edits, the synchronise box and the read-outs.
// Writing an edit's text runs its change handler at once, so these handlers
// also run inside each other; the chain ends when edit and trackbar agree.
#include <cstdio>

#include "ui/editor_dialog.h"

namespace varnel::ui {

void EditorDialog::OnHScroll(int /*scrollCode*/, int /*position*/, int sliderId) {
  if (sliderId == kIdCoreSlider) {
    const int p = controls_.trackbarPosition(kIdCoreSlider);
    setDialogInt(kIdCoreEdit, p);
    if (clocksSynchronized) {
      controls_.setTrackbarPosition(kIdMemorySlider, p);
      setDialogInt(kIdMemoryEdit, p);
    }
    UpdateClockDisplay();
  } else if (sliderId == kIdMemorySlider) {
    setDialogInt(kIdMemoryEdit, controls_.trackbarPosition(kIdMemorySlider));
    UpdateClockDisplay();
  }
}

void EditorDialog::OnChangeCoreEdit() {
  const int v = dialogInt(kIdCoreEdit);
  controls_.setTrackbarPosition(kIdCoreSlider, v);
  const int p = controls_.trackbarPosition(kIdCoreSlider);
  if (v != p || v == 0) setDialogInt(kIdCoreEdit, p);
  if (clocksSynchronized) {
    setDialogInt(kIdMemoryEdit, p);
  } else {
    UpdateClockDisplay();
  }
}

void EditorDialog::OnChangeMemoryEdit() {
  const int v = dialogInt(kIdMemoryEdit);
  controls_.setTrackbarPosition(kIdMemorySlider, v);
  const int p = controls_.trackbarPosition(kIdMemorySlider);
  if (v != p || v == 0) setDialogInt(kIdMemoryEdit, p);
  UpdateClockDisplay();
}

void EditorDialog::OnSynchronizeClocks() {
  clocksSynchronized = controls_.isChecked(kIdSyncClocks);
  controls_.enable(kIdMemorySlider, !clocksSynchronized);
  controls_.enable(kIdMemoryEdit, !clocksSynchronized);
  if (!clocksSynchronized) return;
  controls_.setTrackbarPosition(kIdMemorySlider, controls_.trackbarPosition(kIdCoreSlider));
  setDialogInt(kIdMemoryEdit, dialogInt(kIdCoreEdit));
  UpdateClockDisplay();
}

void EditorDialog::UpdateClockDisplay() {
  if (imageLoaded) {
    image.setClocks(static_cast<float>(controls_.trackbarPosition(kIdCoreSlider)),
                    static_cast<float>(controls_.trackbarPosition(kIdMemorySlider)));
  }
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
    std::snprintf(text, sizeof text, "%7.2f Mhz (%d * %.2f Mhz)", image.realMemoryClock(),
                  memoryDivider, step);
    controls_.setText(kIdRealMemory, text);
  } else {
    controls_.setText(kIdRealMemory, "Not found");
  }
  if (memoryDivider != 0 && image.memoryType != 0 && image.busWidthBits != 0) {
    // The label follows the BIOS's configuration text, not the memory type.
    std::snprintf(text, sizeof text, "%7.2f Mhz (%s; %d bits bus)", image.effectiveMemoryClock(),
                  image.isDdrBios ? "DDR" : "SDR", image.busWidthBits);
    controls_.setText(kIdEffectiveMemory, text);
  } else {
    controls_.setText(kIdEffectiveMemory, "Unknown");
  }
}

}  // namespace varnel::ui
