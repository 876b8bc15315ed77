// The search for type-2 register scripts, exposed for tests and tools.
#pragma once

#include "image/bios_image.h"

namespace varnel {

struct Type2SearchResult {
  ScriptOffsetSet scripts;
  // A mov bx,script site refers to one of the known scripts; only then are
  // the scripts traced.
  bool found = false;
};

// The header slots, then every script handed by "mov bx,imm16 / call" to the
// same routine as a site that names a known script. Linear in the image size.
Type2SearchResult findType2Scripts(const BiosImage& image);

}  // namespace varnel
