#include <string_view>

#include "image/bios_image.h"
#include "image/layout.h"
#include "image/validation.h"

namespace varnel {
namespace {

constexpr int32_t kMinImageSize = 16384;
constexpr std::string_view kRomSignatureText = " 761295520";
constexpr uint32_t kPciSignature = 'P' | 'C' << 8 | 'I' << 16 | static_cast<uint32_t>('R') << 24;

bool hasRomSignature(const BiosImage& image) {
  return image.bytes[kRomSignature] == 0x55 && image.bytes[kRomSignature + 1] == 0xAA;
}

// At least 16 KiB, and as many bytes as the size byte declares.
bool hasDeclaredLength(const BiosImage& image) {
  return image.length >= kMinImageSize && image.length >= image.bytes[kRomSizeByte] * kRomSizeUnit;
}

bool hasPllTable(const BiosImage& image) {
  return image.defaultCoreClock && image.defaultMemoryClock && image.pllReferenceFreq &&
         image.pllEntry16 && image.pllEntry18 && image.pllEntry22;
}

}  // namespace

bool hasSoundChecksumBlock(const BiosImage& image) {
  const int32_t block = image.checksumBlockOffset;
  if (block == 0) return false;
  for (int32_t word : kChecksumBlockOnes) {
    if (image.dwordAt(block + word) != 0xFFFFFFFFu) return false;
  }
  for (int32_t word : kChecksumBlockZeros) {
    if (image.dwordAt(block + word) != 0) return false;
  }
  return true;
}

StructureFault findStructureFault(const BiosImage& image, StructureFault tolerated) {
  if (image.headerOffset == 0) return StructureFault::kNoHeader;
  if (image.pciDataOffset == 0) return StructureFault::kNoPciData;
  if (image.pciIdCopyOffset == 0) return StructureFault::kNoIdentifierCopy;
  const int32_t pci = image.pciDataOffset;
  if (image.dwordAt(pci) != kPciSignature) return StructureFault::kNoPciSignature;
  if (image.wordAt(image.headerOffset + kHeaderDeviceId) != image.wordAt(pci + kPciDeviceId)) {
    return StructureFault::kDeviceIdMismatch;
  }
  if (tolerated != StructureFault::kConfigTextMisplaced &&
      image.configString.offset != image.wordAt(image.headerOffset + kHeaderConfigTextPointer)) {
    return StructureFault::kConfigTextMisplaced;
  }
  if (image.textAt(kSignatureText) != kRomSignatureText) return StructureFault::kNoSignatureText;
  return StructureFault::kNone;
}

namespace {

struct RefusalRow {
  int validateCode;
  StructureFault fault;  // kNone unless validateCode is kBadStructure
  const char* reason;
};

constexpr RefusalRow kRefusalReasons[] = {
    {kValid, StructureFault::kNone,
     "The checksums stored in the image do not match its contents, so the image is damaged or "
     "was changed by another tool."},
    {kNoRomSignature, StructureFault::kNone,
     "The file does not start with the option ROM signature 55 AA, so it is not a video BIOS "
     "image."},
    {kTooShort, StructureFault::kNone,
     "The file is shorter than 16384 bytes or than the size its third byte declares, so it "
     "holds no whole BIOS image (a cut-off dump, or another kind of file)."},
    {kBadStructure, StructureFault::kNoHeader,
     "The BIOS header offset at 0x48 points outside the image, so it is damaged or not an ATI "
     "video BIOS."},
    {kBadStructure, StructureFault::kNoPciData,
     "The PCI data structure offset at 0x18 points outside the image, so it is damaged or not "
     "a video BIOS."},
    {kBadStructure, StructureFault::kNoIdentifierCopy,
     "The copy of the vendor and device identifiers is missing from 0x6C..0x81, so this is a "
     "BIOS of another ATI family or of another maker, which this editor does not edit."},
    {kBadStructure, StructureFault::kNoPciSignature,
     "The PCI data structure does not start with \"PCIR\", so the image is damaged or not a "
     "video BIOS."},
    {kBadStructure, StructureFault::kDeviceIdMismatch,
     "The device ID in the BIOS header differs from the one in the PCI data structure, so the "
     "image is damaged or was changed by another tool."},
    {kBadStructure, StructureFault::kConfigTextMisplaced,
     "The configuration text (after \"ATI Technologies Inc. \") is not where the BIOS header "
     "says, as in a BIOS of a later ATI family such as the Radeon 9500 and 9600, which this "
     "editor does not edit."},
    {kBadStructure, StructureFault::kNoSignatureText,
     "The text \" 761295520\" is missing at offset 0x30, so this is not an ATI video BIOS."},
    {kNoPllTable, StructureFault::kNone,
     "The PLL table that holds the clocks is missing, so this is a BIOS of another ATI family, "
     "which this editor does not edit."},
    {kBadChecksumBlock, StructureFault::kNone,
     "The checksum block is missing or its fixed words are wrong, so this is a BIOS of another "
     "ATI family, which this editor does not edit."},
};

}  // namespace

const char* refusalReason(const BiosImage& image, int validateCode) {
  const StructureFault fault =
      validateCode == kBadStructure ? findStructureFault(image) : StructureFault::kNone;
  for (const RefusalRow& row : kRefusalReasons) {
    if (row.validateCode == validateCode && row.fault == fault) return row.reason;
  }
  return "The image does not pass the editor's checks.";
}

int checkBeforeParsing(const BiosImage& image) {
  if (image.length < kMinImageSize) return kTooShort;
  if (!hasRomSignature(image)) return kNoRomSignature;
  if (!hasDeclaredLength(image)) return kTooShort;
  return kValid;
}

int checkParsedLayout(const BiosImage& image, StructureFault tolerated) {
  if (findStructureFault(image, tolerated) != StructureFault::kNone) return kBadStructure;
  if (!hasPllTable(image)) return kNoPllTable;
  return kValid;
}

}  // namespace varnel
