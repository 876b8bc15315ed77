#include "png_writer.h"

#include <array>

namespace varnel::cli {
namespace {

uint32_t crc32(const uint8_t* data, size_t size, uint32_t crc = 0) {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k)
        c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  crc = ~crc;
  for (size_t i = 0; i < size; ++i)
    crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

void put32(std::vector<uint8_t>& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8)
    out.push_back(static_cast<uint8_t>(value >> shift));
}

void chunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
  put32(out, static_cast<uint32_t>(data.size()));
  const size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  put32(out, crc32(&out[start], out.size() - start));
}

// A zlib stream of stored (uncompressed) deflate blocks.
std::vector<uint8_t> zlibStored(const std::vector<uint8_t>& raw) {
  std::vector<uint8_t> out = {0x78, 0x01};
  size_t at = 0;
  do {
    const size_t size = std::min<size_t>(raw.size() - at, 65535);
    const bool last = at + size == raw.size();
    out.push_back(last ? 1 : 0);
    out.push_back(static_cast<uint8_t>(size));
    out.push_back(static_cast<uint8_t>(size >> 8));
    out.push_back(static_cast<uint8_t>(~size));
    out.push_back(static_cast<uint8_t>(~size >> 8));
    out.insert(out.end(), raw.begin() + static_cast<long>(at),
               raw.begin() + static_cast<long>(at + size));
    at += size;
  } while (at < raw.size());
  uint32_t a = 1, b = 0;
  for (uint8_t byte : raw) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  put32(out, b << 16 | a);
  return out;
}

}  // namespace

std::vector<uint8_t> encodePng(const GreyImage& image) {
  std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> header;
  put32(header, static_cast<uint32_t>(image.width));
  put32(header, static_cast<uint32_t>(image.height));
  header.insert(header.end(), {8, 0, 0, 0, 0});  // 8-bit grey, no interlace
  chunk(out, "IHDR", header);
  std::vector<uint8_t> raw;
  raw.reserve(static_cast<size_t>(image.width + 1) * image.height);
  for (int y = 0; y < image.height; ++y) {
    raw.push_back(0);  // no filter
    const auto row = image.pixels.begin() + static_cast<long>(y) * image.width;
    raw.insert(raw.end(), row, row + image.width);
  }
  chunk(out, "IDAT", zlibStored(raw));
  chunk(out, "IEND", {});
  return out;
}

}  // namespace varnel::cli
