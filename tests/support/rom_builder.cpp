#include "support/rom_builder.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <stdexcept>

#include "document/image_loading.h"
#include "support/vga_fonts.h"

namespace varnel::test {
namespace {

// Writes bytes at a moving position, the way an assembler lays out a ROM.
class Cursor {
 public:
  Cursor(Bytes& image, int32_t pos) : image_(image), pos_(pos) {}

  int32_t pos() const { return pos_; }
  void moveTo(int32_t pos) { pos_ = pos; }
  void align(int32_t boundary) { pos_ = (pos_ + boundary - 1) / boundary * boundary; }
  void skip(int32_t count) { pos_ += count; }

  void byte(uint8_t b) { image_.at(static_cast<size_t>(pos_++)) = b; }
  void bytes(std::initializer_list<uint8_t> list) {
    for (uint8_t b : list)
      byte(b);
  }
  void bytes(const uint8_t* data, size_t size) {
    for (size_t i = 0; i < size; ++i)
      byte(data[i]);
  }
  void word(uint16_t w) {
    byte(static_cast<uint8_t>(w));
    byte(static_cast<uint8_t>(w >> 8));
  }
  void dword(uint32_t d) {
    word(static_cast<uint16_t>(d));
    word(static_cast<uint16_t>(d >> 16));
  }
  void text(const std::string& s, bool terminate = true) {
    for (char c : s)
      byte(static_cast<uint8_t>(c));
    if (terminate) byte(0);
  }
  // call rel16 to an absolute target, from the current position.
  void callTo(int32_t target) {
    byte(0xE8);
    word(static_cast<uint16_t>(target - (pos_ + 2)));
  }

