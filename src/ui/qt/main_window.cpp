#include "ui/qt/main_window.h"

#include <QApplication>
#include <QDropEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QUrl>
#include <functional>
#include <utility>
#include <vector>

#include "ui/qt/narrow_text.h"

namespace varnel::qtui {
namespace {

// The main window: Exit, Escape and the close box all end it through
// reject(), which first asks whether it may close.
class EditorWindow final : public QDialog {
 public:
  explicit EditorWindow(std::function<bool()> mayClose) : mayClose_(std::move(mayClose)) {}

  void reject() override {
    if (asking_) return;  // a second close while the question is open
    asking_ = true;
    const bool close = mayClose_();
    asking_ = false;
    if (close) QDialog::reject();
  }

 private:
  std::function<bool()> mayClose_;
  bool asking_ = false;
};

// The window's keys and the buttons they press, as on every window of the
// desktop: F1 for help, Ctrl+Z to undo, Ctrl+Y or Ctrl+Shift+Z to redo.
struct KeyButton {
  QKeySequence keys;
  int button;
};

std::vector<KeyButton> windowKeys() {
  return {{QKeySequence(QKeySequence::HelpContents), ui::kIdHelp},
          {QKeySequence(Qt::CTRL | Qt::Key_Z), ui::kIdUndo},
          {QKeySequence(Qt::CTRL | Qt::Key_Y), ui::kIdRedo},
          {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), ui::kIdRedo}};
}

// An edit keeps Ctrl+Z and Ctrl+Y for its own text unless told otherwise:
// in this window they undo and redo the edits of the image, wherever the
// focus is.
class WindowKeysFirst final : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::ShortcutOverride) return QObject::eventFilter(watched, event);
    const QKeySequence pressed(static_cast<QKeyEvent*>(event)->keyCombination());
    for (const KeyButton& key : windowKeys()) {
      if (key.keys == pressed) return true;  // not taken by the edit: the shortcut runs
    }
    return false;
  }
};

// The first local file a drag carries; empty when it carries none.
QString droppedFile(const QMimeData* data) {
  if (data == nullptr) return {};
  for (const QUrl& url : data->urls()) {
    if (url.isLocalFile()) return url.toLocalFile();
  }
  return {};
}

// A file dragged over any part of the window is taken by the window, not
// by the control under the mouse, and dropped it is loaded like Load...
// does (asking first about unsaved edits).
class FileDrops final : public QObject {
 public:
  FileDrops(QObject* parent, std::function<void(const QString&)> load)
      : QObject(parent), load_(std::move(load)) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    // Not while a question of the editor waits for its answer.
    if (QApplication::activeModalWidget() != nullptr) return QObject::eventFilter(watched, event);
    switch (event->type()) {
      case QEvent::DragEnter:
      case QEvent::DragMove: {
        auto* drag = static_cast<QDropEvent*>(event);
        if (droppedFile(drag->mimeData()).isEmpty()) return false;
        drag->acceptProposedAction();
        return true;
      }
      case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const QString file = droppedFile(drop->mimeData());
        if (file.isEmpty()) return false;
        drop->acceptProposedAction();
        load_(file);
        return true;
      }
      default:
        return QObject::eventFilter(watched, event);
    }
  }

 private:
  std::function<void(const QString&)> load_;
};

}  // namespace

MainWindow::MainWindow(QtPlatform& platform)
    : dialog_(std::make_unique<EditorWindow>([this] { return editor_->ConfirmExit(); })) {
  dialog_->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint);
  dialog_->setWindowIcon(applicationIcon());
  built_ = buildDialog(*dialog_, ui::mainDialogTemplate());
  controls_ = std::make_unique<QtDialogControls>(*dialog_, built_.widgets);
  editor_ = std::make_unique<ui::EditorDialog>(*controls_, platform);
  controls_->setEvents(editor_.get());
  // "E&xit" ends the dialog like Escape and the close box, once the editor
  // agrees.
  if (auto* exit = qobject_cast<QPushButton*>(controls_->widget(ui::kIdCancel))) {
    QObject::connect(exit, &QPushButton::clicked, dialog_.get(), &QDialog::reject);
  }
  for (const KeyButton& key : windowKeys()) {
    if (auto* button = qobject_cast<QPushButton*>(controls_->widget(key.button))) {
      QObject::connect(new QShortcut(key.keys, dialog_.get()), &QShortcut::activated, button,
                       &QPushButton::click);
    }
  }
  auto* keysFirst = new WindowKeysFirst(dialog_.get());
  for (QLineEdit* edit : dialog_->findChildren<QLineEdit*>())
    edit->installEventFilter(keysFirst);
  auto* drops = new FileDrops(
      dialog_.get(), [this](const QString& file) { editor_->LoadBiosFile(toNarrow(file), false); });
  dialog_->setAcceptDrops(true);
  dialog_->installEventFilter(drops);
  for (QWidget* child : dialog_->findChildren<QWidget*>()) {
    child->setAcceptDrops(true);
    child->installEventFilter(drops);
  }
  platform.setOwner(dialog_.get());
}

// The window goes first, while the editor it reports to still exists: a
// focused edit reports its loss of focus as it is destroyed.
MainWindow::~MainWindow() {
  controls_->setEvents(nullptr);
  dialog_.reset();
}

void MainWindow::initialize() {
  if (initialized_) return;
  initialized_ = true;
  editor_->OnInitDialog();
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect frame = dialog_->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    dialog_->move(frame.topLeft());
  }
}

int MainWindow::exec(const std::string& file) {
  initialize();
  // Not modal: a modal window would block every other window of the
  // program, and the help window beside it must take input too.
  QEventLoop running;
  QObject::connect(dialog_.get(), &QDialog::finished, &running, &QEventLoop::quit);
  dialog_->show();
  // Loaded once the window is on show, so that a refusal has it as owner.
  if (!file.empty()) editor_->LoadBiosFile(file, false);
  running.exec();
  return dialog_->result();
}

QIcon applicationIcon() {
  QIcon icon;
  for (const int size : {16, 24, 32, 48}) {
    icon.addFile(QString(":/varnel/icons/varnel-%1.xpm").arg(size), QSize(size, size));
  }
  icon.addFile(":/varnel/icons/varnel-256.png", QSize(256, 256));
  return icon;
}

}  // namespace varnel::qtui
