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

class CountingViewer : public HelpViewer {
 public:
  explicit CountingViewer(std::vector<std::string>& shown) : shown_(shown) {}
  void displayTableOfContents(const std::string& path) override { shown_.push_back(path); }

 private:
  std::vector<std::string>& shown_;
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

TEST(HelpBinding, AViewerThatCannotBeSetUpIsNeverTriedAgain) {
  for (bool throws : {false, true}) {
    int setUps = 0;
    HelpBinding binding([&]() -> std::unique_ptr<HelpViewer> {
      ++setUps;
      if (throws) throw std::runtime_error("no viewer");
      return nullptr;
    });
    binding.request("/a/Varnel.chm");
    binding.request("/a/Varnel.chm");
    EXPECT_EQ(setUps, 1);
    EXPECT_TRUE(binding.failed());
    EXPECT_EQ(binding.viewer(), nullptr);
  }
}

}  // namespace
}  // namespace varnel