 private:
  Bytes& image_;
  int32_t pos_;
};

// Code-like filler that never starts one of the searched instruction
// patterns, so that a test image holds exactly the patterns put there.
Bytes makeFiller(size_t size) {
  Bytes filler(size);
  uint32_t state = 0x2468ACE1u;
  for (auto& b : filler) {
    state = state * 1664525u + 1013904223u;
    b = static_cast<uint8_t>(state >> 24);
    if (b == 0xB9 || b == 0xBE || b == 0xBB || b == 0xBD || b == 0x32 || b == 0xB2) b = 0x90;
  }
  return filler;
}

void writeChecksumBlockFixedWords(Bytes& image, int32_t block) {
  for (int32_t half : {0x00, 0x20}) {
    for (int32_t word : {0x04, 0x0C, 0x14, 0x1C})
      putDword(image, block + half + word, 0xFFFFFFFFu);
    for (int32_t word : {0x10, 0x18})
      putDword(image, block + half + word, 0);
    putDword(image, block + half + 0x00, 0);
    putDword(image, block + half + 0x08, 0);
  }
}

struct Texts {
  int32_t configString = 0;
  int32_t end = 0;
};

Texts writeTexts(Bytes& image, const RomSpec& spec) {
  Cursor at(image, 0x30);
  at.text(" 761295520");
  at.moveTo(0x50);
  at.text(spec.dateTime);
  at.moveTo(0x80);
  at.text(spec.title);
  at.text(spec.copyright + "ATI Technologies Inc. ", false);
  at.text(spec.dateText);
  if (!spec.laterFamilyText.empty()) at.text(spec.laterFamilyText);
  Texts texts;
  texts.configString = at.pos();
  at.text(spec.configText);
  texts.end = at.pos();
  return texts;
}

// Type-1 scripts. Slot A: memory controller set-up with the configuration
// entry. Slot B: PLL programming with the divider entry. Two more reached
// from the code: a further configuration entry and register writes.
struct Type1Scripts {
  int32_t slotA = 0, slotB = 0, codeA = 0, codeB = 0;
  int32_t memoryConfigEntry = 0, pllEntry = 0;
};

Type1Scripts writeType1Scripts(Cursor& at, const RomSpec& spec) {
  Type1Scripts s;
  s.slotA = at.pos();
  at.bytes({0x4F, 0x01, 0xF0, 0x0A});  // masked update of register 0x0F
  s.memoryConfigEntry = at.pos();
  at.bytes({0x12, spec.memoryConfig1, spec.memoryConfig2, 0x00, 0x40});
  at.bytes({0x85, 0x52, 0x00, 0x0F, 0x30});  // wait, masked update of 0x12
  at.bytes({0x0B, 0x78, 0x56, 0x34, 0x12, 0x00});
  s.slotB = at.pos();
  at.bytes({0x8A, 0x09, 0x00, 0x00, 0x00, 0x00});
  s.pllEntry = at.pos();
  at.bytes({0x0A, 0x05, spec.memoryDivider, spec.coreDivider, 0x00});
  at.bytes({0x8A, 0x48, 0x03, 0xFC, 0x01, 0x00});
  s.codeA = at.pos();
  at.bytes({0x12, spec.memoryConfig1, spec.memoryConfig2, 0x20, 0x40, 0x81});
  at.bytes({0x0A, 0x00, 0x11, 0x22, 0x00, 0x00});  // a second 0x0A: never the divider
  s.codeB = at.pos();
  at.bytes({0x17, 0x00, 0x00, 0x01, 0x00, 0x5C, 0x02, 0xFF, 0x00, 0x83, 0x00});
  return s;
}

// Type-2 scripts in the layout of header byte 0..2 (masked updates with the
// OR value first) or 3.. (plain writes, masked ones with bit 14).
int32_t writeType2Script(Cursor& at, const RomSpec& spec, uint16_t reg) {
  const int32_t start = at.pos();
  const bool oldLayout = spec.headerByte <= 2;
  at.word(reg);
  at.dword(0x00000010u);
  if (oldLayout || (reg & 0x4000)) at.dword(0xFFFFFF0Fu);
  at.word(0x8000);
  at.word(0x0032);
  at.skip(2);
  at.word(static_cast<uint16_t>(0x2000 | 0xC4 | (oldLayout ? 0 : 0x4000)));  // port 0xC4
  at.dword(0x00000001u);
  at.dword(0xFFFFFFFEu);
  at.word(0);
  return start;
}

struct CodeFixups {
  int32_t loopPos = 0;
  int32_t type1CallSites[2] = {0, 0};  // operand positions of mov si
  int32_t directOperand = 0;
  int32_t type2CallSites[3] = {0, 0, 0};
  int32_t fontOperands = 0;  // p + 1 of the font-pointer pattern
  int32_t altOperands = 0;   // p + 1 of the alternate-table pattern
  int32_t spare = 0;
};

void writeInterpreterLoop(Cursor& at, const RomSpec& spec, CodeFixups& fix) {
  if (spec.loopForm == LoopForm::kNone) return;
  if (spec.loopForm == LoopForm::kDirect) {
    at.byte(0xBE);  // mov si,script
    fix.directOperand = at.pos();
    at.word(0);
  } else {
    at.bytes({0x50, 0x53, 0x51});  // push ax / push bx / push cx: the call target
  }
  fix.loopPos = at.pos();
  at.bytes({0xB9, 0xE8, 0x03, 0x2E, 0xAC, 0x8A, 0xD8, 0x0A, 0xDB, 0x75, 0x03, 0xE9, 0x10, 0x00});
  at.bytes({0x59, 0x5B, 0x58, 0xC3});  // pop cx / pop bx / pop ax / ret
  if (spec.loopForm != LoopForm::kCall) return;
  for (int32_t& site : fix.type1CallSites) {
    at.byte(0xBE);
    site = at.pos();
    at.word(0);
    at.callTo(fix.loopPos - 3);
    at.byte(0x90);
  }
}

void writeType2Code(Cursor& at, const RomSpec& spec, CodeFixups& fix) {
  if (!spec.hasType2Scripts) return;
  const int32_t interpreter = at.pos();
  at.bytes({0x8B, 0x07, 0x85, 0xC0, 0x74, 0x02, 0xEB, 0xF8, 0xC3});
  for (int32_t& site : fix.type2CallSites) {
    at.byte(0xBB);  // mov bx,script / call interpreter
    site = at.pos();
    at.word(0);
    at.callTo(interpreter);
  }
  // The register write done right before the type-2 scripts run.
  at.bytes(
      {0xB2, 0x00, 0x66, 0x33, 0xC0, 0xB8, 0x34, 0x12, 0x66, 0xEF, 0xB2, 0x04, 0xB0, 0x5A, 0xEE});
}

void writeFontCode(Cursor& at, const RomSpec& spec, CodeFixups& fix) {
  if (spec.hasFonts) {
    at.bytes({0xB9, 0x0E, 0x00, 0xEB, 0x0E, 0xBD});
    fix.fontOperands = at.pos();
    at.bytes(
        {0x00, 0x00, 0xB9, 0x08, 0x00, 0xEB, 0x06, 0xBD, 0x00, 0x00, 0xB9, 0x10, 0x00, 0xEB, 0x00});
  }
  if (spec.hasAltTables) {
    at.bytes({0x32, 0xFF, 0x8A, 0xDC, 0xBE});
    fix.altOperands = at.pos();
    at.bytes(
        {0x00, 0x00, 0x80, 0xFB, 0x10, 0x74, 0x08, 0xBE, 0x00, 0x00, 0x80, 0xFB, 0x0E, 0x74, 0x00});
  }
  fix.spare = at.pos();
  at.byte(0x90);
}

// The 9x16 alternates: the 8x16 glyph of each listed character shifted
// one pixel, as the wider cell would show it.
int32_t writeAltTable9x16(Cursor& at, RomLayout& layout) {
  const int32_t start = at.pos();
  layout.altCodes = {0x30, 0x4D, 0x54, 0x56, 0x57, 0x6D, 0x76, 0x77};
  for (uint8_t code : layout.altCodes) {
    at.byte(code);
    for (int row = 0; row < 16; ++row) {
      at.byte(static_cast<uint8_t>(kVgaFont8x16[code * 16 + row] >> 1));
    }
  }
  at.byte(0);
  return start;
}

int32_t writeAltTable9x14(Cursor& at) {
  const int32_t start = at.pos();
  for (uint8_t code : {0x4D, 0x57, 0x9D}) {
    at.byte(code);
    for (int row = 0; row < 14; ++row)
      at.byte(static_cast<uint8_t>(0x3C ^ row));
  }
  at.byte(0);
  return start;
}

void writeFonts(Cursor& at, const RomSpec& spec, RomLayout& layout) {
  if (spec.hasFonts) {
    at.align(16);
    layout.font8x8Offset = at.pos();
    at.bytes(kVgaFont8x8.data(), kVgaFont8x8.size());
    layout.font8x16Offset = at.pos();
    at.bytes(kVgaFont8x16.data(), kVgaFont8x16.size());
  }
  if (spec.hasAltTables) {
    layout.altFont9x16Offset = writeAltTable9x16(at, layout);
    layout.altFont9x14Offset = writeAltTable9x14(at);
  }
}

void writeHeader(Bytes& image, const RomSpec& spec, const RomLayout& layout) {
  const int32_t h = layout.headerOffset;
  image[static_cast<size_t>(h)] = spec.headerByte;
  putWord(image, h + 0x0E, static_cast<uint16_t>(layout.checksumBlockOffset));
  putWord(image, h + 0x14, static_cast<uint16_t>(layout.configStringOffset));
  putWord(image, h + 0x1C, spec.vendorId);
  putWord(image, h + 0x1E, spec.secondId);
  putWord(image, h + 0x20, spec.deviceId);
  putWord(image, h + 0x30, static_cast<uint16_t>(layout.pllInfoOffset));
  putWord(image, h + 0x32, static_cast<uint16_t>(layout.tvTableOffset));
}

void writeTables(Cursor& at, Bytes& image, const RomSpec& spec, RomLayout& layout) {
  layout.headerOffset = at.pos();
  at.skip(0x56);
  if (spec.hasTvTable) {
    layout.tvTableOffset = at.pos();
    at.text("$TV", false);
    at.bytes({0x53, 0x52, 0x01, 0x00, spec.tvStandardByte, 0x00, spec.tvOutputs, spec.tvMask,
              spec.tvMask2, 0x00, 0x00, 0x00, 0x00});
  }
  if (spec.hasPllTable) {
    layout.pllInfoOffset = at.pos();
    at.bytes({0x01, 0x01, 0x09, 0x82, 0x04, 0xF4, 0x04, 0xE6});
    at.word(spec.memoryClockWord);
    at.word(spec.coreClockWord);
    at.word(0x0010);
    at.word(spec.referenceWord);
    at.word(0x0004);
    at.word(0x0E24);
    at.word(0x01F4);
    at.word(0x4E20);
    at.skip(8);
  }
  // Both header script slots must end 4 bytes before the PCI data.
  at.moveTo(std::max(at.pos(), layout.headerOffset + 0x58));
  layout.pciDataOffset = at.pos();
  at.text("PCIR", false);
  at.word(0x1002);
  at.word(spec.deviceId);
  at.bytes({0x00, 0x00, 0x18, 0x00, 0x00, 0x00, 0x00, 0x03});
  at.word(static_cast<uint16_t>(spec.sizeBlocks));
  at.bytes({0x01, 0x01, 0x00, 0x80, 0x00, 0x00});
  at.text("ATI VARNEL SAMPLE");
  layout.checksumBlockOffset = at.pos();
  writeChecksumBlockFixedWords(image, layout.checksumBlockOffset);
  at.skip(64);
}

void fixupCode(Bytes& image, const CodeFixups& fix, const Type1Scripts& scripts,
               RomLayout& layout) {
  layout.loopPos = fix.loopPos;
  if (fix.directOperand != 0)
    putWord(image, fix.directOperand, static_cast<uint16_t>(scripts.codeA));
  if (fix.type1CallSites[0] != 0) {
    putWord(image, fix.type1CallSites[0], static_cast<uint16_t>(scripts.codeA));
    putWord(image, fix.type1CallSites[1], static_cast<uint16_t>(scripts.codeB));
  }
  if (fix.fontOperands != 0) {
    putWord(image, fix.fontOperands, static_cast<uint16_t>(layout.font8x8Offset));
    putWord(image, fix.fontOperands + 8, static_cast<uint16_t>(layout.font8x16Offset));
  }
  if (fix.altOperands != 0) {
    putWord(image, fix.altOperands, static_cast<uint16_t>(layout.altFont9x16Offset));
    putWord(image, fix.altOperands + 8, static_cast<uint16_t>(layout.altFont9x14Offset));
  }
}

void collectScriptOffsets(const RomSpec& spec, const Type1Scripts& s, RomLayout& layout) {
  layout.type1Scripts = {static_cast<uint16_t>(s.slotA), static_cast<uint16_t>(s.slotB)};
  if (spec.loopForm != LoopForm::kNone)
    layout.type1Scripts.push_back(static_cast<uint16_t>(s.codeA));
  if (spec.loopForm == LoopForm::kCall)
    layout.type1Scripts.push_back(static_cast<uint16_t>(s.codeB));
  std::sort(layout.type1Scripts.begin(), layout.type1Scripts.end());
  layout.memoryConfigEntry = s.memoryConfigEntry;
  layout.pllEntry = s.pllEntry;
}

void writeType2Scripts(Cursor& at, Bytes& image, const RomSpec& spec, const CodeFixups& fix,
                       RomLayout& layout) {
  if (!spec.hasType2Scripts) return;
  const uint16_t first = static_cast<uint16_t>(writeType2Script(at, spec, 0x0140));
  const uint16_t second = static_cast<uint16_t>(writeType2Script(at, spec, 0x4038));
  const uint16_t third = static_cast<uint16_t>(writeType2Script(at, spec, 0x0004));
  putWord(image, layout.headerOffset + 0x0C, first);
  putWord(image, layout.headerOffset + 0x4E, second);
  // The first site names a header script; the third script is known only
  // through its call to the same interpreter.
  putWord(image, fix.type2CallSites[0], first);
  putWord(image, fix.type2CallSites[1], third);
  putWord(image, fix.type2CallSites[2], second);
  layout.type2Scripts = {first, second, third};
}

}  // namespace

RomSpec laterFamilySpec() {
  RomSpec spec;
  spec.laterFamilyText = "R300 LATER FAMILY TEXT";
  return spec;
}

BuiltRom buildRom(const RomSpec& spec) {
  const auto length = static_cast<size_t>(spec.sizeBlocks) * 512;
  if (length < 0x4000 || length > static_cast<size_t>(kMaxImageSize)) {
    throw std::invalid_argument("test images are 16 to 64 KiB");
  }
  BuiltRom rom{makeFiller(length), {}};
  Bytes& image = rom.bytes;
  RomLayout& layout = rom.layout;
  layout.length = static_cast<int32_t>(length);
  std::fill(image.begin(), image.begin() + 0x80, 0);
  image[0] = 0x55;
  image[1] = 0xAA;
  image[2] = static_cast<uint8_t>(spec.sizeBlocks);
  Cursor at(image, 3);
  at.bytes({0xE9, 0x00, 0x00});  // jmp near: the initialisation code
  std::memcpy(&image[0x1E], "IBM", 3);

  const Texts texts = writeTexts(image, spec);
  layout.configStringOffset = texts.configString;
  at.moveTo(texts.end);
  at.align(2);
  writeTables(at, image, spec, layout);
  putWord(image, 0x18, static_cast<uint16_t>(layout.pciDataOffset));
  putWord(image, 0x48, static_cast<uint16_t>(layout.headerOffset));
  putWord(image, static_cast<size_t>(spec.idCopyOffset), spec.vendorId);
  putWord(image, static_cast<size_t>(spec.idCopyOffset) + 2, spec.secondId);

  at.align(16);
  putWord(image, 4, static_cast<uint16_t>(at.pos() - 6));
  CodeFixups fix;
  writeInterpreterLoop(at, spec, fix);
  writeType2Code(at, spec, fix);
  writeFontCode(at, spec, fix);
  layout.spareByte = fix.spare;

  at.align(16);
  const Type1Scripts scripts = writeType1Scripts(at, spec);
  putWord(image, layout.headerOffset + 0x46, static_cast<uint16_t>(scripts.slotA));
  putWord(image, layout.headerOffset + 0x52, static_cast<uint16_t>(scripts.slotB));
  collectScriptOffsets(spec, scripts, layout);
  writeType2Scripts(at, image, spec, fix, layout);
  writeFonts(at, spec, layout);
  writeHeader(image, spec, layout);
  fixupCode(image, fix, scripts, layout);
  sealChecksums(image, layout.checksumBlockOffset, layout.spareByte);
  return rom;
}

void sealChecksums(Bytes& image, int32_t checksumBlock, int32_t spare) {
  const size_t n = image.size();
  if (n > 0x8000) {
    uint32_t upper = 0;
    for (size_t p = 0x8000; p < n; ++p)
      upper += image[p];
    image[n - 1] = static_cast<uint8_t>(image[n - 1] - (upper & 0xFF));
  }
  const size_t fieldA = static_cast<size_t>(checksumBlock) + 0x08;
  const size_t fieldB = static_cast<size_t>(checksumBlock) + 0x28;
  for (size_t field : {fieldA, fieldB})
    putDword(image, field, 0);
  putDword(image, static_cast<size_t>(checksumBlock), 0);
  putDword(image, static_cast<size_t>(checksumBlock) + 0x20, 0);
  // Equal hash copies cancel out of the hash, and so do equal sum fields:
  // the hash of the image with all of them cleared is the finished hash.
  const uint32_t hash = referenceHash(image);
  putDword(image, static_cast<size_t>(checksumBlock), hash);
  putDword(image, static_cast<size_t>(checksumBlock) + 0x20, hash);
  // Find a high byte i and balance byte b, the same in both fields, that
  // make the byte sum i * 256; the spare byte makes the sum even first.
  for (int attempt = 0; attempt < 256; ++attempt) {
    const uint32_t base = referenceSum(image);
    for (uint32_t i = 0; i < 256; ++i) {
      for (uint32_t b = 0; b < 256; ++b) {
        if (((base + 2 * i + 2 * b) & 0xFFFF) != i << 8) continue;
        for (size_t field : {fieldA, fieldB}) {
          image[field] = static_cast<uint8_t>(b);
          image[field + 1] = static_cast<uint8_t>(i);
        }
        return;
      }
    }
    // The spare byte lies outside the block: the hash must be taken again.
    image.at(static_cast<size_t>(spare)) =
        static_cast<uint8_t>(image.at(static_cast<size_t>(spare)) + 1);
    putDword(image, static_cast<size_t>(checksumBlock), 0);
    putDword(image, static_cast<size_t>(checksumBlock) + 0x20, 0);
    const uint32_t rehash = referenceHash(image);
    putDword(image, static_cast<size_t>(checksumBlock), rehash);
    putDword(image, static_cast<size_t>(checksumBlock) + 0x20, rehash);
  }
  throw std::logic_error("no checksum balance found");
}

uint32_t referenceHash(const Bytes& image) {
  uint32_t h = 0;
  for (uint8_t b : image)
    h = std::rotl(h, 1) ^ b;
  return h;
}

uint16_t referenceSum(const Bytes& image) {
  uint32_t sum = 0;
  for (uint8_t b : image)
    sum += b;
  return static_cast<uint16_t>(sum);
}

void putWord(Bytes& image, size_t pos, uint16_t value) {
  image.at(pos) = static_cast<uint8_t>(value);
  image.at(pos + 1) = static_cast<uint8_t>(value >> 8);
}

void putDword(Bytes& image, size_t pos, uint32_t value) {
  putWord(image, pos, static_cast<uint16_t>(value));
  putWord(image, pos + 2, static_cast<uint16_t>(value >> 16));
}

uint16_t getWord(const Bytes& image, size_t pos) {
  return static_cast<uint16_t>(image.at(pos) | image.at(pos + 1) << 8);
}

uint32_t getDword(const Bytes& image, size_t pos) {
  return getWord(image, pos) | static_cast<uint32_t>(getWord(image, pos + 2)) << 16;
}

std::unique_ptr<BiosImage> loadImage(const Bytes& bytes, int* validateCode) {
  auto image = std::make_unique<BiosImage>();
  const size_t n = std::min(bytes.size(), static_cast<size_t>(kMaxImageSize));
  std::copy_n(bytes.begin(), n, image->bytes.begin());
  image->length = static_cast<int32_t>(n);
  const int code = validateImage(*image);
  if (validateCode != nullptr) *validateCode = code;
  return image;
}

}  // namespace varnel::test
