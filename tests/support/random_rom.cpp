#include "support/random_rom.h"

#include <array>

namespace varnel::test {

RomSpec randomRomSpec(std::mt19937& random) {
  auto pick = [&](auto... values) {
    const std::array all = {values...};
    return all[random() % all.size()];
  };
  RomSpec spec;
  spec.sizeBlocks = pick(0x20, 0x30, 0x40, 0x60, 0x7F, 0x80);
  spec.coreClockWord = static_cast<uint16_t>(4000 + random() % 56000);
  spec.memoryClockWord =
      random() % 4 == 0 ? spec.coreClockWord : static_cast<uint16_t>(4000 + random() % 56000);
  spec.coreDivider = static_cast<uint8_t>(random());
  spec.memoryDivider = random() % 4 == 0 ? spec.coreDivider : static_cast<uint8_t>(random());
  spec.referenceWord = pick(uint16_t{2700}, uint16_t{2950}, uint16_t{1432});
  spec.memoryConfig1 = pick(uint8_t{0x11}, uint8_t{0x12}, uint8_t{0x13}, uint8_t{0x21},
                            uint8_t{0x23}, uint8_t{0x00}, uint8_t{0x35});
  spec.memoryConfig2 = random() % 2 ? spec.memoryConfig1 : uint8_t{0};
  spec.configText = random() % 2 ? "R250AGP DGD1UN" : "R250AGP SGS1UN";
  spec.hasTvTable = random() % 8 != 0;
  spec.tvStandardByte = static_cast<uint8_t>(random() % 16 | (random() % 16) << 4);
  spec.tvOutputs = static_cast<uint8_t>(random());
  spec.tvMask = static_cast<uint8_t>(random());
  spec.tvMask2 = static_cast<uint8_t>(random());
  spec.vendorId = pick(uint16_t{0x1002}, uint16_t{0x10DE}, static_cast<uint16_t>(random()));
  spec.loopForm = pick(LoopForm::kCall, LoopForm::kDirect, LoopForm::kNone);
  spec.headerByte = pick(uint8_t{2}, uint8_t{3});
  return spec;
}

}  // namespace varnel::test
