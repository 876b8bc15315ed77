// The code-page reader over arbitrary bytes: every font it lists lies
// wholly inside the file.
#include <cstdlib>
#include <memory>

#include "fonts/cpi_reader.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static auto entries = std::make_unique<varnel::CpiFontList>();
  varnel::fuzz::FuzzInput input(data, size);
  const int wantHeight = input.takeBool() ? 16 : input.take<uint8_t>() % 33;
  const auto bytes = input.rest();
  varnel::MemoryByteStream stream(bytes);
  int found = -1;
  try {
    found = varnel::readCpiFonts(stream, *entries, 8, wantHeight);
  } catch (const varnel::StreamError&) {
    return 0;
  }
  if (found > varnel::kMaxCpiFonts) std::abort();
  for (int i = 0; i < found; ++i) {
    const varnel::CpiFontEntry& font = (*entries)[static_cast<size_t>(i)];
    const int64_t end = int64_t{font.dataOffset} + 256 * font.height;
    if (font.width != 8 || font.height != wantHeight || end > static_cast<int64_t>(bytes.size())) {
      std::abort();
    }
  }
  return 0;
}
