// Where a changing command may write: never over its input unless asked,
// and then only after keeping a copy.
#pragma once

#include <optional>
#include <string>

#include "headless_editor.h"

namespace varnel::cli {

// Refuses OUT == IN without --in-place; with it, keeps IN as IN.bak first.
std::optional<CommandError> prepareOutput(const std::string& input, const std::string& output,
                                          bool inPlace);

// "OUT: saved; core ... MHz, memory ... MHz" for the image on show.
std::string savedSummary(const std::string& output, const BiosImage& image);

}  // namespace varnel::cli
