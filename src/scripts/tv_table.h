// Names of the TV standard codes of the "$TV" table.
#pragma once

#include <array>

namespace varnel {

inline constexpr std::array<const char*, 9> TvStandardNames = {
    "None", "NTSC", "PAL", "PAL-M", "PAL-60", "NTSC-J", "SCART RGB", "PAL-CN", "PAL-N"};

}  // namespace varnel
