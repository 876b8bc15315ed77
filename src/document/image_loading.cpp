#include "document/image_loading.h"

#include "fonts/font_tables.h"
#include "image/layout.h"
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

bool overlaps(int32_t start, int32_t size, int32_t otherStart, int32_t otherSize) {
  return start < otherStart + otherSize && otherStart < start + size;
}

}  // namespace

bool hasEditableFonts(const BiosImage& image) {
  const int32_t small = image.font8x8Offset;
  const int32_t tall = image.font8x16Offset;
  const int32_t block = image.checksumBlockOffset;
  if (small == 0 || tall == 0 || block == 0) return false;
  if (overlaps(small, kFont8x8Size, block, kChecksumBlockSize) ||
      overlaps(tall, kFont8x16Size, block, kChecksumBlockSize)) {
    return false;
  }
  return isPlausibleFont8x8(&image.bytes[small]) && isPlausibleFont8x16(&image.bytes[tall]);
}

bool opensFontsOnly(BiosImage& image, int validateCode) {
  if (validateCode != kBadStructure ||
      findStructureFault(image) != StructureFault::kConfigTextMisplaced) {
    return false;
  }
  if (checkParsedLayout(image, StructureFault::kConfigTextMisplaced) != kValid) return false;
  locateFontTables(image);
  return hasSoundChecksumBlock(image) && image.checksumsValid() && hasEditableFonts(image);
}

}  // namespace varnel
