// Where the build has no libpng (the Windows builds: Debian packages none for
// them), pictures are written uncompressed.
#include "png_writer.h"

namespace varnel::cli {

std::vector<uint8_t> encodePng(const GreyImage& image) {
  return encodeUncompressedPng(image);
}

}  // namespace varnel::cli
