// Where tests find the programs, the sample and the real test data.
#pragma once

#include <optional>
#include <string>

#include "support/rom_builder.h"

namespace varnel::test {

std::string sourceDir();
std::string binaryDir();  // where the built programs are
// The built program called `baseName` ("varnel-cli"): with ".exe" on Windows.
std::string programPath(const std::string& baseName);
std::string samplePath();

// The folder of real images and code-page files, or nothing when it is not
// there ($VARNEL_TESTDATA overrides the configured place).
std::optional<std::string> testDataDir();

// Debian's console fonts (console-setup-linux), or nothing where the folder
// is not there.
std::optional<std::string> consoleFontsDir();

Bytes readFile(const std::string& path);
void writeFile(const std::string& path, const Bytes& bytes);

// A fresh temporary folder for one test, removed with the object.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Runs a program with arguments (no shell) and waits for it to end;
// returns its exit status and what it wrote to standard output and standard
// error. Throws std::runtime_error when it cannot be started.
struct RunResult {
  int status = -1;
  std::string out;
  std::string err;
};
struct RunOptions {
#ifndef _WIN32
  // Largest file the program may write, in bytes; -1 for no limit. Writes
  // beyond it fail as on a full disk.
  long fileSizeLimit = -1;
#endif
};
RunResult runProgram(const std::string& program, const std::vector<std::string>& args,
                     const RunOptions& options = {});

}  // namespace varnel::test
