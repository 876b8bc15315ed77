#include "document/change_report.h"

#include <algorithm>
#include <cstdio>

#include "image/image_fields.h"
#include "scripts/tv_table.h"

namespace varnel {
namespace {

std::string format(const char* pattern, auto... values) {
  char text[256];
  std::snprintf(text, sizeof text, pattern, values...);
  return text;
}

std::string codeName(const char* name, int code) {
  return name != nullptr ? std::string(name) : "code " + std::to_string(code);
}

std::string tvStandardName(int code) {
  const bool listed = code >= 0 && code < static_cast<int>(TvStandardNames.size());
  return codeName(listed ? TvStandardNames[static_cast<size_t>(code)] : nullptr, code);
}

std::string onOff(bool on) {
  return on ? "on" : "off";
}

// The standards a supported mask marks: bit n-1 for code n.
std::string maskNames(uint8_t mask) {
  if (mask == 0xFF) return "all";
  std::string names;
  for (int code = 1; code <= 8; ++code) {
    if ((mask >> (code - 1) & 1) == 0) continue;
    if (!names.empty()) names += ", ";
    names += tvStandardName(code);
  }
  return names.empty() ? "none" : names;
}

class Comparison {
 public:
  Comparison(const BiosImage& a, const BiosImage& b) : a_(a), b_(b) {}

  void clocks() {
    const int coreA = a_.wholeMHz(a_.defaultCoreClock);
    const int coreB = b_.wholeMHz(b_.defaultCoreClock);
    if (coreA != coreB || a_.realCoreClock() != b_.realCoreClock()) {
      change(format("Core clock: %d -> %d MHz (real %.2f -> %.2f MHz)", coreA, coreB,
                    a_.realCoreClock(), b_.realCoreClock()));
    }
    const int memoryA = a_.wholeMHz(a_.defaultMemoryClock);
    const int memoryB = b_.wholeMHz(b_.defaultMemoryClock);
    if (memoryA != memoryB || a_.realMemoryClock() != b_.realMemoryClock() ||
        a_.effectiveMemoryClock() != b_.effectiveMemoryClock()) {
      change(
          format("Memory clock: %d -> %d MHz (real %.2f -> %.2f MHz, effective %.2f -> %.2f MHz)",
                 memoryA, memoryB, a_.realMemoryClock(), b_.realMemoryClock(),
                 a_.effectiveMemoryClock(), b_.effectiveMemoryClock()));
    }
    raised("core", coreA, coreB);
    raised("memory", memoryA, memoryB);
    beyondTheDivider(memoryB);
  }

  void memoryTimings() {
    if (a_.memoryType != b_.memoryType) {
      change("Memory type: " + codeName(memoryTypeName(a_.memoryType), a_.memoryType) + " -> " +
             codeName(memoryTypeName(b_.memoryType), b_.memoryType));
      // The configuration text names the memory the board was built with.
      const char* biosKind = b_.isDdrBios ? "DDR" : "SDR";
      const char* chosen = memoryTypeName(b_.memoryType);
      if (chosen != nullptr && std::string(chosen) != biosKind) {
        warn(format("%s memory is chosen on a %s BIOS: its configuration text says %s.", chosen,
                    biosKind, biosKind));
      }
    }
    if (a_.casIndex != b_.casIndex) {
      change("CAS latency: " + codeName(casName(a_.casIndex), a_.casIndex) + " -> " +
             codeName(casName(b_.casIndex), b_.casIndex));
    }
  }

  void tv() {
    if (a_.tvStandard != b_.tvStandard) {
      change("TV standard at start-up: " + tvStandardName(a_.tvStandard) + " -> " +
             tvStandardName(b_.tvStandard));
    }
    if (isCrtOutputOn(a_) != isCrtOutputOn(b_)) {
      change("CRT output at start-up: " + onOff(isCrtOutputOn(a_)) + " -> " +
             onOff(isCrtOutputOn(b_)));
    }
    if (isTvOutputOn(a_) != isTvOutputOn(b_)) {
      change("TV output at start-up: " + onOff(isTvOutputOn(a_)) + " -> " +
             onOff(isTvOutputOn(b_)));
    }
    if (tvSupportedMask(a_) != tvSupportedMask(b_) ||
        tvSupportedMask2(a_) != tvSupportedMask2(b_)) {
      change("TV standards marked supported: " + maskNames(tvSupportedMask(a_)) + " -> " +
             maskNames(tvSupportedMask(b_)));
    }
  }

  void vendor() {
    if (vendorId(a_) == vendorId(b_)) return;
    const std::string ids = format("%04X -> %04X", vendorId(a_), vendorId(b_));
    change("Vendor ID: " + ids);
    warn("The vendor ID differs from the original's: " + ids + ".");
  }

  void fonts() {
    for (int height : {8, 16}) {
      const int changed = changedGlyphs(a_, b_, height);
      if (changed > 0) change(format("8x%d font: %d of 256 glyphs changed", height, changed));
    }
  }

  ChangeReport take() {
    const int32_t n = std::max(a_.boundedLength(), b_.boundedLength());
    for (int32_t p = 0; p < n; ++p)
      report_.differingBytes += a_.byteAt(p) != b_.byteAt(p);
    return std::move(report_);
  }

 private:
  void change(std::string line) { report_.changes.push_back(std::move(line)); }
  void warn(std::string sentence) { report_.warnings.push_back(std::move(sentence)); }

  // More than a tenth above the original: the kind of raise that bricks a card.
  void raised(const char* clock, int before, int after) {
    if (after * 10 <= before * 11) return;
    warn(format("The %s clock is more than 10 %% above the original's: %d -> %d MHz.", clock,
                before, after));
  }

  void beyondTheDivider(int memoryMHz) {
    const int type = b_.memoryType;
    if (type == 0 || !b_.memoryFeedbackDivPtr) return;
    if (b_.highestReachableMemoryMHz(type, memoryMHz) == memoryMHz) return;
    warn(
        format("A memory clock of %d MHz is beyond the divider with %s memory: the card will "
               "run it at %.2f MHz.",
               memoryMHz, codeName(memoryTypeName(type), type).c_str(), b_.realMemoryClock()));
  }

  const BiosImage& a_;
  const BiosImage& b_;
  ChangeReport report_;
};

}  // namespace

int changedGlyphs(const BiosImage& a, const BiosImage& b, int height) {
  const uint16_t tableA = height == 8 ? a.font8x8Offset : a.font8x16Offset;
  const uint16_t tableB = height == 8 ? b.font8x8Offset : b.font8x16Offset;
  if (tableA == 0 || tableB == 0) return -1;
  int changed = 0;
  for (int k = 0; k < 256; ++k) {
    for (int row = 0; row < height; ++row) {
      if (a.byteAt(tableA + height * k + row) != b.byteAt(tableB + height * k + row)) {
        ++changed;
        break;
      }
    }
  }
  return changed;
}

ChangeReport compareImages(const BiosImage& original, const BiosImage& changed) {
  Comparison comparison(original, changed);
  comparison.clocks();
  comparison.memoryTimings();
  comparison.tv();
  comparison.vendor();
  comparison.fonts();
  return comparison.take();
}

}  // namespace varnel
