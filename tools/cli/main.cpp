// varnel-cli: the editor's image operations, headless.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <exception>

#include "commands.h"
#include "loaded_image.h"

int main(int argc, char** argv) {
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
  varnel::cli::addDumpCommand(app, status);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    const int code = app.exit(error);
    return code == 0 ? 0 : varnel::kExitUsage;
  } catch (const std::exception& error) {
    // Whatever a command did not foresee ends with a message, never an abort.
    std::fprintf(stderr, "varnel-cli: %s\n", error.what());
    return varnel::kExitFileError;
  }
  return status;
}
