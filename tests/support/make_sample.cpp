// Writes the sample image that ships in samples/: a complete, valid image
// with sound checksums, made by the test image builder.
#include <cstdio>

#include "support/rom_builder.h"
#include "support/test_paths.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT.rom\n", argv[0]);
    return 2;
  }
  try {
    varnel::test::writeFile(argv[1], varnel::test::buildRom().bytes);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
  return 0;
}
