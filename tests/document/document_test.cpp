// The document's edits: what each does to the image, and what it says it
// did — applied, adjusted (and why) or refused (and why, with the image
// left as it was).
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <memory>
#include <optional>

#include "document/document.h"
#include "fonts/font_tables.h"
#include "image/image_fields.h"
#include "image/layout.h"
#include "support/rom_builder.h"
#include "support/test_paths.h"

namespace varnel {
namespace {

using test::Bytes;

// A case's name as a test name: words joined by underscores.
template <typename Case>
std::string caseName(const testing::TestParamInfo<Case>& info) {
  std::string name = info.param.name;
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
}

std::unique_ptr<Document> openBytes(const Bytes& bytes, const std::string& name = "in.rom") {
  std::unique_ptr<BiosImage> candidate = test::loadImage(bytes);
  auto document = std::make_unique<Document>();
  if (checkForEditing(*candidate)) return document;
  document->open(*candidate, name);
  return document;
}

Bytes imageBytes(const Document& document) {
  const BiosImage& image = document.image();
  return Bytes(image.bytes.begin(), image.bytes.begin() + image.length);
}

struct ClockCase {
  const char* name;
  Bytes (*image)();
  std::function<EditResult(Document&)> edit;
  EditOutcome outcome;
  EditReason reason;
  const char* why;  // a part of the reason given; "" for none
  int coreMHz, memoryMHz;
};

test::RomSpec synchronizedSpec() {
  test::RomSpec spec;
  spec.memoryClockWord = spec.coreClockWord;
  spec.memoryDivider = spec.coreDivider;
  return spec;
}

Bytes plainRom() {
  return test::buildRom().bytes;
}

Bytes synchronizedRom() {
  return test::buildRom(synchronizedSpec()).bytes;
}

// The PLL entry is not the one the dividers are found by.
Bytes romWithoutDividers() {
  test::RomSpec spec;
  spec.loopForm = test::LoopForm::kNone;
  spec.memoryDivider = 0;
  spec.coreDivider = 0;
  test::BuiltRom rom = test::buildRom(spec);
  rom.bytes[static_cast<size_t>(rom.layout.pllEntry)] = 0x0B;
  test::sealChecksums(rom.bytes, rom.layout.checksumBlockOffset, rom.layout.spareByte);
  return rom.bytes;
}

const ClockCase kClockCases[] = {
    {"core in range", plainRom, [](Document& d) { return d.setCoreClock(300); },
     EditOutcome::kApplied, EditReason::kNone, "", 300, 270},
    {"core above the range", plainRom, [](Document& d) { return d.setCoreClock(900); },
     EditOutcome::kAdjusted, EditReason::kClockOutOfRange, "900 MHz is outside 50 to 575 MHz", 575,
     270},
    {"memory below the range", plainRom, [](Document& d) { return d.setMemoryClock(10); },
     EditOutcome::kAdjusted, EditReason::kClockOutOfRange, "575 MHz: 50 MHz taken", 275, 50},
    {"synchronized core takes memory along", synchronizedRom,
     [](Document& d) { return d.setCoreClock(200); }, EditOutcome::kApplied, EditReason::kNone, "",
     200, 200},
    {"synchronizing takes the core clock", plainRom,
     [](Document& d) { return d.setClocksSynchronized(true); }, EditOutcome::kApplied,
     EditReason::kNone, "", 275, 275},
    {"SDR memory beyond the divider", plainRom,
     [](Document& d) {
       d.setMemoryType(2);
       return d.setMemoryClock(400);
     },
     EditOutcome::kAdjusted, EditReason::kDividerLimit,
     "a memory clock of 400 MHz is beyond the divider: with SDR memory", 275, 400},
    {"choosing SDR puts a DDR clock beyond the divider", plainRom,
     [](Document& d) {
       d.setMemoryClock(500);
       return d.setMemoryType(2);
     },
     EditOutcome::kAdjusted, EditReason::kDividerLimit, "with SDR memory this image reaches", 275,
     500},
    {"no divider bytes: only the words change", romWithoutDividers,
     [](Document& d) { return d.setCoreClock(300); }, EditOutcome::kAdjusted,
     EditReason::kNoDividerBytes, "no PLL divider bytes", 300, 270},
};

class Clocks : public testing::TestWithParam<ClockCase> {};

TEST_P(Clocks, SayWhatTheyDidAndWriteTheChoice) {
  const ClockCase& c = GetParam();
  std::unique_ptr<Document> document = openBytes(c.image());
  ASSERT_TRUE(document->isOpen());
  const EditResult result = c.edit(*document);
  EXPECT_EQ(result.outcome, c.outcome);
  EXPECT_EQ(result.reason, c.reason);
  EXPECT_NE(result.why.find(c.why), std::string::npos) << result.why;
  EXPECT_EQ(result.why.empty(), c.outcome == EditOutcome::kApplied) << result.why;
  EXPECT_EQ(document->coreMHz(), c.coreMHz);
  EXPECT_EQ(document->memoryMHz(), c.memoryMHz);
  const BiosImage& image = document->image();
  EXPECT_EQ(image.wordAt(image.defaultCoreClock), c.coreMHz * 100);
  EXPECT_EQ(image.wordAt(image.defaultMemoryClock), c.memoryMHz * 100);
  // The read-out's condition and the reason given agree.
  EXPECT_EQ(document->memoryLimitReason().empty(), c.reason != EditReason::kDividerLimit);
}

INSTANTIATE_TEST_SUITE_P(Edits, Clocks, testing::ValuesIn(kClockCases), caseName<ClockCase>);

// The limit named is the highest clock the divider reaches with SDR on the
// sample image; one more MHz needs a divider beyond 255.
TEST(MemoryLimit, NamesTheHighestClockTheDividerReaches) {
  std::unique_ptr<Document> document = openBytes(test::readFile(test::samplePath()));
  ASSERT_TRUE(document->isOpen());
  ASSERT_FALSE(document->setMemoryType(2).refused());
  EXPECT_EQ(document->setMemoryClock(287).outcome, EditOutcome::kApplied);
  const EditResult beyond = document->setMemoryClock(288);
  EXPECT_EQ(beyond.why,
            "a memory clock of 288 MHz is beyond the divider: with SDR memory this image reaches "
            "at most 287 MHz");
  EXPECT_EQ(document->image().byteAt(document->image().memoryFeedbackDivPtr), 255);
}

struct RefusalCase {
  const char* name;
  test::RomSpec spec;
  std::function<EditResult(Document&)> edit;
  EditReason reason;
  const char* why;
};

test::RomSpec withoutTvTable() {
  test::RomSpec spec;
  spec.hasTvTable = false;
  return spec;
}

test::RomSpec withoutMemoryConfig() {
  test::RomSpec spec;
  spec.memoryConfig1 = 0;
  spec.memoryConfig2 = 0;
  return spec;
}

test::RomSpec withoutFonts() {
  test::RomSpec spec;
  spec.hasFonts = false;
  return spec;
}

const RefusalCase kRefusals[] = {
    {"memory type without one in the scripts", withoutMemoryConfig(),
     [](Document& d) { return d.setMemoryType(1); }, EditReason::kNoMemoryType,
     "this image has no memory type in its scripts"},
    {"CAS without one in the scripts", withoutMemoryConfig(),
     [](Document& d) { return d.setCas(1); }, EditReason::kNoCasLatency,
     "this image has no CAS latency in its scripts"},
    {"memory type not in the list",
     {},
     [](Document& d) { return d.setMemoryType(3); },
     EditReason::kNoSuchChoice,
     "no such memory type"},
    {"CAS not in the list",
     {},
     [](Document& d) { return d.setCas(4); },
     EditReason::kNoSuchChoice,
     "no such CAS latency"},
    {"TV standard without a table", withoutTvTable(),
     [](Document& d) { return d.setTvStandard(1); }, EditReason::kNoTvTable,
     "this image has no \"$TV\" table"},
    {"CRT output without a table", withoutTvTable(),
     [](Document& d) { return d.setCrtOutput(false); }, EditReason::kNoTvTable, "\"$TV\""},
    {"every standard without a table", withoutTvTable(),
     [](Document& d) { return d.setAllTvStandards(true); }, EditReason::kNoTvTable, "\"$TV\""},
    {"an unsupported standard",
     {},
     [](Document& d) { return d.setTvStandard(4); },
     EditReason::kTvStandardNotOffered,
     "is not among the standards this image supports"},
    {"a standard past the list",
     {},
     [](Document& d) { return d.setTvStandard(9); },
     EditReason::kNoSuchChoice,
     "no such TV standard"},
    {"a font without its table", withoutFonts(),
     [](Document& d) { return d.importFont(16, Bytes(4096, 0x11)); }, EditReason::kNoFontTable,
     "this image has no 8x16 font table"},
    {"a font of the other size",
     {},
     [](Document& d) { return d.importFont(8, Bytes(4096, 0x11)); },
     EditReason::kNoSuchChoice,
     "a font of another size"},
};

class Refusals : public testing::TestWithParam<RefusalCase> {};

TEST_P(Refusals, NameTheReasonAndChangeNothing) {
  const RefusalCase& c = GetParam();
  std::unique_ptr<Document> document = openBytes(test::buildRom(c.spec).bytes);
  ASSERT_TRUE(document->isOpen());
  const Bytes before = imageBytes(*document);
  const EditResult result = c.edit(*document);
  EXPECT_EQ(result.outcome, EditOutcome::kRefused);
  EXPECT_EQ(result.reason, c.reason);
  EXPECT_NE(result.why.find(c.why), std::string::npos) << result.why;
  EXPECT_EQ(imageBytes(*document), before);
  EXPECT_FALSE(document->hasUnsavedChanges());
}

INSTANTIATE_TEST_SUITE_P(Edits, Refusals, testing::ValuesIn(kRefusals), caseName<RefusalCase>);

// The outputs byte of the "$TV" table: one output always stays on, and the
// bits beside the two are kept.
TEST(Outputs, OneAlwaysStaysOn) {
  struct Case {
    uint8_t outputs;
    bool crt;  // which output is changed
    bool on;
    uint8_t after;
    EditOutcome outcome;
  };
  for (const Case& c : {Case{0x01, true, false, 0x02, EditOutcome::kAdjusted},  // TV was off
                        Case{0x03, true, false, 0x02, EditOutcome::kApplied},
                        Case{0x02, false, false, 0x01, EditOutcome::kAdjusted},  // CRT was off
                        Case{0x81, false, true, 0x83, EditOutcome::kApplied},
                        Case{0xF0, true, true, 0xF1, EditOutcome::kApplied}}) {
    SCOPED_TRACE(int{c.outputs});
    test::RomSpec spec;
    spec.tvOutputs = c.outputs;
    const test::BuiltRom rom = test::buildRom(spec);
    std::unique_ptr<Document> document = openBytes(rom.bytes);
    const EditResult result = c.crt ? document->setCrtOutput(c.on) : document->setTvOutput(c.on);
    EXPECT_EQ(result.outcome, c.outcome);
    EXPECT_EQ(result.reason == EditReason::kOtherOutputOn, c.outcome == EditOutcome::kAdjusted);
    EXPECT_EQ(document->image().byteAt(rom.layout.tvTableOffset + 9), c.after);
  }
}

// Opening keeps the image's own bytes until the user changes something: a
// clock beyond the range is shown clamped but not written, and a choice
// that is already made writes nothing.
TEST(Open, KeepsTheImageUntilAnEdit) {
  test::RomSpec spec = synchronizedSpec();
  spec.coreClockWord = spec.memoryClockWord = 60000;  // 600 MHz
  const Bytes bytes = test::buildRom(spec).bytes;
  std::unique_ptr<Document> document = openBytes(bytes);
  ASSERT_TRUE(document->isOpen());
  EXPECT_EQ(document->coreMHz(), 575);
  EXPECT_TRUE(document->clocksSynchronized());
  EXPECT_EQ(document->setClocksSynchronized(true).outcome, EditOutcome::kApplied);
  EXPECT_EQ(document->setCrtOutput(true).outcome, EditOutcome::kApplied);
  EXPECT_EQ(imageBytes(*document), bytes);
  EXPECT_EQ(Bytes(document->loadedBytes().begin(), document->loadedBytes().end()), bytes);
  EXPECT_FALSE(document->hasUnsavedChanges());
  EXPECT_EQ(document->fileName(), "in.rom");
}

// Offering every standard changes nothing until a save, which marks them
// all supported: it counts as a change, and turning it off again undoes it.
TEST(Save, CountsWhatOnlyTheSaveApplies) {
  std::unique_ptr<Document> document = openBytes(test::buildRom().bytes);
  ASSERT_FALSE(document->setAllTvStandards(true).refused());
  EXPECT_TRUE(document->hasUnsavedChanges());
  ASSERT_FALSE(document->setAllTvStandards(false).refused());
  EXPECT_FALSE(document->hasUnsavedChanges());
  ASSERT_FALSE(document->setAllTvStandards(true).refused());
  const std::span<const uint8_t> written = document->prepareSave();
  EXPECT_EQ(tvSupportedMask(document->image()), 0xFF);
  EXPECT_TRUE(document->image().checksumsValid());
  EXPECT_EQ(written.size(), static_cast<size_t>(document->image().length));
  document->saved("out.rom");
  EXPECT_FALSE(document->hasUnsavedChanges());
  EXPECT_EQ(document->fileName(), "out.rom");
}

// What an edit may change, to compare a document before and after.
struct Snapshot {
  Bytes bytes;
  int coreMHz, memoryMHz;
  bool synchronized, allTvStandards;
  int memoryType, cas, tvStandard;
  bool operator==(const Snapshot&) const = default;
};

Snapshot snapshot(const Document& d) {
  const BiosImage& image = d.image();
  return {imageBytes(d),      d.coreMHz(),      d.memoryMHz(),  d.clocksSynchronized(),
          d.allTvStandards(), image.memoryType, image.casIndex, image.tvStandard};
}

struct HistoryCase {
  const char* name;
  std::function<EditResult(Document&)> edit;
  bool fontEdit = false;
};

const HistoryCase kEveryEdit[] = {
    {"core clock", [](Document& d) { return d.setCoreClock(320); }},
    {"memory clock", [](Document& d) { return d.setMemoryClock(180); }},
    {"synchronisation", [](Document& d) { return d.setClocksSynchronized(true); }},
    {"memory type", [](Document& d) { return d.setMemoryType(2); }},
    {"CAS", [](Document& d) { return d.setCas(3); }},
    {"TV standard", [](Document& d) { return d.setTvStandard(2); }},
    {"CRT output", [](Document& d) { return d.setCrtOutput(false); }},
    {"TV output", [](Document& d) { return d.setTvOutput(true); }},
    {"every standard offered", [](Document& d) { return d.setAllTvStandards(true); }},
    {"vendor", [](Document& d) { return d.setVendorId(0x10DE); }},
    {"8x8 font", [](Document& d) { return d.importFont(8, Bytes(2048, 0x5A)); }, true},
    {"8x16 font", [](Document& d) { return d.importFont(16, Bytes(4096, 0x5A)); }, true},
};

class History : public testing::TestWithParam<HistoryCase> {};

// Each edit is one step: undone it leaves the document exactly as opened
// (nothing to save), redone exactly as edited; revert is a step too.
TEST_P(History, EveryEditIsOneStepBackAndForth) {
  std::unique_ptr<Document> document = openBytes(test::buildRom().bytes);
  const Snapshot opened = snapshot(*document);
  ASSERT_FALSE(GetParam().edit(*document).refused());
  const Snapshot edited = snapshot(*document);
  ASSERT_FALSE(edited == opened) << "the edit changed nothing";
  EXPECT_TRUE(document->canUndo());
  EXPECT_FALSE(document->canRedo());

  ASSERT_TRUE(document->undo());
  EXPECT_TRUE(snapshot(*document) == opened);
  EXPECT_FALSE(document->hasUnsavedChanges());
  EXPECT_FALSE(document->canUndo());
  ASSERT_TRUE(document->redo());
  EXPECT_TRUE(snapshot(*document) == edited);
  EXPECT_FALSE(document->canRedo());

  ASSERT_FALSE(document->revert().refused());
  EXPECT_TRUE(snapshot(*document) == opened);
  ASSERT_TRUE(document->undo());
  EXPECT_TRUE(snapshot(*document) == edited);
}

INSTANTIATE_TEST_SUITE_P(Edits, History, testing::ValuesIn(kEveryEdit), caseName<HistoryCase>);

// --- a BIOS of a later family: its fonts alone ---------------------------------

// A later family's image with one thing changed and the checksums sealed
// again, unless the change is to the checksums themselves.
Bytes laterFamily(void (*change)(test::BuiltRom&), bool seal = true) {
  test::BuiltRom rom = test::buildRom(test::laterFamilySpec());
  change(rom);
  if (seal) test::sealChecksums(rom.bytes, rom.layout.checksumBlockOffset, rom.layout.spareByte);
  return rom.bytes;
}

Bytes laterFamilyWithout(bool test::RomSpec::*part) {
  test::RomSpec spec = test::laterFamilySpec();
  spec.*part = false;
  return test::buildRom(spec).bytes;
}

void blankFont(test::BuiltRom& rom, int32_t offset, size_t size) {
  std::fill_n(rom.bytes.begin() + offset, size, 0);
}

struct ScopeCase {
  const char* name;
  Bytes bytes;
  std::optional<EditScope> scope;  // nothing: refused as not valid
};

const ScopeCase kScopes[] = {
    {"a valid image", test::buildRom().bytes, EditScope::kWholeImage},
    {"a later family", laterFamily([](test::BuiltRom&) {}), EditScope::kFontsOnly},
    {"a later family with bad checksums",
     laterFamily([](test::BuiltRom& rom) { ++rom.bytes[rom.layout.spareByte]; }, false),
     {}},
    {"a later family with an implausible 8x8 font",
     laterFamily([](test::BuiltRom& r) { blankFont(r, r.layout.font8x8Offset, 2048); }),
     {}},
    {"a later family with an implausible 8x16 font",
     laterFamily([](test::BuiltRom& r) { blankFont(r, r.layout.font8x16Offset, 4096); }),
     {}},
    {"a later family without fonts", laterFamilyWithout(&test::RomSpec::hasFonts), {}},
    {"a later family without a PLL table", laterFamilyWithout(&test::RomSpec::hasPllTable), {}},
    {"a later family without the signature text",
     laterFamily([](test::BuiltRom& rom) { rom.bytes[0x31] = 'X'; }),
     {}},
    {"a later family whose checksum block is broken",
     laterFamily([](test::BuiltRom& r) { r.bytes[r.layout.checksumBlockOffset + 4] = 0; }),
     {}},
};

class OpenScope : public testing::TestWithParam<ScopeCase> {};

// Only a later family that fails nothing else opens, and then its fonts
// alone; every other refusal keeps the reason it had.
TEST_P(OpenScope, FontsOnlyForALaterFamilyThatFailsNothingElse) {
  const ScopeCase& c = GetParam();
  std::unique_ptr<BiosImage> candidate = test::loadImage(c.bytes);
  const std::optional<OpenRefusal> refusal = checkForEditing(*candidate);
  if (!c.scope) {
    ASSERT_TRUE(refusal);
    EXPECT_EQ(refusal->kind, OpenRefusal::Kind::kNotValid);
    return;
  }
  ASSERT_FALSE(refusal) << refusal->reason;
  Document document;
  document.open(*candidate, "in.rom");
  EXPECT_EQ(document.scope(), *c.scope);
}

INSTANTIATE_TEST_SUITE_P(Load, OpenScope, testing::ValuesIn(kScopes), caseName<ScopeCase>);

// The 9x16 alternate table's entries, up to its terminating zero.
int32_t alternatesEnd(const BiosImage& image) {
  int32_t end = image.altFont9x16Offset;
  while (end != 0 && end + kAltGlyphEntrySize <= image.length && image.bytes[end] != 0)
    end += kAltGlyphEntrySize;
  return end;
}

// The first offset outside the font tables, the 9x16 alternates and the
// checksum block where the saved bytes differ from the opened ones; -1 for
// none.
int32_t changedOutsideFontsAndChecksums(const BiosImage& image, const Bytes& opened,
                                        std::span<const uint8_t> saved) {
  auto within = [](int32_t at, int32_t start, int32_t end) { return at >= start && at < end; };
  for (int32_t at = 0; at < static_cast<int32_t>(opened.size()); ++at) {
    const auto p = static_cast<size_t>(at);
    if (p >= saved.size()) return at;
    if (saved[p] == opened[p]) continue;
    if (within(at, image.font8x8Offset, image.font8x8Offset + kFont8x8Size)) continue;
    if (within(at, image.font8x16Offset, image.font8x16Offset + kFont8x16Size)) continue;
    if (within(at, image.altFont9x16Offset, alternatesEnd(image))) continue;
    if (within(at, image.checksumBlockOffset, image.checksumBlockOffset + kChecksumBlockSize)) {
      continue;
    }
    return at;
  }
  return saved.size() == opened.size() ? -1 : static_cast<int32_t>(opened.size());
}

// Every edit but a font import is refused, and a save writes the fonts and
// the checksum block alone.
TEST(FontsOnly, RefusesEveryEditButTheFonts) {
  const Bytes opened = laterFamily([](test::BuiltRom&) {});
  std::unique_ptr<Document> document = openBytes(opened);
  ASSERT_TRUE(document->isOpen());
  // The fonts of the table do not look like fonts: the saved image would
  // not open again.
  for (const HistoryCase& edit : kEveryEdit) {
    const EditResult result = edit.edit(*document);
    EXPECT_TRUE(result.refused()) << edit.name;
    EXPECT_EQ(result.reason, edit.fontEdit ? EditReason::kImplausibleFont : EditReason::kFontsOnly)
        << edit.name;
  }
  EXPECT_FALSE(document->canUndo());
  EXPECT_FALSE(document->allTvStandards());
  Bytes glyphs(document->fontTable(16).begin(), document->fontTable(16).end());
  glyphs['A' * 16 + 3] ^= 0xFF;
  ASSERT_FALSE(document->importFont(16, glyphs).refused());
  const std::span<const uint8_t> saved = document->prepareSave();
  const BiosImage& image = document->image();
  EXPECT_TRUE(image.checksumsValid());
  EXPECT_EQ(changedOutsideFontsAndChecksums(image, opened, saved), -1);
}

// Of a BIOS of a later family from a real card, a font imported and saved
// changes the font tables, the 9x16 alternates and the checksum block, and
// the saved image opens again, its fonts alone, with sound checksums.
TEST(FontsOnly, RealImagesSaveTheirNewFontsAndNothingElse) {
  const std::optional<std::string> data = test::testDataDir();
  if (!data) GTEST_SKIP() << "no shared test data (../shared/testdata or $VARNEL_TESTDATA)";
  const Bytes font8x8 = test::readFile(*data + "/fonts/IBM_VGA_8x8.bin");
  const Bytes font8x16 = test::readFile(*data + "/fonts/IBM_VGA_8x16.bin");
  for (const char* name : {"Connect3D.9500NP.128.Infineon30.021212.rom",
                           "Sapphire.9600PRO.128.Samsung28.030829.rom"}) {
    SCOPED_TRACE(name);
    const Bytes opened = test::readFile(*data + "/roms/" + name);
    std::unique_ptr<Document> document = openBytes(opened);
    ASSERT_TRUE(document->isOpen());
    ASSERT_EQ(document->scope(), EditScope::kFontsOnly);
    ASSERT_NE(document->image().altFont9x16Offset, 0);
    ASSERT_FALSE(document->importFont(8, font8x8).refused());
    ASSERT_FALSE(document->importFont(16, font8x16).refused());
    const std::span<const uint8_t> saved = document->prepareSave();
    EXPECT_EQ(changedOutsideFontsAndChecksums(document->image(), opened, saved), -1);

    std::unique_ptr<Document> again = openBytes(Bytes(saved.begin(), saved.end()));
    ASSERT_TRUE(again->isOpen());
    EXPECT_EQ(again->scope(), EditScope::kFontsOnly);
    EXPECT_TRUE(again->image().checksumsValid());
    EXPECT_TRUE(std::ranges::equal(again->fontTable(16), font8x16));
  }
}

TEST(HistorySteps, AClockGestureIsOneStepAndNothingChangedIsNone) {
  std::unique_ptr<Document> document = openBytes(test::buildRom().bytes);
  // A drag, or typing in the clock's edit: every value on the way.
  for (int mhz : {280, 290, 300})
    document->setCoreClock(mhz);
  document->endGesture();
  document->setCoreClock(310);
  EXPECT_TRUE(document->setCas(9).refused());  // refused: no step
  document->setCas(2);                         // CAS2 already: no step
  ASSERT_TRUE(document->undo());
  EXPECT_EQ(document->coreMHz(), 300);
  ASSERT_TRUE(document->undo());
  EXPECT_EQ(document->coreMHz(), 275);
  EXPECT_FALSE(document->canUndo());
  // A new edit drops what could have been redone.
  document->setVendorId(0x1234);
  EXPECT_FALSE(document->canRedo());
  // Opening an image starts a new history.
  std::unique_ptr<BiosImage> again = test::loadImage(test::buildRom().bytes);
  document->open(*again, "again.rom");
  EXPECT_FALSE(document->canUndo());
  EXPECT_FALSE(document->undo());
}

struct ReportCase {
  const char* name;
  std::function<void(Document&)> edit;
  std::vector<std::string> changes;
  std::vector<std::string> warnings;
};

const ReportCase kReports[] = {
    {"nothing", [](Document&) {}, {}, {}},
    {"a tenth up is no warning",
     [](Document& d) { d.setCoreClock(302); },
     {"Core clock: 275 -> 302 MHz (real 274.50 -> 301.50 MHz)"},
     {}},
    {"more than a tenth up",
     [](Document& d) { d.setCoreClock(303); },
     {"Core clock: 275 -> 303 MHz (real 274.50 -> 301.50 MHz)"},
     {"The core clock is more than 10 % above the original's: 275 -> 303 MHz."}},
    {"memory more than a tenth up",
     [](Document& d) { d.setMemoryClock(298); },
     {"Memory clock: 270 -> 298 MHz (real 270.00 -> 297.00 MHz, effective 540.00 -> 594.00 MHz)"},
     {"The memory clock is more than 10 % above the original's: 270 -> 298 MHz."}},
    {"SDR beyond the divider on a DDR BIOS",
     [](Document& d) {
       d.setMemoryType(2);
       d.setMemoryClock(290);
     },
     {"Memory clock: 270 -> 290 MHz (real 270.00 -> 573.75 MHz, effective 540.00 -> 573.75 MHz)",
      "Memory type: DDR -> SDR"},
     {"A memory clock of 290 MHz is beyond the divider with SDR memory: the card will run it at "
      "573.75 MHz.",
      "SDR memory is chosen on a DDR BIOS: its configuration text says DDR."}},
    {"CAS", [](Document& d) { d.setCas(3); }, {"CAS latency: CAS2 (Normal) -> CAS3 (Slow)"}, {}},
    {"TV standard and outputs",
     [](Document& d) {
       d.setTvStandard(2);
       d.setCrtOutput(false);
     },
     {"TV standard at start-up: NTSC -> PAL", "CRT output at start-up: on -> off",
      "TV output at start-up: off -> on"},
     {}},
    {"every standard marked on save",
     [](Document& d) { d.setAllTvStandards(true); },
     {"TV standards marked supported: NTSC, PAL -> all"},
     {}},
    {"vendor",
     [](Document& d) { d.setVendorId(0x10DE); },
     {"Vendor ID: 1002 -> 10DE"},
     {"The vendor ID differs from the original's: 1002 -> 10DE."}},
    {"a font",
     [](Document& d) { d.importFont(16, Bytes(4096, 0x5A)); },
     {"8x16 font: 256 of 256 glyphs changed"},
     {}},
};

class Report : public testing::TestWithParam<ReportCase> {};

TEST_P(Report, SaysWhatASaveChangesAndWarns) {
  const ReportCase& c = GetParam();
  std::unique_ptr<Document> document = openBytes(test::buildRom().bytes);
  c.edit(*document);
  const ChangeReport report = document->changesToSave();
  EXPECT_EQ(report.changes, c.changes);
  EXPECT_EQ(report.warnings, c.warnings);
  EXPECT_EQ(report.differingBytes == 0, c.changes.empty());
}

INSTANTIATE_TEST_SUITE_P(Edits, Report, testing::ValuesIn(kReports), caseName<ReportCase>);

}  // namespace
}  // namespace varnel
