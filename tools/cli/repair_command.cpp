#include <cstdio>
#include <span>
#include <string>

#include "commands.h"
#include "io/file_io.h"
#include "loaded_image.h"

namespace varnel::cli {
namespace {

struct RepairOptions {
  std::string input;
  std::string output;
};

int runRepair(const RepairOptions& options) {
  LoadedImage loaded = loadImageFile(options.input);
  if (!loaded.usable()) {
    std::fprintf(stderr, "%s: %s\n", options.input.c_str(), loaded.editorMessage());
    return loaded.status();
  }
  BiosImage& image = *loaded.image;
  image.repairChecksums();
  try {
    writeFileAtomically(options.output, std::span<const uint8_t>(
                                            image.bytes.data(), static_cast<size_t>(image.length)));
  } catch (const FileError& error) {
    std::fprintf(stderr, "%s: Error saving file (%s)\n", options.output.c_str(), error.what());
    return kExitFileError;
  }
  return kExitOk;
}

}  // namespace

void addRepairCommand(CLI::App& app, int& status) {
  auto options = std::make_shared<RepairOptions>();
  CLI::App* repair = app.add_subcommand(
      "repair", "Rewrite the checksum block of a valid image and save it atomically");
  repair->add_option("IN", options->input, "ROM image to repair")->required();
  repair->add_option("-o,--output", options->output, "Where to write the repaired image")
      ->required();
  repair->footer(
      "An image whose checksums are bad is accepted here. Exit status: 0 written, 1 a file "
      "cannot be read or written (an existing OUT is left untouched), 2 not a valid image, 64 "
      "a wrong command line.");
  repair->callback([options, &status] { status = runRepair(*options); });
}

}  // namespace varnel::cli
