// Where a writing command may write: never over one of its inputs unless
// asked, never over anything a save would refuse, and when asked to write
// over its input, only while holding it and keeping a copy.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "document_session.h"
#include "io/file_io.h"

namespace varnel::cli {

// Whether a command has --in-place, and whether it was given.
enum class InPlace { kNotOffered, kNotGiven, kGiven };

// Checks OUT before the command does any work. Refused with 64 when OUT is
// the same file as one of the inputs, however spelled or linked, unless it
// is the first input and --in-place was given; refused with 1 when a save
// could not replace it (not a regular file, read-only, several links...).
std::optional<CommandError> checkOutput(const std::string& output,
                                        const std::vector<std::string>& inputs, InPlace inPlace);

// "-" for OUT: the command writes to standard output.
bool toStandardOutput(const std::string& output);

// An in-place run: IN is held against other commands from the start, and
// the save keeps IN's every previous byte as IN.bak in the same step.
class InPlaceRun {
 public:
  // Nothing to do (and nothing held) unless OUT is IN and --in-place given.
  static std::optional<CommandError> begin(const std::string& input, const std::string& output,
                                           InPlace inPlace, OutputWriter& writer,
                                           std::unique_ptr<InPlaceRun>& run);

 private:
  explicit InPlaceRun(const std::string& input) : lock_(input) {}
  FileLock lock_;
};

// "OUT: saved; core ... MHz, memory ... MHz" for the image on show.
std::string savedSummary(const std::string& output, const BiosImage& image);

}  // namespace varnel::cli
