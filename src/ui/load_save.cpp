// Loading an image into the editor and saving it back.
#include <cstdio>
#include <exception>
#include <memory>
#include <optional>
#include <utility>

#include "image/image_fields.h"
#include "io/system.h"
#include "ui/editor_dialog.h"

namespace varnel::ui {

void EditorDialog::OnLoadBios() {
  const std::optional<std::string> path =
      platform_.fileDialog({false, "rom", "", kOfnHideReadOnly | kOfnFileMustExist, kRomFilter});
  if (path) LoadBiosFile(*path, false);
}

// Reads at most 64 KiB of the file into `target`; the message for a
// failure, or nothing.
std::optional<MessageId> EditorDialog::readImageFile(const std::string& path, BiosImage& target) {
  try {
    const size_t n =
        platform_.readFile(path, std::span<uint8_t>(target.bytes.data(), kMaxImageSize));
    target.length = static_cast<int32_t>(n);
    return std::nullopt;
  } catch (const FileError&) {
    return MessageId::kErrorOpeningFile;
  } catch (const std::exception&) {
    return MessageId::kErrorAnalyzingFile;
  }
}

namespace {

// Why a file may not be shown: the editor's message, and the lines under it.
struct Refusal {
  MessageId id;
  std::string details;
};

// Why an image just read may not be shown: the editor's message, and the
// check that failed; nothing when it may be shown.
std::optional<Refusal> refusalOf(BiosImage& candidate, bool reconstructed) {
  std::optional<OpenRefusal> refusal = checkForEditing(candidate);
  if (!refusal) return std::nullopt;
  MessageId id = MessageId::kNotValidImage;
  if (refusal->kind == OpenRefusal::Kind::kChecksumsBad) {
    id = reconstructed ? MessageId::kReconstructionFailed : MessageId::kChecksumsBad;
  }
  return Refusal{id, std::move(refusal->reason)};
}

}  // namespace

void EditorDialog::LoadBiosFile(const std::string& path, bool reconstructed) {
  loadImage(path, reconstructed, "");
}

// The file is read and checked in a record of its own: a refused file
// leaves the image on show, its edits and every control as they were.
void EditorDialog::loadImage(const std::string& path, bool reconstructed,
                             const std::string& explanation) {
  auto candidate = std::make_unique<BiosImage>();
  std::optional<Refusal> failure;
  if (const std::optional<MessageId> unread = readImageFile(path, *candidate)) {
    failure = Refusal{*unread, ""};
  } else {
    failure = refusalOf(*candidate, reconstructed);
  }
  if (failure) {
    if (!explanation.empty()) {
      failure->details += failure->details.empty() ? explanation : "\n" + explanation;
    }
    showMessage(failure->id, failure->details);
    return;
  }
  if (!offerToSaveChanges()) return;
  ResetEditor();
  document.open(*candidate, reconstructed ? std::string() : path);
  controls_.setText(kIdFileName, reconstructed ? kReconstructedName : path);
  controls_.setText(kIdDateTime, std::string(dateTimeText(image)));
  controls_.setText(kIdTitle, std::string(image.titleText()));
  showDocument();
}

// Every control that shows an edit, as the document holds it now. Of an
// image whose fonts alone are edited, the other controls stay off and
// empty, and a line says why.
void EditorDialog::showDocument() {
  const bool wholeImage = document.scope() == EditScope::kWholeImage;
  if (wholeImage) {
    showTvSettings();
    showClockSettings();
    showMemorySettings();
    if (hasVendorCombo_) selectVendor();
  } else {
    clearWholeImageSettings();
  }
  controls_.setText(kIdScopeNote,
                    wholeImage ? std::string() : std::string("Fonts only: ") + kFontsOnlyReason);
  enableFontButtons();
  controls_.enable(kIdSave, true);
  showHistory();
}

// Nothing of the image loaded before stays on show.
void EditorDialog::clearWholeImageSettings() {
  const bool outer = std::exchange(writingClockEdit_, true);
  for (int id : {kIdCoreEdit, kIdMemoryEdit, kIdRealCore, kIdRealMemory, kIdEffectiveMemory})
    controls_.setText(id, "");
  writingClockEdit_ = outer;
  pendingClockEdits_ = {};
  for (int id : {kIdMemoryType, kIdCas, kIdTvStandard, kIdVendor}) {
    if (controls_.exists(id)) controls_.setCurrentSelection(id, -1);
  }
  for (int id : {kIdSyncClocks, kIdCrtOn, kIdTvOn, kIdUnsupportedTv})
    controls_.setCheck(id, false);
}

void EditorDialog::showTvSettings() {
  const bool hasTable = image.tvTableOffset != 0;
  controls_.enable(kIdTvStandard, hasTable);
  controls_.enable(kIdUnsupportedTv, hasTable);
  // Without a table the boxes are greyed out and show nothing, not the
  // previous image's choices.
  controls_.setCheck(kIdUnsupportedTv, document.allTvStandards());
  FillTvStandardCombo();
  controls_.enable(kIdCrtOn, hasTable);
  controls_.enable(kIdTvOn, hasTable);
  showOutputs();
}

void EditorDialog::showClockSettings() {
  controls_.enable(kIdCoreSlider, true);
  controls_.enable(kIdCoreEdit, true);
  controls_.enable(kIdSyncClocks, true);
  const bool synchronized = document.clocksSynchronized();
  controls_.setCheck(kIdSyncClocks, synchronized);
  controls_.enable(kIdMemorySlider, !synchronized);
  controls_.enable(kIdMemoryEdit, !synchronized);
  pendingClockEdits_ = {};
  // The image keeps its own clock words until the user changes a clock.
  showClocks();
}

// A list the image gives nothing for stays off and shows nothing, not the
// choice of the image loaded before.
void EditorDialog::showMemorySettings() {
  const bool typeKnown = memoryTypeName(image.memoryType) != nullptr;
  controls_.enable(kIdMemoryType, typeKnown);
  controls_.setCurrentSelection(kIdMemoryType, typeKnown ? image.memoryType - 1 : -1);
  // The list has three items: codes 4 and 5 leave it with no selection.
  const bool casKnown = image.casIndex >= 1 && image.casIndex <= 5;
  controls_.enable(kIdCas, casKnown);
  controls_.setCurrentSelection(kIdCas, casKnown ? image.casIndex - 1 : -1);
}

void EditorDialog::enableFontButtons() {
  const bool has8x8 = image.font8x8Offset != 0;
  const bool has8x16 = image.font8x16Offset != 0;
  controls_.enable(kIdSave8x8, has8x8);
  controls_.enable(kIdLoad8x8, has8x8);
  controls_.enable(kIdSave8x16, has8x16);
  controls_.enable(kIdLoad8x16, has8x16);
  controls_.enable(kIdViewFonts, has8x8 && has8x16);
}

void EditorDialog::selectVendor() {
  const uint16_t id = vendorId(image);
  bool matched = false;
  const int count = controls_.itemCount(kIdVendor);
  for (int i = 0; i < count; ++i) {
    if (controls_.itemData(kIdVendor, i) == id) {
      controls_.setCurrentSelection(kIdVendor, i);
      matched = true;
    }
  }
  if (!matched) {
    char text[64];
    std::snprintf(text, sizeof text, "%s [%04X]", id == 0x1002 ? "ATi Technologies" : "Unknown",
                  id);
    const int index = controls_.addString(kIdVendor, text);
    controls_.setItemData(kIdVendor, index, id);
    controls_.setCurrentSelection(kIdVendor, index);
  }
  controls_.enable(kIdVendor, true);
}

// What the save will change against the file as loaded, and the warnings
// for it: the user confirms or goes back.
bool EditorDialog::confirmChanges() {
  const ChangeReport report = document.changesToSave();
  if (report.changes.empty()) return showMessage(MessageId::kNothingChanged) == kIdYes;
  std::string details = "\nChanges:";
  for (const std::string& line : report.changes)
    details += "\n- " + line;
  if (!report.warnings.empty()) details += "\n\nWarnings:";
  for (const std::string& sentence : report.warnings)
    details += "\n- " + sentence;
  const MessageId id =
      report.warnings.empty() ? MessageId::kConfirmSave : MessageId::kConfirmSaveWithWarnings;
  return showMessage(id, details) == kIdYes;
}

void EditorDialog::OnSaveBios() {
  if (!document.isOpen() || !confirmChanges()) return;
  const std::string name = document.fileName().substr(0, 1023);
  const std::optional<std::string> path =
      platform_.fileDialog({true, "rom", name, kOfnHideReadOnly | kOfnOverwritePrompt, kRomFilter});
  if (!path) return;
  try {
    platform_.writeFile(*path, document.prepareSave());
  } catch (const FileError& error) {
    showMessage(MessageId::kErrorSavingFile, error.what());
    return;
  }
  document.saved(*path);
  controls_.setText(kIdFileName, *path);
}

}  // namespace varnel::ui
