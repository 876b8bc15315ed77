// Starting a helper program on Windows, waiting for it with a time-out and
// ending it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "io/system.h"

namespace varnel {

// How much of a helper's standard error is kept.
inline constexpr size_t kMaxErrorOutput = 4096;

// Starts `program` (a path: no search, no extension added) with the
// arguments, hidden and without a console window, with the caller's
// environment and current directory; its standard input and output are the
// null device and its standard error is kept. Null when it cannot start.
std::unique_ptr<RunningProcess> startHiddenProcess(const std::string& program,
                                                   const std::vector<std::string>& arguments);

}  // namespace varnel
