#include "help/chm_structure.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <limits>
#include <optional>
#include <string_view>
#include <vector>

namespace varnel::help {
namespace {

using Bytes = std::span<const uint8_t>;

// Where the fields lie, counted from the start of each structure.
namespace itsf {  // the file header
constexpr size_t kVersion = 0x04, kHeaderLength = 0x08, kDirectoryOffset = 0x48,
                 kDirectoryLength = 0x50, kDataOffset = 0x58;
constexpr size_t kVersion2Size = 0x58;
constexpr size_t kSize = 0x60;  // chmlib reads this much, whatever the version
}  // namespace itsf
namespace itsp {  // the directory header; the directory's chunks follow it
constexpr size_t kVersion = 0x04, kHeaderLength = 0x08, kChunkSize = 0x10, kIndexRoot = 0x1C,
                 kFirstListing = 0x20, kChunkCount = 0x2C;
constexpr size_t kSize = 0x54;
}  // namespace itsp
namespace pmgl {  // a listing chunk: entries, then free space to the chunk's end
constexpr size_t kFreeSpace = 0x04, kNext = 0x10;
constexpr size_t kSize = 0x14;
}  // namespace pmgl
namespace pmgi {  // an index chunk: names and the chunks they lead to
constexpr size_t kFreeSpace = 0x04;
constexpr size_t kSize = 0x08;
}  // namespace pmgi
namespace lzxc {  // the LZX control data
constexpr size_t kSignature = 0x04, kVersion = 0x08, kResetInterval = 0x0C, kWindowSize = 0x10,
                 kWindowsPerReset = 0x14;
constexpr size_t kSize = 0x18;
constexpr size_t kMaxSize = 0x100;  // chmlib reads it into a buffer of this size
}  // namespace lzxc
namespace reset {  // the reset table: where each compressed block starts
constexpr size_t kVersion = 0x00, kBlockCount = 0x04, kEntrySize = 0x08, kTableOffset = 0x0C,
                 kUncompressedLength = 0x10, kCompressedLength = 0x18, kBlockLength = 0x20;
constexpr size_t kSize = 0x28;
}  // namespace reset

constexpr int64_t kNoChunk = -1;
constexpr uint64_t kMaxChunkSize = 0x10000;  // chmlib allocates one for each lookup
constexpr uint64_t kMaxNameLength = 512;     // CHM_MAX_PATHLEN
// Help files compress in LZX frames of 32 KiB; chmlib reads a frame's
// compressed bytes into a buffer 6144 bytes longer.
constexpr uint64_t kBlockLength = 0x8000;
constexpr uint64_t kMaxCompressedBlock = kBlockLength + 6144;

// The stored files that describe the compressed section, which chmlib reads
// on opening.
constexpr std::string_view kContentName = "::DataSpace/Storage/MSCompressed/Content";
constexpr std::string_view kControlDataName = "::DataSpace/Storage/MSCompressed/ControlData";
constexpr std::string_view kResetTableName =
    "::DataSpace/Storage/MSCompressed/Transform/{7FC28940-9D31-11D0-9B27-00A0C91E9C7C}/"
    "InstanceData/ResetTable";

// The `length` bytes at `offset`, or nothing when they are not all there.
std::optional<Bytes> slice(Bytes bytes, uint64_t offset, uint64_t length) {
  if (offset > bytes.size() || length > bytes.size() - offset) return std::nullopt;
  return bytes.subspan(offset, length);
}

// A little-endian number; 0 where its bytes are not all there.
uint64_t number(Bytes bytes, uint64_t offset, size_t width) {
  uint64_t value = 0;
  if (const auto field = slice(bytes, offset, width)) {
    for (size_t i = width; i-- > 0;)
      value = value << 8 | (*field)[i];
  }
  return value;
}
uint64_t u32(Bytes bytes, uint64_t offset) {
  return number(bytes, offset, 4);
}
int64_t i32(Bytes bytes, uint64_t offset) {
  return static_cast<int32_t>(number(bytes, offset, 4));
}
uint64_t u64(Bytes bytes, uint64_t offset) {
  return number(bytes, offset, 8);
}

bool startsWith(Bytes bytes, std::string_view text) {
  return bytes.size() >= text.size() && std::equal(text.begin(), text.end(), bytes.begin());
}

bool equalIgnoringCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

struct Entry {
  std::string_view name;
  uint64_t section;
  uint64_t start;
  uint64_t length;
};

// Reads a chunk's entries, from its header to where its free space begins.
class EntryReader {
 public:
  // Nothing when the free space claims more than the chunk has after its header.
  static std::optional<EntryReader> of(Bytes chunk, size_t headerSize, size_t freeSpaceAt) {
    const uint64_t freeSpace = u32(chunk, freeSpaceAt);
    if (freeSpace > chunk.size() - headerSize) return std::nullopt;
    return EntryReader(chunk, headerSize, chunk.size() - freeSpace);
  }

