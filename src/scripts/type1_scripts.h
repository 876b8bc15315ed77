// Type-1 register scripts: the byte-coded scripts the BIOS hands to its
// interpreter loop, which set up the memory and the PLL.
#pragma once

#include <cstdint>

#include "image/bios_image.h"

namespace varnel {

// Finds the scripts (the header slots and the code that hands a script to the
// interpreter loop), reads each in ascending order, and sets the clock step.
void locateType1Scripts(BiosImage& image);

// Reads one script: the memory type, CAS index and bus width of its
// configuration entries, and where the first PLL entry keeps the dividers.
void readType1Script(BiosImage& image, uint16_t start);

// Writes the image's memory type and CAS index into the non-zero bytes of
// every configuration entry of one script.
void patchType1Script(BiosImage& image, uint16_t start);

}  // namespace varnel
