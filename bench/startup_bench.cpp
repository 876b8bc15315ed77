// The editor's start-up up to its first shown window, on the offscreen
// platform: the window built from its layout table, initialised (the
// shipped vendor list beside the program read), shown and its first events
// handled.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "io/file_io.h"
#include "ui/qt/main_window.h"

namespace {

void showFirstWindow() {
  varnel::qtui::QtPlatform platform;
  varnel::qtui::MainWindow window(platform);
  window.initialize();
  window.dialog().show();
  QCoreApplication::processEvents();
  benchmark::DoNotOptimize(window.dialog().isVisible());
}

void startUp(benchmark::State& state) {
  for (auto _ : state)
    showFirstWindow();
}

}  // namespace

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  // Measured as the user starts it: with the vendor list it ships with.
  const std::string vendorList = varnel::executableDirectory() + varnel::ui::kVendorListName;
  if (!varnel::fileExists(vendorList)) {
    std::fprintf(stderr, "startup bench: no %s beside the program (build vendor-ids)\n",
                 vendorList.c_str());
    return 1;
  }
  const std::clock_t cpuStart = std::clock();
  const auto start = std::chrono::steady_clock::now();
  QApplication application(argc, argv);
  showFirstWindow();
  const auto cold =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start);
  const double cpu = 1000.0 * static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
  std::printf("startup/cold_first_window %.1f ms, %.1f ms of CPU (application and first window)\n",
              cold.count(), cpu);
  benchmark::RegisterBenchmark("startup/first_window", startUp)->Unit(benchmark::kMillisecond);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
