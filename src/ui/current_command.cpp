// The Current command: the reader tool dumps the installed card's BIOS,
// which is then loaded like a file.
#include "ui/editor_dialog.h"

namespace varnel::ui {
namespace {

// A folder made for one run of the reader tool, removed with all it holds
// when the run is over, whatever happened.
class ReaderFolder {
 public:
  explicit ReaderFolder(Platform& platform)
      : platform_(platform), path_(platform.makePrivateFolder()) {}
  ~ReaderFolder() { platform_.removeFolder(path_); }
  ReaderFolder(const ReaderFolder&) = delete;
  ReaderFolder& operator=(const ReaderFolder&) = delete;
  std::string file(const char* name) const { return path_ + "/" + name; }

 private:
  Platform& platform_;
  std::string path_;
};

// The tool's explanation, without the line end that closes it.
std::string trimmed(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
    text.pop_back();
  return text;
}

}  // namespace

void EditorDialog::OnCurrent() {
  try {
    const std::string tool = GetProgramDirectory() + platform_.executableName(kReaderToolName);
    // The dump goes into a new folder that only this user can enter: a file
    // there was written by the tool in this run, never left over or planted.
    const ReaderFolder folder(platform_);
    const std::string dump = folder.file(kDumpFileName);
    const std::unique_ptr<RunningProcess> reader =
        platform_.startProcess(tool, {"/r", "/n", "ram", dump});
    if (!reader) {
      // Copied without it, or taken away by a virus scanner: say where it
      // was looked for.
      showMessage(MessageId::kReaderToolMissing, "Looked for: " + tool);
      return;
    }
    reader->waitFor(kReaderTimeoutMs);
    reader->terminate();
    reader->close();
    loadImage(dump, true, trimmed(reader->errorOutput()));
  } catch (const FileError& error) {
    showMessage(MessageId::kErrorOpeningFile, error.what());
  } catch (...) {
    // The load reports its own failures; nothing else is worth a message.
  }
}

}  // namespace varnel::ui
