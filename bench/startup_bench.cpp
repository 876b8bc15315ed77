// The editor's start-up up to its first shown window, on the offscreen
// platform: the window built from its layout table, initialised (vendor
// list read), shown and its first events handled.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>

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
  const auto start = std::chrono::steady_clock::now();
  QApplication application(argc, argv);
  showFirstWindow();
  const auto cold =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start);
  std::printf("startup/cold_first_window %.1f ms (application and first window)\n", cold.count());
  benchmark::RegisterBenchmark("startup/first_window", startUp)->Unit(benchmark::kMillisecond);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
