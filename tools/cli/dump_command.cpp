// varnel-cli dump: reads the installed card like the Current command, with
// the reader tool, and checks the result like the editor's load.
#include <cstdio>
#include <optional>
#include <span>
#include <string>

#include "commands.h"
#include "console_text.h"
#include "io/file_io.h"
#include "io/system.h"
#include "loaded_image.h"
#include "output_file.h"
#include "ui/editor_dialog.h"

namespace varnel::cli {
namespace {

struct DumpOptions {
  std::string output;
  std::string source = "ram";
  std::string reader;
};

int fail(const CommandError& error) {
  printTo(stderr, "varnel-cli dump: %s\n", error.message.c_str());
  return error.status;
}

// The reader tool lies beside varnel-cli in the build tree, and in the
// editor's program folder once installed.
std::string defaultReader() {
  SystemServices& system = hostSystem();
  const std::string here = system.programDirectory();
  const std::string name = system.executableName(ui::kReaderToolName);
  const std::string installed = here + VARNEL_INSTALLED_READER_DIR + "/" + name;
  const std::string beside = here + name;
  return !system.isProgram(beside) && system.isProgram(installed) ? installed : beside;
}

// A folder made for one run of the reader tool, which only this user can
// enter: a dump found there was written by the tool in this run, never left
// over or planted. Removed with all it holds when the run is over.
class DumpFolder {
 public:
  DumpFolder() : path_(hostSystem().makePrivateFolder()) {}
  ~DumpFolder() { hostSystem().removeFolder(path_); }
  DumpFolder(const DumpFolder&) = delete;
  DumpFolder& operator=(const DumpFolder&) = delete;
  std::string file(const char* name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Why the reader's run gave nothing to keep, or nothing when it succeeded.
std::optional<std::string> readerFailure(RunningProcess& reader) {
  const std::optional<int> status = reader.exitStatus();
  if (!status) {
    return "the reader tool did not finish (stopped after one second, or by a signal); nothing "
           "saved";
  }
  if (*status != 0) {
    return "the reader tool failed (exit status " + std::to_string(*status) + "); nothing saved";
  }
  return std::nullopt;
}

int runDump(const DumpOptions& o) {
  if (const auto error = checkOutput(o.output, {}, InPlace::kNotOffered)) return fail(*error);
  const std::string reader = o.reader.empty() ? defaultReader() : o.reader;
  std::optional<DumpFolder> folder;
  try {
    folder.emplace();
  } catch (const FileError& error) {
    return fail({kExitFileError, error.what()});
  }
  const std::string dump = folder->file(ui::kDumpFileName);
  const std::unique_ptr<RunningProcess> child =
      hostSystem().startProcess(reader, {"/r", "/n", o.source, dump});
  if (!child) {
    return fail({kExitFileError, "cannot start the reader tool " + reader});
  }
  child->waitFor(ui::kReaderTimeoutMs);
  child->terminate();
  child->close();
  // What the reader said reaches the user, as when it wrote to our error
  // output itself.
  const std::string said = child->errorOutput();
  writeText(stderr, said);
  if (const auto failure = readerFailure(*child)) return fail({kExitFileError, *failure});
  const LoadedImage loaded = loadImageFile(dump);
  if (loaded.status() != kExitOk) {
    return fail({loaded.status(), loaded.status() == kExitChecksumsBad
                                      ? std::string("BIOS reconstruction failed")
                                      : loaded.failureMessage()});
  }
  try {
    writeFileAtomically(o.output, std::span<const uint8_t>(loaded.image->bytes.data(),
                                                           static_cast<size_t>(loaded.bytesRead)));
  } catch (const FileError& error) {
    return fail(saveError(error));
  }
  printTo(stdout, "%s: %d bytes, a valid ATI video BIOS with sound checksums\n", o.output.c_str(),
          loaded.image->length);
  return kExitOk;
}

}  // namespace

void addDumpCommand(CLI::App& app, int& status) {
  auto o = std::make_shared<DumpOptions>();
  CLI::App* dump = app.add_subcommand(
      "dump", "Read the installed card's video BIOS with the reader tool, check it, save it");
  dump->add_option("-o,--output", o->output, "Where to save the card's image")->required();
  dump->add_option("--source", o->source, "ram: the copy shadowed at 0xC0000; rom: the chip")
      ->check(CLI::IsMember({"ram", "rom"}))
      ->capture_default_str();
  dump->add_option("--reader", o->reader,
                   "The reader tool (default: pokrun beside varnel-cli, or installed in its "
                   "program folder)");
  dump->footer(
      "The reader tool is given one second, like the editor's Current command; reading the card "
      "needs root. The image is kept only when the tool ends with success and the image loads "
      "like in the editor. Exit status: 0 saved, 1 nothing read (the tool failed) or the file "
      "cannot be written, 2 not a valid image, 3 checksums bad, 64 a wrong command line.");
  dump->callback([o, &status] { status = runDump(*o); });
}

}  // namespace varnel::cli
