// The vendor list parser over the pieces a file's lines are read in.
#include <cstdlib>
#include <cstring>
#include <string>

#include "ui/vendor_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Like fgets: pieces of at most 1023 characters, each ending after a
  // newline; a zero byte ends the piece as it would end the C text.
  size_t at = 0;
  while (at < size) {
    std::string piece;
    while (at < size && piece.size() < 1023) {
      const char c = static_cast<char>(data[at++]);
      piece.push_back(c);
      if (c == '\n') break;
    }
    const auto item = varnel::ui::parseVendorLine(piece.c_str());
    if (!item) continue;
    if (item->text.size() >= 1024 || item->id > 0xFFFF || item->text.back() != ']') std::abort();
  }
  return 0;
}
