#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <vector>

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPalette>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include "qt/modal_dialog.h"
#include "support/rom_builder.h"
#include "support/test_paths.h"
#include "ui/control_ids.h"
#include "ui/qt/font_dialogs_qt.h"

namespace varnel {
namespace {

using namespace ui;

using test::buttonNamed;

const CpiFontEntry kEntries[] = {{850, 8, 16, 100}, {437, 8, 16, 4202}};

void clickLine(QListWidget* list, int row) {
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                    list->visualItemRect(list->item(row)).center());
}

TEST(FontSelectDialogQt, NothingIsChosenUntilTheUserSelectsALine) {
  struct Case {
    const char* how;
    std::function<void(QListWidget*)> select;
    int chosen;
  };
  const Case cases[] = {
      {"click on the second line", [](QListWidget* list) { clickLine(list, 1); }, 1},
      {"Down", [](QListWidget*) { test::pressKey(Qt::Key_Down); }, 0},
      {"Down, Down",
       [](QListWidget*) {
         test::pressKey(Qt::Key_Down);
         test::pressKey(Qt::Key_Down);
       },
       1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.how);
    QStringList lines;
    test::whenModalOpens([&](QWidget* dialog) {
      EXPECT_EQ(dialog->windowTitle(), "Select font...");
      auto* list = dialog->findChild<QListWidget*>();
      for (int i = 0; i < list->count(); ++i)
        lines << list->item(i)->text();
      EXPECT_EQ(QApplication::focusWidget(), list);
      EXPECT_TRUE(list->selectedItems().isEmpty());
      EXPECT_FALSE(buttonNamed(dialog, "OK")->isEnabled());
      // A stray Enter before any choice does nothing.
      test::pressKey(Qt::Key_Return);
      QCoreApplication::processEvents();
      EXPECT_TRUE(dialog->isVisible());
      c.select(list);
      EXPECT_TRUE(buttonNamed(dialog, "OK")->isEnabled());
      test::pressKey(Qt::Key_Return);
      if (dialog->isVisible()) dialog->close();  // let a failing case end
    });
    EXPECT_EQ(qtui::runFontSelectDialog(nullptr, kEntries, 2, {}), c.chosen);
    EXPECT_EQ(lines, (QStringList{"CodePage 850, 8x16 font", "CodePage 437, 8x16 font"}));
  }
}

TEST(FontSelectDialogQt, CancelReturnsNothing) {
  test::whenModalOpens([](QWidget* dialog) {
    clickLine(dialog->findChild<QListWidget*>(), 0);
    QTest::mouseClick(buttonNamed(dialog, "Cancel"), Qt::LeftButton);
  });
  EXPECT_EQ(qtui::runFontSelectDialog(nullptr, kEntries, 2, {}), -1);
}

// Font 0 sets the leftmost pixel of each glyph's row 0, font 1 the
// rightmost of row 1; font 2 cannot be read.
std::vector<uint8_t> markedFont(int index) {
  if (index == 2) throw StreamError("the font's data ends before its last glyph");
  std::vector<uint8_t> glyphs(4096, 0);
  for (size_t k = 0; k < 256; ++k)
    glyphs[16 * k + static_cast<size_t>(index)] = index == 0 ? 0x80 : 0x01;
  return glyphs;
}

// Which marked font the screen shows in the preview (-1: neither), judged
// by the first and the last glyph; -2 when the glyphs disagree.
int fontOnScreen(QWidget* dialog) {
  QCoreApplication::processEvents();
  const QImage shot = dialog->screen()->grabWindow(dialog->winId()).toImage();
  const QRect rect = dialog->findChild<QLineEdit*>()->geometry();
  const GlyphGrid grid = layoutGlyphGrid(
      {rect.left(), rect.top(), rect.left() + rect.width(), rect.top() + rect.height()}, 16);
  const int p = grid.pixelSize;
  std::set<int> shown;
  for (const int code : {0, 255}) {
    const int x = grid.originX + (code % 32) * grid.cellWidth;
    const int y = grid.originY + (code / 32) * grid.cellHeight;
    const bool font0 = shot.pixelColor(x, y) == Qt::black;
    const bool font1 = shot.pixelColor(x + 7 * p, y + p) == Qt::black;
    shown.insert(font0 && !font1 ? 0 : font1 && !font0 ? 1 : !font0 && !font1 ? -1 : -2);
  }
  return shown.size() == 1 ? *shown.begin() : -2;
}

TEST(FontSelectDialogQt, PreviewFollowsTheSelectedLine) {
  const CpiFontEntry entries[] = {{850, 8, 16, 100}, {437, 8, 16, 4202}, {852, 8, 16, 8304}};
  struct Step {
    const char* how;
    std::function<void(QListWidget*)> act;
    int shown;
  };
  const Step steps[] = {
      {"nothing selected", [](QListWidget*) {}, -1},
      {"Down", [](QListWidget*) { test::pressKey(Qt::Key_Down); }, 0},
      {"Down again", [](QListWidget*) { test::pressKey(Qt::Key_Down); }, 1},
      {"Down to an unreadable font", [](QListWidget*) { test::pressKey(Qt::Key_Down); }, -1},
      {"click on the first line", [](QListWidget* list) { clickLine(list, 0); }, 0},
      {"Ctrl and a click deselect it",
       [](QListWidget* list) {
         QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier,
                           list->visualItemRect(list->item(0)).center());
       },
       -1},
  };
  test::whenModalOpens([&](QWidget* dialog) {
    auto* list = dialog->findChild<QListWidget*>();
    for (const Step& step : steps) {
      step.act(list);
      EXPECT_EQ(fontOnScreen(dialog), step.shown) << step.how;
    }
    dialog->close();
  });
  EXPECT_EQ(qtui::runFontSelectDialog(nullptr, entries, 3, markedFont), -1);
}

