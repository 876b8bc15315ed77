#include <string_view>

#include "fonts/font_tables.h"
#include "image/bios_image.h"
#include "image/validation.h"

namespace varnel {
namespace {

constexpr int32_t kMinImageSize = 16384;
constexpr std::string_view kRomSignatureText = " 761295520";
constexpr uint32_t kPciSignature = 'P' | 'C' << 8 | 'I' << 16 | static_cast<uint32_t>('R') << 24;

bool hasPllTable(const BiosImage& image) {
  return image.defaultCoreClock && image.defaultMemoryClock && image.pllReferenceFreq &&
         image.pllEntry16 && image.pllEntry18 && image.pllEntry22;
}

bool hasSoundChecksumBlockWords(const BiosImage& image) {
  const int32_t block = image.checksumBlockOffset;
  for (int32_t word : {0x04, 0x0C, 0x14, 0x1C, 0x24, 0x2C, 0x34, 0x3C}) {
    if (image.dwordAt(block + word) != 0xFFFFFFFFu) return false;
  }
  for (int32_t word : {0x10, 0x18, 0x30, 0x38}) {
    if (image.dwordAt(block + word) != 0) return false;
  }
  return true;
}

}  // namespace

StructureFault findStructureFault(const BiosImage& image) {
  if (image.headerOffset == 0) return StructureFault::kNoHeader;
  if (image.pciDataOffset == 0) return StructureFault::kNoPciData;
  if (image.pciIdCopyOffset == 0) return StructureFault::kNoIdentifierCopy;
  const int32_t pci = image.pciDataOffset;
  if (image.dwordAt(pci) != kPciSignature) return StructureFault::kNoPciSignature;
  if (image.wordAt(image.headerOffset + 0x20) != image.wordAt(pci + 0x06)) {
    return StructureFault::kDeviceIdMismatch;
  }
  if (image.configString.offset != image.wordAt(image.headerOffset + 0x14)) {
    return StructureFault::kConfigTextMisplaced;
  }
  if (image.textAt(0x30) != kRomSignatureText) return StructureFault::kNoSignatureText;
  return StructureFault::kNone;
}

const char* describeValidateCode(int code) {
  switch (code) {
    case kValid:
      return "the image is a valid ATI video BIOS";
    case kNoRomSignature:
      return "the file does not start with the option ROM signature 55 AA";
    case kTooShort:
      return "the file is too short: an image needs at least 16384 bytes and as many as its "
             "size byte declares";
    case kBadStructure:
      return "the ATI BIOS structure is missing or inconsistent";
    case kNoPllTable:
      return "the PLL information table is missing";
    case kBadChecksumBlock:
      return "the checksum block is missing or its fixed words are wrong";
    default:
      return "unknown validation result";
  }
}

const char* describeStructureFault(StructureFault fault) {
  switch (fault) {
    case StructureFault::kNone:
      return "the ATI BIOS structure is sound";
    case StructureFault::kNoHeader:
      return "the BIOS header offset lies outside the image";
    case StructureFault::kNoPciData:
      return "the PCI data structure offset lies outside the image";
    case StructureFault::kNoIdentifierCopy:
      return "the copy of the vendor identifier pair is missing from 0x6C..0x81";
    case StructureFault::kNoPciSignature:
      return "the PCI data structure does not start with \"PCIR\"";
    case StructureFault::kDeviceIdMismatch:
      return "the BIOS header's device ID differs from the PCI data structure's";
    case StructureFault::kConfigTextMisplaced:
      return "the configuration text is not where the BIOS header says (no \"ATI "
             "Technologies Inc. \" text, or another BIOS family)";
    case StructureFault::kNoSignatureText:
      return "the text \" 761295520\" is missing at offset 0x30";
  }
  return "unknown structure fault";
}

int BiosImage::validate() {
  if (length < kMinImageSize) return kTooShort;
  if (bytes[0] != 0x55 || bytes[1] != 0xAA) return kNoRomSignature;
  if (length < bytes[2] * 512) return kTooShort;
  parseHeader();
  if (findStructureFault(*this) != StructureFault::kNone) return kBadStructure;
  if (!hasPllTable(*this)) return kNoPllTable;
  locateFontTables(*this);
  if (checksumBlockOffset == 0) return kBadChecksumBlock;
  if (!hasSoundChecksumBlockWords(*this)) return kBadChecksumBlock;
  return kValid;
}

}  // namespace varnel
