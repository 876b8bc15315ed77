// Lines of the vendor list "Vendor.IDs": four hex digits, a blank or tab,
// and the vendor's name.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varnel::ui {

// The list is read in pieces of at most 1023 characters, and no further
// than its first MiB.
inline constexpr int kVendorLineBuffer = 1024;
inline constexpr size_t kVendorListLimit = size_t{1} << 20;

struct VendorItem {
  std::string text;  // "Name [0x1002]"
  uint32_t id = 0;
};

// The item a piece of the file yields, if any. A piece shorter than six
// characters, one whose fifth character is no blank or tab, one without a
// name or without a hexadecimal number in its first four characters yields
// nothing.
std::optional<VendorItem> parseVendorLine(const char* piece);

// The items of a whole list in the order a sorted list shows them: by text
// without regard to letter case, an equal text after the one read before
// it. Sorted once, so that a long list costs no more than reading it.
std::vector<VendorItem> sortedVendorItems(std::string_view list);

}  // namespace varnel::ui
