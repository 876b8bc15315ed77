// The Current command: the reader tool dumps the installed card's BIOS,
// which is then loaded like a file.
#include "ui/editor_dialog.h"

namespace varnel::ui {

void EditorDialog::OnCurrent() {
  try {
    const std::string tool = GetProgramDirectory() + kReaderToolName;
    // A dump left by an earlier run must never be loaded.
    platform_.removeFile(kDumpFileName);
    const std::unique_ptr<RunningProcess> reader =
        platform_.startProcess(tool, {"/r", "/n", "ram", kDumpFileName});
    if (!reader) return;
    reader->waitFor(kReaderTimeoutMs);
    reader->terminate();
    reader->close();
    LoadBiosFile(kDumpFileName, true);
    platform_.removeFile(kDumpFileName);
  } catch (...) {
    // The load reports its own failures; nothing else is worth a message.
  }
}

}  // namespace varnel::ui
