#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"
#include "console_text.h"
#include "image_report.h"

namespace varnel::cli {
namespace {

struct InfoOptions {
  std::vector<std::string> files;
  bool json = false;
};

int runInfo(const InfoOptions& options) {
  int worst = kExitOk;
  for (const std::string& file : options.files) {
    const LoadedImage loaded = loadImageFile(file);
    if (!loaded.readOk) {
      printTo(stderr, "%s: %s\n", file.c_str(), loaded.failureMessage().c_str());
      // One object per file, in order, so that each lines up with its file.
      if (options.json) printTo(stdout, "%s\n", infoErrorJson(loaded).c_str());
    } else if (options.json) {
      printTo(stdout, "%s\n", infoJson(loaded).c_str());
    } else {
      writeText(stdout, infoText(loaded).c_str());
    }
    if (loaded.readOk && loaded.status() != kExitOk) {
      printTo(stderr, "%s: %s\n", file.c_str(), loaded.editorMessage());
    }
    worst = std::max(worst, static_cast<int>(loaded.status()));
  }
  return worst;
}

}  // namespace

void addInfoCommand(CLI::App& app, int& status) {
  auto options = std::make_shared<InfoOptions>();
  CLI::App* info = app.add_subcommand(
      "info", "Check image files like the editor's load and describe what they hold");
  info->add_option("FILE", options->files, "ROM image files")->required();
  info->add_flag("--json", options->json,
                 "One JSON object per file, one per line, in order, each with its \"file\"; "
                 "a file that cannot be read gives \"file\" and \"error\"");
  info->footer(
      "Exit status: 0 valid with sound checksums (or fonts only: a later family's BIOS whose "
      "fonts alone may be edited), 1 a file cannot be read, 2 not a valid "
      "image, 3 checksums bad, 64 a wrong command line; with several files, the worst of "
      "them.");
  info->callback([options, &status] { status = runInfo(*options); });
}

}  // namespace varnel::cli
