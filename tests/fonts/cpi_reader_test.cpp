#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <set>

#include "fonts/cpi_reader.h"
#include "fonts/font_tables.h"
#include "io/file_io.h"
#include "support/cpi_builder.h"
#include "support/faults.h"
#include "support/test_paths.h"

namespace varnel {
namespace {

using test::Bytes;
using test::CpiEntrySpec;
using test::CpiFontSpec;
using test::CpiSpec;

struct Listing {
  int result;
  std::vector<CpiFontEntry> fonts;
  std::string whyNot;  // "" when read or when the signature is missing
};

Listing list(const Bytes& file, int width, int height) {
  MemoryByteStream stream(file);
  auto entries = std::make_unique<CpiFontList>();
  Listing listing;
  const char* whyNot = "not set";
  listing.result = readCpiFonts(stream, *entries, width, height, &whyNot);
  listing.whyNot = whyNot != nullptr ? whyNot : "";
  for (int i = 0; i < listing.result; ++i)
    listing.fonts.push_back((*entries)[static_cast<size_t>(i)]);
  return listing;
}

const std::vector<CpiFontSpec> kThreeSizes = {{8, 16}, {8, 14}, {8, 8}};

CpiSpec twoCodePages(bool relative = false) {
  CpiSpec spec;
  spec.entries = {{437, kThreeSizes}, {850, kThreeSizes}};
  spec.relativeOffsets = relative;
  return spec;
}

TEST(ReadCpiFonts, ListsTheFontsOfTheWantedSizeInFileOrder) {
  for (bool relative : {false, true}) {
    const test::BuiltCpi cpi = test::buildCpi(twoCodePages(relative));
    const Listing tall = list(cpi.bytes, 8, 16);
    ASSERT_EQ(tall.result, 2) << "relative " << relative;
    EXPECT_EQ(tall.fonts[0].codePage, 437);
    EXPECT_EQ(tall.fonts[1].codePage, 850);
    EXPECT_EQ(tall.fonts[0].dataOffset, cpi.dataOffsets[0]);
    EXPECT_EQ(tall.fonts[1].dataOffset, cpi.dataOffsets[3]);
    EXPECT_EQ(tall.fonts[1].width, 8);
    EXPECT_EQ(tall.fonts[1].height, 16);
    const Listing small = list(cpi.bytes, 8, 8);
    ASSERT_EQ(small.result, 2);
    EXPECT_EQ(small.fonts[0].dataOffset, cpi.dataOffsets[2]);
    EXPECT_EQ(small.fonts[1].dataOffset, cpi.dataOffsets[5]);
    EXPECT_EQ(list(cpi.bytes, 8, 12).result, 0);
    EXPECT_EQ(list(cpi.bytes, 9, 16).result, 0);
  }
}

TEST(ReadCpiFonts, CodePageIncludesTheTwoBytesAfterIt) {
  test::BuiltCpi cpi = test::buildCpi(twoCodePages());
  cpi.bytes[cpi.entryStarts[0] + 18] = 0x01;
  const Listing tall = list(cpi.bytes, 8, 16);
  ASSERT_EQ(tall.result, 2);
  EXPECT_EQ(tall.fonts[0].codePage, 437 + 0x10000);
}

TEST(ReadCpiFonts, TwoFontsOfTheSizeInOneEntryAreBothListed) {
  CpiSpec spec;
  spec.entries = {{866, {{8, 16}, {8, 8}, {8, 16}}}};
  const test::BuiltCpi cpi = test::buildCpi(spec);
  const Listing tall = list(cpi.bytes, 8, 16);
  ASSERT_EQ(tall.result, 2);
  EXPECT_EQ(tall.fonts[0].dataOffset, cpi.dataOffsets[0]);
  EXPECT_EQ(tall.fonts[1].dataOffset, cpi.dataOffsets[2]);
}

TEST(ReadCpiFonts, HeaderRules) {
  const Bytes good = test::buildCpi(twoCodePages()).bytes;
  const Listing cut = list(Bytes(good.begin(), good.begin() + 24), 8, 16);
  EXPECT_EQ(cut.result, -1);
  EXPECT_EQ(cut.whyNot, "the file ends inside a header");
  EXPECT_EQ(list(Bytes(good.begin(), good.begin() + 5), 8, 16).whyNot,
            "the file ends inside a header");
  // Without the signature the file may be a raw font: no reason is given.
  for (const Bytes& unsigned_ : {Bytes(), Bytes(good.begin(), good.begin() + 4)}) {
    const Listing listing = list(unsigned_, 8, 16);
    EXPECT_EQ(listing.result, -1);
    EXPECT_EQ(listing.whyNot, "");
  }
  for (size_t at : {size_t{0}, size_t{1}, size_t{4}}) {
    Bytes bad = good;
    bad[at] ^= 0x20;
    EXPECT_EQ(list(bad, 8, 16).result, -1) << "magic byte " << at;
    EXPECT_EQ(list(bad, 8, 16).whyNot, "") << "magic byte " << at;
  }
  Bytes free = good;
  for (size_t at = 5; at < 23; ++at)
    free[at] = 0xA5;
  EXPECT_EQ(list(free, 8, 16).result, 2);
}

TEST(ReadCpiFonts, NoEntriesMeansNoFonts) {
  for (uint16_t count : {uint16_t{0}, uint16_t{0x8000}, uint16_t{0xFFFF}}) {
    Bytes file = test::buildCpi(twoCodePages()).bytes;
    test::putWord(file, 23, count);
    EXPECT_EQ(list(file, 8, 16).result, 0) << count;
  }
}

struct EntryBreakage {
  const char* name;
  size_t offsetInEntry;
  uint8_t value;
  const char* whyNot;
};

constexpr const char* kNotEntry = "a code-page entry header does not have the size 28";
constexpr const char* kNotScreen = "a code-page entry is not for an EGA or VGA screen";
constexpr const char* kSizes =
    "a code-page entry's sizes do not agree with where the next entry starts";

class ReadCpiFontsRefuses : public testing::TestWithParam<EntryBreakage> {};

// A broken second entry makes the whole file unreadable, even though the
// first entry held a font of the wanted size.
TEST_P(ReadCpiFontsRefuses, WholeFileForOneBadEntry) {
  test::BuiltCpi cpi = test::buildCpi(twoCodePages());
  cpi.bytes[cpi.entryStarts[1] + GetParam().offsetInEntry] = GetParam().value;
  const Listing listing = list(cpi.bytes, 8, 16);
  EXPECT_EQ(listing.result, -1);
  EXPECT_EQ(listing.whyNot, GetParam().whyNot);
}

INSTANTIATE_TEST_SUITE_P(Breakages, ReadCpiFontsRefuses,
                         testing::Values(EntryBreakage{"HeaderSize1D", 0, 0x1D, kNotEntry},
                                         EntryBreakage{"HeaderSizeHigh", 1, 1, kNotEntry},
                                         EntryBreakage{"PrinterDevice", 8, 'L', kNotScreen},
                                         EntryBreakage{"LowerCaseDevice", 10, 'a', kNotScreen},
                                         EntryBreakage{"NextEntryOffByOne", 2, 0x00, kSizes},
                                         EntryBreakage{"InfoOffsetChanged", 24, 0x77, kSizes},
                                         EntryBreakage{"FontDataSizeChanged", 32, 0x01, kSizes}),
                         [](const testing::TestParamInfo<EntryBreakage>& info) {
                           return std::string(info.param.name);
                         });

// Files that DOS reads may count only the glyph bytes in an entry's
// font-information size; the next-entry offset then decides, and the fonts
// must fill that size exactly.
TEST(ReadCpiFonts, SizeCountingOnlyTheGlyphsIsReadWhenTheFontsFillIt) {
  for (bool relative : {false, true}) {
    CpiSpec spec = twoCodePages(relative);
    spec.sizeCountsGlyphsOnly = true;
    test::BuiltCpi cpi = test::buildCpi(spec);
    const Listing tall = list(cpi.bytes, 8, 16);
    ASSERT_EQ(tall.result, 2) << "relative " << relative;
    EXPECT_EQ(tall.fonts[1].dataOffset, cpi.dataOffsets[3]);
    // The first entry's 8x8 font claims 8x6: its glyphs no longer fill
    // the size.
    cpi.bytes[static_cast<size_t>(cpi.dataOffsets[2]) - 6] = 6;
    const Listing shrunk = list(cpi.bytes, 8, 16);
    EXPECT_EQ(shrunk.result, -1) << "relative " << relative;
    EXPECT_EQ(shrunk.whyNot, kSizes) << "relative " << relative;
  }
}

TEST(ReadCpiFonts, LastEntryWithANextOffsetOfZeroIsRefused) {
  test::BuiltCpi cpi = test::buildCpi(twoCodePages());
  test::putDword(cpi.bytes, cpi.entryStarts[1] + 2, 0);
  EXPECT_EQ(list(cpi.bytes, 8, 16).result, -1);
}

TEST(ReadCpiFonts, FontDataPastTheEndIsRefusedWhateverItsSize) {
  CpiSpec spec;
  spec.entries = {{437, {{8, 16}, {8, 14}}}};
  const test::BuiltCpi cpi = test::buildCpi(spec);
  // The 8x14 font, not the one asked for, lost its last byte.
  const Bytes cut(cpi.bytes.begin(), cpi.bytes.end() - 1);
  EXPECT_EQ(list(cut, 8, 16).result, -1);
  EXPECT_EQ(list(cpi.bytes, 8, 16).result, 1);
}

TEST(ReadCpiFonts, AtMost1024Matches) {
  for (int fonts : {1024, 1025}) {
    CpiSpec spec;
    for (int k = 0; k < fonts; ++k)
      spec.entries.push_back({static_cast<uint16_t>(k), {{8, 1}}});
    const Listing listing = list(test::buildCpi(spec).bytes, 8, 1);
    EXPECT_EQ(listing.result, fonts == 1024 ? 1024 : -1);
    if (fonts == 1024) {
      EXPECT_EQ(listing.fonts.back().codePage, 1023);
    }
  }
}

TEST(ReadCpiFonts, StreamFailuresReachTheCaller) {
  const test::BuiltCpi cpi = test::buildCpi(twoCodePages());
  test::FailingStream stream(cpi.bytes, static_cast<int64_t>(cpi.entryStarts[1]) + 10);
  auto entries = std::make_unique<CpiFontList>();
  EXPECT_THROW(readCpiFonts(stream, *entries, 8, 16), StreamError);
}

TEST(ReadCpiFonts, NegativeFontHeightSeeksBeforeTheStart) {
  CpiSpec spec;
  spec.entries = {{437, {{8, -128}}}};
  Bytes file = test::buildCpi(spec).bytes;
  auto entries = std::make_unique<CpiFontList>();
  MemoryByteStream stream(file);
  EXPECT_THROW(readCpiFonts(stream, *entries, 8, 16), StreamError);
}

TEST(ReadCpiFonts, ReadsFilesOnDiskAlike) {
  test::TempDir dir;
  const test::BuiltCpi cpi = test::buildCpi(twoCodePages());
  test::writeFile(dir.file("two.cpi"), cpi.bytes);
  FileByteStream stream(dir.file("two.cpi"));
  auto entries = std::make_unique<CpiFontList>();
  EXPECT_EQ(readCpiFonts(stream, *entries, 8, 16), 2);
  EXPECT_EQ((*entries)[1].dataOffset, cpi.dataOffsets[3]);
  EXPECT_THROW(FileByteStream(dir.file("missing.cpi")), FileError);
}

// --- files that send the walk backwards -------------------------------------

// A stream over a few chunks of bytes spread over a length of zeros (a
// sparse file, as large as wanted), which remembers where each read began.
class SparseStream final : public ByteStream {
 public:
  SparseStream(std::map<int64_t, Bytes> chunks, int64_t length)
      : chunks_(std::move(chunks)), length_(length) {}
  explicit SparseStream(const Bytes& file)
      : SparseStream({{0, file}}, static_cast<int64_t>(file.size())) {}

