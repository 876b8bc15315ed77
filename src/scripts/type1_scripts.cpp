// Type-1 register scripts: finding them, reading the memory configuration and
// PLL divider locations out of them, and patching a new configuration in.
#include "scripts/type1_scripts.h"

#include <array>

#include "image/byte_patterns.h"
#include "image/layout.h"
#include "scripts/script_trace.h"

namespace varnel {
namespace {

// mov cx,1000 / cs: lodsb / mov bl,al / or bl,bl / jnz +3 / jmp near
constexpr std::array<uint8_t, 12> kInterpreterLoop = {0xB9, 0xE8, 0x03, 0x2E, 0xAC, 0x8A,
                                                      0xD8, 0x0A, 0xDB, 0x75, 0x03, 0xE9};
constexpr uint8_t kMovSiImm16 = 0xBE;
constexpr uint8_t kCallRel16 = 0xE8;
constexpr int32_t kMaxScriptLength = 1000;
constexpr uint8_t kMemoryConfigRegister = 0x12;
constexpr uint8_t kPllRegister = 0x0A;

// The loop must end before the image's last byte: p < length - 12.
int32_t findInterpreterLoop(const BiosImage& image) {
  return findPattern(image, kCodeSearchStart, image.length - 1, kInterpreterLoop);
}

void insertHeaderSlots(BiosImage& image) {
  const int32_t header = image.headerOffset;
  const int32_t pciLimit = image.pciDataOffset - 4;
  // A slot counts only when its word ends before the PCI data's last four
  // bytes.
  for (int32_t slot : kHeaderScriptSlots) {
    if (header + slot + 2 <= pciLimit) image.scriptOffsets.insert(image.wordAt(header + slot));
  }
}

// mov si,script / call rel16 sites whose call lands just before the loop
// (in the few bytes that save registers ahead of it). Sites after the set
// fills up would add nothing.
void insertCallSites(BiosImage& image, int32_t loopPos) {
  const int32_t end = image.boundedLength() - 6;
  for (int32_t j = findByte(image, kCodeSearchStart, end, kMovSiImm16);
       j != 0 && !image.scriptOffsets.full(); j = findByte(image, j + 1, end, kMovSiImm16)) {
    if (image.bytes[j + 3] != kCallRel16) continue;
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

void readMemoryConfig(BiosImage& image, uint8_t b1, uint8_t b2) {
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

// The trace line of one entry: a wait, a masked update or a plain write.
std::string entryTrace(const BiosImage& image, int32_t pos) {
  const uint8_t cmd = image.bytes[pos];
  if (cmd >= 0x80) return " Wait " + hexText(cmd & 0x7F, 2) + "\n";
  if (cmd & 0x40) {
    return " Reg8[" + hexText(cmd & 0x3F, 2) + "+" + std::to_string(image.bytes[pos + 1] & 3) +
           "] and " + hexText(image.bytes[pos + 2], 2) + " or " + hexText(image.bytes[pos + 3], 2) +
           "\n";
  }
  return " Reg8[" + hexText(cmd & 0x3F, 2) + "] <- " + hexText(image.dwordAt(pos + 1), 8) + "\n";
}

int32_t entrySize(uint8_t cmd) {
  if (cmd >= 0x80) return 1;
  return (cmd & 0x40) ? 4 : 5;
}

// Visits every entry of the script at `start` up to its end byte, tracing
// each while tracing is on.
template <typename VisitEntry>
void walkType1Script(BiosImage& image, uint16_t start, VisitEntry visit) {
  if (image.traceScripts) image.scriptTrace += "\nType1 script @ " + hexText(start, 4) + ":\n";
  // Every entry starts before length - 5, so even a 5-byte entry stays inside.
  const int32_t end = start + kMaxScriptLength;
  for (int32_t pos = start; pos < image.boundedLength() - 5 && pos < end;) {
    const uint8_t cmd = image.bytes[pos];
    if (cmd == 0) break;
    visit(pos, cmd);
    if (image.traceScripts) image.scriptTrace += entryTrace(image, pos);
    pos += entrySize(cmd);
  }
}

}  // namespace

void readType1Script(BiosImage& image, uint16_t start) {
  walkType1Script(image, start, [&image](int32_t pos, uint8_t cmd) {
    if (cmd == kMemoryConfigRegister) {
      readMemoryConfig(image, image.bytes[pos + 1], image.bytes[pos + 2]);
    }
    if (cmd == kPllRegister) {
      if (!image.coreFeedbackDivPtr) image.coreFeedbackDivPtr = {pos + 3};
      if (!image.memoryFeedbackDivPtr) image.memoryFeedbackDivPtr = {pos + 2};
    }
  });
}

void patchType1Script(BiosImage& image, uint16_t start) {
  walkType1Script(image, start, [&image](int32_t pos, uint8_t cmd) {
    if (cmd == kMemoryConfigRegister) patchMemoryConfigEntry(image, pos);
  });
}

void locateType1Scripts(BiosImage& image) {
  const int32_t loopPos =
      image.boundedLength() - 12 > kCodeSearchStart ? findInterpreterLoop(image) : 0;
  image.scriptOffsets.count = 0;
  insertHeaderSlots(image);
  if (loopPos != 0) insertCodeScripts(image, loopPos);
  for (int32_t k = 0; k < image.scriptOffsets.count; ++k)
    readType1Script(image, image.scriptOffsets.offsets[k]);
  image.setClockStep();
}

void BiosImage::patchMemoryConfig() {
  for (int32_t k = 0; k < scriptOffsets.count; ++k)
    patchType1Script(*this, scriptOffsets.offsets[k]);
}

}  // namespace varnel
