// Lines of the vendor list "Vendor.IDs": four hex digits, a blank or tab,
// and the vendor's name.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace varnel::ui {

// The list is read in pieces of at most 1023 characters.
inline constexpr int kVendorLineBuffer = 1024;

struct VendorItem {
  std::string text;  // "Name [0x1002]"
  uint32_t id = 0;
};

// The item a piece of the file yields, if any. A piece shorter than six
// characters, one whose fifth character is no blank or tab, one without a
// name or without a hexadecimal number in its first four characters yields
// nothing.
std::optional<VendorItem> parseVendorLine(const char* piece);

}  // namespace varnel::ui
