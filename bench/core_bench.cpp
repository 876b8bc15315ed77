// Times the core: the editor's load of 64 KiB images (reset, the bytes,
// validate, checksumsValid), one plain pass of hash and byte sum over the
// same bytes (the floor the load is compared with), the checksum repair,
// and the code-page reader over a file with 1024 fonts.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>

#include "document/image_loading.h"
#include "fonts/cpi_reader.h"
#include "image/bios_image.h"
#include "support/cpi_builder.h"
#include "support/worst_cases.h"

namespace {

using varnel::BiosImage;
using varnel::test::Bytes;

void fill(BiosImage& image, const Bytes& bytes) {
  image.reset();
  std::copy(bytes.begin(), bytes.end(), image.bytes.begin());
  image.length = static_cast<int32_t>(bytes.size());
}

void loadImage(benchmark::State& state, const Bytes& bytes) {
  auto image = std::make_unique<BiosImage>();
  for (auto _ : state) {
    fill(*image, bytes);
    const int code = validateImage(*image);
    const bool sound = code == 0 && image->checksumsValid();
    benchmark::DoNotOptimize(sound);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
}

void hashAndSumFloor(benchmark::State& state, const Bytes& bytes) {
  auto image = std::make_unique<BiosImage>();
  fill(*image, bytes);
  const auto n = static_cast<int32_t>(bytes.size());
  for (auto _ : state) {
    benchmark::DoNotOptimize(image->computeImageHash(n));
    benchmark::DoNotOptimize(image->computeByteSum(n));
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
}

// Each round changes one byte, so that the repair always rebuilds.
void repairChecksums(benchmark::State& state, const Bytes& bytes) {
  auto image = std::make_unique<BiosImage>();
  fill(*image, bytes);
  validateImage(*image);
  uint8_t value = 0;
  for (auto _ : state) {
    image->bytes[0x4000] = ++value;
    image->repairChecksums();
    benchmark::DoNotOptimize(image->imageHash);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
}

void readCpi1024(benchmark::State& state) {
  varnel::test::CpiSpec spec;
  for (int k = 0; k < 1024; ++k)
    spec.entries.push_back({static_cast<uint16_t>(k), {{8, 16}}});
  const Bytes file = varnel::test::buildCpi(spec).bytes;
  auto entries = std::make_unique<varnel::CpiFontList>();
  for (auto _ : state) {
    varnel::MemoryByteStream stream(file);
    benchmark::DoNotOptimize(varnel::readCpiFonts(stream, *entries, 8, 16));
  }
}

void registerBenchmarks() {
  static const auto images = varnel::test::loadBenchmarkImages();
  for (const auto& image : images) {
    benchmark::RegisterBenchmark(("load/" + image.name).c_str(), loadImage, image.bytes)
        ->Unit(benchmark::kMicrosecond);
  }
  const Bytes& full = images.back().bytes;  // a 64 KiB image
  benchmark::RegisterBenchmark("floor/hash_and_sum", hashAndSumFloor, full)
      ->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("repair/64KiB", repairChecksums, full)
      ->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("cpi/1024_fonts", readCpi1024)->Unit(benchmark::kMicrosecond);
}

}  // namespace

int main(int argc, char** argv) {
  registerBenchmarks();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
