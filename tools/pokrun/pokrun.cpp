// pokrun: writes the video BIOS of the installed ATI card to a file as a raw
// ROM image.
//
//   pokrun [/r] [/n] [ram|rom] DUMPFILE
//
// "ram" (the default) reads the image the system firmware shadowed at
// 0xC0000; "rom" reads the card's ROM chip where the system allows it. /r
// and /n (read, ask nothing) are accepted for the editor's sake; pokrun
// never asks anything. How the bytes are read is each system's own
// (card_reader.h); this file holds what every system's pokrun does alike.
#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "card_reader.h"
#include "io/file_io.h"

namespace varnel::pokrun {
namespace {

constexpr size_t kSizeUnit = 512;  // the size byte counts these

// Only the tests' build of the tool takes the switches that point it at
// fake trees and memory files; the shipped one treats them as unknown.
#ifdef VARNEL_POKRUN_TEST_SWITCHES
constexpr bool kTakesTestSwitches = true;
#else
constexpr bool kTakesTestSwitches = false;
#endif

struct Options {
  ReadRequest request;
  std::string dumpFile;
};

std::optional<Options> parseArguments(const std::vector<std::string>& arguments) {
  Options options;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "/r" || argument == "/n") continue;
    if (argument == "ram" || argument == "rom") {
      options.request.fromRam = argument == "ram";
    } else if (kTakesTestSwitches && isTestSwitch(argument) && i + 1 < arguments.size()) {
      options.request.testSwitches[argument] = arguments[++i];
    } else if (options.dumpFile.empty() && argument[0] != '-') {
      options.dumpFile = argument;
    } else {
      return std::nullopt;
    }
  }
  if (options.dumpFile.empty()) return std::nullopt;
  return options;
}

int printUsage() {
  std::fprintf(stderr, "usage: pokrun [/r] [/n] [ram|rom] DUMPFILE\n%s",
               systemUsageNotes().c_str());
  return kUsage;
}

int report(const ReadFailure& failure) {
  switch (failure.kind) {
    case ReadFailureKind::kNoCard:
      std::fprintf(stderr, "pokrun: %s\n", failure.what.c_str());
      return kNoCard;
    case ReadFailureKind::kNoPermission:
      std::fprintf(stderr, "pokrun: %s (%s)\n", failure.what.c_str(), failure.advice.c_str());
      return kNoPermission;
    case ReadFailureKind::kUnavailable:
      std::fprintf(stderr, "pokrun: %s\n", failure.what.c_str());
      return printUsage();
    case ReadFailureKind::kFailed:
      break;
  }
  std::fprintf(stderr, "pokrun: %s\n", failure.what.c_str());
  return kFailed;
}

bool isOptionRom(const std::vector<uint8_t>& bytes) {
  return bytes.size() >= 3 && bytes[0] == 0x55 && bytes[1] == 0xAA && bytes[2] != 0;
}

int run(const Options& options) {
  std::variant<CardImage, ReadFailure> read = readCardImage(options.request);
  if (const auto* failure = std::get_if<ReadFailure>(&read)) return report(*failure);
  CardImage& image = std::get<CardImage>(read);
  if (!isOptionRom(image.bytes)) {
    std::fprintf(stderr, "pokrun: the data read from %s is not an option ROM\n",
                 image.source.c_str());
    return kNotARom;
  }
  // No more than the image's own size byte declares.
  image.bytes.resize(std::min({image.bytes.size(), kMaxRomSize, image.bytes[2] * kSizeUnit}));
  // Run as root, pokrun must not write through a link someone left under
  // the dump's name, nor give the dump that link's target's mode.
  try {
    writeNewFileAtomically(options.dumpFile, image.bytes);
  } catch (const FileError& error) {
    std::fprintf(stderr, "pokrun: %s\n", error.what());
    return kFailed;
  }
  std::printf("pokrun: %zu bytes of %s written to %s\n", image.bytes.size(), image.source.c_str(),
              options.dumpFile.c_str());
  return kOk;
}

}  // namespace
}  // namespace varnel::pokrun

int main(int argc, char** argv) {
  using namespace varnel::pokrun;
  const std::optional<Options> options = parseArguments(commandLineArguments(argc, argv));
  if (!options) return printUsage();
  return run(*options);
}
