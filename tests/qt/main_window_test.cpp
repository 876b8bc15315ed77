// The Qt window itself: every control of its layout, its keys, and
// the user's actions reaching the editor.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <cctype>
#include <functional>
#include <utility>
#include <vector>

#include "qt/modal_dialog.h"
#include "support/keyboard_table.h"
#include "support/rom_builder.h"
#include "support/test_paths.h"
#include "ui/qt/help_window.h"
#include "ui/qt/main_window.h"
#include "ui/qt/narrow_text.h"

namespace varnel {
namespace {

using namespace ui;
using test::KeyboardCase;
using test::keyboardCases;
using test::PressRecorder;
using test::Stroke;

const Message& kSaveQuestion = message(MessageId::kSaveChanges);

// A platform whose file dialogs answer from a list and whose messages are
// recorded, so that no modal window waits for a user.
class TestPlatform : public qtui::QtPlatform {
 public:
  std::vector<std::string> answers;
  int fileDialogs = 0;
  std::vector<std::string> messages;
  std::vector<int> answers_;  // to questions, in order; none: Cancel
  std::optional<std::string> fileDialog(const FileDialogRequest&) override {
    ++fileDialogs;
    if (answers.empty()) return std::nullopt;
    std::string answer = answers.front();
    answers.erase(answers.begin());
    return answer;
  }
  int messageBox(const Message& message, const std::string& text) override {
    // A save's list of changes is confirmed.
    if (isSaveConfirmation(message.id)) return kIdYes;
    messages.push_back(text);
    if ((message.style & 0x0F) != kMbYesNoCancel) return 1;
    if (answers_.empty()) return kIdCancel;
    const int answer = answers_.front();
    answers_.erase(answers_.begin());
    return answer;
  }
  // The help file the build makes, beside the tests.
  std::string programDirectory() override { return test::binaryDir() + "/"; }
};

class MainWindowTest : public testing::Test {
 protected:
  MainWindowTest() : window(platform) { window.initialize(); }
  QWidget* widget(int id) { return window.controls().widget(id); }
  void loadSample() {
    window.editor().LoadBiosFile(test::samplePath(), false);
    ASSERT_TRUE(window.editor().document.isOpen());
  }

