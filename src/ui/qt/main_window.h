// The editor's main window on Qt: the dialog built from its layout table,
// its controls and the editor's behaviour on them.
#pragma once

#include <QDialog>
#include <memory>
#include <string>

#include "ui/editor_dialog.h"
#include "ui/qt/dialog_builder.h"
#include "ui/qt/qt_dialog_controls.h"
#include "ui/qt/qt_platform.h"

namespace varnel::qtui {

class MainWindow {
 public:
  explicit MainWindow(QtPlatform& platform);
  ~MainWindow();
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  QDialog& dialog() { return *dialog_; }
  QtDialogControls& controls() { return *controls_; }
  ui::EditorDialog& editor() { return *editor_; }
  const BuiltDialog& built() const { return built_; }

  // Initialises the dialog, shows it, loads `file` when one is given, and
  // runs until Exit, Escape or the close box end it (after the editor's
  // question about unsaved changes).
  int exec(const std::string& file = "");
  // Initialises without running: for tests and screenshots.
  void initialize();

 private:
  std::unique_ptr<QDialog> dialog_;
  BuiltDialog built_;
  std::unique_ptr<QtDialogControls> controls_;
  std::unique_ptr<ui::EditorDialog> editor_;
  bool initialized_ = false;
};

// The application icon: 32x32 and 16x16 pictures of 16 colours.
QIcon applicationIcon();

}  // namespace varnel::qtui
