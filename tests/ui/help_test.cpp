#include <gtest/gtest.h>

#include "support/current_directory.h"
#include "support/editor_fixture.h"
#include "ui/help_binding.h"

namespace varnel {
namespace {

using namespace ui;

class Help : public test::EditorFixture {};

TEST_F(Help, AsksForTheHelpFileBesideTheProgramWhateverTheCurrentDirectory) {
  test::writeFile(programDir.file("Varnel.chm"), test::Bytes(100, 0x49));
  const test::CurrentDirectory elsewhere(work.path());
  startUp();
  controls.click(kIdHelp);
  EXPECT_EQ(platform.helpRequests, (std::vector<std::string>{programDir.path() + "/Varnel.chm"}));
  EXPECT_TRUE(platform.messages.empty());
}

// Without the help file (only the program was copied out of the zip), Help
// says what is missing and where it was looked for.
TEST_F(Help, WithoutTheHelpFileSaysWhereItLooked) {
  startUp();
  controls.click(kIdHelp);
  EXPECT_TRUE(platform.helpRequests.empty());
  EXPECT_EQ(platform.takeMessages(),
            (std::vector<std::string>{"The help file is missing\nLooked for: " +
                                      programDir.path() + "/Varnel.chm"}));
}

// A help file the viewer cannot read is said to be damaged; the editor
// goes on with its image and its edits as they were.
TEST_F(Help, AFileTheViewerCannotReadIsDamagedAndTheEditsStay) {
  test::writeFile(programDir.file("Varnel.chm"), test::Bytes(100, 0x49));
  startUp();
  load(test::buildRom().bytes);
  controls.type(kIdCoreEdit, "200");
  const std::string window = windowState();
  const test::Bytes image = imageBytes();
  platform.helpReadable = false;
  controls.click(kIdHelp);
  EXPECT_EQ(platform.takeMessages(), (std::vector<std::string>{"The help file is damaged\n" +
                                                               programDir.path() + "/Varnel.chm"}));
  EXPECT_EQ(windowState(), window);
  EXPECT_EQ(imageBytes(), image);
}

class CountingViewer : public HelpViewer {
 public:
  explicit CountingViewer(std::vector<std::string>& shown, bool readable = true)
      : shown_(shown), readable_(readable) {}
  bool displayTableOfContents(const std::string& path) override {
    shown_.push_back(path);
    return readable_;
  }

 private:
  std::vector<std::string>& shown_;
  bool readable_;
};

TEST(HelpBinding, SetsTheViewerUpOnceAndReusesIt) {
  int setUps = 0;
  std::vector<std::string> shown;
  HelpBinding binding([&] {
    ++setUps;
    return std::make_unique<CountingViewer>(shown);
  });
  binding.request("/a/Varnel.chm");
  binding.request("/a/Varnel.chm");
  EXPECT_EQ(setUps, 1);
  EXPECT_EQ(shown.size(), 2u);
  EXPECT_FALSE(binding.failed());
}

TEST(HelpBinding, PassesOnWhetherTheViewerCouldReadTheFile) {
  for (bool readable : {true, false}) {
    std::vector<std::string> shown;
    HelpBinding binding([&] { return std::make_unique<CountingViewer>(shown, readable); });
    EXPECT_EQ(binding.request("/a/Varnel.chm"), readable);
  }
}

TEST(HelpBinding, AViewerThatCannotBeSetUpIsNeverTriedAgain) {
  for (bool throws : {false, true}) {
    int setUps = 0;
    HelpBinding binding([&]() -> std::unique_ptr<HelpViewer> {
      ++setUps;
      if (throws) throw std::runtime_error("no viewer");
      return nullptr;
    });
    // Without a viewer there is nothing to say.
    EXPECT_TRUE(binding.request("/a/Varnel.chm"));
    EXPECT_TRUE(binding.request("/a/Varnel.chm"));
    EXPECT_EQ(setUps, 1);
    EXPECT_TRUE(binding.failed());
    EXPECT_EQ(binding.viewer(), nullptr);
  }
}

}  // namespace
}  // namespace varnel
