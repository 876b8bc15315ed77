#include "image/image_fields.h"

namespace varnel {
namespace {

uint8_t tvByte(const BiosImage& image, int32_t offset) {
  return image.tvTableOffset != 0 ? image.byteAt(image.tvTableOffset + offset) : 0;
}

template <size_t N>
const char* nameOfCode(const std::array<const char*, N>& names, int code) {
  return code >= 1 && code <= static_cast<int>(N) ? names[static_cast<size_t>(code - 1)] : nullptr;
}

}  // namespace

uint16_t vendorId(const BiosImage& image) {
  return image.wordAt(image.headerOffset + kHeaderVendorId);
}

uint16_t identifierPairSecondWord(const BiosImage& image) {
  return image.wordAt(image.headerOffset + kHeaderSecondIdWord);
}

void setVendorId(BiosImage& image, uint16_t id) {
  image.setWord(image.pciIdCopyOffset, id);
  image.setWord(image.headerOffset + kHeaderVendorId, id);
}

std::string_view dateTimeText(const BiosImage& image) {
  return image.textAt(kDateTimeText);
}

bool isCrtOutputOn(const BiosImage& image) {
  return (tvByte(image, kTvOutputsByte) & kTvCrtOutputBit) != 0;
}

bool isTvOutputOn(const BiosImage& image) {
  return (tvByte(image, kTvOutputsByte) & kTvOutOutputBit) != 0;
}

uint8_t tvSupportedMask(const BiosImage& image) {
  return tvByte(image, kTvMaskByte);
}

uint8_t tvSupportedMask2(const BiosImage& image) {
  return tvByte(image, kTvMask2Byte);
}

const char* memoryTypeName(int code) {
  return nameOfCode(kMemoryTypeNames, code);
}

const char* casName(int code) {
  return nameOfCode(kCasNames, code);
}

std::optional<int> memoryTypeCode(std::string_view name) {
  for (size_t i = 0; i < kMemoryTypeNames.size(); ++i) {
    if (name == kMemoryTypeNames[i]) return static_cast<int>(i + 1);
  }
  return std::nullopt;
}

}  // namespace varnel
