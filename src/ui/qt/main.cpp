// varnel: the editor. One main window; the process ends when it closes.
#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "ui/qt/main_window.h"

namespace {

bool hasDisplay() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (!hasDisplay()) {
    std::fprintf(stderr, "varnel: no display to show the editor on (DISPLAY is not set)\n");
    return 1;
  }
  QApplication application(argc, argv);
  QApplication::setApplicationName("Varnel");
  QApplication::setWindowIcon(varnel::qtui::applicationIcon());
  varnel::qtui::QtPlatform platform;
  varnel::qtui::MainWindow window(platform);
  window.exec();
  return 0;
}
