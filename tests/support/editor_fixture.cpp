#include "support/editor_fixture.h"

namespace varnel::test {

EditorFixture::EditorFixture() : controls(ui::mainDialogTemplate()) {
  platform.programDir = programDir.path() + "/";
}

void EditorFixture::writeVendorList(const std::string& text) {
  writeFile(programDir.file("Vendor.IDs"), Bytes(text.begin(), text.end()));
}

void EditorFixture::startUp() {
  editor = std::make_unique<ui::EditorDialog>(controls, platform);
  controls.setEvents(editor.get());
  editor->OnInitDialog();
}

void EditorFixture::load(const Bytes& bytes, const std::string& name) {
  if (!editor) startUp();
  // A test that loads over its own edits means to drop them: it answers
  // No to the question that comes first.
  if (editor->HasUnsavedChanges()) platform.messageAnswers.push_front(ui::kIdNo);
  writeFile(work.file(name), bytes);
  platform.answerFile(work.file(name));
  controls.click(ui::kIdLoad);
}

Bytes EditorFixture::save(const std::string& name) {
  platform.answerFile(work.file(name));
  controls.click(ui::kIdSave);
  return readFile(work.file(name));
}

Bytes EditorFixture::imageBytes() const {
  const BiosImage& image = editor->image;
  return Bytes(image.bytes.begin(), image.bytes.begin() + image.length);
}

std::string EditorFixture::windowState() const {
  std::string state;
  for (int id : controls.ids()) {
    state += std::to_string(id) + (controls.isEnabled(id) ? " on" : " off") +
             (controls.isChecked(id) ? " checked" : "") + " '" + controls.text(id) + "' at " +
             std::to_string(controls.trackbarPosition(id)) + " selecting " +
             std::to_string(controls.currentSelection(id)) + " of";
    for (const std::string& item : controls.items(id))
      state += " '" + item + "'";
    state += "\n";
  }
  return state;
}

}  // namespace varnel::test
