// Runs one fuzz target, without the fuzzer, over its seeds and over every
// input that once made it fail (regressions/<target>/): a test of the
// normal and sanitizer builds.
#include <cstdio>
#include <filesystem>

#include "seeds.h"
#include "support/test_paths.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s TARGET REGRESSIONS_DIR\n", argv[0]);
    return 2;
  }
  int runs = 0;
  for (const auto& seed : varnel::fuzz::makeSeeds(argv[1])) {
    LLVMFuzzerTestOneInput(seed.data(), seed.size());
    ++runs;
  }
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(argv[2], error)) {
    const auto input = varnel::test::readFile(entry.path().string());
    LLVMFuzzerTestOneInput(input.data(), input.size());
    ++runs;
  }
  std::printf("%d inputs run\n", runs);
  return runs > 0 ? 0 : 1;
}
