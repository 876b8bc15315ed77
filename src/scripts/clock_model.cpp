// The clock model: a PLL clock is its feedback divider times the clock step
// (the PLL reference frequency divided by 12). Single-precision values are
// widened for the arithmetic and rounded to single precision where stored.
#include <cmath>
#include <cstdint>

#include "image/bios_image.h"

namespace varnel {
namespace {

constexpr float kRoundUpMHz = 0.4f;
constexpr float kWordsPerMHz = 100.0f;
constexpr float kHalf = 0.5f;
constexpr float kMaxDivider = 255.0f;

// A clock word is trunc(MHz * 100 + 0.5) kept to its low 16 bits. A value
// that does not fit a 32-bit integer converts to the x86 "integer
// indefinite" 0x80000000, whose low 16 bits are 0.
uint16_t clockWord(float mhz) {
  const double units =
      std::trunc(static_cast<double>(mhz) * static_cast<double>(kWordsPerMHz) + kHalf);
  if (!(units >= INT32_MIN && units <= INT32_MAX)) return 0;
  return static_cast<uint16_t>(static_cast<int32_t>(units));
}

// The divider before it is limited to the byte's 255.
float unlimitedDivider(float mhz, float step) {
  return static_cast<float>((static_cast<double>(mhz) + static_cast<double>(kRoundUpMHz)) /
                            static_cast<double>(step));
}

float dividerFor(float mhz, float step) {
  const float divider = unlimitedDivider(mhz, step);
  return divider > kMaxDivider ? kMaxDivider : divider;
}

// trunc into a byte; the divider is 0..255 for any step the image can give,
// and anything else (a negative or NaN step set by hand) ends up as 0.
uint8_t dividerByte(float divider) {
  if (!(divider > 0)) return 0;
  return static_cast<uint8_t>(divider);
}

// The memory PLL runs at the memory clock times the memory type code (1 for
// DDR, 2 for SDR memory), halved on a BIOS built for SDR.
float memoryPllFactor(const BiosImage& image) {
  return image.isDdrBios ? 1.0f : 0.5f;
}

// The clock the memory PLL runs at for a memory clock and memory type code
// (0: none known, the clock itself).
float memoryPllMHz(const BiosImage& image, float memoryMHz, int memoryTypeCode) {
  if (memoryTypeCode == 0) return memoryMHz;
  const auto memoryTypeMultiplier = static_cast<uint8_t>(memoryTypeCode);
  return static_cast<float>(static_cast<double>(memoryTypeMultiplier) *
                            static_cast<double>(memoryPllFactor(image)) *
                            static_cast<double>(memoryMHz));
}

}  // namespace

// The reference word is in units of 10 kHz; the step is a twelfth of it.
void BiosImage::setClockStep() {
  if (!pllReferenceFreq) return;
  const double referenceWord = wordAt(pllReferenceFreq);
  clockStepMHz = static_cast<float>(referenceWord * static_cast<double>(0.01f) *
                                    static_cast<double>(0.083333336f));
}

void BiosImage::setClocks(float coreMHz, float memoryMHz) {
  if (!(coreMHz >= 0)) coreMHz = 0;
  if (!(memoryMHz >= 0)) memoryMHz = 0;
  if (defaultCoreClock) setWord(defaultCoreClock.offset, clockWord(coreMHz));
  if (defaultMemoryClock) setWord(defaultMemoryClock.offset, clockWord(memoryMHz));

  const float coreDiv = dividerFor(coreMHz, clockStepMHz);
  const float memDiv = dividerFor(memoryPllMHz(*this, memoryMHz, memoryType), clockStepMHz);
  if (coreFeedbackDivPtr && memoryFeedbackDivPtr) {
    setByte(coreFeedbackDivPtr.offset, dividerByte(coreDiv));
    setByte(memoryFeedbackDivPtr.offset, dividerByte(memDiv));
  }
}

int BiosImage::highestReachableMemoryMHz(int memoryTypeCode, int ceilingMHz) const {
  for (int mhz = ceilingMHz; mhz > 0; --mhz) {
    const float pll = memoryPllMHz(*this, static_cast<float>(mhz), memoryTypeCode);
    if (unlimitedDivider(pll, clockStepMHz) < kMaxDivider + 1) return mhz;
  }
  return 0;
}

int BiosImage::wholeMHz(ImageRef clockWord) const {
  if (!clockWord) return 0;
  return (wordAt(clockWord) + 99) / 100;
}

double BiosImage::realCoreClock() const {
  if (!coreFeedbackDivPtr) return 0;
  return byteAt(coreFeedbackDivPtr) * static_cast<double>(clockStepMHz);
}

double BiosImage::realMemoryClock() const {
  if (!memoryFeedbackDivPtr) return 0;
  return byteAt(memoryFeedbackDivPtr) * static_cast<double>(clockStepMHz);
}

// Twice the memory PLL's clock divided by the memory type code, its
// multiplier of the memory clock.
double BiosImage::effectiveMemoryClock() const {
  if (memoryType == 0) return realMemoryClock();
  const uint8_t memoryTypeMultiplier = memoryType;
  return 2 * realMemoryClock() / memoryTypeMultiplier;
}

}  // namespace varnel