  TestPlatform platform;
  qtui::MainWindow window;
};

bool hasKind(QWidget* widget, ControlKind kind) {
  switch (kind) {
    case ControlKind::kLabel:
      return qobject_cast<QLabel*>(widget) != nullptr;
    case ControlKind::kPushButton:
    case ControlKind::kDefaultButton:
      return qobject_cast<QPushButton*>(widget) != nullptr;
    case ControlKind::kReadOnlyEdit: {
      auto* edit = qobject_cast<QLineEdit*>(widget);
      return edit != nullptr && edit->isReadOnly();
    }
    case ControlKind::kNumberEdit:
    case ControlKind::kEdit:
      return qobject_cast<QLineEdit*>(widget) != nullptr;
    case ControlKind::kTrackbar:
      return qobject_cast<QSlider*>(widget) != nullptr;
    case ControlKind::kCheckBox:
      return qobject_cast<QCheckBox*>(widget) != nullptr;
    case ControlKind::kDropDownList: {
      auto* combo = qobject_cast<QComboBox*>(widget);
      return combo != nullptr && !combo->isEditable();
    }
    case ControlKind::kListBox:
      return qobject_cast<QListWidget*>(widget) != nullptr;
    case ControlKind::kGroupBox:
      return qobject_cast<QGroupBox*>(widget) != nullptr;
  }
  return false;
}

QString captionOf(QWidget* widget) {
  if (auto* label = qobject_cast<QLabel*>(widget)) return label->text();
  if (auto* button = qobject_cast<QAbstractButton*>(widget)) return button->text();
  return "";
}

TEST_F(MainWindowTest, HasEveryControlOfItsLayoutInPlace) {
  const DialogTemplate& layout = mainDialogTemplate();
  const auto& all = window.built().all;
  ASSERT_EQ(all.size(), layout.controls.size());
  const qtui::DialogUnits units(window.dialog().font());
  for (size_t i = 0; i < all.size(); ++i) {
    const ControlTemplate& control = layout.controls[i];
    SCOPED_TRACE(control.caption + " " + std::to_string(control.id));
    EXPECT_TRUE(hasKind(all[i], control.kind));
    if (control.kind == ControlKind::kLabel || control.kind == ControlKind::kPushButton ||
        control.kind == ControlKind::kCheckBox) {
      EXPECT_EQ(qtui::toNarrow(captionOf(all[i])), control.caption);
    }
    const QRect expected = units.rect(control.x, control.y, control.width, control.height);
    EXPECT_EQ(all[i]->geometry().topLeft(), expected.topLeft());
    EXPECT_EQ(all[i]->width(), expected.width());
    if (control.kind != ControlKind::kDropDownList) {
      EXPECT_EQ(all[i]->height(), expected.height());
    }
    if (control.id != -1) {
      EXPECT_EQ(window.controls().widget(control.id), all[i]);
    }
  }
  EXPECT_EQ(window.dialog().size(), QSize(units.x(layout.width), units.y(layout.height)));
}

TEST_F(MainWindowTest, TitleIconAndDefaultButton) {
  EXPECT_EQ(window.dialog().windowTitle(), "Varnel by Pell Ardrake aka Quill88 - Version 1.0");
  // Every picture of the icon is there and loads, none scaled from another.
  const QIcon icon = window.dialog().windowIcon();
  using Size = std::pair<int, int>;
  const auto sizeOf = [](const QSize& size) { return Size(size.width(), size.height()); };
  const std::vector<Size> sizes{{16, 16}, {24, 24}, {32, 32}, {48, 48}, {256, 256}};
  std::vector<Size> available;
  for (const QSize& size : icon.availableSizes())
    available.push_back(sizeOf(size));
  EXPECT_EQ(available, sizes);
  for (const auto& [width, height] : sizes) {
    EXPECT_EQ(sizeOf(icon.pixmap(width, height).size()), Size(width, height));
  }
  EXPECT_TRUE(qobject_cast<QPushButton*>(widget(kIdSave))->isDefault());
  EXPECT_FALSE(qobject_cast<QPushButton*>(widget(kIdLoad))->isDefault());
  // A window of one size offers no maximise button.
  EXPECT_EQ(window.dialog().minimumSize(), window.dialog().maximumSize());
  EXPECT_FALSE(window.dialog().windowFlags() & Qt::WindowMaximizeButtonHint);
}

// Started with a file, the window is on show with it loaded; one it
// refuses leaves the window empty with the editor's message.
TEST(MainWindowStart, StartsWithTheFileItWasGiven) {
  struct Case {
    std::string file;
    bool loaded;
    size_t messages;
  };
  for (const Case& c : {Case{test::samplePath(), true, 0}, Case{"/nonexistent/x.rom", false, 1}}) {
    TestPlatform platform;
    qtui::MainWindow window(platform);
    bool loadedOnShow = false;
    QTimer::singleShot(0, [&] {
      loadedOnShow = window.dialog().isVisible() && window.editor().document.isOpen();
      window.dialog().reject();
    });
    window.exec(c.file);
    EXPECT_EQ(loadedOnShow, c.loaded) << c.file;
    EXPECT_EQ(platform.messages.size(), c.messages) << c.file;
  }
}

// A file dropped anywhere on the window is loaded as Load... loads it;
// a drag without a local file is left to the control under the mouse.
TEST_F(MainWindowTest, ADroppedFileIsLoaded) {
  window.dialog().show();
  QWidget* target = widget(kIdFileName);
  const QPoint at = target->rect().center();
  QMimeData text;
  text.setText("not a file");
  QDragEnterEvent refused(at, Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &refused);
  EXPECT_FALSE(refused.isAccepted());

  QMimeData file;
  file.setUrls({QUrl("https://example.org/x.rom"),
                QUrl::fromLocalFile(QString::fromStdString(test::samplePath()))});
  QDragEnterEvent enter(at, Qt::CopyAction, &file, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(at), Qt::CopyAction, &file, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &drop);
  EXPECT_TRUE(window.editor().document.isOpen());
  EXPECT_EQ(window.editor().document.fileName(), test::samplePath());
}

TEST_F(MainWindowTest, EscapeAndExitClose) {
  window.dialog().show();
  QTest::keyClick(&window.dialog(), Qt::Key_Escape);
  EXPECT_FALSE(window.dialog().isVisible());
  EXPECT_EQ(window.dialog().result(), QDialog::Rejected);
  window.dialog().show();
  QTest::mouseClick(widget(kIdCancel), Qt::LeftButton);
  EXPECT_FALSE(window.dialog().isVisible());
}

TEST_F(MainWindowTest, UserActionsReachTheEditor) {
  loadSample();
  auto* core = qobject_cast<QSlider*>(widget(kIdCoreSlider));
  QTest::keyClick(core, Qt::Key_PageUp);
  EXPECT_EQ(window.controls().text(kIdCoreEdit), "300");
  QTest::keyClick(core, Qt::Key_Right);
  EXPECT_EQ(window.controls().text(kIdCoreEdit), "301");
  EXPECT_EQ(window.editor().image.wordAt(window.editor().image.defaultCoreClock), 30100);

  QTest::mouseClick(widget(kIdSyncClocks), Qt::LeftButton);
  EXPECT_TRUE(window.editor().document.clocksSynchronized());
  EXPECT_EQ(window.controls().trackbarPosition(kIdMemorySlider), 301);
  EXPECT_FALSE(widget(kIdMemorySlider)->isEnabled());

  auto* cas = qobject_cast<QComboBox*>(widget(kIdCas));
  QTest::keyClick(cas, Qt::Key_Down);
  EXPECT_EQ(window.editor().image.casIndex, 3);
}

// Ctrl+Z undoes even while a clock edit has the focus (its typed clock is
// taken first, as one step); Ctrl+Y and Ctrl+Shift+Z redo.
TEST_F(MainWindowTest, UndoAndRedoKeysWorkFromAnEdit) {
  loadSample();
  window.dialog().show();
  window.dialog().activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window.dialog()));
  auto* edit = qobject_cast<QLineEdit*>(widget(kIdCoreEdit));
  edit->setFocus();
  ASSERT_TRUE(QTest::qWaitFor([&] { return edit->hasFocus(); }, 2000));
  edit->selectAll();
  QTest::keyClicks(edit, "183");
  QWindow* keys = window.dialog().windowHandle();
  struct Step {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    const char* shown;
  };
  for (const Step& step :
       {Step{Qt::Key_Z, Qt::ControlModifier, "275"}, Step{Qt::Key_Y, Qt::ControlModifier, "183"},
        Step{Qt::Key_Z, Qt::ControlModifier, "275"},
        Step{Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier, "183"}}) {
    QTest::keyClick(keys, step.key, step.modifiers);
    // A shortcut clicks its button with a short animation.
    EXPECT_TRUE(QTest::qWaitFor([&] { return edit->text() == step.shown; }, 2000))
        << step.shown << " " << edit->text().toStdString();
    // The editor's history moved, not the edit's own.
    EXPECT_NE(widget(kIdUndo)->isEnabled(), widget(kIdRedo)->isEnabled()) << step.shown;
  }
}

