#include <gtest/gtest.h>

#include <QImage>
#include <QListWidget>
#include <QPixmap>
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

// Whether a resource came with anything: a picture, bytes or text.
bool holdsSomething(const QVariant& resource) {
  if (resource.typeId() == QMetaType::QPixmap) return !resource.value<QPixmap>().isNull();
  if (resource.typeId() == QMetaType::QImage) return !resource.value<QImage>().isNull();
  return !resource.toByteArray().isEmpty();
}

// Pages show what the help file holds and nothing else: a page naming a
// local file (say file:///dev/zero) or a web address gets nothing, and a
// link there goes nowhere.
TEST(HelpWindow, TakesNothingFromOutsideTheHelpFile) {
  qtui::HelpWindow window;
  ASSERT_TRUE(window.open(builtHelp()));
  test::TempDir dir;
  QImage picture(4, 4, QImage::Format_RGB32);
  picture.fill(Qt::red);
  ASSERT_TRUE(picture.save(QString::fromStdString(dir.file("local.png"))));
  test::writeFile(dir.file("local.html"), test::Bytes{'<', 'p', '>', 'h', 'i'});
  const QUrl localPicture = QUrl::fromLocalFile(QString::fromStdString(dir.file("local.png")));
  const QUrl localPage = QUrl::fromLocalFile(QString::fromStdString(dir.file("local.html")));
  struct Case {
    QTextDocument::ResourceType type;
    QUrl url;
    bool loads;
  };
  for (const Case& c :
       {Case{QTextDocument::ImageResource, QUrl("chm:/images/main-window.png"), true},
        Case{QTextDocument::ImageResource, localPicture, false},
        Case{QTextDocument::HtmlResource, localPage, false},
        Case{QTextDocument::StyleSheetResource, localPage, false},
        Case{QTextDocument::ImageResource, QUrl("http://localhost/a.png"), false}}) {
    // As a page asks for it: through the document, which reads local files
    // itself when the browser gives nothing.
    EXPECT_EQ(holdsSomething(window.browser()->document()->resource(c.type, c.url)), c.loads)
        << c.url.toString().toStdString();
  }
  window.browser()->setSource(localPage);
  EXPECT_EQ(window.browser()->source(), QUrl("chm:/index.html"));
  EXPECT_TRUE(window.browser()->toPlainText().contains("Varnel edits the video BIOS"));
}

TEST(HelpWindow, MissingOrCorruptFileOpensNothing) {
  qtui::HelpWindow window;
  test::TempDir dir;
  EXPECT_FALSE(window.open(dir.file("Varnel.chm")));
  test::writeFile(dir.file("bad.chm"), test::Bytes(4096, 0x42));
  EXPECT_FALSE(window.open(dir.file("bad.chm")));
}

TEST(QtHelp, TwoRequestsShareOneViewerAndFailuresAreReported) {
  qtui::QtPlatform platform;
  test::TempDir dir;
  EXPECT_FALSE(platform.showHelp(dir.file("missing.chm")));
  const ui::HelpViewer* viewer = platform.help().viewer();
  ASSERT_NE(viewer, nullptr);
  auto* qtViewer = const_cast<qtui::QtHelpViewer*>(dynamic_cast<const qtui::QtHelpViewer*>(viewer));
  EXPECT_FALSE(qtViewer->window().isVisible());
  EXPECT_TRUE(platform.showHelp(builtHelp()));
  EXPECT_EQ(platform.help().viewer(), viewer);
  EXPECT_TRUE(qtViewer->window().isVisible());
  EXPECT_EQ(qtViewer->window().parentWidget(), nullptr);  // a window with no owner
  qtViewer->window().close();
}

}  // namespace
}  // namespace varnel
