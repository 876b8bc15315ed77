#include "fonts/cpi_reader.h"

#include <array>
#include <bitset>
#include <cstring>
#include <limits>
#include <memory>
#include <unordered_map>

namespace varnel {
namespace {

constexpr int32_t kFileHeaderSize = 25;
constexpr int32_t kEntryBlockSize = 34;  // code-page entry header and font-info header
constexpr int32_t kScreenFontHeaderSize = 6;
constexpr uint8_t kMagic[5] = {0xFF, 'F', 'O', 'N', 'T'};
constexpr char kScreenDevice[8] = {'E', 'G', 'A', ' ', ' ', ' ', ' ', ' '};
constexpr int kNotCpi = -1;

int16_t signed16(const uint8_t* p) {
  return static_cast<int16_t>(p[0] | p[1] << 8);
}

uint32_t unsigned32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

template <size_t N>
bool readBlock(ByteStream& stream, std::array<uint8_t, N>& block) {
  return stream.read(block.data(), static_cast<int32_t>(N)) == static_cast<int32_t>(N);
}

// How an entry's font-information size counts its fonts. The next entry
// must start right after this entry's font-information header and its fonts:
// N - I + 28 == S + 34, in 32-bit wrap-around arithmetic (only the difference
// of the two offsets is used, so absolute and entry-relative offsets read
// alike). Some files that DOS reads (it follows N alone) count only the
// glyph bytes in S, without the six-byte header of each font; such an entry
// is read when N puts the next entry where the headers would end, and its
// fonts' glyphs then fill exactly S bytes.
enum class SizeCounts { kHeadersAndGlyphs, kGlyphsOnly, kNeither };

SizeCounts howSizeCounts(const uint8_t* block) {
  const uint32_t next = unsigned32(block + 2);
  const uint32_t info = unsigned32(block + 24);
  const auto fontCount = static_cast<int32_t>(signed16(block + 30));
  const auto dataSize = static_cast<uint32_t>(static_cast<int32_t>(signed16(block + 32)));
  const uint32_t span = next - info + 28u;
  if (span == dataSize + 34u) return SizeCounts::kHeadersAndGlyphs;
  if (fontCount > 0 &&
      span == dataSize + static_cast<uint32_t>(fontCount * kScreenFontHeaderSize) + 34u) {
    return SizeCounts::kGlyphsOnly;
  }
  return SizeCounts::kNeither;
}

// The positions at which the walk has read a header block. Offsets and sizes
// in the file may point backwards, so a crafted file can send the walk round
// the same headers again and again (32767 entries of 32767 fonts each); a
// walk that comes back to a block it has read ends there, which bounds its
// work by the file's size. Pages of the bitmap are made when first touched:
// a sparse file costs only what the walk visits.
class VisitedPositions {
 public:
  // Marks `position`; false when it was marked before.
  bool mark(int64_t position) {
    std::unique_ptr<Page>& page = pages_[position >> kPageBits];
    if (!page) page = std::make_unique<Page>();
    const auto bit = static_cast<size_t>(position & (kPageSize - 1));
    if (page->test(bit)) return false;
    page->set(bit);
    return true;
  }