// The contrast of two colours as the accessibility guidelines define it,
// from 1 (none) to 21 (black on white).
double contrast(const QColor& a, const QColor& b) {
  auto luminance = [](const QColor& c) {
    auto channel = [](double v) {
      return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
  };
  const double la = luminance(a) + 0.05;
  const double lb = luminance(b) + 0.05;
  return std::max(la, lb) / std::min(la, lb);
}

QPalette darkPalette() {
  QPalette palette;
  palette.setColor(QPalette::Window, QColor(0x2b, 0x2b, 0x2b));
  palette.setColor(QPalette::WindowText, QColor(0xe0, 0xe0, 0xe0));
  palette.setColor(QPalette::Button, QColor(0x35, 0x35, 0x35));
  palette.setColor(QPalette::ButtonText, QColor(0xe0, 0xe0, 0xe0));
  return palette;
}

TEST(FontViewDialogQt, PaintsEveryGlyphPixelForPixelReadableInAnyTheme) {
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
  for (const auto& [theme, palette] :
       {std::pair{"default", QApplication::palette()}, std::pair{"dark", darkPalette()}}) {
    SCOPED_TRACE(theme);
    qtui::FontViewDialog dialog(nullptr);
    dialog.setPalette(palette);
    dialog.setImage(image.get());
    dialog.show();
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    const QImage shot = dialog.grab().toImage();
    const QColor black(0, 0, 0);
    for (int id : {kIdGrid8x8, kIdGrid8x16}) {
      SCOPED_TRACE(id);
      const QRect rect = dialog.built().widgets.at(id)->geometry();
      const GlyphGrid grid = layoutGlyphGrid(
          {rect.left(), rect.top(), rect.left() + rect.width(), rect.top() + rect.height()},
          id == kIdGrid8x8 ? 8 : 16);
      const int p = grid.pixelSize;
      for (const auto& [column, row] : {std::pair{0, 0}, std::pair{31, 7}}) {
        const int x = grid.originX + column * grid.cellWidth;
        const int y = grid.originY + row * grid.cellHeight;
        EXPECT_EQ(shot.pixelColor(x, y), black);
        EXPECT_EQ(shot.pixelColor(x + p - 1, y + p - 1), black);
        EXPECT_NE(shot.pixelColor(x + p, y), black);
        EXPECT_EQ(shot.pixelColor(x + 7 * p, y + p), black);
        EXPECT_NE(shot.pixelColor(x, y + p), black);
        EXPECT_NE(shot.pixelColor(x, y + 2 * p), black);
        // The clear pixels around the glyph's own pixels stand out from them.
        for (const QPoint clear :
             {QPoint(x + p, y), QPoint(x + 6 * p, y + p), QPoint(x, y + 2 * p)}) {
          EXPECT_GE(contrast(shot.pixelColor(x, y), shot.pixelColor(clear)), 7.0)
              << clear.x() << "," << clear.y();
        }
      }
    }
  }
}

TEST(FontViewDialogQt, LayoutFollowsItsDialogFile) {
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
