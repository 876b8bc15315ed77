// Builds complete, valid ATI video BIOS images for tests, laid out like the
// real ones, and lets a test change one thing at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "image/bios_image.h"

namespace varnel::test {

using Bytes = std::vector<uint8_t>;

// How the code hands type-1 scripts to the interpreter loop.
enum class LoopForm {
  kNone,    // no interpreter loop in the code
  kDirect,  // mov si,script right before the loop
  kCall,    // mov si,script / call, landing just before the loop
};

struct RomSpec {
  int32_t sizeBlocks = 0x60;  // byte 0x02: the image is sizeBlocks * 512 bytes
  uint16_t vendorId = 0x1002;
  uint16_t secondId = 0x0002;
  uint16_t deviceId = 0x4966;
  int32_t idCopyOffset = 0x70;  // where the identifier pair is copied, 0x6C..0x7E
  std::string dateTime = "2026/12/07 08:00";
  std::string title = "\r\nVARNEL SAMPLE R250 64MB DDR P/N 000-00000-000 \r\n";
  std::string copyright = "(C) 2026 Varnel sample image, ";
  std::string dateText = "BK-VARNEL VER001.000.001.000";
  // One more text after the date text, as a BIOS of a later family has,
  // which puts the configuration text where the load does not look; empty
  // for none.
  std::string laterFamilyText;
  std::string configText = "R250AGP DGD1UN";  // ninth character 'D': a DDR BIOS
  uint8_t headerByte = 0x02;                  // first header byte: type-2 layout

  bool hasPllTable = true;
  uint16_t memoryClockWord = 27000;  // 10 kHz units
  uint16_t coreClockWord = 27500;
  uint16_t referenceWord = 2700;

  bool hasTvTable = true;
  uint8_t tvStandardByte = 0x01;  // NTSC
  uint8_t tvOutputs = 0x01;       // CRT on, TV off
  uint8_t tvMask = 0x03;          // NTSC and PAL
  uint8_t tvMask2 = 0x03;

  // Register 0x12 configuration bytes (memory type high nibble, CAS low).
  uint8_t memoryConfig1 = 0x12;  // DDR, CAS2
  uint8_t memoryConfig2 = 0x12;  // non-zero: a 128-bit bus
  uint8_t coreDivider = 122;     // 274.5 MHz at 2.25 MHz a step
  uint8_t memoryDivider = 120;   // 270 MHz

  LoopForm loopForm = LoopForm::kCall;
  bool hasType2Scripts = true;
  bool hasFonts = true;
  bool hasAltTables = true;
};

// Where the builder put things, for tests that poke at them.
struct RomLayout {
  int32_t length = 0;
  int32_t headerOffset = 0;
  int32_t pciDataOffset = 0;
  int32_t checksumBlockOffset = 0;
  int32_t pllInfoOffset = 0;
  int32_t tvTableOffset = 0;
  int32_t configStringOffset = 0;
  int32_t loopPos = 0;
  std::vector<uint16_t> type1Scripts;  // ascending
  int32_t memoryConfigEntry = 0;       // first 0x12 entry (in the slot A script)
  int32_t pllEntry = 0;                // the 0x0A entry (in the slot B script)
  std::vector<uint16_t> type2Scripts;  // ascending
  int32_t font8x8Offset = 0;
  int32_t font8x16Offset = 0;
  int32_t altFont9x16Offset = 0;
  int32_t altFont9x14Offset = 0;
  std::vector<uint8_t> altCodes;  // characters of the 9x16 alternate table
  int32_t spareByte = 0;          // free byte below 0x8000 the builder may change
};

struct BuiltRom {
  Bytes bytes;
  RomLayout layout;
};

BuiltRom buildRom(const RomSpec& spec = {});
// An image of a later family: valid in every check but the configuration
// text's place, so that its fonts alone may be edited.
RomSpec laterFamilySpec();

// Balances the upper 32 KiB and writes sound hash copies and sum fields,
// computed here independently of the editor's repair. `spare` is a byte
// outside the checksum block (below 0x8000) that may be changed to make the
// byte sum even.
void sealChecksums(Bytes& image, int32_t checksumBlock, int32_t spare);

// The image's own hash and byte sum, straight from their definitions.
uint32_t referenceHash(const Bytes& image);
uint16_t referenceSum(const Bytes& image);

void putWord(Bytes& image, size_t pos, uint16_t value);
void putDword(Bytes& image, size_t pos, uint32_t value);
uint16_t getWord(const Bytes& image, size_t pos);
uint32_t getDword(const Bytes& image, size_t pos);

// A BiosImage loaded from bytes the way the editor loads a file: reset, at
// most 65536 bytes, validate. Heap-allocated: the record is 64 KiB.
std::unique_ptr<BiosImage> loadImage(const Bytes& bytes, int* validateCode = nullptr);

}  // namespace varnel::test
