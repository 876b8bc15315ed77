// Type-1 register scripts: finding them, reading the memory configuration and
// PLL divider locations out of them, and patching a new configuration in.
#include <array>
#include <cstdio>

#include "image/bios_image.h"
#include "image/byte_patterns.h"

namespace varnel {
namespace {

// mov cx,1000 / cs: lodsb / mov bl,al / or bl,bl / jnz +3 / jmp near
constexpr std::array<uint8_t, 12> kInterpreterLoop = {0xB9, 0xE8, 0x03, 0x2E, 0xAC, 0x8A,
                                                      0xD8, 0x0A, 0xDB, 0x75, 0x03, 0xE9};
constexpr uint8_t kMovSiImm16 = 0xBE;
constexpr uint8_t kCallRel16 = 0xE8;
constexpr int32_t kMaxScriptLength = 1000;

// The loop must end before the image's last byte: p < length - 12.
int32_t findInterpreterLoop(const BiosImage& image) {
  return findPattern(image, kCodeSearchStart, image.length - 1, kInterpreterLoop);
}

void insertHeaderSlots(BiosImage& image) {
  const int32_t header = image.headerOffset;
  const int32_t pciLimit = image.pciDataOffset - 4;
  if (header + 0x48 <= pciLimit) image.scriptOffsets.insert(image.wordAt(header + 0x46));
  if (header + 0x54 <= pciLimit) image.scriptOffsets.insert(image.wordAt(header + 0x52));
}

// mov si,script / call rel16 sites whose call lands just before the loop
// (in the few bytes that save registers ahead of it).
void insertCallSites(BiosImage& image, int32_t loopPos) {
  for (int32_t j = kCodeSearchStart; j < image.boundedLength() - 6; ++j) {
    if (image.bytes[j] != kMovSiImm16 || image.bytes[j + 3] != kCallRel16) continue;
    const int32_t target = (j + 6 + image.wordAt(j + 4)) & 0xFFFF;
    if (target >= loopPos - 9 && target <= loopPos - 3) {
      image.scriptOffsets.insert(image.wordAt(j + 1));
    }
  }
}

void insertCodeScripts(BiosImage& image, int32_t loopPos) {
  if (image.bytes[loopPos - 3] == kMovSiImm16) {
    // mov si,script right before the loop.
    image.scriptOffsets.insert(image.wordAt(loopPos - 2));
    return;
  }
  insertCallSites(image, loopPos);
}

void setClockStep(BiosImage& image) {
  if (!image.pllReferenceFreq) return;
  const double referenceWord = image.wordAt(image.pllReferenceFreq);
  image.clockStepMHz = static_cast<float>(referenceWord * static_cast<double>(0.01f) *
                                          static_cast<double>(0.083333336f));
}

void extractMemoryConfig(BiosImage& image, uint8_t b1, uint8_t b2) {
  const int32_t width = (b1 != 0 && b2 != 0) ? 128 : 64;
  if (width > image.busWidthBits) image.busWidthBits = width;
  for (uint8_t b : {b1, b2}) {
    const auto type = static_cast<uint8_t>(b >> 4);
    if (type != 0 && (image.memoryType == 0 || type < image.memoryType)) image.memoryType = type;
  }
  for (uint8_t b : {b1, b2}) {
    const auto cas = static_cast<uint8_t>(b & 0x0F);
    if (cas != 0 && (image.casIndex == 0 || cas < image.casIndex)) image.casIndex = cas;
  }
}

void patchMemoryConfigEntry(BiosImage& image, int32_t pos) {
  const auto pair = static_cast<uint8_t>(image.memoryType << 4 | image.casIndex);
  if (image.bytes[pos + 1] != 0) image.bytes[pos + 1] = pair;
  if (image.bytes[pos + 2] != 0) image.bytes[pos + 2] = pair;
}

// Steps over one entry, printing its trace line; returns the entry's size.
int32_t stepOverEntry(const BiosImage& image, int32_t pos) {
  const uint8_t cmd = image.bytes[pos];
  const bool trace = image.traceScripts;
  if (cmd >= 0x80) {
    if (trace) std::printf(" Wait %02X\n", cmd & 0x7F);
    return 1;
  }
  if (cmd & 0x40) {
    if (trace) {
      std::printf(" Reg8[%02X+%d] and %02X or %02X\n", cmd & 0x3F, image.bytes[pos + 1] & 3,
                  image.bytes[pos + 2], image.bytes[pos + 3]);
    }
    return 4;
  }
  if (trace) {
    std::printf(" Reg8[%02X] <- %08X\n", cmd & 0x3F, static_cast<unsigned>(image.dwordAt(pos + 1)));
  }
  return 5;
}

}  // namespace

void BiosImage::locateType1Scripts() {
  const int32_t loopPos = boundedLength() - 12 > kCodeSearchStart ? findInterpreterLoop(*this) : 0;
  scriptOffsets.count = 0;
  insertHeaderSlots(*this);
  if (loopPos != 0) insertCodeScripts(*this, loopPos);
  for (int32_t k = 0; k < scriptOffsets.count; ++k)
    walkType1Script(scriptOffsets.offsets[k], true);
  setClockStep(*this);
}

void BiosImage::walkType1Script(uint16_t start, bool extract) {
  if (traceScripts) std::printf("\nType1 script @ %04X:\n", start);
  // Every entry starts before length - 5, so even a 5-byte entry stays inside.
  const int32_t end = start + kMaxScriptLength;
  for (int32_t pos = start; pos < boundedLength() - 5 && pos < end;) {
    const uint8_t cmd = bytes[pos];
    if (cmd == 0) break;
    if (cmd == 0x12) {
      if (extract) {
        extractMemoryConfig(*this, bytes[pos + 1], bytes[pos + 2]);
      } else {
        patchMemoryConfigEntry(*this, pos);
      }
    }
    if (extract && cmd == 0x0A) {
      if (!coreFeedbackDivPtr) coreFeedbackDivPtr = {pos + 3};
      if (!memoryFeedbackDivPtr) memoryFeedbackDivPtr = {pos + 2};
    }
    pos += stepOverEntry(*this, pos);
  }
}

void BiosImage::patchMemoryConfig() {
  for (int32_t k = 0; k < scriptOffsets.count; ++k)
    walkType1Script(scriptOffsets.offsets[k], false);
}

}  // namespace varnel