// How the user leaves a clock edit in the window.
enum class Leaving { kTab, kEnter, kClickElsewhere };

struct TypedClock {
  const char* keys;  // typed over the selected text; "^V" pastes the clipboard
  const char* clipboard;
  Leaving leaving;
  const char* whileTyping;
  int taken;
};

void PrintTo(const TypedClock& c, std::ostream* out) {
  *out << c.keys;
}

class TypedClockInWindow : public MainWindowTest, public testing::WithParamInterface<TypedClock> {};

TEST_P(TypedClockInWindow, StaysAsTypedUntilTheEditIsLeft) {
  const TypedClock& t = GetParam();
  loadSample();
  window.dialog().show();
  window.dialog().activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window.dialog()));
  auto* edit = qobject_cast<QLineEdit*>(widget(kIdCoreEdit));
  edit->setFocus();
  ASSERT_TRUE(QTest::qWaitFor([&] { return edit->hasFocus(); }, 2000));
  edit->selectAll();
  if (std::string(t.keys) == "^V") {
    QGuiApplication::clipboard()->setText(t.clipboard);
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
  } else {
    QTest::keyClicks(edit, t.keys);
  }
  EXPECT_EQ(edit->text().toStdString(), t.whileTyping);
  switch (t.leaving) {
    case Leaving::kTab:
      QTest::keyClick(edit, Qt::Key_Tab);
      break;
    case Leaving::kEnter:
      QTest::keyClick(edit, Qt::Key_Return);
      break;
    case Leaving::kClickElsewhere:
      QTest::mouseClick(widget(kIdMemoryEdit), Qt::LeftButton);
      break;
  }
  EXPECT_EQ(edit->text().toStdString(), std::to_string(t.taken));
  EXPECT_EQ(window.controls().trackbarPosition(kIdCoreSlider), t.taken);
  const BiosImage& image = window.editor().image;
  EXPECT_EQ(image.wordAt(image.defaultCoreClock), t.taken * 100);
  // Enter takes the value and presses no button.
  EXPECT_EQ(platform.fileDialogs, 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, TypedClockInWindow,
                         testing::Values(TypedClock{"183", "", Leaving::kTab, "183", 183},
                                         TypedClock{"30", "", Leaving::kTab, "30", 50},
                                         TypedClock{"^V", "600", Leaving::kTab, "600", 575},
                                         TypedClock{"2a-5.0", "", Leaving::kEnter, "250", 250},
                                         TypedClock{"300", "", Leaving::kClickElsewhere, "300",
                                                    300}));

