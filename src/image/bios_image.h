// The in-memory form of one video BIOS image and everything located inside it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace varnel {

// The largest image the editor handles: a 64 KiB option ROM.
inline constexpr int32_t kMaxImageSize = 65536;
inline constexpr int32_t kTitleCapacity = 1024;
inline constexpr int32_t kMaxScriptOffsets = 32;

// A located value inside the image buffer, kept as an offset so that the
// record stays valid when copied. Absent (the null reference) is -1.
struct ImageRef {
  int32_t offset = -1;

  explicit operator bool() const { return offset >= 0; }
  bool operator==(const ImageRef&) const = default;
};

// A zero-terminated text located in the image. Besides an image offset it can
// be null, or the one empty text that lies outside the image.
struct TextRef {
  static constexpr int32_t kNull = -1;
  static constexpr int32_t kEmptyOutside = -2;

  int32_t offset = kNull;

  bool isNull() const { return offset == kNull; }
  bool operator==(const TextRef&) const = default;
};

// Sorted set of at most 32 distinct non-zero script offsets.
struct ScriptOffsetSet {
  std::array<uint16_t, kMaxScriptOffsets> offsets{};
  int32_t count = 0;

  // Once full, the set takes nothing more.
  void insert(uint16_t offset);
  bool contains(uint16_t offset) const;
  bool full() const { return count >= kMaxScriptOffsets; }
};

struct BiosImage {
  ScriptOffsetSet scriptOffsets;
  // While tracing is on, the load appends the trace of every script it
  // meets to `scriptTrace`, for the caller to show.
  bool traceScripts = false;
  std::string scriptTrace;
  uint16_t pciDataOffset = 0;
  float clockStepMHz = 2.25f;
  // The image, followed by one byte that is always 0 so that every text scan
  // that runs to the end of the buffer stops there.
  std::array<uint8_t, kMaxImageSize + 1> bytes{};
  int32_t length = 0;
  uint16_t font8x8Offset = 0;
  uint16_t font8x16Offset = 0;
  uint16_t altFont9x14Offset = 0;
  uint16_t altFont9x16Offset = 0;
  uint16_t pciIdCopyOffset = 0;
  uint16_t headerOffset = 0;
  uint16_t checksumBlockOffset = 0;
  uint16_t pllInfoOffset = 0;
  uint32_t imageHash = 0;
  ImageRef hashSlotA;
  ImageRef hashSlotB;
  uint16_t byteSum = 0;
  ImageRef sumFieldA;
  ImageRef sumFieldB;
  ImageRef coreFeedbackDivPtr;
  ImageRef memoryFeedbackDivPtr;
  bool isDdrBios = false;
  // The smallest memory type code of the configuration entries: 1 DDR, 2 SDR.
  // The code is also the memory PLL's multiplier of the memory clock (see
  // setClocks and effectiveMemoryClock).
  uint8_t memoryType = 0;
  uint8_t casIndex = 0;
  int32_t busWidthBits = 0;
  ImageRef defaultCoreClock;
  ImageRef defaultMemoryClock;
  ImageRef pllReferenceFreq;
  ImageRef pllEntry16;
  ImageRef pllEntry18;
  ImageRef pllEntry22;
  uint16_t tvTableOffset = 0;
  int32_t tvStandard = 0;
  std::array<char, kTitleCapacity + 1> title{};
  TextRef dateString;
  TextRef configString;

  BiosImage() { reset(); }

  // --- image model -------------------------------------------------------
  void reset();
  // Locates the header's tables and texts (the load's parsing, with the
  // register scripts, is document/image_loading.h's parseImage).
  void parseHeader();
  uint32_t computeImageHash(int32_t n) const;
  uint16_t computeByteSum(int32_t n) const;
  bool checksumsValid() const;
  // Balances the upper 32 KiB with the last byte, then rewrites the
  // checksum block.
  void repairChecksums();
  // Rewrites the checksum block alone: the repair for a BIOS of a later
  // family, whose upper 32 KiB follow no such balance.
  void repairChecksumBlock();
  // Whether the repair may write the byte at `pos`: the checksum block, or
  // the last byte, which balances the upper 32 KiB.
  bool isChecksumByte(int32_t pos) const;

