// Conventions of dialog controls that every front end shares.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace varnel::ui {

// A number typed into an edit: leading blanks skipped, an optional sign,
// the digits up to the first other character. Empty text, text without
// digits and numbers beyond 32 bits read as 0.
int parseDialogInt(std::string_view text);

// Where a sorted list puts a new text: after every item whose text sorts
// before it or equal to it, comparing without regard to letter case.
bool sortsBefore(std::string_view item, std::string_view text);
int sortedInsertIndex(const std::vector<std::string>& items, std::string_view text);

// One entry of a file dialog filter such as
// "ROM Files (*.rom)|*.rom|All Files (*.*)|*.*||".
struct FileFilter {
  std::string description;
  std::vector<std::string> patterns;  // "*.rom", "*.bin", ...
};
std::vector<FileFilter> parseFileFilter(std::string_view filter);

}  // namespace varnel::ui
