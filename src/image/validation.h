// The checks behind validate(), exposed so that a refusal can be explained.
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

// The first structure check that fails on a parsed image, in validate's order.
StructureFault findStructureFault(const BiosImage& image);

// Why the load refuses an image, as one sentence for its user: the check
// that failed and what that means. `validateCode` is validate()'s result on
// the image; kValid stands for a valid image whose checksums do not match.
const char* refusalReason(const BiosImage& image, int validateCode);

}  // namespace varnel
