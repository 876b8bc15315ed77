// The Current command with small fake reader tools beside the program.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>

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
    startUp();
  }

  // Puts an executable script named like the reader tool into `directory`.
  void installTool(const std::string& body, const std::string& directory = "") {
    const std::string dir = directory.empty() ? programDir.path() : directory;
    const std::string path = dir + "/" + kReaderToolName;
    const std::string script =
        "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + work.file("args.txt") + "'\n" + body + "\n";
    test::writeFile(path, Bytes(script.begin(), script.end()));
    ::chmod(path.c_str(), 0755);
  }
  bool dumpExists() const { return std::filesystem::exists(work.file(kDumpFileName)); }

  std::unique_ptr<test::CurrentDirectory> cwd;
};

TEST_F(Current, LoadsTheDumpAsReconstructedAndDeletesIt) {
  installTool("cp '" + work.file("sample.rom") + "' \"$4\"");
  controls.click(kIdCurrent);
  EXPECT_TRUE(editor->imageLoaded);
  EXPECT_TRUE(platform.messages.empty());
  EXPECT_EQ(controls.text(kIdFileName), "current (reconstructed)");
  EXPECT_FALSE(dumpExists());
  // The tool was given its switches and the bare dump name.
  EXPECT_EQ(test::readFile(work.file("args.txt")),
            Bytes({'/', 'r', '\n', '/', 'n', '\n', 'r', 'a', 'm', '\n', '$', 'V',
                   '$', 'B', 'I',  'O', 'S', '$',  '.', 'r', 'a', 'm',  '\n'}));
}

TEST_F(Current, DumpWithBadChecksumsIsAFailedReconstruction) {
  installTool("cp '" + work.file("bad.rom") + "' \"$4\"");
  controls.click(kIdCurrent);
  EXPECT_EQ(platform.takeMessages(), (std::vector<std::string>{"BIOS reconstruction failed"}));
  EXPECT_FALSE(editor->imageLoaded);
  EXPECT_FALSE(dumpExists());
}

TEST_F(Current, ToolThatWritesNothingLeavesNoImage) {
  load(test::buildRom().bytes);
  installTool("exit 0");
  controls.click(kIdCurrent);
  EXPECT_EQ(platform.takeMessages(), (std::vector<std::string>{"Error opening file"}));
  EXPECT_FALSE(editor->imageLoaded);
  EXPECT_FALSE(controls.isEnabled(kIdSave));
}

TEST_F(Current, ToolThatNeverEndsIsKilledAfterASecond) {
  installTool("exec sleep 30");
  const auto start = std::chrono::steady_clock::now();
  controls.click(kIdCurrent);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_GE(elapsed, std::chrono::milliseconds(950));
  EXPECT_LT(elapsed, std::chrono::milliseconds(3000));
  EXPECT_EQ(platform.takeMessages(), (std::vector<std::string>{"Error opening file"}));
}

TEST_F(Current, WithoutAToolNothingChanges) {
  load(test::buildRom().bytes, "card.rom");
  const auto before = imageBytes();
  std::map<int, bool> enabled;
  for (int id : controls.ids())
    enabled[id] = controls.isEnabled(id);
  controls.click(kIdCurrent);
  EXPECT_TRUE(platform.messages.empty());
  EXPECT_TRUE(editor->imageLoaded);
  EXPECT_EQ(imageBytes(), before);
  EXPECT_EQ(controls.text(kIdFileName), work.file("card.rom"));
  for (int id : controls.ids())
    EXPECT_EQ(controls.isEnabled(id), enabled[id]) << id;
}

TEST_F(Current, LeftOverDumpIsDeletedFirstAndNeverLoaded) {
  test::writeFile(work.file(kDumpFileName), test::buildRom().bytes);
  installTool("exit 0");
  controls.click(kIdCurrent);
  EXPECT_EQ(platform.takeMessages(), (std::vector<std::string>{"Error opening file"}));
  EXPECT_FALSE(editor->imageLoaded);
  EXPECT_FALSE(dumpExists());
}

TEST_F(Current, ProgramDirectoryWithBlanks) {
  const std::string blanks = programDir.file("my tools dir");
  std::filesystem::create_directory(blanks);
  platform.programDir = blanks + "/";
  installTool("cp '" + work.file("sample.rom") + "' \"$4\"", blanks);
  controls.click(kIdCurrent);
  EXPECT_TRUE(editor->imageLoaded);
}

TEST_F(Current, DumpLivesInTheCurrentDirectoryNotBesideTheProgram) {
  // The tool writes where it is started: the editor's current directory.
  installTool("cp '" + work.file("sample.rom") + "' \"$4\"; pwd > '" + work.file("cwd.txt") + "'");
  controls.click(kIdCurrent);
  EXPECT_TRUE(editor->imageLoaded);
  const Bytes cwdText = test::readFile(work.file("cwd.txt"));
  EXPECT_EQ(std::string(cwdText.begin(), cwdText.end()), work.path() + "\n");
  EXPECT_FALSE(std::filesystem::exists(programDir.file(kDumpFileName)));
}

}  // namespace
}  // namespace varnel
