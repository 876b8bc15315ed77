// Splits a fuzzer's input into the parameters of a run and its payload:
// parameters are taken from the end, so that the front stays the bytes of
// an image or file and seeds made from real files keep their meaning.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>

namespace varnel::fuzz {

class FuzzInput {
 public:
  FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  template <typename T>
  T take() {
    T value = 0;
    for (size_t i = 0; i < sizeof(T) && size_ > 0; ++i) {
      value = static_cast<T>(value << 8 | data_[--size_]);
    }
    return value;
  }
  bool takeBool() { return take<uint8_t>() & 1; }
  float takeFloat() { return std::bit_cast<float>(take<uint32_t>()); }
  std::span<const uint8_t> rest() const { return {data_, size_}; }

 private:
  const uint8_t* data_;
  size_t size_;
};

}  // namespace varnel::fuzz
