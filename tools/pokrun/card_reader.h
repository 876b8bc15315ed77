// Where pokrun's bytes come from: each system reads the card's video BIOS
// its own way (card_reader_linux.cpp, card_reader_windows.cpp); the command
// line, the checks, the exit statuses and the dump are the same everywhere
// (pokrun.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace varnel::pokrun {

// pokrun's exit statuses.
enum ExitStatus : int {
  kOk = 0,
  kFailed = 1,
  kNoCard = 2,
  kNoPermission = 3,
  kNotARom = 4,
  kUsage = 64,
};

// No video BIOS is larger, whatever its size byte says.
inline constexpr size_t kMaxRomSize = 65536;
// Where the system firmware leaves its copy of the video BIOS.
inline constexpr uint32_t kShadowAddress = 0xC0000;

struct ReadRequest {
  bool fromRam = true;
  // Switches that point the reader at fake trees or memory files in tests
  // ("--mem" and the like), with their values.
  std::map<std::string, std::string, std::less<>> testSwitches;
};

// The bytes read, at most kMaxRomSize, and what they were read from, as the
// messages name it.
struct CardImage {
  std::string source;
  std::vector<uint8_t> bytes;
};

enum class ReadFailureKind {
  kNoCard,        // no card to read
  kNoPermission,  // the system refused the read
  kUnavailable,   // this system's pokrun cannot do what was asked
  kFailed,        // anything else
};

struct ReadFailure {
  ReadFailureKind kind;
  std::string what;
  // For a refusal: what it takes to read the card.
  std::string advice;
};

std::variant<CardImage, ReadFailure> readCardImage(const ReadRequest& request);

// True for the test switches this system's reader takes.
bool isTestSwitch(std::string_view argument);

// What the usage text adds on this system below the command line.
std::string systemUsageNotes();

// The program's arguments after its name, in UTF-8.
std::vector<std::string> commandLineArguments(int argc, char** argv);

}  // namespace varnel::pokrun
