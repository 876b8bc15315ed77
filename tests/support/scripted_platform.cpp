#include "support/scripted_platform.h"

#include <gtest/gtest.h>

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

int ScriptedPlatform::messageBox(const std::string& text, const char* caption, unsigned style) {
  messages.push_back({text, caption != nullptr ? caption : "", caption == nullptr, style});
  if (messageAnswers.empty()) return 1;
  const int answer = messageAnswers.front();
  messageAnswers.pop_front();
  return answer;
}

size_t ScriptedPlatform::readFile(const std::string& path, std::span<uint8_t> buffer) {
  if (beforeFileAccess) beforeFileAccess(path);
  return Platform::readFile(path, buffer);
}

void ScriptedPlatform::writeFile(const std::string& path, std::span<const uint8_t> data) {
  if (beforeFileAccess) beforeFileAccess(path);
  Platform::writeFile(path, data);
}

std::unique_ptr<ByteStream> ScriptedPlatform::openFileStream(const std::string& path) {
  if (beforeFileAccess) beforeFileAccess(path);
  return Platform::openFileStream(path);
}

}  // namespace varnel::test
