// The Current command on Windows with the real reader tool beside the
// program. Wine, like every Windows after XP, lets no program read physical
// memory: the tool explains that, and the editor must show the explanation
// and keep the image on show and every control as they were.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/editor_fixture.h"

namespace varnel {
namespace {

using namespace ui;

class CurrentOnWindows : public test::EditorFixture {};

TEST_F(CurrentOnWindows, ShowsTheReaderToolsRefusalAndKeepsTheImage) {
  std::filesystem::copy_file(test::programPath("pokrun"),
                             programDir.file(platform.executableName(kReaderToolName)));
  startUp();
  load(test::buildRom().bytes, "card.rom");
  controls.drag(kIdCoreSlider, 300);
  const test::Bytes edited = imageBytes();
  const std::string window = windowState();

  controls.click(kIdCurrent);

  ASSERT_EQ(platform.messages.size(), 1u);
  const std::string& message = platform.messages[0].text;
  EXPECT_EQ(message.substr(0, message.find('\n')), "Error opening file");
  EXPECT_NE(message.find("without a driver"), std::string::npos) << message;
  EXPECT_EQ(platform.messages[0].caption, "Error");
  EXPECT_TRUE(editor->document.isOpen());
  EXPECT_EQ(imageBytes(), edited);
  EXPECT_EQ(windowState(), window);
}

}  // namespace
}  // namespace varnel
