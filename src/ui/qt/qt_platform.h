// The platform services of the editor on Qt: file dialogs, message boxes,
// and what lies beside the program.
#pragma once

#include <QStringList>

#include "ui/help_binding.h"
#include "ui/platform.h"

class QWidget;

namespace varnel::qtui {

class QtPlatform : public ui::Platform {
 public:
  QtPlatform();
  // Message boxes are owned by this window (the main window, once it exists).
  void setOwner(QWidget* owner) { owner_ = owner; }

  std::optional<std::string> fileDialog(const ui::FileDialogRequest& request) override;
  int messageBox(const ui::Message& message, const std::string& text) override;
  int selectFont(const CpiFontEntry* entries, int count,
                 const ui::FontGlyphReader& glyphsOf) override;
  void showFonts(const BiosImage& image) override;
  bool showHelp(const std::string& chmPath) override;
  const ui::HelpBinding& help() const { return help_; }

 protected:
  QWidget* owner_ = nullptr;
  ui::HelpBinding help_;
};

// A filter of the form "Description|*.a;*.b|...||" as Qt's name filters;
// "*.*" means every file.
QStringList qtNameFilters(const std::string& filter);

}  // namespace varnel::qtui
