// System services for tests that only ask where the program lies: every
// file or process request fails as a missing file would, but for the empty
// files a test names in `emptyFiles`.
#pragma once

#include <set>

#include "io/system.h"

namespace varnel::test {

class FixedDirectorySystem : public SystemServices {
 public:
  explicit FixedDirectorySystem(std::string programDir) : programDir_(std::move(programDir)) {}

  std::set<std::string> emptyFiles;

  size_t readFilePrefix(const std::string& path, std::span<uint8_t>) override { fail(path); }
  std::optional<std::string> readRegularFilePrefix(const std::string& path, size_t) override {
    if (emptyFiles.count(path) != 0) return std::string();
    return std::nullopt;
  }
  void writeFileAtomically(const std::string& path, std::span<const uint8_t>) override {
    fail(path);
  }
  std::unique_ptr<ByteStream> openFileStream(const std::string& path) override { fail(path); }
  std::string makePrivateFolder() override { fail("private folder"); }
  void removeFolder(const std::string&) override {}
  std::unique_ptr<RunningProcess> startProcess(const std::string&,
                                               const std::vector<std::string>&) override {
    return nullptr;
  }
  // No program here can be started, and every run is the same one.
  bool isProgram(const std::string&) override { return false; }
  uint32_t processId() override { return 1; }
  std::string programDirectory() override { return programDir_; }
  std::string executableName(std::string_view baseName) const override {
    return std::string(baseName) + ".exe";
  }

 private:
  [[noreturn]] static void fail(const std::string& what) {
    throw FileError("not available here: " + what);
  }
  std::string programDir_;
};

}  // namespace varnel::test
