// Faults from the file system and the reader tool: each ends with the
// editor's own message, no existing file changed, and the editor in the
// state it must be in.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#endif
#include <cstring>
#include <filesystem>

#include "io/file_io.h"
#include "support/cpi_builder.h"
#include "support/current_directory.h"
#include "support/editor_fixture.h"
#include "support/faults.h"

namespace varnel {
namespace {

using namespace ui;
using test::Bytes;

class Faults : public test::EditorFixture {
 protected:
  void SetUp() override {
    load(test::buildRom().bytes, "card.rom");
    ASSERT_TRUE(editor->document.isOpen());
    loaded = imageBytes();
  }
  // One message, judged by its first line unless the expected text has
  // more; the lines that explain a refused load are tested with the load
  // and the Current command.
  void expectOnly(const std::string& message) {
    const std::vector<std::string> texts = platform.takeMessages();
    ASSERT_EQ(texts.size(), 1u);
    if (message.find('\n') != std::string::npos)
      EXPECT_EQ(texts[0], message);
    else
      EXPECT_EQ(texts[0].substr(0, texts[0].find('\n')), message);
  }
  // A failed load leaves the image and the window as they were.
  void expectImageKept() {
    EXPECT_TRUE(editor->document.isOpen());
    EXPECT_TRUE(controls.isEnabled(kIdSave));
    EXPECT_EQ(imageBytes(), loaded);
    EXPECT_EQ(controls.text(kIdFileName), work.file("card.rom"));
  }
  Bytes loaded;
};

#ifndef _WIN32  // a file-size limit stands in for the full disk
TEST_F(Faults, DiskFillingUpMidFontExportKeepsTheOldFile) {
  const Bytes old(3000, 0x42);
  test::writeFile(work.file("font.fnt"), old);
  {
    const test::FileSizeLimit full(1000);
    platform.answerFile(work.file("font.fnt"));
    controls.click(kIdSave8x16);
  }
  expectOnly("Error saving file\ncannot write " + work.file("font.fnt") + ": File too large");
  EXPECT_EQ(test::readFile(work.file("font.fnt")), old);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(work.path()), {}), 2);
  EXPECT_EQ(imageBytes(), loaded);
}
#endif

TEST_F(Faults, ImageFileVanishingBeforeTheOpenKeepsTheImage) {
  test::writeFile(work.file("next.rom"), test::buildRom().bytes);
  platform.beforeFileAccess = [](const std::string& path) { std::filesystem::remove(path); };
  platform.answerFile(work.file("next.rom"));
  controls.click(kIdLoad);
  expectOnly("Error opening file");
  expectImageKept();
}

TEST_F(Faults, FontFileVanishingBeforeTheOpenChangesNothing) {
  test::writeFile(work.file("font.fnt"), Bytes(4096, 0x18));
  platform.beforeFileAccess = [](const std::string& path) { std::filesystem::remove(path); };
  platform.answerFile(work.file("font.fnt"));
  controls.click(kIdLoad8x16);
  expectOnly("Error opening file");
  EXPECT_EQ(imageBytes(), loaded);
  EXPECT_TRUE(editor->document.isOpen());
}

TEST_F(Faults, ReadErrorWhileLoadingAnImage) {
  test::writeFile(work.file("next.rom"), test::buildRom().bytes);
  platform.beforeFileAccess = [](const std::string& path) {
    throw FileError("cannot read " + path + ": Input/output error");
  };
  platform.answerFile(work.file("next.rom"));
  controls.click(kIdLoad);
  expectOnly("Error opening file");
  expectImageKept();
}

// A font file that breaks while it is read: nothing of it reaches the
// image, and the 9x16 alternates stay as they were too.
TEST_F(Faults, FontFileBreakingHalfWayChangesNothing) {
  test::CpiSpec spec;
  spec.entries = {{437, {{8, 16}}}, {850, {{8, 16}}}};
  const test::BuiltCpi cpi = test::buildCpi(spec);
  const Bytes raw = test::cpiGlyphData(437, {8, 16});
  struct Case {
    const char* name;
    const Bytes& file;
    int64_t failAt;
    bool truncated;
    bool choosesAFont;
  };
  // Faults among the glyphs hit the last font of the file, so that every
  // header lies before them.
  const int64_t inLastFont = cpi.dataOffsets[1] + 100;
  for (const Case& c : {
           Case{"while the headers are walked", cpi.bytes,
                static_cast<int64_t>(cpi.entryStarts[1]) + 5, false, false},
           Case{"read error among the glyphs", cpi.bytes, inLastFont, false, true},
           Case{"file cut short among the glyphs", cpi.bytes, inLastFont, true, true},
           Case{"read error in a raw font", raw, 2000, false, false},
       }) {
    platform.openStream = [&](const std::string&) {
      return std::make_unique<test::FailingStream>(c.file, c.failAt, c.truncated);
    };
    if (c.choosesAFont) platform.fontAnswers.push_back(1);
    platform.answerFile(work.file("ega.cpi"));
    controls.click(kIdLoad8x16);
    expectOnly("Error opening file");
    EXPECT_EQ(imageBytes(), loaded) << c.name;
    EXPECT_TRUE(editor->document.isOpen());
  }
}

