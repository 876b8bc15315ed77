#include "ui/platform.h"

namespace varnel::ui {

int defaultAnswer(unsigned style) {
  if ((style & 0x0F) != kMbYesNo) return 1;
  return (style & kMbDefButton2) != 0 ? kIdNo : kIdYes;
}

std::string Platform::programDirectory() {
  return system_.programDirectory();
}

std::string Platform::executableName(std::string_view baseName) const {
  return system_.executableName(baseName);
}

size_t Platform::readFile(const std::string& path, std::span<uint8_t> buffer) {
  return system_.readFilePrefix(path, buffer);
}

std::optional<std::string> Platform::readRegularFile(const std::string& path, size_t limit) {
  return system_.readRegularFilePrefix(path, limit);
}

void Platform::writeFile(const std::string& path, std::span<const uint8_t> data) {
  system_.writeFileAtomically(path, data);
}

std::unique_ptr<ByteStream> Platform::openFileStream(const std::string& path) {
  return system_.openFileStream(path);
}

std::string Platform::makePrivateFolder() {
  return system_.makePrivateFolder();
}

void Platform::removeFolder(const std::string& path) {
  system_.removeFolder(path);
}

std::unique_ptr<RunningProcess> Platform::startProcess(const std::string& program,
                                                       const std::vector<std::string>& arguments) {
  return system_.startProcess(program, arguments);
}

}  // namespace varnel::ui
