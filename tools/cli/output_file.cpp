#include "output_file.h"

#include <cstdio>
#include <filesystem>
#include <vector>

#include "io/file_io.h"

namespace varnel::cli {
namespace {

bool samePath(const std::string& a, const std::string& b) {
  std::error_code error;
  if (std::filesystem::equivalent(a, b, error)) return true;
  return std::filesystem::weakly_canonical(a, error) == std::filesystem::weakly_canonical(b, error);
}

std::optional<CommandError> keepBackup(const std::string& input) {
  std::vector<uint8_t> original(2 * kMaxImageSize);
  try {
    original.resize(readFilePrefix(input, original));
    writeFileAtomically(input + ".bak", original);
  } catch (const FileError& error) {
    return CommandError{kExitFileError, std::string("Error saving file (") + error.what() + ")"};
  }
  return std::nullopt;
}

}  // namespace

std::optional<CommandError> prepareOutput(const std::string& input, const std::string& output,
                                          bool inPlace) {
  if (!samePath(input, output)) return std::nullopt;
  if (!inPlace) {
    return CommandError{kExitUsage,
                        "OUT is IN: give --in-place to overwrite it (a copy is kept as IN.bak)"};
  }
  return keepBackup(input);
}

std::string savedSummary(const std::string& output, const BiosImage& image) {
  char text[256];
  std::snprintf(text, sizeof text,
                "%s: saved; core %u MHz (%.2f real), memory %u MHz (%.2f real, %.2f effective)",
                output.c_str(), image.wordAt(image.defaultCoreClock) / 100u, image.realCoreClock(),
                image.wordAt(image.defaultMemoryClock) / 100u, image.realMemoryClock(),
                image.effectiveMemoryClock());
  return text;
}

}  // namespace varnel::cli
