// Where each field of an ATI video BIOS image lies: offsets from the image's
// start, or from the start of the structure a field belongs to (the BIOS
// header, the PCI data structure, the checksum block, the PLL and "$TV"
// tables). The one home of the image's layout.
#pragma once

#include <array>
#include <cstdint>

namespace varnel {

// --- the option ROM, from the image's start ---------------------------------
inline constexpr int32_t kRomSignature = 0x00;  // 55 AA
inline constexpr int32_t kRomSizeByte = 0x02;   // the size in 512-byte units
inline constexpr int32_t kRomSizeUnit = 512;
inline constexpr int32_t kPciDataPointer = 0x18;
inline constexpr int32_t kSignatureText = 0x30;  // " 761295520"
inline constexpr int32_t kHeaderPointer = 0x48;
inline constexpr int32_t kDateTimeText = 0x50;
// The copy of the header's identifier pair starts somewhere in this range.
inline constexpr int32_t kIdentifierCopyFirst = 0x6C;
inline constexpr int32_t kIdentifierCopyLast = 0x7E;
inline constexpr int32_t kTitleStart = 0x80;

// --- the PCI data structure ---------------------------------------------------
inline constexpr int32_t kPciDataSize = 8;
inline constexpr int32_t kPciDeviceId = 0x06;

// --- the BIOS header ----------------------------------------------------------
inline constexpr int32_t kHeaderSize = 86;
inline constexpr int32_t kHeaderChecksumBlockPointer = 0x0E;
inline constexpr int32_t kHeaderConfigTextPointer = 0x14;
inline constexpr int32_t kHeaderVendorId = 0x1C;
inline constexpr int32_t kHeaderSecondIdWord = 0x1E;
inline constexpr int32_t kHeaderDeviceId = 0x20;
inline constexpr int32_t kHeaderPllTablePointer = 0x30;
inline constexpr int32_t kHeaderTvTablePointer = 0x32;
// Two slots that may name type-1 register scripts.
inline constexpr std::array<int32_t, 2> kHeaderScriptSlots = {0x46, 0x52};

// --- the checksum block -------------------------------------------------------
inline constexpr int32_t kChecksumBlockSize = 64;
inline constexpr int32_t kHashSlotA = 0x00;
inline constexpr int32_t kSumFieldA = 0x08;
inline constexpr int32_t kHashSlotB = 0x20;
inline constexpr int32_t kSumFieldB = 0x28;
// Double words that hold FFFFFFFF, and ones that hold 0, in every such block.
inline constexpr std::array<int32_t, 8> kChecksumBlockOnes = {0x04, 0x0C, 0x14, 0x1C,
                                                              0x24, 0x2C, 0x34, 0x3C};
inline constexpr std::array<int32_t, 4> kChecksumBlockZeros = {0x10, 0x18, 0x30, 0x38};

// --- the PLL table ------------------------------------------------------------
inline constexpr int32_t kPllTableSize = 32;
inline constexpr int32_t kPllDefaultMemoryClock = 0x08;
inline constexpr int32_t kPllDefaultCoreClock = 0x0A;
inline constexpr int32_t kPllReferenceFrequency = 0x0E;
inline constexpr int32_t kPllEntry16 = 0x10;
inline constexpr int32_t kPllEntry18 = 0x12;
inline constexpr int32_t kPllEntry22 = 0x16;

// --- the "$TV" table ----------------------------------------------------------
inline constexpr int32_t kTvTableSize = 16;
inline constexpr int32_t kTvStandardByte = 7;  // low nibble: the standard at start-up
inline constexpr int32_t kTvOutputsByte = 9;
inline constexpr int32_t kTvMaskByte = 10;
inline constexpr int32_t kTvMask2Byte = 11;

}  // namespace varnel
