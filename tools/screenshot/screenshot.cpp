// Renders the editor's windows into PNG files for the documentation. Run it
// under a display (for example xvfb-run).
//
//   varnel-screenshot main IMAGE.rom OUT.png   the main window with an image
//   varnel-screenshot help Varnel.chm OUT.png  the help window
#include <QApplication>
#include <QPixmap>
#include <QTimer>
#include <cstdio>
#include <cstring>

#include "ui/qt/help_window.h"
#include "ui/qt/main_window.h"

namespace {

int grabLater(QApplication& application, QWidget& window, const char* out) {
  window.show();
  int status = 1;
  QTimer::singleShot(500, [&] {
    status = window.grab().save(out, "PNG") ? 0 : 1;
    application.quit();
  });
  application.exec();
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 || (std::strcmp(argv[1], "main") != 0 && std::strcmp(argv[1], "help") != 0)) {
    std::fprintf(stderr, "usage: varnel-screenshot main|help FILE OUT.png\n");
    return 2;
  }
  QApplication application(argc, argv);
  QApplication::setApplicationName("Varnel");
  if (std::strcmp(argv[1], "help") == 0) {
    varnel::qtui::HelpWindow window;
    if (!window.open(argv[2])) return 1;
    return grabLater(application, window, argv[3]);
  }
  varnel::qtui::QtPlatform platform;
  varnel::qtui::MainWindow window(platform);
  window.initialize();
  window.editor().LoadBiosFile(argv[2], false);
  return grabLater(application, window.dialog(), argv[3]);
}
