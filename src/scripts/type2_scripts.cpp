#include "scripts/type2_scripts.h"

#include "image/byte_patterns.h"
#include "scripts/script_trace.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <memory>
#include <vector>

namespace varnel {
namespace {

constexpr uint8_t kMovBxImm16 = 0xBB;
constexpr uint8_t kCallRel16 = 0xE8;

struct CallSite {
  uint16_t target;
  uint16_t pos;
};

bool isCallSite(const BiosImage& image, int32_t k) {
  return image.bytes[k] == kMovBxImm16 && image.bytes[k + 3] == kCallRel16;
}

uint16_t callTarget(const BiosImage& image, int32_t k) {
  return static_cast<uint16_t>(k + 6 + image.wordAt(k + 4));
}

// Every "mov bx,imm16 / call rel16" site, grouped by call target and in
// ascending position within a target, so that the sites of one target can be
// visited in the order a scan of the whole image would meet them.
std::vector<CallSite> callSitesByTarget(const BiosImage& image) {
  std::vector<CallSite> sites;
  for (int32_t k = kCodeSearchStart; k < image.boundedLength() - 6; ++k) {
    if (isCallSite(image, k)) sites.push_back({callTarget(image, k), static_cast<uint16_t>(k)});
  }
  // A stable radix sort on the 16-bit target, low byte then high byte:
  // linear, and the sites of one target stay in ascending position.
  std::vector<CallSite> sorted(sites.size());
  for (int shift : {0, 8}) {
    std::array<size_t, 257> start{};
    for (const CallSite& site : sites)
      ++start[((site.target >> shift) & 0xFF) + 1];
    for (size_t i = 1; i < start.size(); ++i)
      start[i] += start[i - 1];
    for (const CallSite& site : sites)
      sorted[start[(site.target >> shift) & 0xFF]++] = site;
    sites.swap(sorted);
  }
  return sites;
}

void traceRegisterWriteMarkers(const BiosImage& image, std::string& trace) {
  // mov dl,0 / xor eax,eax / mov ax,imm16 / out dx,eax / mov dl,4 / mov al,imm8 / out dx,al
  static constexpr std::array<int16_t, 15> kMarker = {0xB2, 0x00, 0x66, 0x33, 0xC0, 0xB8, -1,  -1,
                                                      0x66, 0xEF, 0xB2, 0x04, 0xB0, -1,   0xEE};
  for (int32_t p = kCodeSearchStart; p < image.boundedLength() - 15; ++p) {
    bool match = true;
    for (size_t i = 0; i < kMarker.size() && match; ++i) {
      match = kMarker[i] < 0 || image.bytes[p + i] == kMarker[i];
    }
    if (match) {
      trace += "\nBefore type2 script @ " + hexText(static_cast<uint32_t>(p - 10), 4) +
               ":\n Reg0[" + hexText(image.wordAt(p + 6), 4) + "] <- " +
               hexText(image.bytes[p + 13], 2) + "\n";
    }
  }
}

std::string targetTrace(uint16_t w) {
  if (w & 0x2000) return " Port[" + hexText(w & 0xFF, 2) + "]";
  return " Reg0[" + hexText(w & 0x1FFF, 4) + "]";
}

}  // namespace

Type2SearchResult findType2Scripts(const BiosImage& image) {
  Type2SearchResult result;
  ScriptOffsetSet& scripts = result.scripts;
  const int32_t header = image.headerOffset;
  scripts.insert(image.wordAt(header + 0x0C));
  if (header + 0x4E <= image.pciDataOffset - 4) scripts.insert(image.wordAt(header + 0x4E));

  const std::vector<CallSite> sites = callSitesByTarget(image);
  // A target's sites add the same offsets every time they are visited, so
  // each target needs visiting once.
  auto visited = std::make_unique<std::bitset<65536>>();
  for (int32_t j = kCodeSearchStart; j < image.boundedLength() - 6; ++j) {
    if (image.bytes[j] != kMovBxImm16 || !scripts.contains(image.wordAt(j + 1))) continue;
    result.found = true;
    if (image.bytes[j + 3] != kCallRel16) continue;
    const uint16_t target = callTarget(image, j);
    if (visited->test(target)) continue;
    visited->set(target);
    auto range =
        std::equal_range(sites.begin(), sites.end(), CallSite{target, 0},
                         [](const CallSite& a, const CallSite& b) { return a.target < b.target; });
    for (auto site = range.first; site != range.second; ++site) {
      scripts.insert(image.wordAt(site->pos + 1));
    }
  }
  return result;
}

void traceType2Scripts(const BiosImage& image, std::string& trace) {
  const Type2SearchResult search = findType2Scripts(image);
  traceRegisterWriteMarkers(image, trace);
  if (!search.found) return;
  for (int32_t k = 0; k < search.scripts.count; ++k)
    traceType2Script(image, search.scripts.offsets[k], trace);
}

void traceType2Script(const BiosImage& image, uint16_t start, std::string& trace) {
  trace += "\nType2 script @ " + hexText(start, 4) + ":\n";
  // Layouts of an update entry: header byte 0..2 always masked with the OR
  // value first; later headers masked (AND mask first) only with bit 14.
  const bool orValueFirst = image.bytes[image.headerOffset] <= 2;
  const int32_t n = image.boundedLength();
  for (int32_t pos = start; pos + 2 <= n;) {
    const uint16_t w = image.wordAt(pos);
    if (w == 0) break;
    if (w & 0x8000) {
      if (pos + 6 > n) break;
      trace += " Wait " + hexText(image.wordAt(pos + 2), 4) + "\n";
      pos += 6;
      continue;
    }
    const bool masked = orValueFirst || (w & 0x4000);
    const int32_t size = masked ? 10 : 6;
    // An entry that would reach past the image ends the trace unread.
    if (pos + size > n) break;
    trace += targetTrace(w);
    if (!masked) {
      trace += " <- " + hexText(image.dwordAt(pos + 2), 8) + "\n";
    } else {
      const uint32_t first = image.dwordAt(pos + 2);
      const uint32_t second = image.dwordAt(pos + 6);
      const uint32_t andMask = orValueFirst ? second : first;
      const uint32_t orValue = orValueFirst ? first : second;
      trace += " and " + hexText(andMask, 8) + " or " + hexText(orValue, 8) + "\n";
    }
    pos += size;
  }
}

}  // namespace varnel
