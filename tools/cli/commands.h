// The commands of varnel-cli, each registered on the command-line parser.
#pragma once

#include <CLI/CLI.hpp>

namespace varnel::cli {

// Each adds its subcommand; the command's status lands in `status` when run.
void addInfoCommand(CLI::App& app, int& status);
void addRepairCommand(CLI::App& app, int& status);
void addTraceCommand(CLI::App& app, int& status);
void addCpiCommand(CLI::App& app, int& status);
void addSetCommand(CLI::App& app, int& status);
void addFontCommand(CLI::App& app, int& status);
void addDiffCommand(CLI::App& app, int& status);
void addCheckCommand(CLI::App& app, int& status);
void addDumpCommand(CLI::App& app, int& status);

}  // namespace varnel::cli
