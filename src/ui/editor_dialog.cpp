// Start-up, reset and the event table of the main window.
#include "ui/editor_dialog.h"

#include <utility>

#include "image/image_fields.h"
#include "ui/dialog_text.h"
#include "ui/vendor_list.h"

namespace varnel::ui {
namespace {

// Every control that shows or edits the image; disabled while none is on show.
constexpr int kEditingControls[] = {kIdCoreSlider, kIdMemorySlider, kIdCoreEdit,   kIdMemoryEdit,
                                    kIdMemoryType, kIdCas,          kIdSave8x8,    kIdLoad8x8,
                                    kIdSave8x16,   kIdLoad8x16,     kIdViewFonts,  kIdSave,
                                    kIdCrtOn,      kIdTvOn,         kIdTvStandard, kIdUnsupportedTv,
                                    kIdSyncClocks, kIdUndo,         kIdRedo,       kIdRevert};

}  // namespace

EditorDialog::EditorDialog(DialogControls& controls, Platform& platform)
    : controls_(controls), platform_(platform) {}

bool EditorDialog::OnInitDialog() {
  controls_.setWindowTitle(kWindowTitle);
  configureClockSlider(kIdCoreSlider);
  configureClockSlider(kIdMemorySlider);
  fillFixedList(kIdMemoryType, kMemoryTypeNames);
  fillFixedList(kIdCas, kCasNames);
  hasVendorCombo_ = controls_.exists(kIdVendor);
  if (hasVendorCombo_) LoadVendorList();
  return true;
}

void EditorDialog::configureClockSlider(int id) {
  // Positions are whole MHz: arrow keys move 1 MHz, page clicks 25.
  controls_.configureTrackbar(id, 1, 25, 25);
  controls_.setTrackbarRange(id, kLowestClockMHz, kHighestClockMHz);
}

void EditorDialog::fillFixedList(int id, std::span<const char* const> names) {
  controls_.resetContent(id);
  for (size_t i = 0; i < names.size(); ++i)
    controls_.insertString(id, static_cast<int>(i), names[i]);
}

std::string EditorDialog::GetProgramDirectory() {
  return platform_.programDirectory();
}

void EditorDialog::LoadVendorList() {
  const std::optional<std::string> list =
      platform_.readRegularFile(GetProgramDirectory() + kVendorListName, kVendorListLimit);
  if (!list) return;
  controls_.resetContent(kIdVendor);
  // Already in the sorted list's order: each item goes to the end.
  int index = 0;
  for (const VendorItem& item : sortedVendorItems(*list)) {
    controls_.insertString(kIdVendor, index, item.text);
    controls_.setItemData(kIdVendor, index, item.id);
    ++index;
  }
}

void EditorDialog::ResetEditor() {
  document.close();
  for (int id : kEditingControls)
    controls_.enable(id, false);
  if (hasVendorCombo_) controls_.enable(kIdVendor, false);
}

int EditorDialog::showMessage(MessageId id, const std::string& details) {
  const Message& shown = message(id);
  const std::string text = details.empty() ? shown.text : shown.text + ("\n" + details);
  return platform_.messageBox(shown, text);
}

void EditorDialog::setDialogInt(int id, int value) {
  // The program's value replaces whatever the user typed there.
  if (id == kIdCoreEdit || id == kIdMemoryEdit) clockEditPending(id) = false;
  const bool outer = std::exchange(writingClockEdit_, true);
  controls_.setText(id, std::to_string(value));
  writingClockEdit_ = outer;
}

int EditorDialog::dialogInt(int id) const {
  return parseDialogInt(controls_.text(id));
}

namespace {

struct EventRoute {
  int id;
  Notification code;
  void (EditorDialog::*handler)();
};

// Which handler each control's event reaches; trackbar moves arrive
// through onHScroll.
constexpr EventRoute kEventTable[] = {
    {kIdLoad, Notification::kClicked, &EditorDialog::OnLoadBios},
    {kIdCoreEdit, Notification::kEditChange, &EditorDialog::OnChangeCoreEdit},
    {kIdMemoryEdit, Notification::kEditChange, &EditorDialog::OnChangeMemoryEdit},
    {kIdCoreEdit, Notification::kKillFocus, &EditorDialog::OnCommitCoreEdit},
    {kIdCoreEdit, Notification::kEnterKey, &EditorDialog::OnCommitCoreEdit},
    {kIdMemoryEdit, Notification::kKillFocus, &EditorDialog::OnCommitMemoryEdit},
    {kIdMemoryEdit, Notification::kEnterKey, &EditorDialog::OnCommitMemoryEdit},
    {kIdSave, Notification::kClicked, &EditorDialog::OnSaveBios},
    {kIdSave8x8, Notification::kClicked, &EditorDialog::OnSaveFont8x8},
    {kIdLoad8x8, Notification::kClicked, &EditorDialog::OnLoadFont8x8},
    {kIdSave8x16, Notification::kClicked, &EditorDialog::OnSaveFont8x16},
    {kIdLoad8x16, Notification::kClicked, &EditorDialog::OnLoadFont8x16},
    {kIdSyncClocks, Notification::kClicked, &EditorDialog::OnSynchronizeClocks},
    {kIdCrtOn, Notification::kClicked, &EditorDialog::OnCrtOn},
    {kIdTvOn, Notification::kClicked, &EditorDialog::OnTvOn},
    {kIdTvStandard, Notification::kSelChange, &EditorDialog::OnTvStandardChange},
    {kIdUnsupportedTv, Notification::kClicked, &EditorDialog::OnEnableUnsupportedTv},
    {kIdMemoryType, Notification::kSelChange, &EditorDialog::OnMemoryTypeChange},
    {kIdCas, Notification::kSelChange, &EditorDialog::OnCasChange},
    {kIdViewFonts, Notification::kClicked, &EditorDialog::OnViewFonts},
    {kIdVendor, Notification::kSelChange, &EditorDialog::OnVendorChange},
    {kIdCurrent, Notification::kClicked, &EditorDialog::OnCurrent},
    {kIdHelp, Notification::kClicked, &EditorDialog::ShowHelp},
    {kIdUndo, Notification::kClicked, &EditorDialog::OnUndo},
    {kIdRedo, Notification::kClicked, &EditorDialog::OnRedo},
    {kIdRevert, Notification::kClicked, &EditorDialog::OnRevert},
};

}  // namespace

void EditorDialog::onCommand(int id, Notification code) {
  // Every action works with the clocks the user typed, and ends the clock
  // gesture under way: it is one step of the history.
  if (code == Notification::kClicked || code == Notification::kSelChange) {
    commitClockEdits();
    document.endGesture();
  }
  for (const EventRoute& route : kEventTable) {
    if (route.id == id && route.code == code) {
      (this->*route.handler)();
      break;
    }
  }
  showHistory();
}

void EditorDialog::onHScroll(int scrollCode, int position, int sliderId) {
  // A trackbar moved by the user wins over what was typed in its own edit.
  if (sliderId == kIdCoreSlider || sliderId == kIdMemorySlider) {
    clockEditPending(sliderId == kIdCoreSlider ? kIdCoreEdit : kIdMemoryEdit) = false;
  }
  commitClockEdits();
  OnHScroll(scrollCode, position, sliderId);
  showHistory();
}

void EditorDialog::OnUndo() {
  if (document.undo()) showDocument();
}

void EditorDialog::OnRedo() {
  if (document.redo()) showDocument();
}

void EditorDialog::OnRevert() {
  if (document.isOpen() && !document.revert().refused()) showDocument();
}

// The buttons of the history, enabled when they have something to do.
void EditorDialog::showHistory() {
  if (!document.isOpen()) return;
  controls_.enable(kIdUndo, document.canUndo());
  controls_.enable(kIdRedo, document.canRedo());
  controls_.enable(kIdRevert, !document.isAsOpened());
}

}  // namespace varnel::ui
