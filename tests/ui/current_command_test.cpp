// The Current command with small fake reader tools beside the program.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "io/posix/process.h"
#include "support/current_directory.h"
#include "support/editor_fixture.h"

namespace varnel {
namespace {

using namespace ui;
using test::Bytes;

class Current : public test::EditorFixture {
 protected:
  void SetUp() override {
    cwd = std::make_unique<test::CurrentDirectory>(work.path());
    test::writeFile(work.file("sample.rom"), test::buildRom().bytes);
    Bytes bad = test::buildRom().bytes;
    bad[0x3000] ^= 0x40;
    test::writeFile(work.file("bad.rom"), bad);
    // The reader's private folders are made here, where the test sees them.
    if (const char* old = std::getenv("TMPDIR")) savedTmpdir = old;
    ::setenv("TMPDIR", temporary.path().c_str(), 1);
    startUp();
  }
  void TearDown() override {
    if (savedTmpdir) {
      ::setenv("TMPDIR", savedTmpdir->c_str(), 1);
    } else {
      ::unsetenv("TMPDIR");
    }
  }

  // Puts an executable script named like the reader tool into `directory`.
  void installTool(const std::string& body, const std::string& directory = "") {
    const std::string dir = directory.empty() ? programDir.path() : directory;
    const std::string path = dir + "/" + platform.executableName(kReaderToolName);
    const std::string script =
        "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + work.file("args.txt") + "'\n" + body + "\n";
    test::writeFile(path, Bytes(script.begin(), script.end()));
    ::chmod(path.c_str(), 0755);
  }
  std::string text(const std::string& file) const {
    const Bytes bytes = test::readFile(work.file(file));
    return std::string(bytes.begin(), bytes.end());
  }
  // What the reader's runs left in the folder for temporary files.
  size_t leftOver() const {
    return static_cast<size_t>(
        std::distance(std::filesystem::directory_iterator(temporary.path()), {}));
  }

