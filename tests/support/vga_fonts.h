// Real-looking VGA text fonts for test images and the sample image.
#pragma once

#include <array>
#include <cstdint>

namespace varnel::test {

extern const std::array<uint8_t, 2048> kVgaFont8x8;
extern const std::array<uint8_t, 4096> kVgaFont8x16;

}  // namespace varnel::test
