// PNG without compression: the chunks and checksums of the format around
// zlib's stored blocks, which carry the filtered rows as they are.
#include <algorithm>
#include <array>
#include <cstddef>
#include <string_view>

#include "png_writer.h"

namespace varnel::cli {
namespace {

constexpr size_t kMaxStoredBlock = 65535;

uint32_t crc32(const uint8_t* data, size_t size, uint32_t crc = 0) {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  crc = ~crc;
  for (size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

uint32_t adler32(const std::vector<uint8_t>& data) {
  uint32_t a = 1, b = 0;
  for (const uint8_t byte : data) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  return (b << 16) | a;
}

void putBigEndian(std::vector<uint8_t>& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

void putChunk(std::vector<uint8_t>& out, std::string_view type, const std::vector<uint8_t>& data) {
  putBigEndian(out, static_cast<uint32_t>(data.size()));
  const size_t typeAt = out.size();
  out.insert(out.end(), type.begin(), type.end());
  out.insert(out.end(), data.begin(), data.end());
  putBigEndian(out, crc32(out.data() + typeAt, out.size() - typeAt));
}

// Every row prefixed with filter type 0 (none).
std::vector<uint8_t> filteredRows(const GreyImage& image) {
  std::vector<uint8_t> rows;
  const size_t width = static_cast<size_t>(image.width);
  for (size_t y = 0; y < static_cast<size_t>(image.height); ++y) {
    rows.push_back(0);
    const auto row = image.pixels.begin() + static_cast<std::ptrdiff_t>(y * width);
    rows.insert(rows.end(), row, row + static_cast<std::ptrdiff_t>(width));
  }
  return rows;
}

std::vector<uint8_t> zlibStored(const std::vector<uint8_t>& data) {
  std::vector<uint8_t> out = {0x78, 0x01};  // deflate, 32 KiB window, no dictionary
  size_t at = 0;
  do {
    const size_t size = std::min(kMaxStoredBlock, data.size() - at);
    out.push_back(at + size == data.size() ? 1 : 0);  // last block?, type 00: stored
    out.push_back(static_cast<uint8_t>(size));
    out.push_back(static_cast<uint8_t>(size >> 8));
    out.push_back(static_cast<uint8_t>(~size));
    out.push_back(static_cast<uint8_t>(~size >> 8));
    out.insert(out.end(), data.begin() + static_cast<std::ptrdiff_t>(at),
               data.begin() + static_cast<std::ptrdiff_t>(at + size));
    at += size;
  } while (at < data.size());
  putBigEndian(out, adler32(data));
  return out;
}

}  // namespace

std::vector<uint8_t> encodeUncompressedPng(const GreyImage& image) {
  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> header;
  putBigEndian(header, static_cast<uint32_t>(image.width));
  putBigEndian(header, static_cast<uint32_t>(image.height));
  header.insert(header.end(), {8, 0, 0, 0, 0});  // 8-bit grey, deflate, adaptive, no interlace
  putChunk(png, "IHDR", header);
  putChunk(png, "IDAT", zlibStored(filteredRows(image)));
  putChunk(png, "IEND", {});
  return png;
}

}  // namespace varnel::cli
