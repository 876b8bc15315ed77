// A BiosImage filled by hand, for tests of single operations.
#pragma once

#include <cstring>
#include <initializer_list>
#include <memory>
#include <string>

#include "image/bios_image.h"

namespace varnel::test {

class RawImage {
 public:
  // A reset record whose first `length` bytes are zero, with a size byte
  // that covers them.
  explicit RawImage(int32_t length = 16384) {
    std::memset(image_->bytes.data(), 0, static_cast<size_t>(length));
    image_->length = length;
    image_->bytes[2] = static_cast<uint8_t>(length / 512);
  }
  BiosImage& operator*() { return *image_; }
  BiosImage* operator->() { return image_.get(); }

  void at(int32_t pos, std::initializer_list<uint8_t> bytes) {
    for (uint8_t b : bytes)
      image_->bytes[static_cast<size_t>(pos++)] = b;
  }
  void word(int32_t pos, uint16_t value) { image_->setWord(pos, value); }
  void text(int32_t pos, const std::string& s) {
    std::memcpy(&image_->bytes[static_cast<size_t>(pos)], s.data(), s.size());
  }
  // mov si|bx,value / call target at pos.
  void callSite(int32_t pos, uint8_t opcode, uint16_t value, int32_t target) {
    at(pos, {opcode});
    word(pos + 1, value);
    at(pos + 3, {0xE8});
    word(pos + 4, static_cast<uint16_t>(target - (pos + 6)));
  }

 private:
  std::unique_ptr<BiosImage> image_ = std::make_unique<BiosImage>();
};

// The type-1 interpreter loop pattern.
inline void putInterpreterLoop(RawImage& image, int32_t pos) {
  image.at(pos, {0xB9, 0xE8, 0x03, 0x2E, 0xAC, 0x8A, 0xD8, 0x0A, 0xDB, 0x75, 0x03, 0xE9});
}

}  // namespace varnel::test
