// Command lines on Windows: a program gets one string and splits it into its
// arguments itself, so arguments are quoted to come back as they were given.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace varnel {

// The argument quoted, where it needs it, so that the C runtime's splitting
// (and CommandLineToArgvW's) gives it back unchanged.
std::wstring quoteArgument(std::wstring_view argument);

// The command line that starts `program` with the arguments.
std::wstring commandLineOf(std::wstring_view program, const std::vector<std::wstring>& arguments);

// The arguments of `commandLine`, program first, as UTF-8; nothing when the
// system cannot split it.
std::vector<std::string> splitCommandLine(const std::wstring& commandLine);

// This program's own arguments, program first, as UTF-8 whatever the
// system's code page: the C runtime's argv cannot hold every name.
std::vector<std::string> programArguments();

}  // namespace varnel
