#include "ui/qt/qt_platform.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>

#include "ui/dialog_text.h"
#include "ui/editor_dialog.h"
#include "ui/qt/font_dialogs_qt.h"
#include "ui/qt/help_window.h"
#include "ui/qt/narrow_text.h"

namespace varnel::qtui {

QStringList qtNameFilters(const std::string& filter) {
  QStringList filters;
  for (const ui::FileFilter& entry : ui::parseFileFilter(filter)) {
    QStringList patterns;
    for (const std::string& pattern : entry.patterns) {
      patterns << (pattern == "*.*" ? QString("*") : fromNarrow(pattern));
    }
    filters << fromNarrow(entry.description) + " (" + patterns.join(' ') + ")";
  }
  return filters;
}

namespace {

// Qt adds the default extension to every name typed without one, so that
// a file without an extension (a dump named "card") could be neither opened
// nor saved over by its name: saving would write "card.rom" beside it. A
// typed name is taken as it is when that file exists (saving then asks
// before replacing it); only a name that names no file gets the default
// extension.
class NameKeepingFileDialog : public QFileDialog {
 public:
  explicit NameKeepingFileDialog(const std::string& defaultExtension)
      : defaultExtension_(fromNarrow(defaultExtension)) {}

  void accept() override {
    if (!defaultExtension_.isEmpty()) {
      setDefaultSuffix(QString());
      const QStringList typed = selectedFiles();
      if (typed.size() != 1 || !QFileInfo::exists(typed.first())) {
        setDefaultSuffix(defaultExtension_);
      }
    }
    QFileDialog::accept();
  }

 private:
  QString defaultExtension_;
};

// A message box is as narrow as its text; with a short text ("Invalid
// file") the window manager cut its caption down to "E… r". The box is
// made wide enough for the caption in the title bar's font beside the
// title bar's icon and buttons.
void leaveRoomForTheCaption(QMessageBox& box) {
  constexpr int kTitleBarButtonsAndIcon = 160;
  QFont titleFont = box.font();
  titleFont.setBold(true);  // most window managers' titles are bold
  const int wanted =
      QFontMetrics(titleFont).horizontalAdvance(box.windowTitle()) + kTitleBarButtonsAndIcon;
  if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
    grid->addItem(new QSpacerItem(wanted, 0, QSizePolicy::Minimum, QSizePolicy::Expanding),
                  grid->rowCount(), 0, 1, grid->columnCount());
  }
}

}  // namespace

std::optional<std::string> QtPlatform::fileDialog(const ui::FileDialogRequest& request) {
  NameKeepingFileDialog dialog(request.defaultExtension);
  dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode((request.flags & ui::kOfnFileMustExist) ? QFileDialog::ExistingFile
                                                             : QFileDialog::AnyFile);
  // The filters keep their own texts; Qt's pattern lists stay out of sight.
  dialog.setOption(QFileDialog::HideNameFilterDetails, true);
  dialog.setOption(QFileDialog::DontConfirmOverwrite,
                   (request.flags & ui::kOfnOverwritePrompt) == 0);
  dialog.setNameFilters(qtNameFilters(request.filter));
  if (!request.initialName.empty()) dialog.selectFile(fromNarrow(request.initialName));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return toNarrow(dialog.selectedFiles().first());
}

int QtPlatform::messageBox(const ui::Message& message, const std::string& text) {
  const char* caption = message.caption;
  const unsigned style = message.style;
  QMessageBox box(owner_);
  box.setWindowTitle(caption != nullptr ? fromNarrow(caption) : QString(ui::kApplicationName));
  box.setText(fromNarrow(text));
  switch (style & ui::kMbIconMask) {
    case ui::kMbIconError:
      box.setIcon(QMessageBox::Critical);
      break;
    case ui::kMbIconQuestion:
      box.setIcon(QMessageBox::Question);
      break;
    case ui::kMbIconWarning:
      box.setIcon(QMessageBox::Warning);
      break;
    default:
      break;
  }
  // After the icon: setting one lays the box out anew.
  leaveRoomForTheCaption(box);
  if ((style & 0x0F) == ui::kMbYesNo) {
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(ui::defaultAnswer(style) == ui::kIdNo ? QMessageBox::No
                                                               : QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes ? ui::kIdYes : ui::kIdNo;
  }
  if ((style & 0x0F) == ui::kMbYesNoCancel) {
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
      case QMessageBox::Yes:
        return ui::kIdYes;
      case QMessageBox::No:
        return ui::kIdNo;
      default:
        return ui::kIdCancel;
    }
  }
  box.setStandardButtons(QMessageBox::Ok);
  box.exec();
  return 1;
}

}  // namespace varnel::qtui

namespace varnel::qtui {

QtPlatform::QtPlatform() : help_([] { return std::make_unique<QtHelpViewer>(); }) {}

bool QtPlatform::showHelp(const std::string& chmPath) {
  return help_.request(chmPath);
}

int QtPlatform::selectFont(const CpiFontEntry* entries, int count,
                           const ui::FontGlyphReader& glyphsOf) {
  return runFontSelectDialog(owner_, entries, count, glyphsOf);
}

void QtPlatform::showFonts(const BiosImage& image) {
  FontViewDialog dialog(owner_);
  dialog.showFonts(image);
}

}  // namespace varnel::qtui