// What ends the window, with an edit made: the question comes first.
struct Ending {
  const char* name;
  std::function<void(qtui::MainWindow&)> end;
};

void PrintTo(const Ending& c, std::ostream* out) {
  *out << c.name;
}

class EndingWithChanges : public MainWindowTest, public testing::WithParamInterface<Ending> {};

TEST_P(EndingWithChanges, AsksAndCancelStays) {
  loadSample();
  window.dialog().show();
  window.dialog().activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window.dialog()));
  window.controls().widget(kIdCoreSlider)->setFocus();
  QTest::keyClick(widget(kIdCoreSlider), Qt::Key_PageUp);
  ASSERT_TRUE(window.editor().HasUnsavedChanges());

  GetParam().end(window);  // answered Cancel
  EXPECT_EQ(platform.messages, (std::vector<std::string>{kSaveQuestion.text}));
  EXPECT_TRUE(window.dialog().isVisible());

  platform.answers_ = {kIdNo};
  GetParam().end(window);
  EXPECT_EQ(platform.messages.size(), 2u);
  EXPECT_FALSE(window.dialog().isVisible());
  EXPECT_EQ(window.dialog().result(), QDialog::Rejected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EndingWithChanges,
    testing::Values(Ending{"Escape", [](auto& w) { QTest::keyClick(&w.dialog(), Qt::Key_Escape); }},
                    Ending{"ExitButton",
                           [](auto& w) {
                             QTest::mouseClick(w.controls().widget(kIdCancel), Qt::LeftButton);
                           }},
                    Ending{"CloseBox", [](auto& w) { w.dialog().close(); }}),
    [](const testing::TestParamInfo<Ending>& info) { return std::string(info.param.name); });

TEST_F(MainWindowTest, EscapeInAnOpenListOnlyClosesTheList) {
  loadSample();
  window.dialog().show();
  window.dialog().activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window.dialog()));
  QTest::keyClick(widget(kIdCoreSlider), Qt::Key_PageUp);  // a change to lose
  auto* cas = qobject_cast<QComboBox*>(widget(kIdCas));
  cas->setFocus();
  cas->showPopup();
  ASSERT_TRUE(QTest::qWaitFor([] { return QApplication::activePopupWidget() != nullptr; }, 2000));
  QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape);
  EXPECT_TRUE(QTest::qWaitFor([] { return QApplication::activePopupWidget() == nullptr; }, 2000));
  EXPECT_TRUE(window.dialog().isVisible());
  EXPECT_TRUE(platform.messages.empty());
}

// The keyboard on the window shown and active, every control enabled and
// its events going to a recorder: the table every front end runs.
class KeyboardOnTheWindow : public MainWindowTest,
                            public testing::WithParamInterface<KeyboardCase> {
 protected:
  void press(const Stroke& stroke) {
    QWidget* focused = QApplication::focusWidget();
    ASSERT_NE(focused, nullptr);
    switch (stroke.kind) {
      case Stroke::kTab:
        QTest::keyClick(focused, Qt::Key_Tab);
        break;
      case Stroke::kShiftTab:
        QTest::keyClick(focused, Qt::Key_Backtab, Qt::ShiftModifier);
        break;
      case Stroke::kEnter:
        QTest::keyClick(focused, Qt::Key_Return);
        break;
      case Stroke::kAlt: {
        const char letter = stroke.letter;
        const int key = std::isdigit(static_cast<unsigned char>(letter))
                            ? Qt::Key_0 + (letter - '0')
                            : Qt::Key_A + (letter - 'a');
        QTest::keyClick(focused, static_cast<Qt::Key>(key), Qt::AltModifier);
        break;
      }
    }
  }
};

TEST_F(MainWindowTest, TheFocusStartsOnLoad) {
  window.dialog().show();
  window.dialog().activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window.dialog()));
  EXPECT_EQ(QApplication::focusWidget(), widget(kIdLoad));
}

