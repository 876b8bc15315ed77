// Writes a picture as a PNG file: through libpng where the build has it,
// uncompressed where it does not (Debian has no libpng for Windows).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace varnel::cli {

// An 8-bit grey picture, rows top to bottom.
struct GreyImage {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> pixels;  // width * height, 0 black, 255 white

  GreyImage(int w, int h) : width(w), height(h), pixels(static_cast<size_t>(w) * h, 255) {}
  void set(int x, int y, uint8_t grey) {
    if (x >= 0 && y >= 0 && x < width && y < height) {
      pixels[static_cast<size_t>(y) * width + x] = grey;
    }
  }
};

// The PNG encoding of the picture; throws std::runtime_error when libpng
// cannot encode it (out of memory).
std::vector<uint8_t> encodePng(const GreyImage& image);

// A valid PNG of the picture whose pixel data is stored without
// compression (deflate's stored blocks): bigger, but needs no library.
std::vector<uint8_t> encodeUncompressedPng(const GreyImage& image);

}  // namespace varnel::cli
