// Type-2 register scripts: located only to trace them for diagnosis.
#pragma once

#include <string>

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

// Appends the register writes that precede type-2 scripts in the code, then,
// when a site names a known script, the trace of every script found.
void traceType2Scripts(const BiosImage& image, std::string& trace);

// Appends the trace of the script at `start`; an entry that would reach past
// the image ends it.
void traceType2Script(const BiosImage& image, uint16_t start, std::string& trace);

}  // namespace varnel
