// The whole load of arbitrary bytes, then every edit operation and a
// repair. A repaired image that loaded, in whole or its fonts only, must
// load again the same way with sound checksums.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "document/image_loading.h"
#include "fonts/font_tables.h"
#include "fuzz_input.h"
#include "image/bios_image.h"
#include "image/image_fields.h"
#include "ui/font_dialogs.h"

using varnel::BiosImage;

namespace {

class NullCanvas : public varnel::ui::PixelCanvas {
 public:
  void setPixel(int, int, int) override {}
};

void edit(BiosImage& image, varnel::fuzz::FuzzInput& input) {
  image.setClocks(static_cast<float>(input.take<uint16_t>() % 700),
                  static_cast<float>(input.take<uint16_t>() % 700));
  // Every listed code and 0, for none found.
  image.memoryType =
      static_cast<uint8_t>(input.take<uint8_t>() % (varnel::kMemoryTypeNames.size() + 1));
  image.casIndex = static_cast<uint8_t>(input.take<uint8_t>() % (varnel::kCasNames.size() + 1));
  image.patchMemoryConfig();
  image.setClocks(input.takeFloat(), input.takeFloat());
  image.setTvStandard(input.take<uint8_t>());
  image.setCrtEnabled(input.takeBool());
  image.setTvEnabled(input.takeBool());
  (void)image.isTvStandardSupported(static_cast<int8_t>(input.take<uint8_t>()));
  const uint16_t vendor = input.take<uint16_t>();
  varnel::setVendorId(image, vendor);
  varnel::refreshAltFont9x16(image);
  (void)image.realCoreClock();
  (void)image.effectiveMemoryClock();
  NullCanvas canvas;
  varnel::ui::paintFonts(&image, {0, 0, 186, 62}, {0, 70, 185, 160}, canvas);
  image.updateSupportedTvMask(static_cast<int8_t>(input.take<uint8_t>()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static auto image = std::make_unique<BiosImage>();
  static auto again = std::make_unique<BiosImage>();
  varnel::fuzz::FuzzInput input(data, size);
  const bool editFirst = input.takeBool();
  const auto bytes = input.rest();
  image->reset();
  const size_t n = std::min(bytes.size(), static_cast<size_t>(varnel::kMaxImageSize));
  std::copy_n(bytes.data(), n, image->bytes.data());
  image->length = static_cast<int32_t>(n);
  const int code = validateImage(*image);
  (void)image->checksumsValid();
  // A later family's image whose fonts alone are edited is saved with its
  // checksum block rewritten, nothing else.
  const bool fontsOnly = !editFirst && varnel::opensFontsOnly(*image, code);
  if (editFirst || code == varnel::kValid) edit(*image, input);
  if (fontsOnly) {
    image->repairChecksumBlock();
  } else {
    image->repairChecksums();
  }
  if (code != varnel::kValid && !fontsOnly) return 0;
  if (!image->checksumsValid()) std::abort();
  // What a save writes, loaded afresh.
  again->reset();
  std::copy_n(image->bytes.data(), image->length, again->bytes.data());
  again->length = image->length;
  const int againCode = validateImage(*again);
  const bool opens =
      fontsOnly ? varnel::opensFontsOnly(*again, againCode) : againCode == varnel::kValid;
  if (!opens || !again->checksumsValid()) std::abort();
  return 0;
}
