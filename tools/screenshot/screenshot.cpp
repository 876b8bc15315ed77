// Renders the editor's window with an image loaded into a PNG, for the
// documentation. Run it under a display (for example xvfb-run).
#include <QApplication>
#include <QPixmap>
#include <QTimer>
#include <cstdio>

#include "ui/qt/main_window.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: varnel-screenshot IMAGE.rom OUT.png\n");
    return 2;
  }
  QApplication application(argc, argv);
  QApplication::setApplicationName("Varnel");
  varnel::qtui::QtPlatform platform;
  varnel::qtui::MainWindow window(platform);
  window.initialize();
  window.editor().LoadBiosFile(argv[1], false);
  window.dialog().show();
  int status = 1;
  QTimer::singleShot(500, [&] {
    status = window.dialog().grab().save(argv[2], "PNG") ? 0 : 1;
    application.quit();
  });
  application.exec();
  return status;
}
