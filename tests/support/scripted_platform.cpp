#include "support/scripted_platform.h"

#include <gtest/gtest.h>

#include <memory>
#include <utility>

#include "ui/control_ids.h"
#include "ui/font_dialogs.h"
#include "ui/headless_controls.h"

namespace varnel::test {

std::vector<std::string> ScriptedPlatform::takeMessages() {
  std::vector<std::string> texts;
  for (const ShownMessage& message : messages)
    texts.push_back(message.text);
  messages.clear();
  return texts;
}

std::optional<std::string> ScriptedPlatform::fileDialog(const ui::FileDialogRequest& request) {
  fileRequests.push_back(request);
  if (fileAnswers.empty()) {
    ADD_FAILURE() << "a file dialog opened that the test did not expect";
    return std::nullopt;
  }
  std::optional<std::string> answer = fileAnswers.front();
  fileAnswers.pop_front();
  return answer;
}

int ScriptedPlatform::messageBox(const ui::Message& message, const std::string& text) {
  const char* caption = message.caption;
  const unsigned style = message.style;
  const ShownMessage shown{text, caption != nullptr ? caption : "", caption == nullptr, style};
  if (confirmSaves && ui::isSaveConfirmation(message.id)) {
    saveConfirmations.push_back(shown);
    return ui::kIdYes;
  }
  messages.push_back(shown);
  // A question that can be cancelled is cancelled; any other box answers
  // as Enter would.
  if (messageAnswers.empty()) {
    return (style & 0x0F) == ui::kMbYesNoCancel ? ui::kIdCancel : ui::defaultAnswer(style);
  }
  const int answer = messageAnswers.front();
  messageAnswers.pop_front();
  return answer;
}

// Runs the dialog's behaviour on fake controls, as the user would use it.
int ScriptedPlatform::selectFont(const CpiFontEntry* entries, int count,
                                 const ui::FontGlyphReader& glyphsOf) {
  ui::HeadlessControls controls(ui::fontSelectDialogTemplate());
  ui::FontSelectDialog dialog(controls);
  controls.setEvents(&dialog);
  dialog.entries = entries;
  dialog.entryCount = count;
  dialog.glyphsOf = glyphsOf;
  dialog.OnInitDialog();
  fontLists.push_back(controls.items(ui::kIdFontList));
  fontPreviews.emplace_back();
  for (int i = 0; i < count; ++i) {
    try {
      fontPreviews.back().push_back(glyphsOf(i));
    } catch (const StreamError&) {
      fontPreviews.back().emplace_back();
    }
  }
  if (fontAnswers.empty()) {
    ADD_FAILURE() << "a font selection dialog opened that the test did not expect";
    return dialog.result(false);
  }
  const int answer = fontAnswers.front();
  fontAnswers.pop_front();
  if (answer < 0) return dialog.result(false);
  EXPECT_FALSE(controls.isEnabled(ui::kIdOk)) << "OK is enabled before a line is selected";
  controls.choose(ui::kIdFontList, answer);
  EXPECT_TRUE(controls.isEnabled(ui::kIdOk));
  return dialog.result(true);
}

void ScriptedPlatform::showFonts(const BiosImage& image) {
  ++fontViews;
  viewedImage = &image;
}

size_t ScriptedPlatform::readFile(const std::string& path, std::span<uint8_t> buffer) {
  if (beforeFileAccess) beforeFileAccess(path);
  if (const auto file = memoryFiles.find(path); filesInMemory && file != memoryFiles.end()) {
    const size_t n = std::min(buffer.size(), file->second.size());
    std::copy_n(file->second.begin(), n, buffer.begin());
    return n;
  }
  return Platform::readFile(path, buffer);
}

void ScriptedPlatform::writeFile(const std::string& path, std::span<const uint8_t> data) {
  if (beforeFileAccess) beforeFileAccess(path);
  if (filesInMemory) {
    memoryFiles[path].assign(data.begin(), data.end());
    return;
  }
  Platform::writeFile(path, data);
}

std::unique_ptr<ByteStream> ScriptedPlatform::openFileStream(const std::string& path) {
  if (beforeFileAccess) beforeFileAccess(path);
  if (openStream) return openStream(path);
  return Platform::openFileStream(path);
}

namespace {

// A started process whose every request is recorded before it is passed on.
class RecordedProcess final : public RunningProcess {
 public:
  RecordedProcess(std::unique_ptr<RunningProcess> process, ScriptedPlatform& platform)
      : process_(std::move(process)), platform_(platform) {}
  void waitFor(int milliseconds) override {
    platform_.processEvents.push_back("wait " + std::to_string(milliseconds));
    if (!platform_.instantWaits) process_->waitFor(milliseconds);
  }
  void terminate() override {
    platform_.processEvents.push_back("terminate");
    process_->terminate();
  }
  void close() override {
    platform_.processEvents.push_back("close");
    process_->close();
  }
  std::string errorOutput() override { return process_->errorOutput(); }
  std::optional<int> exitStatus() override { return process_->exitStatus(); }

 private:
  std::unique_ptr<RunningProcess> process_;
  ScriptedPlatform& platform_;
};

}  // namespace

std::unique_ptr<RunningProcess> ScriptedPlatform::startProcess(
    const std::string& program, const std::vector<std::string>& arguments) {
  std::unique_ptr<RunningProcess> process = Platform::startProcess(program, arguments);
  if (!process) return nullptr;
  return std::make_unique<RecordedProcess>(std::move(process), *this);
}

}  // namespace varnel::test