  test::TempDir temporary;
  std::optional<std::string> savedTmpdir;
  std::unique_ptr<test::CurrentDirectory> cwd;
};

TEST_F(Current, LoadsTheDumpAsReconstructedAndRemovesItsFolder) {
  // The tool tells what it was given and found before it writes the dump.
  installTool("folder=$(dirname \"$4\"); ls -A \"$folder\" > '" + work.file("listing.txt") +
              "'; stat -c %a \"$folder\" > '" + work.file("mode.txt") + "'; pwd > '" +
              work.file("cwd.txt") + "'; cp '" + work.file("sample.rom") + "' \"$4\"");
  controls.click(kIdCurrent);
  EXPECT_TRUE(editor->document.isOpen());
  EXPECT_TRUE(platform.messages.empty());
  EXPECT_EQ(controls.text(kIdFileName), "current (reconstructed)");
  // Its switches, and a dump path in a new, empty folder only this user
  // may enter, under the folder for temporary files.
  const std::string args = text("args.txt");
  const std::string prefix = "/r\n/n\nram\n" + temporary.path() + "/varnel-";
  EXPECT_EQ(args.substr(0, prefix.size()), prefix) << args;
  EXPECT_EQ(args.substr(args.size() - 14), "/$V$BIOS$.ram\n") << args;
  EXPECT_EQ(text("listing.txt"), "");
  EXPECT_EQ(text("mode.txt"), "700\n");
  // The tool still runs in the editor's current directory.
  EXPECT_EQ(text("cwd.txt"), work.path() + "\n");
  EXPECT_EQ(leftOver(), 0u);
}

// What the card holds does not replace edited work without the question;
// Cancel keeps the edits and the image's name.
TEST_F(Current, AsksBeforeReplacingEditedWork) {
  installTool("cp '" + work.file("sample.rom") + "' \"$4\"");
  load(test::buildRom().bytes, "card.rom");
  controls.drag(kIdCoreSlider, 300);
  const auto edited = imageBytes();
  platform.messageAnswers = {kIdCancel};
  controls.click(kIdCurrent);
  EXPECT_EQ(platform.takeMessages(),
            (std::vector<std::string>{"Save the changes to the BIOS image?"}));
  EXPECT_EQ(imageBytes(), edited);
  EXPECT_EQ(controls.text(kIdFileName), work.file("card.rom"));
  EXPECT_EQ(leftOver(), 0u);
  platform.messageAnswers = {kIdNo};
  controls.click(kIdCurrent);
  EXPECT_EQ(controls.text(kIdFileName), "current (reconstructed)");
}

struct ReaderFailure {
  const char* name;
  const char* tool;  // the script's body; $WORK stands for the test's folder
  const char* firstLine;
  const char* ending;  // how the message ends: the explanation, or all of it
};

class CurrentFailure : public Current, public testing::WithParamInterface<ReaderFailure> {};

// A read that fails shows why and changes nothing; the reader's folder is
// gone afterwards, whatever the tool left in it.
TEST_P(CurrentFailure, ShowsWhyAndChangesNothing) {
  load(test::buildRom().bytes, "card.rom");
  controls.drag(kIdCoreSlider, 300);
  const Bytes edited = imageBytes();
  const std::string window = windowState();
  std::string body = GetParam().tool;
  for (size_t at; (at = body.find("$WORK")) != std::string::npos;)
    body.replace(at, 5, work.path());
  installTool(body);
  controls.click(kIdCurrent);
  ASSERT_EQ(platform.messages.size(), 1u);
  const std::string& message = platform.messages[0].text;
  EXPECT_EQ(message.substr(0, message.find('\n')), GetParam().firstLine);
  const std::string ending = GetParam().ending;
  EXPECT_EQ(message.substr(message.size() - std::min(message.size(), ending.size())), ending)
      << message;
  EXPECT_EQ(platform.messages[0].caption, "Error");
  EXPECT_TRUE(editor->document.isOpen());
  EXPECT_EQ(imageBytes(), edited);
  EXPECT_EQ(windowState(), window);
  EXPECT_EQ(leftOver(), 0u);
}

// The first 4 KiB of a long explanation, and nothing more.
const std::string kLongMessage =
    "Error opening file\n" + std::string(ChildProcess::kMaxErrorOutput, 'x');

INSTANTIATE_TEST_SUITE_P(
    Tools, CurrentFailure,
    testing::Values(
        ReaderFailure{"ExplainsWhyItReadNothing",
                      "echo 'pokrun: no ATI display adapter (PCI vendor 0x1002) found' >&2; exit 2",
                      "Error opening file",
                      "Error opening file\npokrun: no ATI display adapter (PCI vendor 0x1002) "
                      "found"},
        ReaderFailure{"WritesNothingAndSaysNothing", "exit 0", "Error opening file",
                      "Error opening file"},
        ReaderFailure{"ExplainsAtLength", "head -c 100000 /dev/zero | tr '\\0' x >&2; exit 3",
                      "Error opening file", kLongMessage.c_str()},
        ReaderFailure{"DumpsWithBadChecksums", "cp '$WORK/bad.rom' \"$4\"",
                      "BIOS reconstruction failed", "damaged or was changed by another tool."},
        ReaderFailure{"LeavesMoreThanItsDump",
                      "cp '$WORK/bad.rom' \"$4\"; cp \"$4\" \"$4.part\"; mkdir \"$4.d\"; echo "
                      "'pokrun: left a part' >&2",
                      "BIOS reconstruction failed",
                      "damaged or was changed by another tool.\npokrun: left a part"}),
    [](const testing::TestParamInfo<ReaderFailure>& info) { return std::string(info.param.name); });

TEST_F(Current, ToolThatNeverEndsIsKilledAfterASecond) {
  installTool("exec sleep 30");
  platform.instantWaits = true;
  controls.click(kIdCurrent);
  EXPECT_EQ(platform.processEvents, (std::vector<std::string>{"wait 1000", "terminate", "close"}));
  EXPECT_EQ(platform.takeMessages(), (std::vector<std::string>{"Error opening file"}));
  EXPECT_EQ(leftOver(), 0u);
}

// The real process behind the editor's one-second wait: a wait lasts as long
// as it is asked unless the program ends first, and a kill ends it.
TEST(ChildProcessWait, LastsItsTimeUnlessTheProgramEndsAndAKillEndsIt) {
  using Clock = std::chrono::steady_clock;
  const std::unique_ptr<ChildProcess> sleeper = ChildProcess::start("/bin/sleep", {"30"});
  ASSERT_TRUE(sleeper);
  const Clock::time_point start = Clock::now();
  EXPECT_FALSE(sleeper->waitFor(300));
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(300));
  sleeper->kill();
  sleeper->release();
  EXPECT_TRUE(sleeper->ended());

