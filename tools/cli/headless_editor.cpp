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

int CliPlatform::messageBox(const std::string& text, const char* caption, unsigned style) {
  const bool question = (style & 0x0F) == ui::kMbYesNo;
  // A question answered Yes went the user's way; anything else stops the command.
  if (question && answerYes) return ui::kIdYes;
  messages.push_back({text, caption != nullptr ? caption : ui::kApplicationName});
  return question ? ui::kIdNo : 1;
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

int statusForMessage(const std::string& text) {
  // A refusal explains itself on further lines; its first line says which.
  const std::string message = text.substr(0, text.find('\n'));
  if (message == "This is not a valid ATi BIOS") return kExitInvalidImage;
  if (message == "Checksums bad" || message == "BIOS reconstruction failed") {
    return kExitChecksumsBad;
  }
  if (message.rfind("Error ", 0) == 0) return kExitFileError;
  return kExitRefused;
}

std::optional<CommandError> HeadlessEditor::takeError(int status) {
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
  const int chosen = status != 0 ? status : statusForMessage(platform_.messages.front().text);
  platform_.messages.clear();
  return CommandError{chosen, text};
}

std::optional<CommandError> HeadlessEditor::load(const std::string& path) {
  editor_.LoadBiosFile(path, false);
  return takeError(0);
}

std::optional<CommandError> HeadlessEditor::pressWithFile(int button, const std::string& path) {
  platform_.fileAnswers.push_back(path);
  controls_.click(button);
  platform_.fileAnswers.clear();
  return takeError(0);
}

}  // namespace varnel::cli
