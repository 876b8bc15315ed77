// The editor's main window: its state and the handlers of its controls,
// independent of the toolkit that draws it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "document/document.h"
#include "document/font_file.h"
#include "image/bios_image.h"
#include "ui/control_ids.h"
#include "ui/dialog_controls.h"
#include "ui/platform.h"

namespace varnel::ui {

inline constexpr const char* kWindowTitle = "Varnel by Pell Ardrake aka Quill88 - Version 1.0";
inline constexpr const char* kApplicationName = "Varnel";
inline constexpr const char* kReconstructedName = "current (reconstructed)";
inline constexpr const char* kVendorListName = "Vendor.IDs";
inline constexpr const char* kRomFilter =
    "Both *.rom and *.bin|*.rom;*.bin|ROM Files (*.rom)|*.rom|BIN Files (*.bin)|*.bin|All Files "
    "(*.*)|*.*||";
// The reader tool beside the program (its file name is the system's, see
// Platform::executableName) and the dump it writes into a private folder
// made for each run.
inline constexpr const char* kReaderToolName = "pokrun";
inline constexpr const char* kDumpFileName = "$V$BIOS$.ram";
inline constexpr const char* kHelpFileName = "Varnel.chm";
inline constexpr int kReaderTimeoutMs = 1000;

// One of the two font tables, with what its commands say and do; defined
// with the font commands.
struct FontTable;

class EditorDialog : public DialogEvents {
 public:
  EditorDialog(DialogControls& controls, Platform& platform);

  // What the window shows and edits. Its image record lives as long as the
  // dialog: reset and refilled, never replaced.
  Document document;
  const BiosImage& image = document.image();

  // Start-up.
  bool OnInitDialog();
  void LoadVendorList();
  std::string GetProgramDirectory();
  void ResetEditor();

  // Loading and saving.
  void OnLoadBios();
  void LoadBiosFile(const std::string& path, bool reconstructed);
  void OnSaveBios();

  // Clocks.
  void OnHScroll(int scrollCode, int position, int sliderId);
  void OnChangeCoreEdit();
  void OnChangeMemoryEdit();
  // A clock edit lost the focus, or Enter was pressed in it: its typed
  // value is taken.
  void OnCommitCoreEdit();
  void OnCommitMemoryEdit();
  void OnSynchronizeClocks();
  void UpdateClockDisplay();

  // TV, memory timings, vendor.
  void OnCrtOn();
  void OnTvOn();
  void OnTvStandardChange();
  void OnEnableUnsupportedTv();
  void FillTvStandardCombo();
  void OnMemoryTypeChange();
  void OnCasChange();
  void OnVendorChange();

  // The history of edits: take back the last step, make it again, or go
  // back to the image as loaded (a step that can itself be undone).
  void OnUndo();
  void OnRedo();
  void OnRevert();

  // Fonts.
  void OnSaveFont8x8();
  void OnSaveFont8x16();
  void OnLoadFont8x8();
  void OnLoadFont8x16();
  void OnViewFonts();

  // The installed card's BIOS, through the reader tool.
  void OnCurrent();
  // The help file beside the program, at its table of contents.
  void ShowHelp();

  // Asked before the window closes (Exit, Escape, the close box): whether it
  // may. Offers to save an image that changed since it was loaded or saved.
  bool ConfirmExit();
  // Whether saving now would write other bytes than the last load or save.
  bool HasUnsavedChanges() const;

  // The event table: routes each control's events to its handler.
  void onCommand(int id, Notification code) override;
  void onHScroll(int scrollCode, int position, int sliderId) override;

 protected:
  DialogControls& controls_;
  Platform& platform_;
  bool hasVendorCombo_ = false;

 private:
  // A clock edit whose text the user typed and that is not taken yet.
  struct PendingClockEdits {
    bool core = false;
    bool memory = false;
  };
  // Shows one of the editor's messages, with `details` (the system's reason,
  // an explanation) on lines of their own under its text; the answer.
  int showMessage(MessageId id, const std::string& details = "");
  void configureClockSlider(int id);
  void fillFixedList(int id, std::span<const char* const> names);
  void setDialogInt(int id, int value);
  int dialogInt(int id) const;
  bool& clockEditPending(int editId);
  void followTypedClock(int editId);
  void commitClockEdit(int editId);
  void commitClockEdits();
  void setClock(int sliderId, int mhz);
  void showClocks();
  void showOutputs();
  bool offerToSaveChanges();
  bool confirmChanges();
  std::optional<MessageId> readImageFile(const std::string& path, BiosImage& target);
  // LoadBiosFile, with a line added under any failure message (the reader
  // tool's own explanation for Current).
  void loadImage(const std::string& path, bool reconstructed, const std::string& explanation);
  void showDocument();
  void clearWholeImageSettings();
  void showHistory();
  void showTvSettings();
  void showClockSettings();
  void showMemorySettings();
  void enableFontButtons();
  void selectVendor();

  void saveFont(const FontTable& table);
  void loadFont(const FontTable& table);
  void loadRawFont(const FontTable& table, const FontFileContents& contents);
  void loadCpiFont(const FontTable& table, ByteStream& file, const FontFileContents& contents);
  void importFont(const FontTable& table, std::span<const uint8_t> glyphs);

  PendingClockEdits pendingClockEdits_;
  bool writingClockEdit_ = false;
};

}  // namespace varnel::ui
