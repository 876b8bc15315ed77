#include "fonts/psf.h"

#include <algorithm>
#include <cstring>

#include "fonts/gunzip.h"

namespace varnel {
namespace {

constexpr uint8_t kPsf1Magic[2] = {0x36, 0x04};
constexpr uint8_t kPsf2Magic[kPsfSignatureSize] = {0x72, 0xB5, 0x4A, 0x86};
constexpr size_t kPsf1HeaderSize = 4;
constexpr uint8_t kPsf1Has512Glyphs = 0x01;
// The highest PSF1 mode the console loads: 512 glyphs and a Unicode table
// with sequences (0x02 and 0x04 both say that a Unicode table follows).
constexpr uint8_t kPsf1HighestMode = 0x05;
constexpr uint32_t kPsf2HeaderSize = 32;
constexpr uint32_t kPsf2HasUnicodeTable = 0x01;
constexpr uint64_t kTableGlyphs = 256;
constexpr uint64_t kTableWidth = 8;

// Why a file is refused.
constexpr const char* kNotPsf = "the file is not a PSF font";
constexpr const char* kCompressedNotPsf = "the compressed file is not a PSF font";
constexpr const char* kEndsInsideTheHeader = "the file ends inside the PSF header";
constexpr const char* kGlyphsPastTheEnd = "the font's glyphs run past the end of the file";
constexpr const char* kEndsEarly = "the compressed data ends early";
constexpr const char* kDamaged = "the compressed data is damaged";

// A font as its header describes it; every number as large as the header
// can make it. The glyph data's end, dataStart + glyphCount * glyphSize,
// stays below 2^64 for any values of 32-bit fields.
struct PsfShape {
  uint64_t dataStart = 0;
  uint64_t glyphCount = 0;
  uint64_t glyphSize = 0;
  uint64_t width = 0;
  uint64_t height = 0;
};

template <size_t N>
bool startsWith(std::span<const uint8_t> bytes, const uint8_t (&magic)[N]) {
  return bytes.size() >= N && std::memcmp(bytes.data(), magic, N) == 0;
}

uint32_t little32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

std::string hex(uint32_t value) {
  constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  do {
    text.insert(text.begin(), kDigits[value & 0xF]);
    value >>= 4;
  } while (value != 0);
  return "0x" + text;
}

std::string sizeText(uint64_t width, uint64_t height) {
  return std::to_string(width) + "x" + std::to_string(height);
}

// The header of a PSF1 file, which starts with its signature; the
// reason it is refused, or empty.
std::string readPsf1Header(std::span<const uint8_t> file, PsfShape& shape) {
  if (file.size() < kPsf1HeaderSize) return kEndsInsideTheHeader;
  const uint8_t mode = file[2];
  if (mode > kPsf1HighestMode) {
    return "the PSF1 mode is " + hex(mode) + ", not one of 0x0 to " + hex(kPsf1HighestMode);
  }
  const uint8_t height = file[3];
  shape = {kPsf1HeaderSize, (mode & kPsf1Has512Glyphs) ? 2 * kTableGlyphs : kTableGlyphs, height,
           kTableWidth, height};
  return "";
}

std::string readPsf2Header(std::span<const uint8_t> file, PsfShape& shape) {
  if (file.size() < kPsf2HeaderSize) return kEndsInsideTheHeader;
  const uint8_t* header = file.data();
  const uint32_t version = little32(header + 4);
  const uint32_t headerSize = little32(header + 8);
  const uint32_t flags = little32(header + 12);
  shape = {headerSize, little32(header + 16), little32(header + 20), little32(header + 28),
           little32(header + 24)};
  if (version != 0) return "the PSF2 version is " + std::to_string(version) + ", not 0";
  if (headerSize < kPsf2HeaderSize) {
    return "the PSF2 header size is " + std::to_string(headerSize) + ", less than " +
           std::to_string(kPsf2HeaderSize);
  }
  if ((flags & ~kPsf2HasUnicodeTable) != 0) return "the PSF2 flags " + hex(flags) + " are unknown";
  const uint64_t expected = shape.height * ((shape.width + 7) / 8);
  if (shape.glyphSize != expected) {
    return "a glyph takes " + std::to_string(shape.glyphSize) + " bytes, where " +
           sizeText(shape.width, shape.height) + " pixels take " + std::to_string(expected);
  }
  return "";
}

// Whether the described font lies in the file and fits the table.
std::string checkShape(const PsfShape& shape, size_t fileSize, int height) {
  if (shape.dataStart + shape.glyphCount * shape.glyphSize > fileSize) return kGlyphsPastTheEnd;
  if (shape.width != kTableWidth || shape.height != static_cast<uint64_t>(height)) {
    return "the font is " + sizeText(shape.width, shape.height) + ", not " +
           sizeText(kTableWidth, static_cast<uint64_t>(height));
  }
  if (shape.glyphCount < kTableGlyphs) {
    return "the font has " + std::to_string(shape.glyphCount) + " glyphs, fewer than " +
           std::to_string(kTableGlyphs);
  }
  return "";
}

PsfFont readUncompressed(std::span<const uint8_t> file, int height) {
  PsfShape shape;
  std::string whyNot = kNotPsf;
  if (startsWith(file, kPsf1Magic)) {
    whyNot = readPsf1Header(file, shape);
  } else if (startsWith(file, kPsf2Magic)) {
    whyNot = readPsf2Header(file, shape);
  }
  if (whyNot.empty()) whyNot = checkShape(shape, file.size(), height);
  if (!whyNot.empty()) return {{}, whyNot};
  const auto start = file.begin() + static_cast<ptrdiff_t>(shape.dataStart);
  return {{start, start + static_cast<ptrdiff_t>(kTableGlyphs * shape.glyphSize)}, ""};
}

std::string largestSize() {
  return std::to_string(kMaxPsfFileSize >> 20) + " MiB";
}

// Why a compressed file did not inflate; empty when it did.
std::string inflateFailure(Inflated::Result result) {
  switch (result) {
    case Inflated::Result::kWhole:
      break;
    case Inflated::Result::kTooLarge:
      return "it inflates to more than " + largestSize();
    case Inflated::Result::kEndsEarly:
      return kEndsEarly;
    case Inflated::Result::kDamaged:
      return kDamaged;
  }
  return "";
}

bool startsLikePsfFont(std::span<const uint8_t> start) {
  return startsWith(start, kPsf1Magic) || startsWith(start, kPsf2Magic);
}

}  // namespace

bool startsLikePsf(std::span<const uint8_t> start) {
  return startsLikePsfFont(start) || startsLikeGzip(start);
}

PsfFont readPsf(std::span<const uint8_t> file, int height) {
  if (file.size() > static_cast<size_t>(kMaxPsfFileSize)) {
    return {{}, "the file is larger than " + largestSize()};
  }
  if (!startsLikeGzip(file)) return readUncompressed(file, height);
  const Inflated inflated = gunzip(file, kMaxPsfFileSize);
  if (std::string why = inflateFailure(inflated.result); !why.empty()) return {{}, why};
  // A compressed file holds a font, never another compressed file.
  if (!startsLikePsfFont(inflated.bytes)) return {{}, kCompressedNotPsf};
  return readUncompressed(inflated.bytes, height);
}

std::vector<uint8_t> writePsf2(std::span<const uint8_t> glyphs, int height) {
  const auto rows = static_cast<uint32_t>(height);
  const uint32_t fields[] = {0, kPsf2HeaderSize, 0, kTableGlyphs, rows, rows, kTableWidth};
  std::vector<uint8_t> file(std::begin(kPsf2Magic), std::end(kPsf2Magic));
  for (uint32_t field : fields) {
    for (int shift = 0; shift < 32; shift += 8)
      file.push_back(static_cast<uint8_t>(field >> shift));
  }
  file.insert(file.end(), glyphs.begin(), glyphs.end());
  return file;
}

}  // namespace varnel
