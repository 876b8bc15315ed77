#include "ui/platform.h"

#include "io/file_io.h"
#include "io/private_folder.h"
#include "io/process.h"

namespace varnel::ui {

int defaultAnswer(unsigned style) {
  if ((style & 0x0F) != kMbYesNo) return 1;
  return (style & kMbDefButton2) != 0 ? kIdNo : kIdYes;
}

size_t Platform::readFile(const std::string& path, std::span<uint8_t> buffer) {
  return readFilePrefix(path, buffer);
}

void Platform::writeFile(const std::string& path, std::span<const uint8_t> data) {
  writeFileAtomically(path, data);
}

std::unique_ptr<ByteStream> Platform::openFileStream(const std::string& path) {
  return std::make_unique<FileByteStream>(path);
}

std::string Platform::makePrivateFolder() {
  return varnel::makePrivateFolder();
}

void Platform::removeFolder(const std::string& path) {
  removeFolderQuietly(path);
}

namespace {

class ChildRunningProcess final : public RunningProcess {
 public:
  explicit ChildRunningProcess(std::unique_ptr<ChildProcess> child) : child_(std::move(child)) {}
  void waitFor(int milliseconds) override { child_->waitFor(milliseconds); }
  void terminate() override { child_->kill(); }
  void close() override { child_->release(); }
  std::string errorOutput() override { return child_->errorOutput(); }

 private:
  std::unique_ptr<ChildProcess> child_;
};

}  // namespace

std::unique_ptr<RunningProcess> Platform::startProcess(const std::string& program,
                                                       const std::vector<std::string>& arguments) {
  std::unique_ptr<ChildProcess> child = ChildProcess::start(program, arguments, true);
  if (!child) return nullptr;
  return std::make_unique<ChildRunningProcess>(std::move(child));
}

}  // namespace varnel::ui
