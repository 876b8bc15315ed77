// Prints, for every PLL reference word, a digest of all that the clock model
// computes from it: the clock step; the clock words and divider bytes that
// setClocks writes for every whole MHz from 0 to 600 on a DDR and on an SDR
// BIOS, with no memory type and with each of the first three, and the
// highest memory clock the divider reaches for each; and the real
// and effective clocks of every divider byte. Builds whose floating-point
// arithmetic differs anywhere in the model print a different line for the
// reference words concerned. The first line names the arithmetic the
// program runs with, the only line that may differ between such builds.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "support/raw_image.h"

namespace varnel::test {
namespace {

constexpr int32_t kReference = 0x300;
constexpr int32_t kMemoryWord = 0x308;
constexpr int32_t kCoreWord = 0x30A;
constexpr int32_t kCoreDivider = 0x400;
constexpr int32_t kMemoryDivider = 0x401;
constexpr int kHighestMHz = 600;
constexpr uint8_t kMemoryTypes[] = {0, 1, 2, 3};

// FNV-1a, 64 bits.
class Digest {
 public:
  void add(const void* data, size_t size) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < size; ++i)
      value_ = (value_ ^ bytes[i]) * 0x100000001B3ull;
  }
  template <typename T>
  void add(T value) {
    add(&value, sizeof value);
  }
  uint64_t value() const { return value_; }

 private:
  uint64_t value_ = 0xCBF29CE484222325ull;
};

void addClocksWritten(BiosImage& image, Digest& digest) {
  for (bool ddr : {true, false}) {
    image.isDdrBios = ddr;
    for (uint8_t type : kMemoryTypes) {
      image.memoryType = type;
      for (int mhz = 0; mhz <= kHighestMHz; ++mhz) {
        image.setClocks(static_cast<float>(mhz), static_cast<float>(mhz));
        digest.add(image.wordAt(kCoreWord));
        digest.add(image.wordAt(kMemoryWord));
        digest.add(image.byteAt(kCoreDivider));
        digest.add(image.byteAt(kMemoryDivider));
      }
      digest.add(image.highestReachableMemoryMHz(type, kHighestMHz));
    }
  }
}

void addClocksRead(BiosImage& image, Digest& digest) {
  for (int divider = 0; divider <= 255; ++divider) {
    image.setByte(kCoreDivider, static_cast<uint8_t>(divider));
    image.setByte(kMemoryDivider, static_cast<uint8_t>(divider));
    digest.add(image.realCoreClock());
    for (uint8_t type : kMemoryTypes) {
      image.memoryType = type;
      digest.add(image.realMemoryClock());
      digest.add(image.effectiveMemoryClock());
    }
  }
}

void printArithmetic() {
#if defined(__FLT_EVAL_METHOD__) && __FLT_EVAL_METHOD__ == 2 && \
    (defined(__i386__) || defined(__x86_64__))
  uint16_t controlWord = 0;
  __asm__ volatile("fnstcw %0" : "=m"(controlWord));
  std::printf("arithmetic: x87, control word 0x%04x\n", controlWord);
#else
  std::printf("arithmetic: SSE\n");
#endif
}

void sweep() {
  printArithmetic();
  RawImage raw;
  raw->pllReferenceFreq = {kReference};
  raw->defaultMemoryClock = {kMemoryWord};
  raw->defaultCoreClock = {kCoreWord};
  raw->coreFeedbackDivPtr = {kCoreDivider};
  raw->memoryFeedbackDivPtr = {kMemoryDivider};
  for (uint32_t reference = 0; reference <= 0xFFFF; ++reference) {
    raw.word(kReference, static_cast<uint16_t>(reference));
    raw->setClockStep();
    Digest digest;
    digest.add(raw->clockStepMHz);
    addClocksWritten(*raw, digest);
    addClocksRead(*raw, digest);
    std::printf("%5u %a %016llx\n", reference, static_cast<double>(raw->clockStepMHz),
                static_cast<unsigned long long>(digest.value()));
  }
}

}  // namespace
}  // namespace varnel::test

int main() {
  varnel::test::sweep();
  return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
}
