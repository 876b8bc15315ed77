// varnel-cli: the editor's image operations, headless.
#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <sstream>

#include "commands.h"
#include "console_text.h"
#include "loaded_image.h"
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>

#include <string>
#include <vector>

#include "io/windows/command_line.h"
#endif

namespace {

// What a command printed must have reached its destination: a report lost
// on a full disk or a closed pipe is a failure, never a success.
int withOutputChecked(int status) {
  // A write that failed while the command printed left its reason behind.
  const int earlier = errno;
  errno = 0;
  const bool flushed = std::fflush(stdout) == 0;
  if (flushed && std::ferror(stdout) == 0 && !varnel::cli::consoleWriteFailed()) return status;
  const int reason = errno != 0 ? errno : earlier;
  varnel::cli::printTo(stderr, "varnel-cli: cannot write the output (%s)\n",
                       reason != 0 ? std::strerror(reason) : "a write failed");
  return varnel::kExitFileError;
}

int runCommand(int argc, char** argv) {
  CLI::App app{"varnel-cli: inspect and edit legacy ATI Radeon video BIOS images"};
  app.require_subcommand(1);
  int status = varnel::kExitOk;
  varnel::cli::addInfoCommand(app, status);
  varnel::cli::addRepairCommand(app, status);
  varnel::cli::addTraceCommand(app, status);
  varnel::cli::addCpiCommand(app, status);
  varnel::cli::addSetCommand(app, status);
  varnel::cli::addFontCommand(app, status);
  varnel::cli::addDiffCommand(app, status);
  varnel::cli::addCheckCommand(app, status);
  varnel::cli::addDumpCommand(app, status);
  try {
#ifdef _WIN32
    // What the commands print is the same bytes as on other systems (JSON
    // byte for byte), without a carriage return added before each line end.
    _setmode(_fileno(stdout), _O_BINARY);
    // The C runtime's argv holds names in the system's code page, which
    // cannot spell every name; the command line as the system keeps it,
    // in UTF-16, can.
    std::vector<std::string> arguments = varnel::programArguments();
    std::vector<const char*> pointers;
    for (const std::string& argument : arguments)
      pointers.push_back(argument.c_str());
    if (pointers.empty()) {
      app.parse(argc, argv);
    } else {
      app.parse(static_cast<int>(pointers.size()), pointers.data());
    }
#else
    app.parse(argc, argv);
#endif
  } catch (const CLI::ParseError& error) {
    // Help and usage errors name what the user typed: through the same door.
    std::ostringstream out, err;
    const int code = app.exit(error, out, err);
    varnel::cli::writeText(stdout, out.str());
    varnel::cli::writeText(stderr, err.str());
    return code == 0 ? 0 : varnel::kExitUsage;
  } catch (const std::exception& error) {
    // Whatever a command did not foresee ends with a message, never an abort.
    varnel::cli::printTo(stderr, "varnel-cli: %s\n", error.what());
    return varnel::kExitFileError;
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  return withOutputChecked(runCommand(argc, argv));
}
