// What differs between an image and the one it was made from, in the
// user's words, and the warnings a user should read before flashing it.
#pragma once

#include <string>
#include <vector>

#include "image/bios_image.h"

namespace varnel {

struct ChangeReport {
  // One line per setting that differs: "Core clock: 275 -> 300 MHz (...)".
  std::vector<std::string> changes;
  // One sentence per danger: a clock raised by more than a tenth, a memory
  // clock the divider cannot reach, a memory type the BIOS's configuration
  // text contradicts, another vendor ID.
  std::vector<std::string> warnings;
  // Every byte that differs, settings or not (checksums among them).
  int32_t differingBytes = 0;
};

// Both images valid and parsed; `original` is the one loaded or given first.
ChangeReport compareImages(const BiosImage& original, const BiosImage& changed);

// How many of the 256 glyphs of the font table of glyph height 8 or 16
// differ; -1 when either image lacks the table.
int changedGlyphs(const BiosImage& a, const BiosImage& b, int height);

}  // namespace varnel
