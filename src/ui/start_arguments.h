// What the editor was started with: nothing, a file to open, or a request
// for its usage or version (printed by the front end that can print).
#pragma once

#include <string>
#include <vector>

namespace varnel::ui {

inline constexpr const char* kStartUsage =
    "Usage: varnel [FILE]\n"
    "Opens the Varnel editor. With FILE, the editor starts with that ROM image\n"
    "loaded, as Load... loads it (a file it refuses leaves the window empty, with\n"
    "the editor's message).\n"
    "\n"
    "Options:\n"
    "  -h, --help   print this text and exit\n"
    "  --version    print the version and exit\n";

struct StartArguments {
  enum class Action { kRun, kHelp, kVersion, kWrong };
  Action action = Action::kRun;
  // The file to open at start; empty for none.
  std::string file;
  // For kWrong: what is wrong, for the user.
  std::string error;
};

// `arguments` without the program's name. "--" ends the options, so that a
// file whose name begins with "-" can be given.
StartArguments parseStartArguments(const std::vector<std::string>& arguments);

}  // namespace varnel::ui
