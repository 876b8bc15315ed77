// One image open for editing: the file as it was loaded or last saved, the
// image being edited, and every edit the editor offers as an operation that
// says what it did. The window and the command line both edit through it;
// neither keeps editing state of its own.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "document/change_report.h"
#include "image/bios_image.h"

namespace varnel {

// The clocks the editor offers, in whole MHz.
inline constexpr int kLowestClockMHz = 50;
inline constexpr int kHighestClockMHz = 575;

enum class EditOutcome { kApplied, kAdjusted, kRefused };

// Why an edit was adjusted or refused.
enum class EditReason {
  kNone,
  kClockOutOfRange,       // adjusted: clamped to 50..575 MHz
  kDividerLimit,          // adjusted: the memory divider stops short of the clock
  kOtherOutputOn,         // adjusted: the other output was turned on
  kNoDividerBytes,        // adjusted: only the clock words change
  kNoMemoryType,          // refused
  kNoCasLatency,          // refused
  kNoTvTable,             // refused
  kTvStandardNotOffered,  // refused
  kNoFontTable,           // refused
  kNoSuchChoice,          // refused: a code outside the list
  kFontsOnly,             // refused: only the fonts of this image are edited
  kImplausibleFont,       // refused: of such an image, a font that does not look like one
};

struct EditResult {
  EditOutcome outcome = EditOutcome::kApplied;
  EditReason reason = EditReason::kNone;
  // For the user: what was adjusted or why nothing was done.
  std::string why;

  bool refused() const { return outcome == EditOutcome::kRefused; }
};

// Why an image that was read may not be opened for editing.
struct OpenRefusal {
  enum class Kind { kNotValid, kChecksumsBad } kind;
  std::string reason;
};

// How much of an opened image may be edited: all the editor offers, or its
// VGA fonts alone (a BIOS of a later family, whose other settings follow
// rules the editor does not know).
enum class EditScope { kWholeImage, kFontsOnly };
inline constexpr const char* kFontsOnlyReason =
    "a BIOS of a later ATI family; nothing else of it is edited";
// Why an edit of anything but the fonts of such an image is refused.
inline std::string fontsOnlyRefusal() {
  return std::string("fonts only: ") + kFontsOnlyReason;
}

// The load's checks on an image just read (its bytes and length set):
// parses it on the way; nothing when it may be edited, in whole or its
// fonts only.
std::optional<OpenRefusal> checkForEditing(BiosImage& candidate);

class Document {
 public:
  Document();

  // Opens an image that passed checkForEditing; `fileName` is empty for an
  // image that came from no file (the card's reconstructed BIOS).
  void open(const BiosImage& checked, const std::string& fileName);
  // Set on open: with kFontsOnly every edit but a font import is refused,
  // and a save changes nothing but the fonts and the checksums.
  EditScope scope() const { return scope_; }
  // Back to no image.
  void close();
  bool isOpen() const { return open_; }

  // The image being edited. The record lives as long as the document, so
  // views may keep a reference to it.
  const BiosImage& image() const { return *image_; }
  const std::string& fileName() const { return fileName_; }
  // The file's bytes as they were read when the image was opened.
  std::span<const uint8_t> loadedBytes() const { return loadedBytes_; }

  // The clock choices in whole MHz, always within 50..575.
  int coreMHz() const { return coreMHz_; }
  int memoryMHz() const { return memoryMHz_; }
  bool clocksSynchronized() const { return synchronized_; }
  // Why the memory clock chosen is beyond what the divider reaches with the
  // memory type (the image then gets the divider's limit); empty when the
  // divider reaches it.
  std::string memoryLimitReason() const;
  bool allTvStandards() const { return allTvStandards_; }
  // The TV standard codes a choice may be made from, in order: 0, the ones
  // the image supports (or all, when every standard is offered) and the
  // current one.
  std::vector<int> offeredTvStandards() const;

