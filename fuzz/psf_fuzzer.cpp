// The PSF reader over arbitrary bytes, also through the gzip layer under
// it: a font it reads is exactly one table, and a font it refuses says why.
#include <cstdlib>

#include "fonts/psf.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  varnel::fuzz::FuzzInput input(data, size);
  const int height = input.takeBool() ? 16 : 8;
  const varnel::PsfFont font = varnel::readPsf(input.rest(), height);
  if (font.glyphs.empty() == font.whyNot.empty()) std::abort();
  if (!font.glyphs.empty() && font.glyphs.size() != static_cast<size_t>(256 * height)) {
    std::abort();
  }
  return 0;
}