  bool atEnd() const { return at_ >= end_; }

  // A number as chmlib stores it: 7 bits a byte, the most significant
  // first, the high bit set on every byte but the last; at most 9 bytes.
  std::optional<uint64_t> word() {
    uint64_t value = 0;
    for (int i = 0; i < 9 && at_ < end_; ++i) {
      const uint8_t byte = chunk_[at_++];
      value = value << 7 | (byte & 0x7F);
      if (byte < 0x80) return value;
    }
    return std::nullopt;
  }

  // A name chmlib can hold, not empty and without NULs (which would make
  // it shorter, or empty, to chmlib).
  std::optional<std::string_view> name() {
    const auto length = word();
    if (!length || *length == 0 || *length > kMaxNameLength || *length > end_ - at_) {
      return std::nullopt;
    }
    const std::string_view text(reinterpret_cast<const char*>(chunk_.data() + at_), *length);
    at_ += *length;
    if (text.find('\0') != std::string_view::npos) return std::nullopt;
    return text;
  }

 private:
  EntryReader(Bytes chunk, size_t at, size_t end) : chunk_(chunk), at_(at), end_(end) {}

  Bytes chunk_;
  size_t at_;
  size_t end_;
};

// Adds a listing chunk's entries; false when one runs into the free space
// or holds a name chmlib cannot take.
bool readListing(Bytes chunk, std::vector<Entry>& entries) {
  auto reader = EntryReader::of(chunk, pmgl::kSize, pmgl::kFreeSpace);
  if (!reader) return false;
  while (!reader->atEnd()) {
    const auto name = reader->name();
    const auto section = reader->word(), start = reader->word(), length = reader->word();
    if (!name || !section || !start || !length) return false;
    entries.push_back({*name, *section, *start, *length});
  }
  return true;
}

// An index chunk sends chmlib's lookups on to other chunks. Each entry must
// name an earlier chunk (writers put the index after what it indexes), so
// that no lookup comes round to a chunk again.
bool checkIndex(Bytes chunk, uint64_t self) {
  auto reader = EntryReader::of(chunk, pmgi::kSize, pmgi::kFreeSpace);
  if (!reader) return false;
  while (!reader->atEnd()) {
    const auto name = reader->name();
    const auto target = reader->word();
    if (!name || !target || *target >= self) return false;
  }
  return true;
}

// The entries of the directory; nothing when a chunk is damaged, or when
// the chunks chmlib starts from and the chain of listing chunks it follows
// could lead it outside the directory or round in a circle.
std::optional<std::vector<Entry>> readDirectory(Bytes directory) {
  const auto header = slice(directory, 0, itsp::kSize);
  if (!header || !startsWith(*header, "ITSP") || u32(*header, itsp::kVersion) != 1 ||
      u32(*header, itsp::kHeaderLength) != itsp::kSize) {
    return std::nullopt;
  }
  const uint64_t chunkSize = u32(*header, itsp::kChunkSize);
  const int64_t count = static_cast<int64_t>(u32(*header, itsp::kChunkCount));
  if (chunkSize <= pmgl::kSize || chunkSize > kMaxChunkSize) return std::nullopt;
  const auto chunks = slice(directory, itsp::kSize, count * chunkSize);
  if (!chunks || count == 0) return std::nullopt;
  auto chunk = [&](int64_t i) { return chunks->subspan(i * chunkSize, chunkSize); };

  std::vector<Entry> entries;
  for (int64_t i = 0; i < count; ++i) {
    const bool sound = startsWith(chunk(i), "PMGL")   ? readListing(chunk(i), entries)
                       : startsWith(chunk(i), "PMGI") ? checkIndex(chunk(i), i)
                                                      : false;
    if (!sound) return std::nullopt;
  }
  const int64_t root = i32(*header, itsp::kIndexRoot);
  if (root != kNoChunk && (root < 0 || root >= count)) return std::nullopt;
  std::vector<bool> listed(count);
  for (int64_t at = i32(*header, itsp::kFirstListing); at != kNoChunk;
       at = i32(chunk(at), pmgl::kNext)) {
    if (at < 0 || at >= count || listed[at] || !startsWith(chunk(at), "PMGL")) return std::nullopt;
    listed[at] = true;
  }
  return entries;
}

// The one entry of that name (chmlib ignores case); nothing when there is
// none, or several, which would leave open which one chmlib finds.
const Entry* onlyEntry(const std::vector<Entry>& entries, std::string_view name) {
  const Entry* found = nullptr;
  for (const Entry& entry : entries) {
    if (!equalIgnoringCase(entry.name, name)) continue;
    if (found != nullptr) return nullptr;
    found = &entry;
  }
  return found;
}

// chmlib divides by the window size and by the blocks between resets, and
// its LZX decoder takes windows of 2^15 to 2^21 bytes.
bool checkControlData(Bytes data) {
  if (data.size() < lzxc::kSize || data.size() > lzxc::kMaxSize ||
      !startsWith(data.subspan(lzxc::kSignature), "LZXC")) {
    return false;
  }
  const uint64_t version = u32(data, lzxc::kVersion);
  if (version != 1 && version != 2) return false;
  const uint64_t unit = version == 2 ? 0x8000 : 1;  // version 2 counts in 32 KiB
  const uint64_t window = u32(data, lzxc::kWindowSize) * unit;
  const uint64_t interval = u32(data, lzxc::kResetInterval) * unit;
  const uint64_t windowsPerReset = u32(data, lzxc::kWindowsPerReset);
  if (!std::has_single_bit(window) || window < (1u << 15) || window > (1u << 21)) return false;
  // chmlib keeps these in 32 bits.
  constexpr uint64_t kMax32 = std::numeric_limits<uint32_t>::max();
  return interval != 0 && interval <= kMax32 && interval % (window / 2) == 0 &&
         windowsPerReset != 0 && interval / (window / 2) * windowsPerReset <= kMax32;
}

// The reset table tells chmlib where each compressed block starts; it
// divides by the block length and reads the bytes between two starts into
// a buffer of kMaxCompressedBlock. Gives the length of the unpacked
// section, or nothing when the table is unsound.
std::optional<uint64_t> checkResetTable(Bytes table, uint64_t contentLength) {
  if (table.size() < reset::kSize || u32(table, reset::kVersion) != 2 ||
      u32(table, reset::kEntrySize) != 8 || u64(table, reset::kBlockLength) != kBlockLength) {
    return std::nullopt;
  }
  const uint64_t unpacked = u64(table, reset::kUncompressedLength);
  const uint64_t packed = u64(table, reset::kCompressedLength);
  const uint64_t count = u32(table, reset::kBlockCount);
  if (unpacked > kMaxChmContentSize || packed > contentLength) return std::nullopt;
  const uint64_t blocks = (unpacked + kBlockLength - 1) / kBlockLength;
  // One start for each block; some writers add the end of the last one.
  if (count != blocks && count != blocks + 1) return std::nullopt;
  const auto starts = slice(table, u32(table, reset::kTableOffset), count * 8);
  if (!starts) return std::nullopt;
  auto start = [&](uint64_t block) { return block < count ? u64(*starts, block * 8) : packed; };
  if (count > 0 && start(0) != 0) return std::nullopt;
  for (uint64_t block = 0; block < blocks; ++block) {
    const uint64_t from = start(block), to = start(block + 1);
    if (to <= from || to > packed || to - from > kMaxCompressedBlock) return std::nullopt;
  }
  return unpacked;
}

}  // namespace

bool isSoundChm(Bytes file) {
  if (file.size() > kMaxChmFileSize) return false;
  const auto header = slice(file, 0, itsf::kSize);
  if (!header || !startsWith(*header, "ITSF")) return false;
  const uint64_t version = u32(*header, itsf::kVersion);
  const uint64_t headerLength = u32(*header, itsf::kHeaderLength);
  if (!(version == 2 && headerLength >= itsf::kVersion2Size) &&
      !(version == 3 && headerLength >= itsf::kSize)) {
    return false;
  }
  const uint64_t directoryOffset = u64(*header, itsf::kDirectoryOffset);
  const uint64_t directoryLength = u64(*header, itsf::kDirectoryLength);
  const auto directory = slice(file, directoryOffset, directoryLength);
  if (!directory) return false;
  // Section 0, stored as it is, starts here; version 2 puts it after the directory.
  const uint64_t dataOffset =
      version == 3 ? u64(*header, itsf::kDataOffset) : directoryOffset + directoryLength;
  if (dataOffset > file.size()) return false;
  const Bytes data = file.subspan(dataOffset);
  const auto entries = readDirectory(*directory);
  if (!entries) return false;

  auto uncompressed = [&](std::string_view name) -> std::optional<Bytes> {
    const Entry* entry = onlyEntry(*entries, name);
    if (entry == nullptr || entry->section != 0) return std::nullopt;
    return slice(data, entry->start, entry->length);
  };
  const auto content = uncompressed(kContentName);
  const auto controlData = uncompressed(kControlDataName);
  const auto resetTable = uncompressed(kResetTableName);
  if (!content || !controlData || !resetTable || !checkControlData(*controlData)) return false;
  const auto unpacked = checkResetTable(*resetTable, content->size());
  if (!unpacked) return false;
  // Every stored file lies inside its section: 0 as stored, 1 compressed.
  const uint64_t sectionLengths[] = {data.size(), *unpacked};
  return std::all_of(entries->begin(), entries->end(), [&](const Entry& entry) {
    return entry.section <= 1 && entry.start <= sectionLengths[entry.section] &&
           entry.length <= sectionLengths[entry.section] - entry.start;
  });
}

}  // namespace varnel::help
