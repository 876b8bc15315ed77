#include "headless_editor.h"

#include "io/file_io.h"
#include "ui/control_ids.h"

namespace varnel::cli {

std::optional<std::string> CliPlatform::fileDialog(const ui::FileDialogRequest&) {
  if (fileAnswers.empty()) return std::nullopt;
  std::string answer = fileAnswers.front();
  fileAnswers.pop_front();
  return answer;
}

int CliPlatform::messageBox(const ui::Message& message, const std::string& text) {
  const bool question = (message.style & 0x0F) == ui::kMbYesNo;
  // A question answered Yes went the user's way; anything else stops the command.
  if (question && answerYes) return ui::kIdYes;
  const bool withoutReason = text.find('\n') == std::string::npos;
  if (message.id == ui::MessageId::kErrorOpeningFile && withoutReason && !lastReadError_.empty()) {
    messages.push_back({message.id, text + "\n" + lastReadError_});
  } else {
    messages.push_back({message.id, text});
  }
  lastReadError_.clear();
  return question ? ui::kIdNo : 1;
}

size_t CliPlatform::readFile(const std::string& path, std::span<uint8_t> buffer) {
  try {
    return Platform::readFile(path, buffer);
  } catch (const FileError& error) {
    lastReadError_ = error.what();
    throw;
  }
}

std::unique_ptr<ByteStream> CliPlatform::openFileStream(const std::string& path) {
  try {
    return Platform::openFileStream(path);
  } catch (const FileError& error) {
    lastReadError_ = error.what();
    throw;
  }
}

void CliPlatform::writeFile(const std::string& path, std::span<const uint8_t> data) {
  if (dashIsStandardOutput && path == "-") {
    writeStandardOutput(data);
  } else if (!backupPath.empty()) {
    writeFileKeepingBackup(path, backupPath, data);
  } else {
    writeFileAtomically(path, data);
  }
}

int CliPlatform::selectFont(const CpiFontEntry* entries, int count) {
  return chooseFont ? chooseFont(entries, count) : -1;
}

HeadlessEditor::HeadlessEditor()
    : controls_(ui::mainDialogTemplate()), editor_(controls_, platform_) {
  controls_.setEvents(&editor_);
  editor_.OnInitDialog();
}

std::optional<CommandError> HeadlessEditor::takeError() {
  if (platform_.messages.empty()) return std::nullopt;
  std::string text;
  for (const CliPlatform::Message& message : platform_.messages) {
    if (!text.empty()) text += "; ";
    // The editor gives the system's reason on a line of its own.
    const size_t reason = message.text.find('\n');
    text += reason == std::string::npos
                ? message.text
                : message.text.substr(0, reason) + " (" + message.text.substr(reason + 1) + ")";
  }
  const ui::MessageId first = platform_.messages.front().id;
  platform_.messages.clear();
  return CommandError{ui::message(first).exitStatus, text, first};
}

std::optional<CommandError> HeadlessEditor::load(const std::string& path) {
  editor_.LoadBiosFile(path, false);
  return takeError();
}

std::optional<CommandError> HeadlessEditor::pressWithFile(int button, const std::string& path) {
  platform_.fileAnswers.push_back(path);
  controls_.click(button);
  platform_.fileAnswers.clear();
  return takeError();
}

}  // namespace varnel::cli
