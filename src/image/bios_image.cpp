#include "image/bios_image.h"

#include "image/byte_patterns.h"
#include "image/image_fields.h"
#include "image/layout.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace varnel {
namespace {

constexpr std::string_view kVendorText = "ATI Technologies Inc. ";

int32_t clampLength(int32_t n) {
  return std::clamp(n, 0, kMaxImageSize);
}

}  // namespace

void ScriptOffsetSet::insert(uint16_t offset) {
  if (offset == 0 || full()) return;
  int32_t i = 0;
  while (i < count && offsets[i] < offset)
    ++i;
  if (i < count && offsets[i] == offset) return;
  for (int32_t k = count; k > i; --k)
    offsets[k] = offsets[k - 1];
  offsets[i] = offset;
  ++count;
}

bool ScriptOffsetSet::contains(uint16_t offset) const {
  if (offset == 0) return false;
  int32_t i = 0;
  while (i < count && offsets[i] < offset)
    ++i;
  return i < count && offsets[i] == offset;
}

void BiosImage::reset() {
  scriptOffsets = {};
  traceScripts = false;
  scriptTrace.clear();
  pciDataOffset = 0;
  clockStepMHz = 2.25f;
  bytes.fill(0xFF);
  bytes[kMaxImageSize] = 0;
  length = 0;
  font8x8Offset = font8x16Offset = altFont9x14Offset = altFont9x16Offset = 0;
  pciIdCopyOffset = headerOffset = checksumBlockOffset = pllInfoOffset = 0;
  imageHash = 0;
  byteSum = 0;
  hashSlotA = hashSlotB = sumFieldA = sumFieldB = {};
  coreFeedbackDivPtr = memoryFeedbackDivPtr = {};
  isDdrBios = false;
  memoryType = casIndex = 0;
  busWidthBits = 0;
  defaultCoreClock = defaultMemoryClock = pllReferenceFreq = {};
  pllEntry16 = pllEntry18 = pllEntry22 = {};
  tvTableOffset = 0;
  tvStandard = 0;
  title.fill('\0');
  dateString = configString = {};
}

uint32_t BiosImage::computeImageHash(int32_t n) const {
  uint32_t h = 0;
  const int32_t end = clampLength(n);
  for (int32_t p = 0; p < end; ++p)
    h = std::rotl(h, 1) ^ bytes[p];
  return h;
}

uint16_t BiosImage::computeByteSum(int32_t n) const {
  uint32_t sum = 0;
  const int32_t end = clampLength(n);
  for (int32_t p = 0; p < end; ++p)
    sum += bytes[p];
  return static_cast<uint16_t>(sum);
}

std::string_view BiosImage::textAt(int64_t pos) const {
  if (pos < 0 || pos > kMaxImageSize) return {};
  const auto* start = reinterpret_cast<const char*>(bytes.data()) + pos;
  // The buffer's last byte is always 0, so this never runs past it.
  return std::string_view(start, std::strlen(start));
}