  const std::unique_ptr<ChildProcess> quick = ChildProcess::start("/bin/true", {});
  ASSERT_TRUE(quick);
  const Clock::time_point quickStart = Clock::now();
  EXPECT_TRUE(quick->waitFor(20000));
  // Far below the time asked for, however busy the machine.
  EXPECT_LT(Clock::now() - quickStart, std::chrono::seconds(10));
}

// Without the reader tool (only the program was copied, or a virus scanner
// took the tool away), Current says where it looked and changes nothing.
TEST_F(Current, WithoutAToolItSaysWhereItLookedAndNothingChanges) {
  load(test::buildRom().bytes, "card.rom");
  const auto before = imageBytes();
  const std::string window = windowState();
  controls.click(kIdCurrent);
  EXPECT_EQ(platform.takeMessages(),
            (std::vector<std::string>{"The reader tool cannot be started\nLooked for: " +
                                      programDir.path() + "/pokrun"}));
  EXPECT_TRUE(editor->document.isOpen());
  EXPECT_EQ(imageBytes(), before);
  EXPECT_EQ(windowState(), window);
  EXPECT_EQ(leftOver(), 0u);
}

// A dump that the tool did not write in this run is never loaded, wherever
// it lies: a left-over in the working folder, or one planted in the folder
// for temporary files. Neither is the editor's to delete.
TEST_F(Current, DumpsTheToolDidNotWriteAreNeverLoaded) {
  test::writeFile(work.file(kDumpFileName), test::buildRom().bytes);
  test::writeFile(temporary.file(kDumpFileName), test::buildRom().bytes);
  installTool("exit 0");
  controls.click(kIdCurrent);
  EXPECT_EQ(platform.takeMessages(), (std::vector<std::string>{"Error opening file"}));
  EXPECT_FALSE(editor->document.isOpen());
  EXPECT_TRUE(std::filesystem::exists(work.file(kDumpFileName)));
  EXPECT_EQ(leftOver(), 1u);
}

TEST_F(Current, NoFolderForTheDumpIsReportedAndStartsNoTool) {
  load(test::buildRom().bytes, "card.rom");
  const std::string window = windowState();
  ::setenv("TMPDIR", work.file("missing").c_str(), 1);
  installTool("exit 0");
  controls.click(kIdCurrent);
  const std::vector<std::string> messages = platform.takeMessages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].substr(0, messages[0].find('\n')), "Error opening file");
  EXPECT_NE(messages[0].find(work.file("missing")), std::string::npos) << messages[0];
  EXPECT_FALSE(std::filesystem::exists(work.file("args.txt")));
  EXPECT_TRUE(editor->document.isOpen());
  EXPECT_EQ(windowState(), window);
}

TEST_F(Current, ProgramDirectoryWithBlanks) {
  const std::string blanks = programDir.file("my tools dir");
  std::filesystem::create_directory(blanks);
  platform.programDir = blanks + "/";
  installTool("cp '" + work.file("sample.rom") + "' \"$4\"", blanks);
  controls.click(kIdCurrent);
  EXPECT_TRUE(editor->document.isOpen());
}

}  // namespace
}  // namespace varnel
