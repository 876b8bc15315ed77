// Both script traces over arbitrary images and starting points.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "fuzz_input.h"
#include "image/bios_image.h"

using varnel::BiosImage;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static auto image = std::make_unique<BiosImage>();
  static bool quiet = std::freopen("/dev/null", "w", stdout) != nullptr;
  (void)quiet;
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
  image->walkType1Script(type1Start, extract);
  image->traceType2Script(type2Start);
  image->locateType2Scripts();
  image->parseHeader();
  return 0;
}
