// The values the editor shows and changes at fixed places of an image, each
// read and written here only: the board vendor ID of the BIOS header, the
// date text, the output enables and standard masks of the "$TV" table, and
// the memory types and CAS latencies the editor offers.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "image/bios_image.h"
#include "image/layout.h"

namespace varnel {

// --- BIOS header and fixed texts -------------------------------------------
// The board vendor ID: the first word of the header's identifier pair.
// Read at the header's place even when no header was located (offset 0).
uint16_t vendorId(const BiosImage& image);
// The second word of the identifier pair, matched but not interpreted.
uint16_t identifierPairSecondWord(const BiosImage& image);
// Writes the vendor ID into the identifier pair's copy and into the header.
void setVendorId(BiosImage& image, uint16_t id);
// The zero-terminated text shown as the BIOS date and time.
std::string_view dateTimeText(const BiosImage& image);

// --- "$TV" table ---------------------------------------------------------------
// The output enables' bits in the outputs byte; the masks of supported
// standards have bit n-1 for code n (the bytes: image/layout.h).
inline constexpr uint8_t kTvCrtOutputBit = 0x01;
inline constexpr uint8_t kTvOutOutputBit = 0x02;

// Each false or 0 when the image has no "$TV" table.
bool isCrtOutputOn(const BiosImage& image);
bool isTvOutputOn(const BiosImage& image);
uint8_t tvSupportedMask(const BiosImage& image);
uint8_t tvSupportedMask2(const BiosImage& image);

// --- memory configuration ---------------------------------------------------------
// The names the memory-type and CAS lists show, in list order: the item at
// position i stands for code i + 1 of `memoryType` or `casIndex`.
inline constexpr std::array<const char*, 2> kMemoryTypeNames = {"DDR", "SDR"};
inline constexpr std::array<const char*, 3> kCasNames = {"CAS1 (Ultra)", "CAS2 (Normal)",
                                                         "CAS3 (Slow)"};

// The listed name of a code; nullptr for 0 and for codes the list lacks.
const char* memoryTypeName(int code);
const char* casName(int code);
// The code of a memory type name (exact, as listed); nullopt when unlisted.
std::optional<int> memoryTypeCode(std::string_view name);

}  // namespace varnel
