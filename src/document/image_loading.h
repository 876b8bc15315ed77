// The load sequence of an image: parsing its header, locating its register
// scripts and font tables, and the checks that decide whether the editor
// takes it. It sits above the image, scripts and fonts layers, which know
// nothing of one another's order.
#pragma once

#include "image/bios_image.h"

namespace varnel {

// Parses the header and locates the type-1 register scripts; the type-2
// scripts, which change nothing in the model, are traced when the image
// asks for a trace.
void parseImage(BiosImage& image);

// The load's checks in order, parsing and locating the font tables on the
// way: a ValidateCode, kValid for an image the editor takes. What was
// located before a failing check stays set.
int validateImage(BiosImage& image);

// Whether an image that validateImage refused with `validateCode` still
// opens with its VGA fonts alone editable: a BIOS of a later family, whose
// configuration text follows one more text, so that its place is the only
// check it fails. Its checksums must be sound and both its font tables
// found and plausible, since nothing else can be checked of it. Locates the
// font tables on the way.
bool opensFontsOnly(BiosImage& image, int validateCode);

// Whether both font tables are found, look like fonts and lie clear of the
// checksum block, which a save rewrites: what such an image must keep to
// open again.
bool hasEditableFonts(const BiosImage& image);

}  // namespace varnel
