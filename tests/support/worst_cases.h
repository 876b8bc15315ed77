// Valid 64 KiB images that make each scan of the load do the most work.
#pragma once

#include <string>
#include <vector>

#include "support/rom_builder.h"

namespace varnel::test {

enum class WorstCase {
  kType1CallSites,  // mov si / call sites that all land before the interpreter loop
  kType2CallSites,  // mov bx sites naming a known script, each with its own target
  kFontPatterns,    // font-pointer and alternate-table code back to back
};

struct NamedImage {
  std::string name;
  Bytes bytes;
};

Bytes worstCaseImage(WorstCase kind);

// The sample and every worst case, for benchmarks.
std::vector<NamedImage> loadBenchmarkImages();

}  // namespace varnel::test