 private:
  static constexpr int kPageBits = 12;
  static constexpr int64_t kPageSize = int64_t{1} << kPageBits;
  using Page = std::bitset<kPageSize>;
  std::unordered_map<int64_t, std::unique_ptr<Page>> pages_;
};

// Why a file that begins with the code-page signature cannot be read.
constexpr const char* kEndsInsideAHeader = "the file ends inside a header";
constexpr const char* kComesBack = "its offsets lead back to a header already read";
constexpr const char* kNotAnEntryHeader = "a code-page entry header does not have the size 28";
constexpr const char* kNotAScreenEntry = "a code-page entry is not for an EGA or VGA screen";
constexpr const char* kSizesDisagree =
    "a code-page entry's sizes do not agree with where the next entry starts";
constexpr const char* kGlyphsPastTheEnd = "a font's glyphs run past the end of the file";
constexpr const char* kTooManyFonts = "it holds more than 1024 fonts of the size";
constexpr const char* kDataTooFar = "a font's data lies beyond 2 GiB";

struct FontSearch {
  CpiFontList& entries;
  int wantWidth;
  int wantHeight;
  int found = 0;
  int64_t streamLength = 0;
  int64_t glyphBytes = 0;  // of the entry being walked
  const char* whyNot = nullptr;
  VisitedPositions visited{};
};

bool refuse(FontSearch& search, const char* why) {
  search.whyNot = why;
  return false;
}

// Reads the header block at the current position unless the walk has read
// one there before; false for a block read before or read short.
template <size_t N>
bool readHeader(ByteStream& stream, FontSearch& search, std::array<uint8_t, N>& block) {
  if (!search.visited.mark(stream.position())) return refuse(search, kComesBack);
  if (!readBlock(stream, block)) return refuse(search, kEndsInsideAHeader);
  return true;
}

// Glyph bytes per row: the width in whole bytes, rounded down also for
// negative widths (a right shift of a negative value rounds towards minus
// infinity, where division would round towards zero).
int32_t bytesPerRow(int width) {
  return (width + 7) >> 3;
}

// Reads one screen-font header and skips its glyph data; false when the
// file is not readable as CPI.
bool scanFont(ByteStream& stream, FontSearch& search, int32_t codePage) {
  std::array<uint8_t, kScreenFontHeaderSize> header{};
  if (!readHeader(stream, search, header)) return false;
  const int height = static_cast<int8_t>(header[0]);
  const int width = static_cast<int8_t>(header[1]);
  const int32_t dataSize = bytesPerRow(width) * 256 * height;
  const int64_t dataStart = stream.position();
  if (dataStart + dataSize > search.streamLength) return refuse(search, kGlyphsPastTheEnd);
  if (width == search.wantWidth && height == search.wantHeight) {
    if (search.found == kMaxCpiFonts) return refuse(search, kTooManyFonts);
    // A font whose data starts where `dataOffset` cannot say is refused,
    // never listed at a wrapped-around position.
    if (dataStart > std::numeric_limits<int32_t>::max()) return refuse(search, kDataTooFar);
    search.entries[static_cast<size_t>(search.found++)] = {codePage, width, height,
                                                           static_cast<int32_t>(dataStart)};
  }
  search.glyphBytes += dataSize;
  stream.seekBy(dataSize);
  return true;
}

bool scanEntry(ByteStream& stream, FontSearch& search) {
  const int64_t start = stream.position();
  std::array<uint8_t, kEntryBlockSize> block{};
  if (!readHeader(stream, search, block)) return false;
  if (block[0] != 0x1C || block[1] != 0x00) return refuse(search, kNotAnEntryHeader);
  if (std::memcmp(&block[8], kScreenDevice, sizeof kScreenDevice) != 0) {
    return refuse(search, kNotAScreenEntry);
  }
  const SizeCounts counts = howSizeCounts(block.data());
  if (counts == SizeCounts::kNeither) return refuse(search, kSizesDisagree);
  const auto codePage = static_cast<int32_t>(unsigned32(&block[16]));
  const int fontCount = signed16(&block[30]);
  const int32_t dataSize = signed16(&block[32]);
  search.glyphBytes = 0;
  for (int k = 0; k < fontCount; ++k) {
    if (!scanFont(stream, search, codePage)) return false;
  }
  if (counts == SizeCounts::kHeadersAndGlyphs) {
    stream.seekTo(start + kEntryBlockSize + dataSize);
    return true;
  }
  if (search.glyphBytes != dataSize) return refuse(search, kSizesDisagree);
  stream.seekTo(start + kEntryBlockSize + dataSize + int64_t{fontCount} * kScreenFontHeaderSize);
  return true;
}

int walkEntries(ByteStream& stream, FontSearch& search, int entryCount) {
  for (int j = 0; j < entryCount; ++j) {
    if (!scanEntry(stream, search)) return kNotCpi;
  }
  return search.found;
}

}  // namespace

int readCpiFonts(ByteStream& stream, CpiFontList& entries, int wantWidth, int wantHeight,
                 const char** whyNot) {
  if (whyNot != nullptr) *whyNot = nullptr;
  stream.seekTo(0);
  FontSearch search{entries, wantWidth, wantHeight};
  search.streamLength = stream.length();
  std::array<uint8_t, kFileHeaderSize> header{};
  const int32_t got = stream.read(header.data(), kFileHeaderSize);
  if (got < static_cast<int32_t>(sizeof kMagic) ||
      std::memcmp(header.data(), kMagic, sizeof kMagic) != 0) {
    return kNotCpi;
  }
  int found = kNotCpi;
  if (got < kFileHeaderSize) {
    search.whyNot = kEndsInsideAHeader;
  } else {
    search.visited.mark(0);
    found = walkEntries(stream, search, signed16(&header[23]));
  }
  if (whyNot != nullptr) *whyNot = search.whyNot;
  return found;
}

}  // namespace varnel
