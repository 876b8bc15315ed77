// The Help button: the help file beside the program, at its table of contents.
#include "ui/editor_dialog.h"
#include "ui/help_binding.h"

namespace varnel::ui {

void HelpBinding::request(const std::string& chmPath) {
  if (failed_) return;
  if (!viewer_) {
    try {
      viewer_ = setUp_();
    } catch (...) {
      viewer_.reset();
    }
    if (!viewer_) {
      failed_ = true;
      return;
    }
  }
  viewer_->displayTableOfContents(chmPath);
}

void EditorDialog::ShowHelp() {
  const std::string path = GetProgramDirectory() + kHelpFileName;
  if (!platform_.readRegularFile(path, 1)) {
    showMessage(MessageId::kHelpFileMissing, "Looked for: " + path);
    return;
  }
  platform_.showHelp(path);
}

}  // namespace varnel::ui
