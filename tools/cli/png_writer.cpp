#include "png_writer.h"

#include <png.h>

#include <stdexcept>
#include <string>

namespace varnel::cli {

std::vector<uint8_t> encodePng(const GreyImage& image) {
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  png.width = static_cast<png_uint_32>(image.width);
  png.height = static_cast<png_uint_32>(image.height);
  png.format = PNG_FORMAT_GRAY;
  // The first call only measures the encoding, the second writes it.
  png_alloc_size_t size = 0;
  if (png_image_write_to_memory(&png, nullptr, &size, 0, image.pixels.data(), 0, nullptr)) {
    std::vector<uint8_t> out(size);
    if (png_image_write_to_memory(&png, out.data(), &size, 0, image.pixels.data(), 0, nullptr)) {
      out.resize(size);
      return out;
    }
  }
  const std::string reason = png.message;
  png_image_free(&png);
  throw std::runtime_error("cannot encode the picture as PNG: " + reason);
}

}  // namespace varnel::cli
