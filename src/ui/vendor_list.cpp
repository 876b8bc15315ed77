#include "ui/vendor_list.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "ui/dialog_text.h"

namespace varnel::ui {
namespace {

bool isSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The item text must fit 1024 bytes with " [0x" and the id after the name.
constexpr size_t kLongestName = 1014;

// The id: leading blanks skipped, then at most four hexadecimal digits (in
// either case) up to the first other character. Unlike scanf's %X, no sign
// and no "0x" prefix is taken, so an id is never more than 16 bits.
std::optional<unsigned> readId(const char* text) {
  while (*text == ' ' || *text == '\t')
    ++text;
  unsigned id = 0;
  int digits = 0;
  for (; digits < 4 && std::isxdigit(static_cast<unsigned char>(text[digits])); ++digits) {
    const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(text[digits])));
    id = id * 16 + static_cast<unsigned>(c <= '9' ? c - '0' : c - 'A' + 10);
  }
  if (digits == 0) return std::nullopt;
  return id;
}

}  // namespace

std::optional<VendorItem> parseVendorLine(const char* piece) {
  char line[kVendorLineBuffer];
  std::snprintf(line, sizeof line, "%s", piece);
  const size_t length = std::strlen(line);
  if (length < 6 || (line[4] != ' ' && line[4] != '\t')) return std::nullopt;
  // The blanks after the id end the id text; the name starts after them.
  size_t name = 4;
  while (line[name] != '\0' && isSpace(line[name]))
    line[name++] = '\0';
  if (line[name] == '\0') return std::nullopt;
  for (size_t end = std::strlen(line + name); end > 0 && isSpace(line[name + end - 1]); --end) {
    line[name + end - 1] = '\0';
  }
  const std::optional<unsigned> id = readId(line);
  if (!id) return std::nullopt;
  if (std::strlen(line + name) > kLongestName) line[name + kLongestName] = '\0';
  char text[kVendorLineBuffer];
  std::snprintf(text, sizeof text, "%s [0x%04X]", line + name, *id);
  return VendorItem{text, *id};
}

std::vector<VendorItem> sortedVendorItems(std::string_view list) {
  std::vector<VendorItem> items;
  constexpr size_t kLongestPiece = kVendorLineBuffer - 1;
  while (!list.empty()) {
    // A piece ends after its newline, or after 1023 characters.
    const size_t newline = list.substr(0, kLongestPiece).find('\n');
    const size_t length =
        newline == std::string_view::npos ? std::min(list.size(), kLongestPiece) : newline + 1;
    const std::string piece(list.substr(0, length));
    list.remove_prefix(length);
    if (std::optional<VendorItem> item = parseVendorLine(piece.c_str())) {
      items.push_back(std::move(*item));
    }
  }
  std::stable_sort(items.begin(), items.end(), [](const VendorItem& a, const VendorItem& b) {
    return !sortsBefore(b.text, a.text);
  });
  return items;
}

}  // namespace varnel::ui
