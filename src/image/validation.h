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

// A sentence for users: what a validate() result means for this image.
const char* describeValidateCode(int code);
const char* describeStructureFault(StructureFault fault);

}  // namespace varnel