  void seekTo(int64_t position) override {
    if (position < 0) throw StreamError("seek before the start");
    position_ = position;
  }
  void seekBy(int64_t offset) override { seekTo(position_ + offset); }
  int32_t read(uint8_t* buffer, int32_t count) override {
    reads.push_back(position_);
    int32_t n = 0;
    for (; n < count && position_ < length_; ++n, ++position_)
      buffer[n] = byteAt(position_);
    return n;
  }
  int64_t position() override { return position_; }
  int64_t length() override { return length_; }

  std::vector<int64_t> reads;

 private:
  uint8_t byteAt(int64_t position) const {
    auto chunk = chunks_.upper_bound(position);
    if (chunk == chunks_.begin()) return 0;
    --chunk;
    const int64_t within = position - chunk->first;
    return within < static_cast<int64_t>(chunk->second.size())
               ? chunk->second[static_cast<size_t>(within)]
               : 0;
  }

  std::map<int64_t, Bytes> chunks_;
  int64_t length_;
  int64_t position_ = 0;
};

struct Outcome {
  int result = 0;
  bool threw = false;
  std::vector<CpiFontEntry> fonts;
  std::vector<int64_t> reads;

  bool revisits() const { return std::set<int64_t>(reads.begin(), reads.end()).size() != reads.size(); }
};

std::vector<std::array<int32_t, 4>> fieldsOf(const std::vector<CpiFontEntry>& fonts) {
  std::vector<std::array<int32_t, 4>> fields;
  for (const CpiFontEntry& font : fonts)
    fields.push_back({font.codePage, font.width, font.height, font.dataOffset});
  return fields;
}

Outcome readThrough(SparseStream& stream, int width, int height) {
  auto entries = std::make_unique<CpiFontList>();
  Outcome outcome;
  try {
    outcome.result = readCpiFonts(stream, *entries, width, height);
  } catch (const StreamError&) {
    outcome.threw = true;
  }
  for (int i = 0; i < outcome.result; ++i)
    outcome.fonts.push_back((*entries)[static_cast<size_t>(i)]);
  outcome.reads = stream.reads;
  return outcome;
}

Outcome readThrough(const Bytes& file, int width, int height) {
  SparseStream stream(file);
  return readThrough(stream, width, height);
}

// The walk exactly as the format describes it, with nothing to stop a file
// that sends it round in circles. It gives up once it has read more headers
// than the file has bytes, which only a walk that came back can do.
Outcome straightforwardWalk(const Bytes& file, int wantWidth, int wantHeight) {
  Outcome walk;
  const auto length = static_cast<int64_t>(file.size());
  int64_t at = 0;
  auto read = [&](int64_t n) -> const uint8_t* {
    walk.reads.push_back(at);
    if (at + n > length) return nullptr;
    at += n;
    return file.data() + at - n;
  };
  auto seek = [&](int64_t to) {
    if (to < 0) throw StreamError("seek before the start");
    at = to;
  };
  auto s16 = [](const uint8_t* p) { return static_cast<int16_t>(p[0] | p[1] << 8); };
  auto u32 = [](const uint8_t* p) {
    return static_cast<uint32_t>(p[0] | p[1] << 8 | p[2] << 16) | static_cast<uint32_t>(p[3]) << 24;
  };
  auto refuse = [&] {
    walk.result = -1;
    walk.fonts.clear();
    return walk;
  };
  try {
    const uint8_t* header = read(25);
    if (header == nullptr || std::memcmp(header, "\xFF" "FONT", 5) != 0) return refuse();
    for (int j = 0; j < s16(header + 23); ++j) {
      const int64_t start = at;
      const uint8_t* e = read(34);
      if (e == nullptr || e[0] != 0x1C || e[1] != 0 || std::memcmp(e + 8, "EGA     ", 8) != 0 ||
          u32(e + 2) - u32(e + 24) + 28 != static_cast<uint32_t>(s16(e + 32) + 34)) {
        return refuse();
      }
      for (int k = 0; k < s16(e + 30); ++k) {
        const uint8_t* font = read(6);
        if (font == nullptr) return refuse();
        const int h = static_cast<int8_t>(font[0]);
        const int w = static_cast<int8_t>(font[1]);
        const auto size = static_cast<int64_t>(std::floor((w + 7) / 8.0)) * 256 * h;
        if (at + size > length) return refuse();
        if (w == wantWidth && h == wantHeight) {
          if (walk.fonts.size() == 1024) return refuse();
          walk.fonts.push_back({static_cast<int32_t>(u32(e + 16)), w, h, static_cast<int32_t>(at)});
        }
        seek(at + size);
        if (static_cast<int64_t>(walk.reads.size()) > length) return walk;
      }
      seek(start + 34 + s16(e + 32));
    }
  } catch (const StreamError&) {
    walk.threw = true;
    return walk;
  }
  walk.result = static_cast<int>(walk.fonts.size());
  return walk;
}

// Sizes that skip forwards, not at all, and backwards.
const int8_t kOddWidths[] = {8, 8, 8, 1, 9, 16, 0, -1, -7, -8, -9, -15, -16, -17};
const int8_t kOddHeights[] = {16, 16, 8, 14, 1, 0, -1, -2, 2};

// Gives an entry another font-data size, and the next-entry offset that
// goes with it.
void setDataSize(Bytes& file, size_t entry, int16_t size) {
  test::putWord(file, entry + 32, static_cast<uint16_t>(size));
  const uint32_t info = file[entry + 24] | file[entry + 25] << 8 | file[entry + 26] << 16 |
                        static_cast<uint32_t>(file[entry + 27]) << 24;
  test::putDword(file, entry + 2, info + 6 + static_cast<uint32_t>(int32_t{size}));
}

Bytes randomCpi(std::mt19937& random) {
  auto pick = [&](auto& values) { return values[random() % std::size(values)]; };
  CpiSpec spec;
  spec.relativeOffsets = random() % 2 == 0;
  for (uint32_t j = random() % 3 + 1; j > 0; --j) {
    CpiEntrySpec entry{static_cast<uint16_t>(437 + j), {}};
    for (uint32_t k = random() % 5; k > 0; --k)
      entry.fonts.push_back({pick(kOddWidths), pick(kOddHeights)});
    spec.entries.push_back(entry);
  }
  test::BuiltCpi cpi = test::buildCpi(spec);
  Bytes& file = cpi.bytes;
  const auto anyEntry = [&] { return random() % cpi.entryStarts.size(); };
  // Font counts and data sizes that no longer match the file.
  for (uint32_t n = random() % 3; n > 0; --n) {
    const size_t entry = cpi.entryStarts[anyEntry()];
    if (random() % 2 == 0) {
      file[entry + 30] = static_cast<uint8_t>(random() % 8);
    } else {
      setDataSize(file, entry, static_cast<int16_t>(random()));
    }
  }
  if (random() % 4 == 0) {
    // An entry whose next entry is itself or an earlier one.
    const size_t j = anyEntry();
    const size_t target = cpi.entryStarts[random() % (j + 1)];
    setDataSize(file, cpi.entryStarts[j],
                static_cast<int16_t>(static_cast<int32_t>(target - cpi.entryStarts[j]) - 34));
  }
  if (random() % 4 == 0) test::putWord(file, 23, static_cast<uint16_t>(random() % 6 + 1));
  return file;
}

TEST(ReadCpiFonts, ReadsEveryFileThatDoesNotComeBackAsTheStraightforwardWalk) {
  std::mt19937 random(1402);
  int straight = 0;
  int circling = 0;
  for (int round = 0; round < 4000; ++round) {
    const Bytes file = randomCpi(random);
    for (int height : {16, 8, -1}) {
      const Outcome reference = straightforwardWalk(file, 8, height);
      const Outcome read = readThrough(file, 8, height);
      EXPECT_FALSE(read.revisits()) << "round " << round;
      if (reference.revisits()) {
        ++circling;
        EXPECT_EQ(read.result, -1) << "round " << round;
        EXPECT_FALSE(read.threw) << "round " << round;
        continue;
      }
      ++straight;
      EXPECT_EQ(read.threw, reference.threw) << "round " << round;
      EXPECT_EQ(read.result, reference.result) << "round " << round;
      if (read.result > 0) {
        EXPECT_EQ(fieldsOf(read.fonts), fieldsOf(reference.fonts)) << "round " << round;
      }
      EXPECT_EQ(read.reads, reference.reads) << "round " << round;
    }
  }
  // Both kinds were met often enough to mean something.
  EXPECT_GT(straight, 2000);
  EXPECT_GT(circling, 200);
}

// A file whose single entry leads back to itself, 32767 times, with 32767
// fonts that go round 128 headers: about 10^9 header reads if the walk
// followed it.
Bytes circlingFonts() {
  std::vector<CpiFontSpec> fonts(127, CpiFontSpec{0, 1});  // no data: the next header follows
  fonts.push_back({8, -3});                                // back to the first
  test::BuiltCpi cpi = test::buildCpi({{{437, fonts}}});
  const size_t entry = cpi.entryStarts[0];
  test::putWord(cpi.bytes, 23, 0x7FFF);
  test::putWord(cpi.bytes, entry + 30, 0x7FFF);
  test::putWord(cpi.bytes, entry + 32, static_cast<uint16_t>(-34));  // the next entry is this one
  test::putDword(cpi.bytes, entry + 2, static_cast<uint32_t>(entry));
  return cpi.bytes;
}

TEST(ReadCpiFonts, AWalkThatComesBackEndsAsAMalformedFileReadingEachHeaderOnce) {
  struct Case {
    const char* name;
    Bytes file;
    int height;
  };
  constexpr size_t kEntry = 25;
  // An entry that names itself as the next one, without fonts.
  Bytes selfEntry = test::buildCpi({{{437, {}}}}).bytes;
  test::putWord(selfEntry, 23, 0x7FFF);
  test::putWord(selfEntry, kEntry + 32, static_cast<uint16_t>(-34));
  test::putDword(selfEntry, kEntry + 2, kEntry);
  // Fonts without data up to one whose negative size leads back onto the
  // entry's own header.
  Bytes ontoEntry = test::buildCpi({{{437, {}}}}).bytes;
  ontoEntry.resize(kEntry + 250);
  ontoEntry.insert(ontoEntry.end(), {0xFF, 8, 0, 0, 0, 1});  // 8 x -1: 256 bytes back
  test::putWord(ontoEntry, kEntry + 30, 40);
  test::putWord(ontoEntry, kEntry + 32, 222);
  test::putDword(ontoEntry, kEntry + 2, kEntry + 28 + 222 + 6);
  const Case cases[] = {
      {"entry names itself", selfEntry, 16},
      {"fonts go round", circlingFonts(), 1},
      {"font leads back onto its entry", ontoEntry, 16},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(straightforwardWalk(c.file, 8, c.height).revisits()) << c.name;
    const Outcome read = readThrough(c.file, 8, c.height);
    EXPECT_EQ(read.result, -1) << c.name;
    EXPECT_FALSE(read.revisits()) << c.name;
    EXPECT_LE(read.reads.size(), c.file.size() / 6 + 2) << c.name;
  }
}

TEST(ReadCpiFonts, RowBytesOfNegativeWidthsRoundDown) {
  // A font of width w and height -1 has -floor((w + 7) / 8) * 256 bytes of
  // data; the 8x16 font after it is found only where that data ends.
  for (int8_t width : {-8, -9, -15, -16, -17, -1}) {
    CpiSpec spec;
    spec.entries = {{437, {{width, -1}, {8, 16}}}};
    const test::BuiltCpi cpi = test::buildCpi(spec);
    const Listing tall = list(cpi.bytes, 8, 16);
    ASSERT_EQ(tall.result, 1) << int{width};
    EXPECT_EQ(tall.fonts[0].dataOffset, cpi.dataOffsets[1]) << int{width};
  }
}

TEST(ReadCpiFonts, FontDataBeyondWhatTheOffsetHoldsIsRefused) {
  // Fonts of the largest size walk a sparse file past 2 and 4 GiB; an 8x16
  // font there must not be listed at a wrapped-around offset.
  constexpr int64_t kLargestFont = 6 + 16 * 256 * 127;
  for (const int64_t past : {int64_t{1} << 31, int64_t{1} << 32}) {
    const int bigFonts = static_cast<int>(past / kLargestFont) + 1;
    CpiSpec spec;
    spec.entries = {{437, {{8, 16}}}};
    Bytes head = test::buildCpi(spec).bytes;
    head.resize(25 + 34);
    test::putWord(head, 25 + 30, static_cast<uint16_t>(bigFonts + 1));
    std::map<int64_t, Bytes> chunks{{0, head}};
    int64_t at = 25 + 34;
    for (int k = 0; k < bigFonts; ++k, at += kLargestFont)
      chunks[at] = {127, 127, 0, 0, 0, 1};
    chunks[at] = {16, 8, 0, 0, 0, 1};
    SparseStream stream(chunks, at + 6 + 4096);
    EXPECT_EQ(readThrough(stream, 8, 16).result, -1) << past;
    EXPECT_EQ(stream.reads.back(), at) << "the walk reached the font " << past;
  }
}

// A file stream reads ahead; what it returns must be what the bytes hold,
// wherever the reads and seeks fall.
TEST(FileByteStream, ReadsWhatMemoryHoldsWhereverReadsFall) {
  test::TempDir dir;
  Bytes bytes(20000);
  std::mt19937 random(77);
  for (uint8_t& b : bytes)
    b = static_cast<uint8_t>(random());
  test::writeFile(dir.file("bytes"), bytes);
  FileByteStream file(dir.file("bytes"));
  MemoryByteStream memory(bytes);
  for (int step = 0; step < 5000; ++step) {
    const auto to = static_cast<int64_t>(random() % 22000);
    switch (random() % 3) {
      case 0:
        file.seekTo(to);
        memory.seekTo(to);
        break;
      case 1:
        file.seekBy(to - 11000 + file.position() >= 0 ? to - 11000 : 0);
        memory.seekTo(file.position());
        break;
      default: {
        const auto count = static_cast<int32_t>(random() % 3 == 0 ? random() % 9000 : random() % 40);
        Bytes fromFile(static_cast<size_t>(count)), fromMemory(static_cast<size_t>(count));
        const int32_t got = file.read(fromFile.data(), count);
        ASSERT_EQ(got, memory.read(fromMemory.data(), count)) << "step " << step;
        ASSERT_EQ(fromFile, fromMemory) << "step " << step;
      }
    }
    ASSERT_EQ(file.position(), memory.position()) << "step " << step;
  }
  EXPECT_EQ(file.length(), 20000);
  EXPECT_THROW(file.seekBy(-30000), StreamError);
}

TEST(ReadCpiFonts, ReadsAMebibyteOfHeadersOnDiskInMilliseconds) {
  // One entry of 32767 fonts without data, the last one 8x16, in 1 MiB.
  std::vector<CpiFontSpec> fonts(32766, CpiFontSpec{0, 1});
  fonts.push_back({8, 16});
  test::BuiltCpi cpi = test::buildCpi({{{437, fonts}}});
  setDataSize(cpi.bytes, cpi.entryStarts[0], 0);  // the real size does not fit 16 bits
  cpi.bytes.resize(1 << 20);
  test::TempDir dir;
  test::writeFile(dir.file("dense.cpi"), cpi.bytes);
  auto entries = std::make_unique<CpiFontList>();
  auto fastest = std::chrono::steady_clock::duration::max();
  for (int run = 0; run < 5; ++run) {
    const auto start = std::chrono::steady_clock::now();
    FileByteStream stream(dir.file("dense.cpi"));
    ASSERT_EQ(readCpiFonts(stream, *entries, 8, 16), 1);
    fastest = std::min(fastest, std::chrono::steady_clock::now() - start);
  }
  EXPECT_EQ((*entries)[0].dataOffset, cpi.dataOffsets.back());
  // About a millisecond; a system call per header takes a hundred.
  EXPECT_LT(fastest, std::chrono::milliseconds(25));
}

// --- real code-page files ---------------------------------------------------

Bytes realCpi(const std::string& name) {
  return test::readFile(*test::testDataDir() + "/cpi/" + name);
}

#define SKIP_WITHOUT_TESTDATA() \
  if (!test::testDataDir())     \
  GTEST_SKIP() << "no shared test data (../shared/testdata or $VARNEL_TESTDATA)"

TEST(RealCpiFiles, ListTheirScreenFonts) {
  SKIP_WITHOUT_TESTDATA();
  struct Case {
    const char* name;
    int fonts8x8, fonts8x16;
  };
  // claviseg.cpi counts only the glyph data in its font-information size
  // (4096, not 4102); the printer file has no screen device.
  for (const Case& c : {Case{"msdos6-ega.cpi", 6, 6}, Case{"freedos-ega.cpi", 6, 6},
                        Case{"claviseg.cpi", 0, 2}, Case{"msdos4-printer-4208.cpi", -1, -1}}) {
    const Bytes file = realCpi(c.name);
    EXPECT_EQ(list(file, 8, 8).result, c.fonts8x8) << c.name;
    EXPECT_EQ(list(file, 8, 16).result, c.fonts8x16) << c.name;
  }
}

TEST(RealCpiFiles, CodePages437And850HavePlausibleFonts) {
  SKIP_WITHOUT_TESTDATA();
  struct Case {
    const char* name;
    int fonts;
  };
  for (const Case& c : {Case{"msdos6-ega.cpi", 4}, Case{"freedos-ega.cpi", 4},
                        Case{"claviseg.cpi", 1}}) {
    const Bytes file = realCpi(c.name);
    int checked = 0;
    for (int height : {8, 16}) {
      for (const CpiFontEntry& font : list(file, 8, height).fonts) {
        if (font.codePage != 437 && font.codePage != 850) continue;
        const uint8_t* data = file.data() + font.dataOffset;
        EXPECT_TRUE(height == 8 ? isPlausibleFont8x8(data) : isPlausibleFont8x16(data))
            << c.name << " code page " << font.codePage << " 8x" << height;
        ++checked;
      }
    }
    EXPECT_EQ(checked, c.fonts) << c.name;
  }
}

}  // namespace
}  // namespace varnel
