// What the editor's behaviour needs of the platform besides its window:
// dialogs, message boxes, files, processes, help, where the program lies.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "fonts/cpi_reader.h"
#include "image/bios_image.h"
#include "io/system.h"
#include "stream/byte_stream.h"
#include "ui/control_ids.h"
#include "ui/font_dialogs.h"
#include "ui/messages.h"

namespace varnel::ui {

// Message box results, with the values the dialogs know them by (a Cancel
// answer is kIdCancel, like the button).
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;

// The answer of a box of this style when the user presses Enter at once.
int defaultAnswer(unsigned style);

// File dialog flags.
inline constexpr unsigned kOfnOverwritePrompt = 0x0002;
inline constexpr unsigned kOfnHideReadOnly = 0x0004;
inline constexpr unsigned kOfnFileMustExist = 0x1000;

struct FileDialogRequest {
  bool save = false;
  std::string defaultExtension;  // without the dot; "" for none
  std::string initialName;
  unsigned flags = 0;
  std::string filter;  // "Description|*.a;*.b|...||"
};

// Files, processes and the program's folder go to the system services it
// holds (the host's unless told otherwise); the rest is the front end's.
class Platform {
 public:
  Platform() : Platform(hostSystem()) {}
  explicit Platform(SystemServices& system) : system_(system) {}
  virtual ~Platform() = default;

  // The chosen file's full path, or nothing when the user cancelled.
  virtual std::optional<std::string> fileDialog(const FileDialogRequest& request) = 0;
  // Shows a message owned by the main window, with the caption and style
  // of `message` (a null caption means the application's name); `text` is
  // the message's text and any lines the editor adds under it. Returns the
  // button pressed (kIdYes, kIdNo, kIdCancel, 1 for OK); closing a question
  // without an answer is Cancel, or No when it has no Cancel button.
  virtual int messageBox(const Message& message, const std::string& text) = 0;
  // The folder of the running program with a trailing separator, or "".
  virtual std::string programDirectory();
  // The file name of the program called `baseName` on this system.
  std::string executableName(std::string_view baseName) const;

  // The font selection dialog over the first `count` entries, previewing
  // the selected line's font from `glyphsOf`: the chosen entry's index, or
  // -1 when the user cancelled.
  virtual int selectFont(const CpiFontEntry* entries, int count,
                         const FontGlyphReader& glyphsOf) = 0;
  // The font view of the image, modal until closed.
  virtual void showFonts(const BiosImage& image) = 0;
  // Asks the help viewer for the table of contents of a help file; false
  // when the viewer could not read the file. A viewer that reports its own
  // errors, or none to be had, gives true.
  virtual bool showHelp(const std::string& chmPath) = 0;

  // Files. Failures throw FileError.
  virtual size_t readFile(const std::string& path, std::span<uint8_t> buffer);
  // The first `limit` bytes of a regular file, or nothing when there is none
  // to read; never waits on a device.
  virtual std::optional<std::string> readRegularFile(const std::string& path, size_t limit);
  // Atomic: a failure leaves an existing file as it was.
  virtual void writeFile(const std::string& path, std::span<const uint8_t> data);
  virtual std::unique_ptr<ByteStream> openFileStream(const std::string& path);
  // A new folder only this user can enter, in the system's folder for
  // temporary files; throws FileError when it cannot be made.
  virtual std::string makePrivateFolder();
  // Removes the folder with everything in it; failures are ignored.
  virtual void removeFolder(const std::string& path);

  // Starts a program hidden (no window, no shell) with the arguments, the
  // editor's environment and current directory, keeping what it writes to
  // its standard error; null when it cannot start.
  virtual std::unique_ptr<RunningProcess> startProcess(const std::string& program,
                                                       const std::vector<std::string>& arguments);

 private:
  SystemServices& system_;
};

}  // namespace varnel::ui
