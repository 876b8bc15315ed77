// Times the editor's load of a 64 KiB image: reset, the bytes, validate
// and checksumsValid. The floor is one plain pass of hash and byte sum.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>

#include "image/bios_image.h"
#include "support/worst_cases.h"

namespace {

using varnel::BiosImage;

void loadImage(benchmark::State& state, const varnel::test::Bytes& bytes) {
  auto image = std::make_unique<BiosImage>();
  for (auto _ : state) {
    image->reset();
    std::copy(bytes.begin(), bytes.end(), image->bytes.begin());
    image->length = static_cast<int32_t>(bytes.size());
    const int code = image->validate();
    const bool sound = code == 0 && image->checksumsValid();
    benchmark::DoNotOptimize(sound);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
}

void hashAndSumFloor(benchmark::State& state, const varnel::test::Bytes& bytes) {
  auto image = std::make_unique<BiosImage>();
  std::copy(bytes.begin(), bytes.end(), image->bytes.begin());
  const auto n = static_cast<int32_t>(bytes.size());
  for (auto _ : state) {
    benchmark::DoNotOptimize(image->computeImageHash(n));
    benchmark::DoNotOptimize(image->computeByteSum(n));
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
}

void registerBenchmarks() {
  static const auto images = varnel::test::loadBenchmarkImages();
  for (const auto& image : images) {
    benchmark::RegisterBenchmark(("load/" + image.name).c_str(), loadImage, image.bytes)
        ->Unit(benchmark::kMicrosecond);
  }
  benchmark::RegisterBenchmark("floor/hash_and_sum", hashAndSumFloor, images.back().bytes)
      ->Unit(benchmark::kMicrosecond);
}

}  // namespace

int main(int argc, char** argv) {
  registerBenchmarks();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
