// The Help button: the help file beside the program, at its table of contents.
#include "ui/editor_dialog.h"
#include "ui/help_binding.h"

namespace varnel::ui {

bool HelpBinding::request(const std::string& chmPath) {
  if (failed_) return true;
  if (!viewer_) {
    try {
      viewer_ = setUp_();
    } catch (...) {
      viewer_.reset();
    }
    if (!viewer_) {
      failed_ = true;
      return true;
    }
  }
  return viewer_->displayTableOfContents(chmPath);
}

void EditorDialog::ShowHelp() {
  const std::string path = GetProgramDirectory() + kHelpFileName;
  if (!platform_.readRegularFile(path, 1)) {
    showMessage(MessageId::kHelpFileMissing, "Looked for: " + path);
    return;
  }
  // A damaged file is said to be so; the editor goes on with its work.
  if (!platform_.showHelp(path)) showMessage(MessageId::kHelpFileDamaged, path);
}

}  // namespace varnel::ui
