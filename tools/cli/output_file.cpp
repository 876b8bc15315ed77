#include "output_file.h"

#include <cstdio>

namespace varnel::cli {

bool toStandardOutput(const std::string& output) {
  return output == "-";
}

std::optional<CommandError> checkOutput(const std::string& output,
                                        const std::vector<std::string>& inputs, InPlace inPlace) {
  for (size_t i = 0; i < inputs.size(); ++i) {
    if (!sameFile(inputs[i], output)) continue;
    if (i == 0 && inPlace == InPlace::kGiven) break;
    std::string message = output + " is the same file as " + inputs[i];
    message += i == 0 && inPlace == InPlace::kNotGiven
                   ? ": give --in-place to overwrite it (a copy is kept as IN.bak)"
                   : ", which the command reads: choose another output";
    return CommandError{kExitUsage, message};
  }
  try {
    checkSaveTarget(output);
  } catch (const FileError& error) {
    return saveError(error);
  }
  return std::nullopt;
}

std::optional<CommandError> InPlaceRun::begin(const std::string& input, const std::string& output,
                                              InPlace inPlace, OutputWriter& writer,
                                              std::unique_ptr<InPlaceRun>& run) {
  if (inPlace != InPlace::kGiven || !sameFile(input, output)) return std::nullopt;
  try {
    run.reset(new InPlaceRun(input));
  } catch (const FileError& error) {
    return CommandError{kExitFileError, error.what()};
  }
  writer.backupPath = input + ".bak";
  return std::nullopt;
}

std::string savedSummary(const std::string& output, const BiosImage& image) {
  char text[256];
  std::snprintf(text, sizeof text,
                "%s: saved; core %d MHz (%.2f real), memory %d MHz (%.2f real, %.2f effective)",
                output.c_str(), image.wholeMHz(image.defaultCoreClock), image.realCoreClock(),
                image.wholeMHz(image.defaultMemoryClock), image.realMemoryClock(),
                image.effectiveMemoryClock());
  return text;
}

}  // namespace varnel::cli
