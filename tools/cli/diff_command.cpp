// varnel-cli diff: what differs between two images, setting by setting and
// byte range by byte range.
#include <algorithm>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "commands.h"
#include "console_text.h"
#include "document/change_report.h"
#include "image_report.h"
#include "loaded_image.h"

namespace varnel::cli {
namespace {

using Json = nlohmann::ordered_json;

struct Setting {
  std::string name;
  Json a, b;
};

// Every setting the editor shows, by its name in `info --json`.
constexpr const char* kSettingNames[] = {
    "title",           "biosDateTime",      "defaultCoreClock", "defaultMemoryClock",
    "coreFeedbackDiv", "memoryFeedbackDiv", "memoryType",       "casIndex",
    "busWidthBits",    "tvStandard",        "tvCrtOn",          "tvOutOn",
    "tvSupportedMask", "tvSupportedMask2",  "vendorId",
};

// Every setting the editor shows, as comparable values.
std::vector<std::pair<std::string, Json>> settingsOf(const LoadedImage& loaded) {
  std::vector<std::pair<std::string, Json>> settings;
  for (const char* name : kSettingNames)
    settings.emplace_back(name, infoField(loaded, name));
  return settings;
}

// How many glyphs of a font table differ; null when either image lacks it.
Json glyphsChanged(const BiosImage& a, const BiosImage& b, int height) {
  const int changed = changedGlyphs(a, b, height);
  return changed < 0 ? Json(nullptr) : Json(changed);
}

// Half-open byte ranges [start, end) over which the images differ; bytes
// past the shorter image count as differing.
std::vector<std::pair<int32_t, int32_t>> differingRanges(const BiosImage& a, const BiosImage& b) {
  std::vector<std::pair<int32_t, int32_t>> ranges;
  const int32_t n = std::max(a.boundedLength(), b.boundedLength());
  for (int32_t p = 0; p < n; ++p) {
    const bool differs =
        p >= a.boundedLength() || p >= b.boundedLength() || a.bytes[p] != b.bytes[p];
    if (!differs) continue;
    if (!ranges.empty() && ranges.back().second == p) {
      ranges.back().second = p + 1;
    } else {
      ranges.push_back({p, p + 1});
    }
  }
  return ranges;
}

// Runs of differing bytes with at most this many equal bytes between them
// are shown as one range: unrelated images differ almost everywhere.
constexpr int32_t kMergeGap = 8;
// Ranges shown without --all.
constexpr size_t kRangesShown = 20;

struct ShownRange {
  int32_t start, end;  // half-open
  int32_t differing;
  int32_t checksums;  // how many of the differing bytes a checksum repair writes
};

// Bytes a checksum repair writes in either image: they differ whenever
// anything else does, and no setting explains them.
int32_t checksumBytes(const BiosImage& a, const BiosImage& b, int32_t start, int32_t end) {
  int32_t count = 0;
  for (int32_t p = start; p < end; ++p)
    count += a.isChecksumByte(p) || b.isChecksumByte(p);
  return count;
}

std::vector<ShownRange> mergeNearbyRanges(const std::vector<std::pair<int32_t, int32_t>>& runs,
                                          const BiosImage& a, const BiosImage& b) {
  std::vector<ShownRange> shown;
  for (const auto& [start, end] : runs) {
    const int32_t checksums = checksumBytes(a, b, start, end);
    if (!shown.empty() && start - shown.back().end <= kMergeGap) {
      shown.back().end = end;
      shown.back().differing += end - start;
      shown.back().checksums += checksums;
    } else {
      shown.push_back({start, end, end - start, checksums});
    }
  }
  return shown;
}

std::string checksumNote(const ShownRange& r) {
  if (r.checksums == 0) return "";
  if (r.checksums == r.differing) return "; checksums";
  return "; " + std::to_string(r.checksums) + " of them checksums";
}

int32_t differingBytes(const std::vector<std::pair<int32_t, int32_t>>& runs) {
  int32_t total = 0;
  for (const auto& [start, end] : runs)
    total += end - start;
  return total;
}

void printRanges(const std::vector<std::pair<int32_t, int32_t>>& runs, bool all, const BiosImage& a,
                 const BiosImage& b) {
  if (runs.empty()) return;
  const std::vector<ShownRange> shown = mergeNearbyRanges(runs, a, b);
  printTo(stdout, "  %d bytes differ, in %zu range%s\n", differingBytes(runs), shown.size(),
          shown.size() == 1 ? "" : "s");
  const size_t count = all ? shown.size() : std::min(shown.size(), kRangesShown);
  for (size_t i = 0; i < count; ++i) {
    const ShownRange& r = shown[i];
    printTo(stdout, "  bytes 0x%04X..0x%04X (%d of %d differ%s)\n", r.start, r.end - 1, r.differing,
            r.end - r.start, checksumNote(r).c_str());
  }
  if (count < shown.size()) {
    printTo(stdout, "  ... %zu more ranges (--all shows them)\n", shown.size() - count);
  }
}

struct DiffOptions {
  std::string a, b;
  bool json = false;
  bool all = false;
};

std::string text(const std::string& name, const Json& value) {
  if (value.is_string()) return terminalText(value.get<std::string>());
  if (name == "vendorId" && value.is_number()) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%04X", value.get<unsigned>());
    return hex;
  }
  return jsonLine(value);
}

int runDiff(const DiffOptions& o) {
  const LoadedImage a = loadImageFile(o.a);
  const LoadedImage b = loadImageFile(o.b);
  for (const LoadedImage* loaded : {&a, &b}) {
    if (!loaded->readOk) {
      printTo(stderr, "%s: Error opening file (%s)\n", loaded->path.c_str(),
              loaded->readError.c_str());
      return kExitFileError;
    }
  }
  std::vector<Setting> settings;
  const auto sa = settingsOf(a);
  const auto sb = settingsOf(b);
  for (size_t i = 0; i < sa.size(); ++i) {
    if (sa[i].second != sb[i].second) settings.push_back({sa[i].first, sa[i].second, sb[i].second});
  }
  const Json glyphs8 = glyphsChanged(*a.image, *b.image, 8);
  const Json glyphs16 = glyphsChanged(*a.image, *b.image, 16);
  const auto ranges = differingRanges(*a.image, *b.image);
  const bool same = ranges.empty() && a.image->length == b.image->length;
  if (o.json) {
    Json out;
    out["a"] = o.a;
    out["b"] = o.b;
    out["same"] = same;
    out["lengths"] = {a.image->length, b.image->length};
    out["validateCodes"] = {a.validateCode, b.validateCode};
    out["settings"] = Json::array();
    for (const Setting& s : settings)
      out["settings"].push_back({{"name", s.name}, {"a", s.a}, {"b", s.b}});
    out["glyphsChanged"] = {{"8x8", glyphs8}, {"8x16", glyphs16}};
    out["bytesDiffering"] = differingBytes(ranges);
    int32_t checksums = 0;
    for (const auto& [start, end] : ranges)
      checksums += checksumBytes(*a.image, *b.image, start, end);
    out["checksumBytesDiffering"] = checksums;
    out["ranges"] = Json::array();
    for (const auto& [start, end] : ranges)
      out["ranges"].push_back({start, end});
    printTo(stdout, "%s\n", jsonLine(out).c_str());
  } else {
    printTo(stdout, "%s and %s %s\n", o.a.c_str(), o.b.c_str(),
            same ? "are the same image" : "differ");
    for (const Setting& s : settings) {
      printTo(stdout, "  %-20s %s -> %s\n", s.name.c_str(), text(s.name, s.a).c_str(),
              text(s.name, s.b).c_str());
    }
    for (const auto& [name, count] :
         {std::pair{"8x8 glyphs", glyphs8}, std::pair{"8x16 glyphs", glyphs16}}) {
      if (count.is_number() && count.get<int>() > 0)
        printTo(stdout, "  %-20s %d changed\n", name, count.get<int>());
    }
    printRanges(ranges, o.all, *a.image, *b.image);
  }
  return same ? kExitOk : kExitDifferent;
}

}  // namespace

