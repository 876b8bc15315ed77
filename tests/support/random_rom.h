// Random but valid image settings, for property tests and for the
// images the command line is compared on across systems.
#pragma once

#include <random>

#include "support/rom_builder.h"

namespace varnel::test {

// Any size, clocks, dividers, memory configuration, TV table (or none),
// vendor, loop form and header layout the builder can make valid.
RomSpec randomRomSpec(std::mt19937& random);

}  // namespace varnel::test
