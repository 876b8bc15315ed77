#include "ui/dialog_text.h"

#include <cctype>
#include <cstdint>

namespace varnel::ui {

int parseDialogInt(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
    ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  int64_t value = 0;
  size_t digits = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++digits) {
    value = value * 10 + (text[i] - '0');
    if (value > INT32_MAX) return 0;
  }
  if (digits == 0) return 0;
  return static_cast<int>(negative ? -value : value);
}

bool sortsBefore(std::string_view item, std::string_view text) {
  const size_t n = std::min(item.size(), text.size());
  for (size_t i = 0; i < n; ++i) {
    const int a = std::tolower(static_cast<unsigned char>(item[i]));
    const int b = std::tolower(static_cast<unsigned char>(text[i]));
    if (a != b) return a < b;
  }
  return item.size() <= text.size();
}

int sortedInsertIndex(const std::vector<std::string>& items, std::string_view text) {
  int index = 0;
  while (index < static_cast<int>(items.size()) &&
         sortsBefore(items[static_cast<size_t>(index)], text)) {
    ++index;
  }
  return index;
}

std::vector<FileFilter> parseFileFilter(std::string_view filter) {
  std::vector<FileFilter> entries;
  while (!filter.empty() && filter.front() != '|') {
    const size_t bar = filter.find('|');
    if (bar == std::string_view::npos) break;
    FileFilter entry;
    entry.description = std::string(filter.substr(0, bar));
    filter.remove_prefix(bar + 1);
    const size_t end = filter.find('|');
    std::string_view patterns = filter.substr(0, end);
    filter = end == std::string_view::npos ? std::string_view() : filter.substr(end + 1);
    while (!patterns.empty()) {
      const size_t semicolon = patterns.find(';');
      entry.patterns.emplace_back(patterns.substr(0, semicolon));
      patterns =
          semicolon == std::string_view::npos ? std::string_view() : patterns.substr(semicolon + 1);
    }
    entries.push_back(std::move(entry));
  }
  return entries;
}

}  // namespace varnel::ui