  // --- memory configuration and clocks ------------------------------------
  // Defined beside the scripts they are read from (scripts/type1_scripts.cpp,
  // scripts/clock_model.cpp).
  void patchMemoryConfig();
  // The clock step from the PLL table's reference frequency, if it has one.
  void setClockStep();
  void setClocks(float coreMHz, float memoryMHz);
  double realCoreClock() const;
  double realMemoryClock() const;
  double effectiveMemoryClock() const;
  // The clock in whole MHz, rounded up, of a default clock word (10 kHz
  // units), as the editor and every report show it; 0 without the word.
  int wholeMHz(ImageRef clockWord) const;
  // The highest whole MHz, at most `ceilingMHz`, that the memory divider
  // reaches for a memory type code without being limited to 255; 0 when
  // none does.
  int highestReachableMemoryMHz(int memoryTypeCode, int ceilingMHz) const;

  // --- "$TV" table (scripts/tv_table.cpp) ----------------------------------
  void setTvStandard(int code);
  void setCrtEnabled(bool on);
  void setTvEnabled(bool on);
  bool isTvStandardSupported(int code) const;
  void updateSupportedTvMask(int code);

  // --- bounds-safe byte access ----------------------------------------------
  // `length` limited to the buffer, for loops that index `bytes` directly.
  int32_t boundedLength() const {
    return length < 0 ? 0 : (length > kMaxImageSize ? kMaxImageSize : length);
  }

  // Reads outside the buffer (including its trailing zero byte) give 0, and
  // writes outside the image buffer are dropped; callers keep their own
  // bounds, these only make a slip harmless.
  uint8_t byteAt(int64_t pos) const {
    return pos >= 0 && pos <= kMaxImageSize ? bytes[static_cast<size_t>(pos)] : 0;
  }
  uint16_t wordAt(int64_t pos) const {
    return static_cast<uint16_t>(byteAt(pos) | byteAt(pos + 1) << 8);
  }
  uint32_t dwordAt(int64_t pos) const {
    return static_cast<uint32_t>(wordAt(pos)) | static_cast<uint32_t>(wordAt(pos + 2)) << 16;
  }
  void setByte(int64_t pos, uint8_t value) {
    if (pos >= 0 && pos < kMaxImageSize) bytes[static_cast<size_t>(pos)] = value;
  }
  void setWord(int64_t pos, uint16_t value) {
    setByte(pos, static_cast<uint8_t>(value));
    setByte(pos + 1, static_cast<uint8_t>(value >> 8));
  }
  void setDword(int64_t pos, uint32_t value) {
    setWord(pos, static_cast<uint16_t>(value));
    setWord(pos + 2, static_cast<uint16_t>(value >> 16));
  }

  // Values through located references; 0 when the reference is absent.
  uint8_t byteAt(ImageRef ref) const { return ref ? byteAt(ref.offset) : 0; }
  uint16_t wordAt(ImageRef ref) const { return ref ? wordAt(ref.offset) : 0; }
  uint32_t dwordAt(ImageRef ref) const { return ref ? dwordAt(ref.offset) : 0; }

  // The zero-terminated text at an image offset, ending at the buffer's own
  // zero byte at the latest; empty for offsets outside the buffer.
  std::string_view textAt(int64_t pos) const;
  std::string_view text(TextRef ref) const { return ref.offset >= 0 ? textAt(ref.offset) : ""; }
  std::string_view titleText() const { return title.data(); }
};

// Result codes of the load's checks (document/image_loading.h): 0 for a
// valid image, otherwise the first check that failed.
enum ValidateCode : int {
  kValid = 0,
  kNoRomSignature = 1,
  kTooShort = 2,
  kBadStructure = 3,
  kNoPllTable = 4,
  kBadChecksumBlock = 5,
};

}  // namespace varnel