  // Every edit that changes something is one step of the history. The
  // clocks change continuously while the user drags a trackbar or types in
  // a clock's edit: consecutive clock edits are one step until endGesture.
  EditResult setCoreClock(int mhz);
  EditResult setMemoryClock(int mhz);
  EditResult setClocksSynchronized(bool on);
  EditResult setMemoryType(int code);
  EditResult setCas(int index);
  EditResult setTvStandard(int code);
  EditResult setCrtOutput(bool on);
  EditResult setTvOutput(bool on);
  // Offers every TV standard, and marks them all supported on save.
  EditResult setAllTvStandards(bool on);
  EditResult setVendorId(uint16_t id);
  // Replaces the font table of glyph height 8 or 16 with `glyphs`, exactly
  // one table's bytes, in place.
  EditResult importFont(int height, std::span<const uint8_t> glyphs);
  // Back to the image as opened, as one step that can itself be undone.
  EditResult revert();
  // The clock gesture under way is over: the next clock edit is a step of
  // its own.
  void endGesture() { gestureOpen_ = false; }

  bool canUndo() const { return !undoSteps_.empty(); }
  // Whether the image and the choices are as they were opened.
  bool isAsOpened() const { return sameAs(opened_); }
  bool canRedo() const { return !redoSteps_.empty(); }
  // Take back the last step, or make the last step taken back again;
  // false when there is none.
  bool undo();
  bool redo();
  // The image as it was opened, before any edit.
  const BiosImage& openedImage() const { return *opened_.image; }
  // The font table of glyph height 8 or 16; empty when the image has none.
  std::span<const uint8_t> fontTable(int height) const;

  // What a save writes: the TV-standard choice in the supported masks and
  // the checksums repaired, applied to the image being edited.
  std::span<const uint8_t> prepareSave();
  // The save went through to `path`: it is now the file the image is from.
  void saved(const std::string& path);
  // Whether saving now would write other bytes than the last open or save.
  bool hasUnsavedChanges() const;
  // What saving now would change against the file as opened, and the
  // warnings for it.
  ChangeReport changesToSave() const;

 private:
  // Everything an edit may change: the image and the choices.
  struct State {
    std::unique_ptr<BiosImage> image;
    int coreMHz = kLowestClockMHz;
    int memoryMHz = kLowestClockMHz;
    bool synchronized = false;
    bool allTvStandards = false;
  };
  enum class StepKind { kClock, kOther };

  State capture() const;
  void restore(const State& state);
  bool sameAs(const State& state) const;
  template <typename Change>
  EditResult recorded(StepKind kind, Change change);
  template <typename Change>
  EditResult wholeImageEdit(StepKind kind, Change change);
  EditResult changeCoreClock(int mhz);
  EditResult changeMemoryClock(int mhz);
  EditResult changeClocksSynchronized(bool on);
  EditResult changeMemoryType(int code);
  EditResult changeCas(int index);
  EditResult changeTvStandard(int code);
  EditResult changeCrtOutput(bool on);
  EditResult changeTvOutput(bool on);
  EditResult changeFont(int height, std::span<const uint8_t> glyphs);
  void applySaveSettings(BiosImage& target) const;
  std::vector<uint8_t> bytesToSave() const;
  void applyClocks();
  EditResult clockResult(int asked, int kept) const;
  EditResult memoryResult() const;
  EditResult dividerResult() const;
  EditResult tvTableNeeded() const;

  bool open_ = false;
  EditScope scope_ = EditScope::kWholeImage;
  // Never replaced: reset and refilled on each open.
  std::unique_ptr<BiosImage> image_;
  std::string fileName_;
  std::vector<uint8_t> loadedBytes_;
  // What a save would have written right after the last open or save.
  std::vector<uint8_t> savedBytes_;
  int coreMHz_ = kLowestClockMHz;
  int memoryMHz_ = kLowestClockMHz;
  bool synchronized_ = false;
  bool allTvStandards_ = false;
  State opened_;
  std::vector<State> undoSteps_;
  std::vector<State> redoSteps_;
  bool gestureOpen_ = false;
};

}  // namespace varnel
