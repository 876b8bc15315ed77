#include <gtest/gtest.h>

#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "support/rom_builder.h"
#include "support/test_paths.h"
#include "ui/control_ids.h"
#include "ui/qt/font_dialogs_qt.h"

namespace varnel {
namespace {

using namespace ui;

// Acts on the modal dialog once it is up, like a user would.
void whenDialogOpens(std::function<void(QWidget*)> act) {
  QTimer::singleShot(0, [act] {
    QWidget* dialog = QApplication::activeModalWidget();
    ASSERT_NE(dialog, nullptr);
    act(dialog);
  });
}

QPushButton* button(QWidget* dialog, const QString& text) {
  for (auto* candidate : dialog->findChildren<QPushButton*>()) {
    if (candidate->text() == text) return candidate;
  }
  return nullptr;
}

const CpiFontEntry kEntries[] = {{850, 8, 16, 100}, {437, 8, 16, 4202}};

TEST(FontSelectDialogQt, ReturnsTheSelectedLineOnOk) {
  bool okWasDisabled = false;
  QStringList lines;
  whenDialogOpens([&](QWidget* dialog) {
    auto* list = dialog->findChild<QListWidget*>();
    for (int i = 0; i < list->count(); ++i)
      lines << list->item(i)->text();
    okWasDisabled = !button(dialog, "OK")->isEnabled();
    list->setCurrentRow(1);  // what a click on the second line does
    QTest::mouseClick(button(dialog, "OK"), Qt::LeftButton);
  });
  EXPECT_EQ(qtui::runFontSelectDialog(nullptr, kEntries, 2), 1);
  EXPECT_TRUE(okWasDisabled);
  EXPECT_EQ(lines, (QStringList{"CodePage 850, 8x16 font", "CodePage 437, 8x16 font"}));
}

TEST(FontSelectDialogQt, CancelReturnsNothing) {
  whenDialogOpens([](QWidget* dialog) {
    dialog->findChild<QListWidget*>()->setCurrentRow(0);
    QTest::mouseClick(button(dialog, "Cancel"), Qt::LeftButton);
  });
  EXPECT_EQ(qtui::runFontSelectDialog(nullptr, kEntries, 2), -1);
}

TEST(FontViewDialogQt, PaintsEveryGlyphPixelForPixel) {
  auto image = test::loadImage(test::readFile(test::samplePath()));
  // Glyph 0 and glyph 255 of both fonts: one pixel at the left of row 0,
  // one at the right of row 1; the sample's glyph 0 is blank.
  for (int code : {0, 255}) {
    for (const auto& [offset, rows] :
         {std::pair{image->font8x8Offset, 8}, std::pair{image->font8x16Offset, 16}}) {
      uint8_t* glyph = &image->bytes[static_cast<size_t>(offset + rows * code)];
      std::fill(glyph, glyph + rows, 0);
      glyph[0] = 0x80;
      glyph[1] = 0x01;
    }
  }
  qtui::FontViewDialog dialog(nullptr);
  dialog.setImage(image.get());
  const QImage shot = dialog.grab().toImage();
  const QColor black(0, 0, 0);
  for (int id : {kIdGrid8x8, kIdGrid8x16}) {
    SCOPED_TRACE(id);
    const QRect rect = dialog.built().widgets.at(id)->geometry();
    const GlyphGrid grid = layoutGlyphGrid(
        {rect.left(), rect.top(), rect.left() + rect.width(), rect.top() + rect.height()});
    for (const auto& [column, row] : {std::pair{0, 0}, std::pair{31, 7}}) {
      const int x = grid.originX + column * grid.cellWidth;
      const int y = grid.originY + row * grid.cellHeight;
      EXPECT_EQ(shot.pixelColor(x, y), black);
      EXPECT_NE(shot.pixelColor(x + 1, y), black);
      EXPECT_EQ(shot.pixelColor(x + 7, y + 1), black);
      EXPECT_NE(shot.pixelColor(x, y + 1), black);
      EXPECT_NE(shot.pixelColor(x, y + 2), black);
    }
  }
}

TEST(FontViewDialogQt, LayoutFollowsItsTable) {
  qtui::FontViewDialog dialog(nullptr);
  EXPECT_EQ(dialog.windowTitle(), "ATi BIOS Fonts View");
  EXPECT_FALSE(dialog.built().widgets.at(kIdGrid8x8)->isVisible());
  EXPECT_FALSE(dialog.built().widgets.at(kIdGrid8x8)->isEnabled());
  auto* ok = qobject_cast<QPushButton*>(dialog.built().widgets.at(kIdOk));
  ASSERT_NE(ok, nullptr);
  EXPECT_TRUE(ok->isDefault());
}

}  // namespace
}  // namespace varnel
