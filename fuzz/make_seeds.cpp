// Writes the seed corpus of every fuzz target into DIR/<target>/.
#include <cstdio>
#include <filesystem>

#include "seeds.h"
#include "support/test_paths.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: varnel-fuzz-seeds DIR\n");
    return 2;
  }
  for (const std::string& target : varnel::fuzz::kTargets) {
    const std::filesystem::path dir = std::filesystem::path(argv[1]) / target;
    std::filesystem::create_directories(dir);
    int n = 0;
    for (const auto& seed : varnel::fuzz::makeSeeds(target)) {
      varnel::test::writeFile((dir / ("seed-" + std::to_string(n++))).string(), seed);
    }
  }
  return 0;
}