void addDiffCommand(CLI::App& app, int& status) {
  auto o = std::make_shared<DiffOptions>();
  CLI::App* diff = app.add_subcommand("diff", "Show what differs between two images");
  diff->add_option("A", o->a, "First ROM image")->required();
  diff->add_option("B", o->b, "Second ROM image")->required();
  diff->add_flag("--json", o->json, "One JSON object, with every range of differing bytes");
  const std::string shown = std::to_string(kRangesShown);
  diff->add_flag("--all", o->all, "Show every range, not only the first " + shown);
  diff->footer(
      "Shows every setting the editor shows that differs, the number of changed glyphs of each "
      "font, how many bytes differ and the byte ranges that differ, saying which of their bytes "
      "are checksums (the checksum block and the byte that balances the upper 32 KiB, which "
      "differ whenever anything else does). In text, ranges are inclusive, runs of differing bytes "
      "at most " +
      std::to_string(kMergeGap) + " equal bytes apart are merged into one range, and the first " +
      shown +
      " ranges are shown unless --all is given; JSON gives every run unmerged, half-open "
      "[start, end). Exit status: 0 the same, 5 they differ, 1 a file cannot be read, 64 a "
      "wrong command line.");
  diff->callback([o, &status] { status = runDiff(*o); });
}

}  // namespace varnel::cli
