#include <cstdio>
#include <span>
#include <string>

#include "commands.h"
#include "console_text.h"
#include "io/file_io.h"
#include "loaded_image.h"
#include "output_file.h"

namespace varnel::cli {
namespace {

struct RepairOptions {
  std::string input;
  std::string output;
};

int runRepair(const RepairOptions& options) {
  if (const auto error = checkOutput(options.output, {options.input}, InPlace::kNotOffered)) {
    printTo(stderr, "varnel-cli repair: %s\n", error->message.c_str());
    return error->status;
  }
  LoadedImage loaded = loadImageFile(options.input);
  if (loaded.fontsOnly) {
    // Valid in its fonts only: the repair of the whole stays refused.
    printTo(stderr, "%s: %s\n", options.input.c_str(),
            ui::message(ui::MessageId::kNotValidImage).text);
    return kExitInvalidImage;
  }
  if (!loaded.usable()) {
    printTo(stderr, "%s: %s\n", options.input.c_str(), loaded.failureMessage().c_str());
    return loaded.status();
  }
  BiosImage& image = *loaded.image;
  image.repairChecksums();
  try {
    writeFileAtomically(options.output, std::span<const uint8_t>(
                                            image.bytes.data(), static_cast<size_t>(image.length)));
  } catch (const FileError& error) {
    printTo(stderr, "varnel-cli repair: %s\n", saveError(error).message.c_str());
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
      "OUT is IN or another wrong command line.");
  repair->callback([options, &status] { status = runRepair(*options); });
}

}  // namespace varnel::cli
