#include "document_session.h"

#include <exception>
#include <memory>

#include "io/file_io.h"

namespace varnel::cli {

CommandError editorMessage(ui::MessageId id, const std::string& details) {
  const ui::Message& shown = ui::message(id);
  std::string text = shown.text;
  if (!details.empty()) text += "\n" + details;
  // The editor's lines after the first go in brackets.
  const size_t second = text.find('\n');
  if (second != std::string::npos) {
    text = text.substr(0, second) + " (" + text.substr(second + 1) + ")";
  }
  return {shown.exitStatus, text, id};
}

CommandError saveError(const FileError& error) {
  return editorMessage(ui::MessageId::kErrorSavingFile, error.what());
}

std::optional<CommandError> openDocument(const std::string& path, Document& document) {
  auto candidate = std::make_unique<BiosImage>();
  try {
    const size_t n =
        readFilePrefix(path, std::span<uint8_t>(candidate->bytes.data(), kMaxImageSize));
    candidate->length = static_cast<int32_t>(n);
  } catch (const FileError& error) {
    return editorMessage(ui::MessageId::kErrorOpeningFile, error.what());
  } catch (const std::exception&) {
    return editorMessage(ui::MessageId::kErrorAnalyzingFile);
  }
  if (std::optional<OpenRefusal> refusal = checkForEditing(*candidate)) {
    const bool valid = refusal->kind == OpenRefusal::Kind::kChecksumsBad;
    return editorMessage(valid ? ui::MessageId::kChecksumsBad : ui::MessageId::kNotValidImage,
                         refusal->reason);
  }
  document.open(*candidate, path);
  return std::nullopt;
}

void OutputWriter::write(const std::string& path, std::span<const uint8_t> data) const {
  if (dashIsStandardOutput && path == "-") {
    writeStandardOutput(data);
  } else if (!backupPath.empty()) {
    writeFileKeepingBackup(path, backupPath, data);
  } else {
    writeFileAtomically(path, data);
  }
}

std::optional<CommandError> saveDocument(Document& document, const std::string& path,
                                         const OutputWriter& writer) {
  try {
    writer.write(path, document.prepareSave());
  } catch (const FileError& error) {
    return saveError(error);
  }
  document.saved(path);
  return std::nullopt;
}

}  // namespace varnel::cli
