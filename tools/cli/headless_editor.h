// The editor itself, driven from the command line: the same EditorDialog on
// in-memory controls, with a platform that answers its dialogs from the
// command's options. What varnel-cli changes, it changes the way a user of
// the window would.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "loaded_image.h"
#include "ui/editor_dialog.h"
#include "ui/headless_controls.h"

namespace varnel::cli {

// A failure of a command: the status to exit with and what to say, and
// the editor's message it stems from, if any.
struct CommandError {
  int status;
  std::string message;
  std::optional<ui::MessageId> shown = std::nullopt;
};

class CliPlatform : public ui::Platform {
 public:
  std::deque<std::string> fileAnswers;
  // Picks a font from a code-page file's list; -1 cancels.
  std::function<int(const CpiFontEntry*, int)> chooseFont;
  // The answer to the raw-font warning.
  bool answerYes = false;
  struct Message {
    ui::MessageId id;
    std::string text;
  };
  std::vector<Message> messages;
  // When set, a save keeps the replaced file's every byte under this name
  // (see writeFileKeepingBackup).
  std::string backupPath;
  // When set, a save to "-" goes to standard output.
  bool dashIsStandardOutput = false;

  std::optional<std::string> fileDialog(const ui::FileDialogRequest& request) override;
  int messageBox(const ui::Message& message, const std::string& text) override;
  size_t readFile(const std::string& path, std::span<uint8_t> buffer) override;
  std::unique_ptr<ByteStream> openFileStream(const std::string& path) override;
  void writeFile(const std::string& path, std::span<const uint8_t> data) override;
  int selectFont(const CpiFontEntry* entries, int count) override;
  void showFonts(const BiosImage&) override {}
  bool showHelp(const std::string&) override { return true; }

 private:
  // The system's reason, with the path, of the last file that could not be
  // read: the editor's "Error opening file" names neither, a command's
  // message names both.
  std::string lastReadError_;
};

class HeadlessEditor {
 public:
  HeadlessEditor();

  ui::EditorDialog& editor() { return editor_; }
  ui::HeadlessControls& controls() { return controls_; }
  CliPlatform& platform() { return platform_; }
  const BiosImage& image() { return editor_.image; }

  // Loads a file like the Load button; the editor's message on failure.
  std::optional<CommandError> load(const std::string& path);
  // Presses a button whose command asks for a file, answering with `path`.
  std::optional<CommandError> pressWithFile(int button, const std::string& path);
  // The messages shown since the last call, as one error with the exit
  // status of the first, if any.
  std::optional<CommandError> takeError();

 private:
  ui::HeadlessControls controls_;
  CliPlatform platform_;
  ui::EditorDialog editor_;
};

}  // namespace varnel::cli