// Signals, and reader tools that are shell scripts, are POSIX's.
#ifndef _WIN32
// A save ended by a signal leaves the previous file and nothing else: the
// new contents, unnamed or under a temporary name, go with the program.
class SaveInterrupted : public testing::TestWithParam<int> {};

TEST_P(SaveInterrupted, LeavesNoTemporaryFile) {
  test::TempDir work;
  const Bytes previous(5000, 0x42);
  test::writeFile(work.file("old.rom"), previous);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // Long enough to be caught writing.
    const std::vector<uint8_t> huge(size_t{128} << 20, 0x11);
    writeFileAtomically(work.file("old.rom"), huge);
    ::_exit(0);
  }
  // Caught writing once it holds a file of the folder open: the new
  // contents, named or not yet.
  const std::string descriptors = "/proc/" + std::to_string(child) + "/fd";
  auto writing = [&] {
    std::error_code error;
    for (const auto& fd : std::filesystem::directory_iterator(descriptors, error)) {
      const std::string file = std::filesystem::read_symlink(fd.path(), error).string();
      if (!error && file.rfind(work.path() + "/", 0) == 0) return true;
    }
    return false;
  };
  while (!writing()) {
    int status = 0;
    if (::waitpid(child, &status, WNOHANG) == child) FAIL() << "the save ended before the signal";
  }
  ::kill(child, GetParam());
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == GetParam()) << status;
  EXPECT_EQ(test::readFile(work.file("old.rom")), previous);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(work.path()),
                          std::filesystem::directory_iterator()),
            1);
}

INSTANTIATE_TEST_SUITE_P(Signals, SaveInterrupted, testing::Values(SIGINT, SIGTERM, SIGHUP),
                         [](const testing::TestParamInfo<int>& info) {
                           return std::string(sigabbrev_np(info.param));
                         });

class ReaderFaults : public Faults {
 protected:
  void SetUp() override {
    Faults::SetUp();
    cwd = std::make_unique<test::CurrentDirectory>(work.path());
    test::writeFile(work.file("saved.rom"), loaded);
  }
  void tool(const std::string& body) {
    const std::string path = programDir.file(kReaderToolName);
    const std::string script = "#!/bin/sh\n" + body + "\n";
    test::writeFile(path, Bytes(script.begin(), script.end()));
    ::chmod(path.c_str(), 0755);
  }
  void expectFilesIntact() {
    EXPECT_EQ(test::readFile(work.file("saved.rom")), loaded);
    EXPECT_FALSE(std::filesystem::exists(work.file(kDumpFileName)));
  }
  std::unique_ptr<test::CurrentDirectory> cwd;
};

TEST_F(ReaderFaults, ToolThatCrashesBeforeWriting) {
  tool("kill -SEGV $$");
  controls.click(kIdCurrent);
  expectOnly("Error opening file");
  expectImageKept();
  expectFilesIntact();
}

TEST_F(ReaderFaults, ToolThatCrashesHalfWayThroughTheDump) {
  tool("head -c 20000 '" + work.file("saved.rom") + "' > \"$4\"; kill -SEGV $$");
  controls.click(kIdCurrent);
  expectOnly("This is not a valid ATi BIOS");
  expectImageKept();
  expectFilesIntact();
}

TEST_F(ReaderFaults, ToolThatWritesGarbage) {
  tool("head -c 49152 /dev/urandom > \"$4\"");
  controls.click(kIdCurrent);
  expectOnly("This is not a valid ATi BIOS");
  expectImageKept();
  expectFilesIntact();
}

TEST_F(ReaderFaults, ToolThatHangsAfterWritingPartOfTheDump) {
  tool("head -c 30000 '" + work.file("saved.rom") + "' > \"$4\"; exec sleep 30");
  controls.click(kIdCurrent);
  expectOnly("This is not a valid ATi BIOS");
  expectImageKept();
  expectFilesIntact();
}
#endif

}  // namespace
}  // namespace varnel
