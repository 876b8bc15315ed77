#include "document/document.h"

#include <algorithm>
#include <utility>

#include "document/image_loading.h"
#include "fonts/font_tables.h"
#include "image/image_fields.h"
#include "image/validation.h"
#include "scripts/tv_table.h"

namespace varnel {
namespace {

EditResult adjusted(EditReason reason, std::string why) {
  return {EditOutcome::kAdjusted, reason, std::move(why)};
}

EditResult refused(EditReason reason, std::string why) {
  return {EditOutcome::kRefused, reason, std::move(why)};
}

// Enough for any session of edits; the oldest steps go first.
constexpr size_t kMaxUndoSteps = 200;

int clockChoice(int mhz) {
  return std::clamp(mhz, kLowestClockMHz, kHighestClockMHz);
}

// Where the font table of glyph height 8 or 16 is, and its size; offset 0
// when the image has none.
struct FontTablePlace {
  uint16_t offset = 0;
  int32_t size = 0;
};

FontTablePlace fontTablePlace(const BiosImage& image, int height) {
  if (height == 8) return {image.font8x8Offset, kFont8x8Size};
  if (height == 16) return {image.font8x16Offset, kFont8x16Size};
  return {};
}

// The glyphs in place; the 9x16 alternates follow a new 8x16 font.
void writeFont(BiosImage& image, FontTablePlace place, int height,
               std::span<const uint8_t> glyphs) {
  std::copy(glyphs.begin(), glyphs.end(), &image.bytes[place.offset]);
  if (height == 16) refreshAltFont9x16(image);
}

}  // namespace

std::optional<OpenRefusal> checkForEditing(BiosImage& candidate) {
  const int code = validateImage(candidate);
  if (code != kValid && !opensFontsOnly(candidate, code)) {
    return OpenRefusal{OpenRefusal::Kind::kNotValid, refusalReason(candidate, code)};
  }
  if (!candidate.checksumsValid()) {
    return OpenRefusal{OpenRefusal::Kind::kChecksumsBad, refusalReason(candidate, code)};
  }
  return std::nullopt;
}

Document::Document() : image_(std::make_unique<BiosImage>()), opened_(capture()) {}

void Document::open(const BiosImage& checked, const std::string& fileName) {
  *image_ = checked;
  open_ = true;
  // Only a BIOS of a later family passes the load's checks with its
  // configuration text out of place.
  scope_ = findStructureFault(checked) == StructureFault::kConfigTextMisplaced
               ? EditScope::kFontsOnly
               : EditScope::kWholeImage;
  fileName_ = fileName;
  loadedBytes_.assign(checked.bytes.begin(), checked.bytes.begin() + checked.length);
  const BiosImage& image = *image_;
  const int core = image.wholeMHz(image.defaultCoreClock);
  const int memory = image.wholeMHz(image.defaultMemoryClock);
  // The image's own clocks are kept until the user changes one; the
  // choices start from them, within the range offered.
  coreMHz_ = clockChoice(core);
  memoryMHz_ = clockChoice(memory);
  synchronized_ = core == memory && image.byteAt(image.coreFeedbackDivPtr) ==
                                        image.byteAt(image.memoryFeedbackDivPtr);
  allTvStandards_ = scope_ == EditScope::kWholeImage && image.tvTableOffset != 0 &&
                    !image.isTvStandardSupported(image.tvStandard);
  savedBytes_ = bytesToSave();
  opened_ = capture();
  undoSteps_.clear();
  redoSteps_.clear();
  gestureOpen_ = false;
}

void Document::close() {
  open_ = false;
  scope_ = EditScope::kWholeImage;
  image_->reset();
  fileName_.clear();
  loadedBytes_.clear();
  savedBytes_.clear();
  allTvStandards_ = false;
  opened_ = capture();
  undoSteps_.clear();
  redoSteps_.clear();
  gestureOpen_ = false;
}

// --- the history -------------------------------------------------------------

Document::State Document::capture() const {
  return {std::make_unique<BiosImage>(*image_), coreMHz_, memoryMHz_, synchronized_,
          allTvStandards_};
}

// Into the one record, which views may hold on to.
void Document::restore(const State& state) {
  *image_ = *state.image;
  coreMHz_ = state.coreMHz;
  memoryMHz_ = state.memoryMHz;
  synchronized_ = state.synchronized;
  allTvStandards_ = state.allTvStandards;
}

bool Document::sameAs(const State& state) const {
  const BiosImage& a = *image_;
  const BiosImage& b = *state.image;
  return a.bytes == b.bytes && a.length == b.length && a.memoryType == b.memoryType &&
         a.casIndex == b.casIndex && a.tvStandard == b.tvStandard && coreMHz_ == state.coreMHz &&
         memoryMHz_ == state.memoryMHz && synchronized_ == state.synchronized &&
         allTvStandards_ == state.allTvStandards;
}

// Runs an edit and keeps what it replaced as a step of the history, unless
// it changed nothing or continues the clock gesture under way.
template <typename Change>
EditResult Document::recorded(StepKind kind, Change change) {
  State before = capture();
  EditResult result = change();
  if (sameAs(before)) return result;
  if (kind != StepKind::kClock || !gestureOpen_) {
    if (undoSteps_.size() == kMaxUndoSteps) undoSteps_.erase(undoSteps_.begin());
    undoSteps_.push_back(std::move(before));
  }
  redoSteps_.clear();
  gestureOpen_ = kind == StepKind::kClock;
  return result;
}

// An edit of anything but the fonts, refused for an image whose fonts alone
// are edited.
template <typename Change>
EditResult Document::wholeImageEdit(StepKind kind, Change change) {
  if (scope_ == EditScope::kFontsOnly) {
    return refused(EditReason::kFontsOnly, fontsOnlyRefusal());
  }
  return recorded(kind, change);
}

bool Document::undo() {
  gestureOpen_ = false;
  if (undoSteps_.empty()) return false;
  redoSteps_.push_back(capture());
  restore(undoSteps_.back());
  undoSteps_.pop_back();
  return true;
}

bool Document::redo() {
  gestureOpen_ = false;
  if (redoSteps_.empty()) return false;
  undoSteps_.push_back(capture());
  restore(redoSteps_.back());
  redoSteps_.pop_back();
  return true;
}

EditResult Document::revert() {
  gestureOpen_ = false;
  return recorded(StepKind::kOther, [&] {
    restore(opened_);
    return EditResult{};
  });
}

EditResult Document::setCoreClock(int mhz) {
  return wholeImageEdit(StepKind::kClock, [&] { return changeCoreClock(mhz); });
}

EditResult Document::setMemoryClock(int mhz) {
  return wholeImageEdit(StepKind::kClock, [&] { return changeMemoryClock(mhz); });
}

EditResult Document::setClocksSynchronized(bool on) {
  return wholeImageEdit(StepKind::kOther, [&] { return changeClocksSynchronized(on); });
}

EditResult Document::setMemoryType(int code) {
  return wholeImageEdit(StepKind::kOther, [&] { return changeMemoryType(code); });
}

EditResult Document::setCas(int index) {
  return wholeImageEdit(StepKind::kOther, [&] { return changeCas(index); });
}

EditResult Document::setTvStandard(int code) {
  return wholeImageEdit(StepKind::kOther, [&] { return changeTvStandard(code); });
}

EditResult Document::setCrtOutput(bool on) {
  return wholeImageEdit(StepKind::kOther, [&] { return changeCrtOutput(on); });
}

EditResult Document::setTvOutput(bool on) {
  return wholeImageEdit(StepKind::kOther, [&] { return changeTvOutput(on); });
}

EditResult Document::importFont(int height, std::span<const uint8_t> glyphs) {
  return recorded(StepKind::kOther, [&] { return changeFont(height, glyphs); });
}

// --- the edits -----------------------------------------------------------------

void Document::applyClocks() {
  if (open_) image_->setClocks(static_cast<float>(coreMHz_), static_cast<float>(memoryMHz_));
}

EditResult Document::clockResult(int asked, int kept) const {
  if (asked != kept) {
    return adjusted(EditReason::kClockOutOfRange,
                    std::to_string(asked) + " MHz is outside " + std::to_string(kLowestClockMHz) +
                        " to " + std::to_string(kHighestClockMHz) +
                        " MHz: " + std::to_string(kept) + " MHz taken");
  }
  return dividerResult();
}

EditResult Document::dividerResult() const {
  if (!image_->coreFeedbackDivPtr || !image_->memoryFeedbackDivPtr) {
    return adjusted(EditReason::kNoDividerBytes,
                    "this image has no PLL divider bytes in its scripts");
  }
  return {};
}

EditResult Document::memoryResult() const {
  std::string why = memoryLimitReason();
  if (why.empty()) return {};
  return adjusted(EditReason::kDividerLimit, std::move(why));
}

std::string Document::memoryLimitReason() const {
  const BiosImage& image = *image_;
  if (!open_ || image.memoryType == 0 || !image.memoryFeedbackDivPtr) return {};
  const int highest = image.highestReachableMemoryMHz(image.memoryType, kHighestClockMHz);
  if (memoryMHz_ <= highest) return {};
  const char* type = memoryTypeName(image.memoryType);
  return "a memory clock of " + std::to_string(memoryMHz_) + " MHz is beyond the divider: with " +
         (type != nullptr ? type : "this") + " memory this image reaches at most " +
         std::to_string(highest) + " MHz";
}

EditResult Document::changeCoreClock(int mhz) {
  coreMHz_ = clockChoice(mhz);
  if (synchronized_) memoryMHz_ = coreMHz_;
  applyClocks();
  EditResult result = clockResult(mhz, coreMHz_);
  if (result.outcome == EditOutcome::kApplied && synchronized_) return memoryResult();
  return result;
}

EditResult Document::changeMemoryClock(int mhz) {
  memoryMHz_ = clockChoice(mhz);
  applyClocks();
  EditResult result = clockResult(mhz, memoryMHz_);
  return result.outcome == EditOutcome::kApplied ? memoryResult() : result;
}

EditResult Document::changeClocksSynchronized(bool on) {
  const bool was = std::exchange(synchronized_, on);
  if (!on || was) return {};
  memoryMHz_ = coreMHz_;
  applyClocks();
  EditResult result = dividerResult();
  return result.outcome == EditOutcome::kApplied ? memoryResult() : result;
}

EditResult Document::changeMemoryType(int code) {
  if (memoryTypeName(image_->memoryType) == nullptr) {
    return refused(EditReason::kNoMemoryType, "this image has no memory type in its scripts");
  }
  if (memoryTypeName(code) == nullptr) {
    return refused(EditReason::kNoSuchChoice, "no such memory type");
  }
  image_->memoryType = static_cast<uint8_t>(code);
  image_->patchMemoryConfig();
  // The memory divider depends on the memory type: the clocks go in again.
  applyClocks();
  return memoryResult();
}

EditResult Document::changeCas(int index) {
  if (image_->casIndex < 1 || image_->casIndex > 5) {
    return refused(EditReason::kNoCasLatency, "this image has no CAS latency in its scripts");
  }
  if (index < 1 || index > static_cast<int>(kCasNames.size())) {
    return refused(EditReason::kNoSuchChoice, "no such CAS latency");
  }
  image_->casIndex = static_cast<uint8_t>(index);
  image_->patchMemoryConfig();
  applyClocks();
  return {};
}

EditResult Document::tvTableNeeded() const {
  if (image_->tvTableOffset != 0) return {};
  return refused(EditReason::kNoTvTable, "this image has no \"$TV\" table");
}

std::vector<int> Document::offeredTvStandards() const {
  std::vector<int> codes{0};
  const BiosImage& image = *image_;
  for (int code = 1; code < static_cast<int>(TvStandardNames.size()); ++code) {
    // The current standard is always offered, supported or not.
    if (allTvStandards_ || image.isTvStandardSupported(code) || code == image.tvStandard) {
      codes.push_back(code);
    }
  }
  return codes;
}

EditResult Document::changeTvStandard(int code) {
  if (EditResult result = tvTableNeeded(); result.refused()) return result;
  const std::vector<int> offered = offeredTvStandards();
  if (std::find(offered.begin(), offered.end(), code) == offered.end()) {
    if (code < 0 || code >= static_cast<int>(TvStandardNames.size())) {
      return refused(EditReason::kNoSuchChoice, "no such TV standard");
    }
    return refused(EditReason::kTvStandardNotOffered,
                   std::string(TvStandardNames[static_cast<size_t>(code)]) +
                       " is not among the standards this image supports");
  }
  image_->setTvStandard(code);
  return {};
}

EditResult Document::changeCrtOutput(bool on) {
  if (EditResult result = tvTableNeeded(); result.refused()) return result;
  image_->setCrtEnabled(on);
  if (on || isTvOutputOn(*image_)) return {};
  image_->setTvEnabled(true);
  return adjusted(EditReason::kOtherOutputOn, "one output always stays on: TV output turned on");
}

EditResult Document::changeTvOutput(bool on) {
  if (EditResult result = tvTableNeeded(); result.refused()) return result;
  image_->setTvEnabled(on);
  if (on || isCrtOutputOn(*image_)) return {};
  image_->setCrtEnabled(true);
  return adjusted(EditReason::kOtherOutputOn, "one output always stays on: CRT output turned on");
}

EditResult Document::setAllTvStandards(bool on) {
  return wholeImageEdit(StepKind::kOther, [&] {
    if (EditResult result = tvTableNeeded(); result.refused()) return result;
    allTvStandards_ = on;
    return EditResult{};
  });
}

EditResult Document::setVendorId(uint16_t id) {
  return wholeImageEdit(StepKind::kOther, [&] {
    varnel::setVendorId(*image_, id);
    return EditResult{};
  });
}

std::span<const uint8_t> Document::fontTable(int height) const {
  const FontTablePlace place = fontTablePlace(*image_, height);
  if (place.offset == 0) return {};
  return {&image_->bytes[place.offset], static_cast<size_t>(place.size)};
}

EditResult Document::changeFont(int height, std::span<const uint8_t> glyphs) {
  const FontTablePlace place = fontTablePlace(*image_, height);
  if (place.offset == 0) {
    return refused(EditReason::kNoFontTable,
                   "this image has no 8x" + std::to_string(height) + " font table");
  }
  if (glyphs.size() != static_cast<size_t>(place.size)) {
    return refused(EditReason::kNoSuchChoice, "a font of another size");
  }
  // Such an image is known by its fonts: tried on a copy first, so that the
  // saved image opens again whatever the tables overlap.
  if (scope_ == EditScope::kFontsOnly) {
    auto trial = std::make_unique<BiosImage>(*image_);
    writeFont(*trial, place, height, glyphs);
    if (!hasEditableFonts(*trial)) {
      return refused(EditReason::kImplausibleFont,
                     "this BIOS opens for its fonts only while they look like fonts, and this "
                     "one does not");
    }
  }
  writeFont(*image_, place, height, glyphs);
  return {};
}

// Of an image whose fonts alone are edited, nothing but the checksum block
// is written besides the fonts.
void Document::applySaveSettings(BiosImage& target) const {
  if (scope_ == EditScope::kFontsOnly) {
    target.repairChecksumBlock();
    return;
  }
  target.updateSupportedTvMask(allTvStandards_ ? -1 : target.tvStandard);
  target.repairChecksums();
}

std::span<const uint8_t> Document::prepareSave() {
  applySaveSettings(*image_);
  return {image_->bytes.data(), static_cast<size_t>(image_->length)};
}

void Document::saved(const std::string& path) {
  fileName_ = path;
  savedBytes_ = bytesToSave();
}

std::vector<uint8_t> Document::bytesToSave() const {
  auto copy = std::make_unique<BiosImage>(*image_);
  applySaveSettings(*copy);
  return std::vector<uint8_t>(copy->bytes.begin(), copy->bytes.begin() + copy->length);
}

ChangeReport Document::changesToSave() const {
  auto copy = std::make_unique<BiosImage>(*image_);
  applySaveSettings(*copy);
  return compareImages(*opened_.image, *copy);
}

// Compares what a save would write, so that a setting only the save applies
// (every TV standard offered) counts as a change, and an edit the user undid
// by hand does not.
bool Document::hasUnsavedChanges() const {
  return open_ && bytesToSave() != savedBytes_;
}

}  // namespace varnel
