// The checks of an image, in the order the load makes them
// (document/image_loading.h), and the reason of each refusal.
#pragma once

#include "image/bios_image.h"

namespace varnel {

// Which part of the ATI structure (validate code 3) is missing or wrong.
enum class StructureFault {
  kNone,
  kNoHeader,
  kNoPciData,
  kNoIdentifierCopy,
  kNoPciSignature,
  kDeviceIdMismatch,
  kConfigTextMisplaced,
  kNoSignatureText,
};

// Before parsing: at least 16 KiB, the option ROM signature, and as many
// bytes as the size byte declares (kTooShort, kNoRomSignature or kValid).
int checkBeforeParsing(const BiosImage& image);
// After parsing the header: the ATI structure and the PLL table
// (kBadStructure, kNoPllTable or kValid). The configuration text's place
// alone may be `tolerated`: it is then not checked.
int checkParsedLayout(const BiosImage& image, StructureFault tolerated = StructureFault::kNone);
// The checksum block's fixed words, once the font tables are located.
bool hasSoundChecksumBlock(const BiosImage& image);

// The first structure check that fails on a parsed image, in the load's
// order; the check of the configuration text's place is left out when that
// fault is `tolerated`.
StructureFault findStructureFault(const BiosImage& image,
                                  StructureFault tolerated = StructureFault::kNone);

// Why the load refuses an image, as one sentence for its user: the check
// that failed and what that means. `validateCode` is validateImage's result on
// the image; kValid stands for a valid image whose checksums do not match.
const char* refusalReason(const BiosImage& image, int validateCode);

}  // namespace varnel
