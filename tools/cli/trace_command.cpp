#include <cstdio>
#include <string>

#include "commands.h"
#include "console_text.h"
#include "loaded_image.h"

namespace varnel::cli {
namespace {

int runTrace(const std::string& file) {
  const LoadedImage loaded = loadImageFile(file, true);
  const std::string& trace = loaded.image->scriptTrace;
  writeText(stdout, trace);
  std::fflush(stdout);
  if (!loaded.readOk) {
    printTo(stderr, "%s: Error opening file (%s)\n", file.c_str(), loaded.readError.c_str());
  } else if (loaded.status() != kExitOk) {
    printTo(stderr, "%s: %s\n", file.c_str(), loaded.editorMessage());
  }
  return loaded.status();
}

}  // namespace

void addTraceCommand(CLI::App& app, int& status) {
  auto file = std::make_shared<std::string>();
  CLI::App* trace = app.add_subcommand(
      "trace", "Load an image with the script trace on and print every script it finds");
  trace->add_option("FILE", *file, "ROM image")->required();
  trace->footer(
      "The traces of the type-1 and type-2 register scripts are printed in the order the load "
      "meets them. Exit status: 0 valid with sound checksums, 1 the file cannot be read, 2 not "
      "a valid image, 3 checksums bad, 64 a wrong command line.");
  trace->callback([file, &status] { status = runTrace(*file); });
}

}  // namespace varnel::cli
