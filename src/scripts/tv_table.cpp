// The "$TV" table: the standard used at start-up, the output enables and the
// masks of supported standards, where image/layout.h places them.
#include "image/bios_image.h"
#include "image/image_fields.h"

namespace varnel {
namespace {

constexpr int kHighestMaskedCode = 8;

void setOutputBit(BiosImage& image, uint8_t bit, bool on) {
  const int32_t pos = image.tvTableOffset + kTvOutputsByte;
  const uint8_t value = image.byteAt(pos);
  image.setByte(pos, static_cast<uint8_t>(on ? (value | bit) : (value & ~bit)));
}

}  // namespace

void BiosImage::setTvStandard(int code) {
  if (tvTableOffset == 0) return;
  tvStandard = code & 0x0F;
  const int32_t pos = tvTableOffset + kTvStandardByte;
  setByte(pos, static_cast<uint8_t>((byteAt(pos) & 0xF0) | (code & 0x0F)));
}

void BiosImage::setCrtEnabled(bool on) {
  if (tvTableOffset != 0) setOutputBit(*this, kTvCrtOutputBit, on);
}

void BiosImage::setTvEnabled(bool on) {
  if (tvTableOffset != 0) setOutputBit(*this, kTvOutOutputBit, on);
}

bool BiosImage::isTvStandardSupported(int code) const {
  if (tvTableOffset == 0 || code < 1 || code > kHighestMaskedCode) return false;
  return (byteAt(tvTableOffset + kTvMaskByte) >> (code - 1)) & 1;
}

void BiosImage::updateSupportedTvMask(int code) {
  if (tvTableOffset == 0) return;
  const int32_t mask = tvTableOffset + kTvMaskByte;
  const int32_t mask2 = tvTableOffset + kTvMask2Byte;
  if (code < 0) {
    setByte(mask, 0xFF);
    setByte(mask2, 0xFF);
  } else if (code >= 1 && code <= kHighestMaskedCode) {
    const auto bit = static_cast<uint8_t>(1u << (code - 1));
    setByte(mask, byteAt(mask) | bit);
    setByte(mask2, byteAt(mask2) | bit);
  }
}

}  // namespace varnel