namespace {

void locateHeaderTables(BiosImage& image, int32_t n) {
  image.checksumBlockOffset = offsetIfFits(
      image.wordAt(image.headerOffset + kHeaderChecksumBlockPointer), n, kChecksumBlockSize);
  image.pllInfoOffset =
      offsetIfFits(image.wordAt(image.headerOffset + kHeaderPllTablePointer), n, kPllTableSize);
  uint16_t tv =
      offsetIfFits(image.wordAt(image.headerOffset + kHeaderTvTablePointer), n, kTvTableSize);
  if (tv != 0 &&
      !(image.byteAt(tv) == '$' && image.byteAt(tv + 1) == 'T' && image.byteAt(tv + 2) == 'V')) {
    tv = 0;
  }
  image.tvTableOffset = tv;
}

// The second copy of the header's identifier pair starts somewhere in the
// range the layout gives.
void locateIdentifierCopy(BiosImage& image) {
  const uint16_t first = vendorId(image);
  const uint16_t second = identifierPairSecondWord(image);
  for (int32_t k = kIdentifierCopyFirst; k <= kIdentifierCopyLast; ++k) {
    if (image.wordAt(k) == first && image.wordAt(k + 2) == second) {
      image.pciIdCopyOffset = static_cast<uint16_t>(k);
      return;
    }
  }
}

void setPllReferences(BiosImage& image) {
  const int32_t pll = image.pllInfoOffset;
  image.defaultCoreClock = {pll + kPllDefaultCoreClock};
  image.defaultMemoryClock = {pll + kPllDefaultMemoryClock};
  image.pllReferenceFreq = {pll + kPllReferenceFrequency};
  image.pllEntry16 = {pll + kPllEntry16};
  image.pllEntry18 = {pll + kPllEntry18};
  image.pllEntry22 = {pll + kPllEntry22};
}

void setChecksumReferences(BiosImage& image) {
  const int32_t block = image.checksumBlockOffset;
  image.hashSlotA = {block + kHashSlotA};
  image.hashSlotB = {block + kHashSlotB};
  image.sumFieldA = {block + kSumFieldA};
  image.sumFieldB = {block + kSumFieldB};
}

// Copies the printable bytes of the title; returns the index, counted from
// the title's start, of its terminating zero (or 1024 when there is none).
int32_t copyTitle(BiosImage& image) {
  int32_t t = 0;
  size_t out = 0;
  for (; t < kTitleCapacity; ++t) {
    const uint8_t b = image.bytes[kTitleStart + t];
    if (b == 0) break;
    if (b >= 0x20 && b <= 0x7F) image.title[out++] = static_cast<char>(b);
  }
  image.title[out] = '\0';
  return t;
}

// The vendor text is looked for at every title index from `t` on, up to 256
// bytes before the image's end.
void locateVendorTexts(BiosImage& image, int32_t n, int32_t t) {
  image.dateString = {};
  if (t < n - 256) {
    const auto* chars = reinterpret_cast<const char*>(image.bytes.data());
    const std::string_view candidates(chars + kTitleStart + t,
                                      static_cast<size_t>(n - 256 - t) + kVendorText.size() - 1);
    const size_t hit = candidates.find(kVendorText);
    if (hit != std::string_view::npos) {
      image.dateString = {kTitleStart + t + static_cast<int32_t>(hit + kVendorText.size())};
    }
  }
  if (image.dateString.isNull()) {
    image.dateString = {TextRef::kEmptyOutside};
    image.configString = {TextRef::kEmptyOutside};
    return;
  }
  const int32_t date = image.dateString.offset;
  const int32_t config = date + static_cast<int32_t>(image.textAt(date).size()) + 1;
  image.configString = {config};
  // A date text that runs to the end of the buffer leaves the configuration
  // text beyond the image; nothing is read there. The ninth character itself
  // may also lie past the buffer, and then it is no 'D' either.
  image.isDdrBios = config < kMaxImageSize && image.byteAt(config + 8) == 'D';
}

}  // namespace

void BiosImage::parseHeader() {
  length = clampLength(length);
  const int32_t declared = bytes[kRomSizeByte] * kRomSizeUnit;
  if (length > declared) length = declared;
  const int32_t n = length;

  pciDataOffset = offsetIfFits(wordAt(kPciDataPointer), n, kPciDataSize);
  headerOffset = offsetIfFits(wordAt(kHeaderPointer), n, kHeaderSize);
  locateIdentifierCopy(*this);
  if (headerOffset != 0) locateHeaderTables(*this, n);
  if (pllInfoOffset != 0) setPllReferences(*this);
  imageHash = computeImageHash(n);
  byteSum = computeByteSum(n);
  if (checksumBlockOffset != 0) setChecksumReferences(*this);
  tvStandard = tvTableOffset != 0 ? (bytes[tvTableOffset + kTvStandardByte] & 0x0F) : 0;

  const int32_t t = copyTitle(*this);
  locateVendorTexts(*this, n, t);
}

}  // namespace varnel