TEST_P(KeyboardOnTheWindow, FollowsTheTable) {
  const KeyboardCase& c = GetParam();
  PressRecorder recorder;
  window.controls().setEvents(&recorder);
  for (const ControlTemplate& control : mainDialogTemplate().controls) {
    if (control.id != -1) window.controls().enable(control.id, true);
  }
  window.dialog().show();
  window.dialog().activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window.dialog()));
  widget(c.start)->setFocus();
  ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == widget(c.start); }));
  for (const Stroke& stroke : c.strokes)
    press(stroke);
  // A key of a button clicks it with a short animation.
  (void)QTest::qWaitFor([&] { return recorder.pressed.size() >= c.pressed.size(); }, 1000);
  QTest::qWait(20);
  if (c.focusAfter != 0) {
    EXPECT_EQ(QApplication::focusWidget(), widget(c.focusAfter));
  }
  EXPECT_EQ(recorder.pressed, c.pressed);
  window.controls().setEvents(nullptr);
}

INSTANTIATE_TEST_SUITE_P(Keys, KeyboardOnTheWindow, testing::ValuesIn(keyboardCases()),
                         [](const testing::TestParamInfo<KeyboardCase>& info) {
                           return info.param.name;
                         });

// The real question box: Yes is the default, Escape and the close box mean
// Cancel.
struct Answering {
  std::function<void(QMessageBox&)> act;
  int result;
};

TEST(QtPlatformTest, SaveQuestionAnswersYesNoOrCancel) {
  const std::vector<Answering> cases = {
      {[](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Return); }, kIdYes},
      {[](QMessageBox& box) { box.button(QMessageBox::No)->click(); }, kIdNo},
      {[](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Escape); }, kIdCancel},
      {[](QMessageBox& box) { box.close(); }, kIdCancel},
  };
  qtui::QtPlatform platform;
  for (size_t i = 0; i < cases.size(); ++i) {
    QTimer::singleShot(0, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      ASSERT_NE(box, nullptr);
      EXPECT_EQ(box->text().toStdString(), kSaveQuestion.text);
      cases[i].act(*box);
    });
    EXPECT_EQ(platform.messageBox(kSaveQuestion, kSaveQuestion.text), cases[i].result) << i;
  }
}

qtui::HelpWindow* helpWindow(const qtui::QtPlatform& platform) {
  auto* viewer = dynamic_cast<qtui::QtHelpViewer*>(platform.help().viewer());
  return viewer != nullptr ? &viewer->window() : nullptr;
}

bool isInFront(QWidget* window) {
  return window != nullptr && window->isVisible() &&
         QTest::qWaitForWindowActive(window->windowHandle());
}

TEST_F(MainWindowTest, HelpTakesInputAndComesToTheFrontWhileTheEditorRuns) {
  QTimer::singleShot(0, [&] {
    window.dialog().activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&window.dialog()));
    widget(kIdLoad)->setFocus();
    test::pressKey(Qt::Key_F1);
    qtui::HelpWindow* help = helpWindow(platform);
    EXPECT_TRUE(isInFront(help));
    // Nothing blocks it: a key through the window system reaches it.
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    if (help != nullptr) {
      help->contents()->setFocus();
      QTest::keyClick(help->windowHandle(), Qt::Key_Escape);
      EXPECT_FALSE(help->isVisible());
    }
    // Each request brings it back to the front, by the button or by F1.
    QTest::mouseClick(widget(kIdHelp), Qt::LeftButton);
    EXPECT_TRUE(isInFront(help));
    window.dialog().activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&window.dialog()));
    test::pressKey(Qt::Key_F1);
    EXPECT_TRUE(isInFront(help));
    if (help != nullptr) help->close();
    window.dialog().reject();
  });
  window.exec();
}

TEST(QtPlatformTest, EnterAnswersTheDefaultButtonOfAQuestion) {
  struct Case {
    unsigned style;
    int answer;
  };
  for (const Case& c : {Case{kMbYesNo | kMbIconQuestion, kIdYes},
                        Case{kMbYesNo | kMbIconQuestion | kMbDefButton2, kIdNo}}) {
    SCOPED_TRACE(c.style);
    qtui::QtPlatform platform;
    test::whenModalOpens([](QWidget*) { test::pressKey(Qt::Key_Return); });
    const Message question{MessageId::kImplausibleFont8x8, "Load it?", "Warning", c.style,
                           kExitRefused};
    EXPECT_EQ(platform.messageBox(question, question.text), c.answer);
  }
}

