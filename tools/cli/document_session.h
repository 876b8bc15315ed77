// A command's image: opened, edited and saved through the document, the
// way the editor does, with failures as the editor's messages and the exit
// statuses they carry.
#pragma once

#include <optional>
#include <span>
#include <string>

#include "document/document.h"
#include "io/system.h"
#include "ui/messages.h"

namespace varnel::cli {

// A failure of a command: the status to exit with and what to say, and
// the editor's message it stems from, if any.
struct CommandError {
  int status;
  std::string message;
  std::optional<ui::MessageId> shown = std::nullopt;
};

// The editor's message as a command says it: the lines the editor shows
// under its first (the system's reason, the check that failed) in brackets.
CommandError editorMessage(ui::MessageId id, const std::string& details = "");

// The message of a failed save: the editor's text, then the reason.
CommandError saveError(const FileError& error);

// Reads IN and opens it the way the editor's Load does.
std::optional<CommandError> openDocument(const std::string& path, Document& document);

// Where a command's output goes: a file replaced atomically, optionally
// keeping the replaced file's every byte as a backup, or standard output.
struct OutputWriter {
  // When set, a save keeps the replaced file under this name (see
  // writeFileKeepingBackup).
  std::string backupPath;
  // When set, "-" is standard output.
  bool dashIsStandardOutput = false;

  void write(const std::string& path, std::span<const uint8_t> data) const;
};

// Saves the document to `path` as the editor's Save does.
std::optional<CommandError> saveDocument(Document& document, const std::string& path,
                                         const OutputWriter& writer);

}  // namespace varnel::cli
