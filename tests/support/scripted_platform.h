// A platform whose dialogs are answered in advance and whose messages are
// recorded, for headless tests of the editor's behaviour.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "ui/platform.h"

namespace varnel::test {

struct ShownMessage {
  std::string text;
  std::string caption;  // "" for the default caption
  bool defaultCaption = false;
  unsigned style = 0;
};

class ScriptedPlatform : public ui::Platform {
 public:
  // Answers for the file dialogs, in order; nothing means Cancel.
  std::deque<std::optional<std::string>> fileAnswers;
  std::vector<ui::FileDialogRequest> fileRequests;
  // Answers for message boxes; without one a question with a Cancel button
  // answers Cancel, and any other box as Enter would: its default button.
  std::deque<int> messageAnswers;
  std::vector<ShownMessage> messages;
  // The list of changes a save shows first is confirmed (Yes) and kept
  // here, apart from the other messages, unless a test turns this off to
  // answer it itself.
  bool confirmSaves = true;
  std::vector<ShownMessage> saveConfirmations;
  std::string programDir;
  // Runs before each file operation of the editor, for injecting faults.
  std::function<void(const std::string& path)> beforeFileAccess;
  // Opens the streams the font import reads; the real file by default.
  std::function<std::unique_ptr<ByteStream>(const std::string& path)> openStream;
  // Keeps files in memory instead of on disk when set: written files land
  // here, and files found here are read from here.
  bool filesInMemory = false;
  std::map<std::string, std::vector<uint8_t>> memoryFiles;

  // Answers for the font selection dialog: the line to pick before OK, or
  // -1 for Cancel. The lines each dialog showed are recorded, and the
  // glyphs its preview would read for each line (none where they cannot
  // be read).
  std::deque<int> fontAnswers;
  std::vector<std::vector<std::string>> fontLists;
  std::vector<std::vector<std::vector<uint8_t>>> fontPreviews;
  int fontViews = 0;
  std::vector<std::string> helpRequests;
  bool helpReadable = true;  // what the help viewer says of each file
  // What the editor did with the helper processes it started, in order:
  // "wait <ms>", "terminate", "close". With instantWaits a wait returns at
  // once, as if its time had passed, so that no test hangs on the clock.
  std::vector<std::string> processEvents;
  bool instantWaits = false;
  const BiosImage* viewedImage = nullptr;

  void answerFile(const std::string& path) { fileAnswers.emplace_back(path); }
  void cancelFile() { fileAnswers.emplace_back(std::nullopt); }
  // The texts of the messages shown since the last call.
  std::vector<std::string> takeMessages();

  std::optional<std::string> fileDialog(const ui::FileDialogRequest& request) override;
  int messageBox(const ui::Message& message, const std::string& text) override;
  std::string programDirectory() override { return programDir; }
  int selectFont(const CpiFontEntry* entries, int count,
                 const ui::FontGlyphReader& glyphsOf) override;
  void showFonts(const BiosImage& image) override;
  bool showHelp(const std::string& chmPath) override {
    helpRequests.push_back(chmPath);
    return helpReadable;
  }
  size_t readFile(const std::string& path, std::span<uint8_t> buffer) override;
  void writeFile(const std::string& path, std::span<const uint8_t> data) override;
  std::unique_ptr<ByteStream> openFileStream(const std::string& path) override;
  std::unique_ptr<RunningProcess> startProcess(const std::string& program,
                                               const std::vector<std::string>& arguments) override;
};

}  // namespace varnel::test
