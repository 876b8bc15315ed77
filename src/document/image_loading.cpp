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

}  // namespace varnel
