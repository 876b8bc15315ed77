// Verification and repair of the checksum block.
//
// The hash is the XOR over every offset p of byte p rotated left by
// (n - 1 - p) mod 32 bits. So two equal bytes 32 offsets apart cancel out
// (the block's two halves, while equal, do not affect the hash), a byte 0x01
// followed by 0x02 cancels out, and adding 0x80 at the same position of both
// sum fields keeps the hash. The repair writes the hash into the very bytes
// the hash covers by leaning on exactly these properties.
#include "image/bios_image.h"
#include "image/layout.h"

namespace varnel {
namespace {

constexpr int32_t kUpperPartStart = 0x8000;
constexpr uint16_t kHighestBalancedSum = 0xFDFF;

bool inRange(int32_t pos, int32_t first, int32_t last) {
  return pos >= first && pos <= last;
}

// The last image byte balances the upper 32 KiB, except where it is a byte
// that validation depends on: changing it there would save an image that the
// editor itself refuses to load again.
bool lastByteIsStructural(const BiosImage& image) {
  const int32_t last = image.length - 1;
  const int32_t block = image.checksumBlockOffset;
  if (block != 0 && inRange(last, block, block + kChecksumBlockSize - 1)) return true;
  const int32_t pci = image.pciDataOffset;
  if (pci != 0 && inRange(last, pci + 6, pci + 7)) return true;
  // The date text's terminator: a non-zero byte there would move the
  // configuration text away from where the header expects it.
  return image.configString.offset == image.length;
}

void balanceUpperPart(BiosImage& image) {
  const int32_t n = image.boundedLength();
  if (n <= kUpperPartStart || lastByteIsStructural(image)) return;
  uint16_t upperSum = 0;
  for (int32_t p = kUpperPartStart; p < n; ++p)
    upperSum = static_cast<uint16_t>(upperSum + image.bytes[p]);
  image.bytes[n - 1] = static_cast<uint8_t>(image.bytes[n - 1] - (upperSum & 0xFF));
  image.byteSum = upperSum;
}

void storeHash(BiosImage& image) {
  const uint32_t h = image.computeImageHash(image.length);
  image.setDword(image.hashSlotB.offset, h);
  image.setDword(image.hashSlotA.offset, image.dwordAt(image.hashSlotB));
}

uint8_t& fieldByte(BiosImage& image, ImageRef field, int32_t index) {
  return image.bytes[static_cast<size_t>(field.offset + index)];
}

bool sumFieldsAlreadyMatch(BiosImage& image) {
  const uint8_t high = fieldByte(image, image.sumFieldA, 1);
  return high == fieldByte(image, image.sumFieldB, 1) &&
         image.computeByteSum(image.length) == high * 256;
}

void clearSumFields(BiosImage& image) {
  for (ImageRef field : {image.sumFieldA, image.sumFieldB}) {
    fieldByte(image, field, 0) = 0xFF;
    fieldByte(image, field, 1) = 0;
    fieldByte(image, field, 2) = 0;
    fieldByte(image, field, 3) = 0;
  }
}

// Adds 0x80 to one byte of both sum fields: the hash stays, the sum grows by 0x100.
uint16_t raiseBothFields(BiosImage& image, int32_t index, uint16_t sum) {
  fieldByte(image, image.sumFieldA, index) += 0x80;
  fieldByte(image, image.sumFieldB, index) += 0x80;
  return static_cast<uint16_t>(sum + 0x100);
}

// Rewrites the sum fields so that the byte sum becomes a multiple of 256
// whose high byte both fields record.
void rebuildSumFields(BiosImage& image) {
  uint16_t sum = image.computeByteSum(image.length);
  if (sum & 1) {
    // 0x01 and 0x02 side by side add 3 to the sum and nothing to the hash.
    fieldByte(image, image.sumFieldA, 2) = 0x01;
    fieldByte(image, image.sumFieldA, 3) = 0x02;
    sum = static_cast<uint16_t>(sum + 3);
  }
  if (sum > kHighestBalancedSum) sum = raiseBothFields(image, 2, sum);
  if (sum > kHighestBalancedSum) sum = raiseBothFields(image, 3, sum);

  // Writing i into byte 1 of both fields adds 2i to the sum; find the i that
  // is then the high byte of the total.
  uint32_t high = sum >> 8;
  while (((sum + 2 * high) >> 8) > high)
    ++high;
  fieldByte(image, image.sumFieldA, 1) = static_cast<uint8_t>(high);
  fieldByte(image, image.sumFieldB, 1) = static_cast<uint8_t>(high);

  const auto balance = static_cast<uint8_t>(((sum + 2 * high) >> 1) & 0x7F);
  fieldByte(image, image.sumFieldA, 0) = static_cast<uint8_t>(0xFF - balance);
  fieldByte(image, image.sumFieldB, 0) = static_cast<uint8_t>(0xFF - balance);
}

}  // namespace

bool BiosImage::checksumsValid() const {
  if (checksumBlockOffset == 0) return false;
  if (imageHash != dwordAt(hashSlotA) || imageHash != dwordAt(hashSlotB)) return false;
  const uint32_t expectedA = byteAt(sumFieldA.offset + 1) * 256u;
  const uint32_t expectedB = byteAt(sumFieldB.offset + 1) * 256u;
  return byteSum == expectedA && byteSum == expectedB;
}

bool BiosImage::isChecksumByte(int32_t pos) const {
  const int32_t block = checksumBlockOffset;
  if (block != 0 && inRange(pos, block, block + kChecksumBlockSize - 1)) return true;
  return pos == length - 1 && length > kUpperPartStart && !lastByteIsStructural(*this);
}

void BiosImage::repairChecksums() {
  balanceUpperPart(*this);
  repairChecksumBlock();
}

void BiosImage::repairChecksumBlock() {
  if (!hashSlotA || !hashSlotB || !sumFieldA || !sumFieldB) return;

  // Equal hash copies cancel out of the hash, so the hash stored now is the
  // finished image's hash only when the copies were equal on entry.
  const bool copiesDiffered = dwordAt(hashSlotA) != dwordAt(hashSlotB);
  storeHash(*this);
  if (copiesDiffered || !sumFieldsAlreadyMatch(*this)) {
    clearSumFields(*this);
    storeHash(*this);
    rebuildSumFields(*this);
  }
  imageHash = computeImageHash(length);
  byteSum = computeByteSum(length);
}

}  // namespace varnel