// A short text leaves the box wide enough for its caption beside the title
// bar's icon and buttons (it was "E… r" for "Invalid file").
TEST(QtPlatformTest, AMessageBoxIsWideEnoughForItsCaption) {
  for (const Message& message :
       {Message{MessageId::kInvalidFile, "Invalid file", "Error", kMbIconError, kExitRefused},
        Message{MessageId::kInvalidFile, "x", "A caption much longer than the text of the box",
                kMbOk, kExitRefused},
        Message{MessageId::kInvalidFile, "x", "A caption much longer than the text, with an icon",
                kMbIconError, kExitRefused}}) {
    SCOPED_TRACE(message.caption);
    qtui::QtPlatform platform;
    int width = 0;
    test::whenModalOpens([&](QWidget* box) {
      width = box->width();
      test::pressKey(Qt::Key_Return);
    });
    platform.messageBox(message, message.text);
    QFont title = QApplication::font();
    title.setBold(true);
    EXPECT_GE(width, QFontMetrics(title).horizontalAdvance(message.caption) + 100);
  }
}

// A typed name that names a file means that file, opening or saving (a
// dump is often named without an extension); only a name that names no file
// gets the default extension. Saving over a file asks first.
TEST(QtPlatformTest, ATypedNameMeansThatFileFirst) {
  test::TempDir dir;
  for (const char* name : {"dump", "bios.rom", "both", "both.rom"})
    test::writeFile(dir.file(name), test::Bytes(16, 0));
  struct Case {
    bool save;
    const char* typed;
    const char* chosen;
    bool asksToReplace;
  };
  for (const Case& c :
       {Case{false, "dump", "dump", false}, Case{false, "both", "both", false},
        Case{false, "bios", "bios.rom", false}, Case{false, "bios.rom", "bios.rom", false},
        Case{true, "new", "new.rom", false}, Case{true, "dump", "dump", true},
        Case{true, "both", "both", true}, Case{true, "bios", "bios.rom", true}}) {
    SCOPED_TRACE(std::string(c.save ? "save " : "open ") + c.typed);
    qtui::QtPlatform platform;
    int replaceQuestions = 0;
    test::whenModalOpens([&](QWidget* dialog) {
      // The user clicks into the name field and types the name there.
      auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
      EXPECT_NE(name, nullptr);
      if (name != nullptr) {
        QTest::mouseClick(name, Qt::LeftButton);
        name->setText(qtui::fromNarrow(dir.file(c.typed)));
      }
      // A refusal ("File not found") or the question before replacing a
      // file comes as a box of its own, while Enter is still being handled:
      // answer Yes to the question, close a refusal, then end the dialog if
      // it is still there.
      QTimer::singleShot(100, dialog, [dialog, &replaceQuestions] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box != nullptr && box->button(QMessageBox::Yes) != nullptr) {
          ++replaceQuestions;
          box->button(QMessageBox::Yes)->click();
        } else if (box != nullptr) {
          box->close();
        }
        if (dialog->isVisible()) dialog->close();
      });
      test::pressKey(Qt::Key_Return);
    });
    const unsigned flags =
        c.save ? kOfnHideReadOnly | kOfnOverwritePrompt : kOfnHideReadOnly | kOfnFileMustExist;
    const std::optional<std::string> chosen =
        platform.fileDialog({c.save, "rom", "", flags, kRomFilter});
    EXPECT_EQ(chosen.value_or("(none)"), dir.file(c.chosen));
    EXPECT_EQ(replaceQuestions, c.asksToReplace ? 1 : 0);
  }
}

TEST(QtPlatformTest, FiltersKeepTheirTextsAndMeanAllFilesByStar) {
  EXPECT_EQ(qtui::qtNameFilters(kRomFilter),
            (QStringList{"Both *.rom and *.bin (*.rom *.bin)", "ROM Files (*.rom) (*.rom)",
                         "BIN Files (*.bin) (*.bin)", "All Files (*.*) (*)"}));
}

TEST(NarrowText, Utf8OrLatin1) {
  EXPECT_EQ(qtui::fromNarrow("Caf\xC3\xA9"), QString::fromUtf8("Café"));
  EXPECT_EQ(qtui::fromNarrow("Caf\xE9"), QString::fromUtf8("Café"));
  EXPECT_EQ(qtui::toNarrow(QString::fromUtf8("Café")), "Caf\xC3\xA9");
}

}  // namespace
}  // namespace varnel
