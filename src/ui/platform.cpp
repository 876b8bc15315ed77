#include "ui/platform.h"

#include "io/file_io.h"

namespace varnel::ui {

size_t Platform::readFile(const std::string& path, std::span<uint8_t> buffer) {
  return readFilePrefix(path, buffer);
}

void Platform::writeFile(const std::string& path, std::span<const uint8_t> data) {
  writeFileAtomically(path, data);
}

std::unique_ptr<ByteStream> Platform::openFileStream(const std::string& path) {
  return std::make_unique<FileByteStream>(path);
}

void Platform::removeFile(const std::string& path) {
  removeFileQuietly(path);
}

}  // namespace varnel::ui
