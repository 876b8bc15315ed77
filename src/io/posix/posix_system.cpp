// The system services on POSIX systems, over the file and process layer.
#include <unistd.h>

#include <memory>
#include <utility>

#include "io/file_io.h"
#include "io/posix/private_folder.h"
#include "io/posix/process.h"
#include "io/system.h"

namespace varnel {
namespace {

class PosixRunningProcess final : public RunningProcess {
 public:
  explicit PosixRunningProcess(std::unique_ptr<ChildProcess> child) : child_(std::move(child)) {}
  void waitFor(int milliseconds) override { child_->waitFor(milliseconds); }
  void terminate() override { child_->kill(); }
  void close() override { child_->release(); }
  std::string errorOutput() override { return child_->errorOutput(); }
  std::optional<int> exitStatus() override { return child_->exitStatus(); }

 private:
  std::unique_ptr<ChildProcess> child_;
};

class PosixSystem final : public SystemServices {
 public:
  size_t readFilePrefix(const std::string& path, std::span<uint8_t> buffer) override {
    return varnel::readFilePrefix(path, buffer);
  }
  std::optional<std::string> readRegularFilePrefix(const std::string& path, size_t limit) override {
    return varnel::readRegularFilePrefix(path, limit);
  }
  void writeFileAtomically(const std::string& path, std::span<const uint8_t> data) override {
    varnel::writeFileAtomically(path, data);
  }
  std::unique_ptr<ByteStream> openFileStream(const std::string& path) override {
    return std::make_unique<FileByteStream>(path);
  }
  std::string makePrivateFolder() override { return varnel::makePrivateFolder(); }
  void removeFolder(const std::string& path) override { removeFolderQuietly(path); }

  std::unique_ptr<RunningProcess> startProcess(const std::string& program,
                                               const std::vector<std::string>& arguments) override {
    std::unique_ptr<ChildProcess> child = ChildProcess::start(program, arguments, true);
    if (!child) return nullptr;
    return std::make_unique<PosixRunningProcess>(std::move(child));
  }

  bool isProgram(const std::string& path) override { return ::access(path.c_str(), X_OK) == 0; }
  uint32_t processId() override { return static_cast<uint32_t>(::getpid()); }

  std::string programDirectory() override { return executableDirectory(); }
  std::string executableName(std::string_view baseName) const override {
    return std::string(baseName);
  }
};

}  // namespace

SystemServices& hostSystem() {
  static PosixSystem system;
  return system;
}

}  // namespace varnel
