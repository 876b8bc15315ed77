#include "document/image_loading.h"

#include "fonts/font_tables.h"
#include "image/validation.h"
#include "scripts/type1_scripts.h"
#include "scripts/type2_scripts.h"

namespace varnel {

void parseImage(BiosImage& image) {
  image.parseHeader();
  locateType1Scripts(image);
  if (image.traceScripts) traceType2Scripts(image, image.scriptTrace);
}

int validateImage(BiosImage& image) {
  if (const int code = checkBeforeParsing(image); code != kValid) return code;
  parseImage(image);
  if (const int code = checkParsedLayout(image); code != kValid) return code;
  locateFontTables(image);
  if (!hasSoundChecksumBlock(image)) return kBadChecksumBlock;
  return kValid;
}

namespace {

bool hasPlausibleFonts(const BiosImage& image) {
  return image.font8x8Offset != 0 && image.font8x16Offset != 0 &&
         isPlausibleFont8x8(&image.bytes[image.font8x8Offset]) &&
         isPlausibleFont8x16(&image.bytes[image.font8x16Offset]);
}

}  // namespace

bool opensFontsOnly(BiosImage& image, int validateCode) {
  if (validateCode != kBadStructure ||
      findStructureFault(image) != StructureFault::kConfigTextMisplaced) {
    return false;
  }
  if (checkParsedLayout(image, StructureFault::kConfigTextMisplaced) != kValid) return false;
  locateFontTables(image);
  return hasSoundChecksumBlock(image) && image.checksumsValid() && hasPlausibleFonts(image);
}

}  // namespace varnel
