// varnel: the editor. One main window; the process ends when it closes.
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "ui/qt/main_window.h"
#include "ui/start_arguments.h"

namespace {

bool hasDisplay() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return true;
  }
  return false;
}

// Prints the usage or the version when asked for: the status to end with.
std::optional<int> answeredWithoutWindow(const varnel::ui::StartArguments& start) {
  using Action = varnel::ui::StartArguments::Action;
  if (start.action == Action::kHelp) {
    std::fputs(varnel::ui::kStartUsage, stdout);
    return 0;
  }
  if (start.action == Action::kVersion) {
    std::printf("varnel %s\n", VARNEL_VERSION);
    return 0;
  }
  return std::nullopt;
}

}  // namespace

// Usage and version need no display; the arguments Qt takes for itself
// (-platform, -style...) are left to it.
int main(int argc, char** argv) {
  using varnel::ui::StartArguments;
  const std::vector<std::string> given(argv + 1, argv + argc);
  if (const auto status = answeredWithoutWindow(varnel::ui::parseStartArguments(given))) {
    return *status;
  }
  if (!hasDisplay()) {
    std::fprintf(stderr, "varnel: no display to show the editor on (DISPLAY is not set)\n");
    return 1;
  }
  QApplication application(argc, argv);
  std::vector<std::string> remaining;
  for (const QString& argument : QApplication::arguments().mid(1))
    remaining.push_back(argument.toStdString());
  const StartArguments start = varnel::ui::parseStartArguments(remaining);
  if (const auto status = answeredWithoutWindow(start)) return *status;
  if (start.action == StartArguments::Action::kWrong) {
    std::fprintf(stderr, "varnel: %s (varnel --help tells the options)\n", start.error.c_str());
    return 64;
  }
  QApplication::setApplicationName("Varnel");
  QApplication::setWindowIcon(varnel::qtui::applicationIcon());
  varnel::qtui::QtPlatform platform;
  varnel::qtui::MainWindow window(platform);
  window.exec(start.file);
  return 0;
}
