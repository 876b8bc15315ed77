#include "loaded_image.h"

#include <span>

#include "io/file_io.h"

namespace varnel::cli {

ExitStatus LoadedImage::status() const {
  if (!readOk) return kExitFileError;
  if (validateCode != 0) return kExitInvalidImage;
  return checksumsValid ? kExitOk : kExitChecksumsBad;
}

const char* LoadedImage::editorMessage() const {
  switch (status()) {
    case kExitFileError:
      return "Error opening file";
    case kExitInvalidImage:
      return "This is not a valid ATi BIOS";
    case kExitChecksumsBad:
      return "Checksums bad";
    default:
      return "";
  }
}

std::string LoadedImage::failureMessage() const {
  std::string message = editorMessage();
  if (!readOk) message += " (" + readError + ")";
  return message;
}

LoadedImage loadImageFile(const std::string& path, bool traceScripts) {
  LoadedImage loaded;
  loaded.path = path;
  BiosImage& image = *loaded.image;
  image.reset();
  try {
    const size_t n = readFilePrefix(path, std::span<uint8_t>(image.bytes.data(), kMaxImageSize));
    loaded.bytesRead = static_cast<int32_t>(n);
    loaded.readOk = true;
  } catch (const FileError& error) {
    loaded.readError = error.what();
    return loaded;
  }
  image.length = loaded.bytesRead;
  image.traceScripts = traceScripts;
  loaded.validateCode = image.validate();
  if (loaded.validateCode == 0) loaded.checksumsValid = image.checksumsValid();
  return loaded;
}

}  // namespace varnel::cli
