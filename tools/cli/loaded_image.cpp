#include "loaded_image.h"

#include <span>

#include "document/image_loading.h"
#include "io/file_io.h"

namespace varnel::cli {

std::optional<ui::MessageId> LoadedImage::refusal() const {
  if (!readOk) return ui::MessageId::kErrorOpeningFile;
  if (validateCode != 0 && !fontsOnly) return ui::MessageId::kNotValidImage;
  if (!checksumsValid) return ui::MessageId::kChecksumsBad;
  return std::nullopt;
}

ExitStatus LoadedImage::status() const {
  const std::optional<ui::MessageId> id = refusal();
  return id ? ui::message(*id).exitStatus : kExitOk;
}

const char* LoadedImage::editorMessage() const {
  const std::optional<ui::MessageId> id = refusal();
  return id ? ui::message(*id).text : "";
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
  loaded.validateCode = validateImage(image);
  loaded.fontsOnly = opensFontsOnly(image, loaded.validateCode);
  if (loaded.validateCode == 0 || loaded.fontsOnly) loaded.checksumsValid = image.checksumsValid();
  return loaded;
}

}  // namespace varnel::cli
