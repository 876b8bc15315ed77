// Seed inputs for each fuzz target, made by the test builders.
#pragma once

#include <string>
#include <vector>

#include "support/rom_builder.h"

namespace varnel::fuzz {

inline const std::vector<std::string> kTargets = {"load",        "cpi",   "psf",
                                                  "vendor_list", "trace", "help"};

// The seeds of one target; each already carries the trailing parameter
// bytes its target takes from the end. The help reader's is the built
// manual, none where the build has none.
std::vector<test::Bytes> makeSeeds(const std::string& target);

}  // namespace varnel::fuzz
