#include <gtest/gtest.h>

#include <QListWidget>
#include <QTest>
#include <QTreeWidget>

#include "support/test_paths.h"
#include "ui/qt/help_window.h"
#include "ui/qt/qt_platform.h"

namespace varnel {
namespace {

std::string builtHelp() {
  return test::binaryDir() + "/Varnel.chm";
}

TEST(HelpWindow, ShowsContentsIndexAndPagesWithImages) {
  qtui::HelpWindow window;
  ASSERT_TRUE(window.open(builtHelp()));
  EXPECT_EQ(window.contents()->topLevelItemCount(), 9);  // four pages under "Settings"
  EXPECT_GE(window.index()->count(), 20);
  EXPECT_TRUE(window.browser()->toPlainText().contains("Varnel edits the video BIOS"));
  // The home page's picture comes out of the help file.
  const QVariant picture = window.browser()->loadResource(QTextDocument::ImageResource,
                                                          QUrl("chm:/images/main-window.png"));
  EXPECT_FALSE(QImage::fromData(picture.toByteArray()).isNull());

  QTreeWidgetItem* fonts = window.contents()->topLevelItem(4);
  ASSERT_EQ(fonts->text(0), "Fonts");
  emit window.contents()->itemClicked(fonts, 0);
  EXPECT_TRUE(window.browser()->toPlainText().contains("Load 8x16"));
  // Links inside pages work.
  window.browser()->setSource(QUrl("chm:/troubleshooting.html#checksums"));
  EXPECT_TRUE(window.browser()->toPlainText().contains("Checksums bad"));
}

TEST(HelpWindow, MissingOrCorruptFileOpensNothing) {
  qtui::HelpWindow window;
  test::TempDir dir;
  EXPECT_FALSE(window.open(dir.file("Varnel.chm")));
  test::writeFile(dir.file("bad.chm"), test::Bytes(4096, 0x42));
  EXPECT_FALSE(window.open(dir.file("bad.chm")));
}

TEST(QtHelp, TwoRequestsShareOneViewerAndFailuresStaySilent) {
  qtui::QtPlatform platform;
  test::TempDir dir;
  platform.showHelp(dir.file("missing.chm"));
  const ui::HelpViewer* viewer = platform.help().viewer();
  ASSERT_NE(viewer, nullptr);
  auto* qtViewer = const_cast<qtui::QtHelpViewer*>(dynamic_cast<const qtui::QtHelpViewer*>(viewer));
  EXPECT_FALSE(qtViewer->window().isVisible());
  platform.showHelp(builtHelp());
  EXPECT_EQ(platform.help().viewer(), viewer);
  EXPECT_TRUE(qtViewer->window().isVisible());
  EXPECT_EQ(qtViewer->window().parentWidget(), nullptr);  // a window with no owner
  qtViewer->window().close();
}

}  // namespace
}  // namespace varnel
