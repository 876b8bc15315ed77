// Both script traces over arbitrary images and starting points.
#include <algorithm>
#include <cstring>
#include <memory>

#include "document/image_loading.h"
#include "fuzz_input.h"
#include "image/bios_image.h"
#include "scripts/type1_scripts.h"
#include "scripts/type2_scripts.h"

using varnel::BiosImage;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static auto image = std::make_unique<BiosImage>();
  varnel::fuzz::FuzzInput input(data, size);
  const uint16_t type1Start = input.take<uint16_t>();
  const uint16_t type2Start = input.take<uint16_t>();
  const bool extract = input.takeBool();
  const uint16_t header = input.take<uint16_t>();
  const auto bytes = input.rest();
  image->reset();
  const size_t n = std::min(bytes.size(), static_cast<size_t>(varnel::kMaxImageSize));
  std::copy_n(bytes.data(), n, image->bytes.data());
  image->length = static_cast<int32_t>(n);
  image->traceScripts = true;
  image->headerOffset = header;
  if (extract) {
    varnel::readType1Script(*image, type1Start);
  } else {
    varnel::patchType1Script(*image, type1Start);
  }
  varnel::traceType2Script(*image, type2Start, image->scriptTrace);
  varnel::traceType2Scripts(*image, image->scriptTrace);
  parseImage(*image);
  return 0;
}
