// varnel-cli dump: reads the installed card like the Current command, with
// the reader tool, and checks the result like the editor's load.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <span>
#include <string>

#include "commands.h"
#include "io/file_io.h"
#include "io/process.h"
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
  std::fprintf(stderr, "varnel-cli dump: %s\n", error.message.c_str());
  return error.status;
}

// The reader tool lies beside varnel-cli in the build tree, and in the
// editor's program folder once installed.
std::string defaultReader() {
  const std::string here = executableDirectory();
  const std::string name = hostSystem().executableName(ui::kReaderToolName);
  const std::string installed = here + VARNEL_INSTALLED_READER_DIR + "/" + name;
  const std::string beside = here + name;
  return ::access(beside.c_str(), X_OK) != 0 && ::access(installed.c_str(), X_OK) == 0 ? installed
                                                                                        : beside;
}

int runDump(const DumpOptions& o) {
  if (const auto error = checkOutput(o.output, {}, InPlace::kNotOffered)) return fail(*error);
  const std::string reader = o.reader.empty() ? defaultReader() : o.reader;
  // Beside OUT, under a short name whatever OUT's length; hidden, like the
  // temporary file of a save.
  const std::string folder = std::filesystem::path(o.output).parent_path().string();
  const std::string dump =
      (folder.empty() ? "" : folder + "/") + ".vrndump" + std::to_string(::getpid());
  removeFileQuietly(dump);
  std::unique_ptr<ChildProcess> child = ChildProcess::start(reader, {"/r", "/n", o.source, dump});
  if (!child) {
    return fail({kExitFileError, "cannot start the reader tool " + reader});
  }
  child->waitFor(ui::kReaderTimeoutMs);
  child->kill();
  child->release();
  const LoadedImage loaded = loadImageFile(dump);
  removeFileQuietly(dump);
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
  std::printf("%s: %d bytes, a valid ATI video BIOS with sound checksums\n", o.output.c_str(),
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
      "needs root. The image is kept only when it loads like in the editor. Exit status: 0 "
      "saved, 1 nothing read or the file cannot be written, 2 not a valid image, 3 checksums "
      "bad, 64 a wrong command line.");
  dump->callback([o, &status] { status = runDump(*o); });
}

}  // namespace varnel::cli
