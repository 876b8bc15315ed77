#include "image_report.h"

#include <cstdio>
#include <map>
#include <nlohmann/json.hpp>

#include "image/validation.h"
#include "scripts/tv_table.h"

namespace varnel::cli {
namespace {

using Json = nlohmann::ordered_json;

std::string hex(uint32_t value, int digits) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%0*X", digits, value);
  return buffer;
}

Json dwordOrNull(const BiosImage& image, ImageRef ref) {
  return ref ? Json(image.dwordAt(ref)) : Json(nullptr);
}

Json fieldBytesOrNull(const BiosImage& image, ImageRef ref) {
  if (!ref) return nullptr;
  Json bytes = Json::array();
  for (int i = 0; i < 4; ++i)
    bytes.push_back(image.byteAt(ref.offset + i));
  return bytes;
}

Json text(std::string_view value) {
  return latin1ToUtf8(value);
}

void addLayout(Json& out, const BiosImage& image) {
  out["length"] = image.length;
  out["pciDataOffset"] = image.pciDataOffset;
  out["headerOffset"] = image.headerOffset;
  out["pciIdCopyOffset"] = image.pciIdCopyOffset;
  out["checksumBlockOffset"] = image.checksumBlockOffset;
  out["pllInfoOffset"] = image.pllInfoOffset;
  out["tvTableOffset"] = image.tvTableOffset;
  out["tvStandard"] = image.tvStandard;
}

void addChecksums(Json& out, const BiosImage& image) {
  out["imageHash"] = image.imageHash;
  out["byteSum"] = image.byteSum;
  out["hashSlotA"] = dwordOrNull(image, image.hashSlotA);
  out["hashSlotB"] = dwordOrNull(image, image.hashSlotB);
  out["sumFieldA"] = fieldBytesOrNull(image, image.sumFieldA);
  out["sumFieldB"] = fieldBytesOrNull(image, image.sumFieldB);
}

void addTexts(Json& out, const BiosImage& image) {
  out["defaultCoreClock"] = wordOrNull(image, image.defaultCoreClock);
  out["defaultMemoryClock"] = wordOrNull(image, image.defaultMemoryClock);
  out["pllReferenceFreq"] = wordOrNull(image, image.pllReferenceFreq);
  out["title"] = text(image.titleText());
  out["dateString"] = text(image.text(image.dateString));
  out["configString"] = text(image.text(image.configString));
  out["isDdrBios"] = image.isDdrBios;
  out["biosDateTime"] = text(image.textAt(0x50));
  out["vendorId"] =
      image.headerOffset != 0 ? Json(image.wordAt(image.headerOffset + 0x1C)) : Json(nullptr);
}

Json offsetOrNull(ImageRef ref) {
  return ref ? Json(ref.offset) : Json(nullptr);
}

std::string printed(const char* format, double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, value);
  return buffer;
}

void addScripts(Json& out, const BiosImage& image) {
  Json scripts = Json::array();
  for (int32_t k = 0; k < image.scriptOffsets.count; ++k) {
    scripts.push_back(image.scriptOffsets.offsets[static_cast<size_t>(k)]);
  }
  out["scriptOffsets"] = scripts;
  out["memoryType"] = image.memoryType;
  out["casIndex"] = image.casIndex;
  out["busWidthBits"] = image.busWidthBits;
  out["coreFeedbackDivOffset"] = offsetOrNull(image.coreFeedbackDivPtr);
  out["memoryFeedbackDivOffset"] = offsetOrNull(image.memoryFeedbackDivPtr);
  out["coreFeedbackDiv"] = byteOrNull(image, image.coreFeedbackDivPtr);
  out["memoryFeedbackDiv"] = byteOrNull(image, image.memoryFeedbackDivPtr);
}

// Filled in after serialisation with their printf precision.
constexpr const char* kNumberPlaceholder = "#";

void addClocks(Json& out, std::map<std::string, std::string>& numbers, const BiosImage& image) {
  const std::pair<const char*, std::string> clocks[] = {
      // The single-precision step at single precision's own digits.
      {"clockStepMHz", printed("%.9g", static_cast<double>(image.clockStepMHz))},
      {"realCoreClock", printed("%.17g", image.realCoreClock())},
      {"realMemoryClock", printed("%.17g", image.realMemoryClock())},
      {"effectiveMemoryClock", printed("%.17g", image.effectiveMemoryClock())},
  };
  for (const auto& [key, number] : clocks) {
    out[key] = kNumberPlaceholder;
    numbers[key] = number;
  }
}

void addTvTable(Json& out, const BiosImage& image) {
  const int32_t tv = image.tvTableOffset;
  auto tvValue = [&](Json value) { return tv != 0 ? value : Json(nullptr); };
  const uint8_t outputs = image.byteAt(tv + 9);
  out["tvCrtOn"] = tvValue((outputs & 0x01) != 0);
  out["tvOutOn"] = tvValue((outputs & 0x02) != 0);
  out["tvSupportedMask"] = tvValue(image.byteAt(tv + 10));
  out["tvSupportedMask2"] = tvValue(image.byteAt(tv + 11));
}

// Numbers that must keep a printf precision are written as placeholders and
// replaced after serialisation; the key anchors each replacement, and a key
// followed by an unescaped quote cannot occur inside a JSON string.
std::string dumpWithNumbers(const Json& out, const std::map<std::string, std::string>& numbers) {
  std::string dump = jsonLine(out);
  for (const auto& [key, number] : numbers) {
    const std::string placeholder = "\"" + key + "\":\"" + kNumberPlaceholder + "\"";
    const size_t at = dump.find(placeholder);
    if (at != std::string::npos) dump.replace(at, placeholder.size(), "\"" + key + "\":" + number);
  }
  return dump;
}

std::string clockText(const BiosImage& image, ImageRef defaultWord, ImageRef divider, double real) {
  char buffer[160];
  const unsigned mhz = (image.wordAt(defaultWord) + 99u) / 100u;
  if (!divider) {
    std::snprintf(buffer, sizeof buffer, "%u MHz default; divider not found", mhz);
  } else {
    std::snprintf(buffer, sizeof buffer, "%u MHz default, %.2f MHz real (divider %d x %.2f MHz)",
                  mhz, real, image.byteAt(divider), static_cast<double>(image.clockStepMHz));
  }
  return buffer;
}

std::string memoryText(const BiosImage& image) {
  static const char* const kTypes[] = {"unknown type", "DDR", "SDR"};
  static const char* const kCas[] = {"unknown CAS", "CAS1 (Ultra)", "CAS2 (Normal)", "CAS3 (Slow)"};
  char buffer[160];
  std::snprintf(buffer, sizeof buffer, "%s, %s, %d-bit bus; %.2f MHz effective",
                image.memoryType <= 2 ? kTypes[image.memoryType] : "unknown type",
                image.casIndex <= 3 ? kCas[image.casIndex] : "unknown CAS", image.busWidthBits,
                image.effectiveMemoryClock());
  return buffer;
}

std::string tvText(const BiosImage& image) {
  const int32_t tv = image.tvTableOffset;
  if (tv == 0) return "no \"$TV\" table";
  std::string out = image.tvStandard < static_cast<int32_t>(TvStandardNames.size())
                        ? TvStandardNames[static_cast<size_t>(image.tvStandard)]
                        : "code " + std::to_string(image.tvStandard);
  const uint8_t outputs = image.byteAt(tv + 9);
  out += std::string(" at start-up; CRT ") + (outputs & 1 ? "on" : "off") + ", TV " +
         (outputs & 2 ? "on" : "off") + "; supported:";
  for (int code = 1; code < static_cast<int>(TvStandardNames.size()); ++code) {
    if (image.isTvStandardSupported(code))
      out += std::string(" ") + TvStandardNames[static_cast<size_t>(code)];
  }
  return out;
}

std::string fontText(const BiosImage& image) {
  auto table = [](const char* name, uint16_t offset) {
    return std::string(name) + (offset != 0 ? " at " + hex(offset, 4) : " not found");
  };
  return table("8x8", image.font8x8Offset) + ", " + table("8x16", image.font8x16Offset) + ", " +
         table("9x16 alternates", image.altFont9x16Offset) + ", " +
         table("9x14 alternates", image.altFont9x14Offset);
}

}  // namespace

std::string jsonLine(const Json& value) {
  return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

Json wordOrNull(const BiosImage& image, ImageRef ref) {
  return ref ? Json(image.wordAt(ref)) : Json(nullptr);
}

Json byteOrNull(const BiosImage& image, ImageRef ref) {
  return ref ? Json(image.byteAt(ref)) : Json(nullptr);
}

std::string latin1ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x80) {
      out.push_back(c);
    } else {
      out.push_back(static_cast<char>(0xC0 | b >> 6));
      out.push_back(static_cast<char>(0x80 | (b & 0x3F)));
    }
  }
  return out;
}

std::string infoJson(const LoadedImage& loaded) {
  const BiosImage& image = *loaded.image;
  Json out;
  out["bytesRead"] = loaded.bytesRead;
  out["validateCode"] = loaded.validateCode;
  out["checksumsValid"] = loaded.usable() && loaded.checksumsValid;
  addLayout(out, image);
  addChecksums(out, image);
  addTexts(out, image);
  std::map<std::string, std::string> numbers;
  addScripts(out, image);
  addClocks(out, numbers, image);
  addTvTable(out, image);
  out["font8x8Offset"] = image.font8x8Offset;
  out["font8x16Offset"] = image.font8x16Offset;
  out["altFont9x14Offset"] = image.altFont9x14Offset;
  out["altFont9x16Offset"] = image.altFont9x16Offset;
  return dumpWithNumbers(out, numbers);
}

std::string infoText(const LoadedImage& loaded) {
  const BiosImage& image = *loaded.image;
  std::string out = loaded.path + ": ";
  // A refusal is explained with the sentence the editor shows under its message.
  if (loaded.validateCode != 0) {
    return out + "not a valid ATI video BIOS. " + refusalReason(image, loaded.validateCode) + "\n";
  }
  out += loaded.checksumsValid ? "valid ATI video BIOS, checksums sound\n"
                               : std::string("valid ATI video BIOS, checksums bad. ") +
                                     refusalReason(image, kValid) + "\n";
  auto line = [&out](const char* label, const std::string& value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "  %-20s", label);
    out += buffer + value + "\n";
  };
  line("Title", latin1ToUtf8(image.titleText()));
  line("BIOS date/time", latin1ToUtf8(image.textAt(0x50)));
  line("Version text", latin1ToUtf8(image.text(image.dateString)));
  line("Configuration", latin1ToUtf8(image.text(image.configString)) +
                            (image.isDdrBios ? " (a DDR BIOS)" : " (an SDR BIOS)"));
  line("Size",
       std::to_string(image.length) + " bytes (" + std::to_string(loaded.bytesRead) + " read)");
  line("Vendor ID", hex(image.wordAt(image.headerOffset + 0x1C), 4));
  line("Device ID", hex(image.wordAt(image.headerOffset + 0x20), 4));
  line("Image hash", hex(image.imageHash, 8) + " (stored " +
                         hex(image.dwordAt(image.hashSlotA), 8) + " and " +
                         hex(image.dwordAt(image.hashSlotB), 8) + ")");
  line("Byte sum", hex(image.byteSum, 4) + " (fields want " +
                       hex(image.byteAt(image.sumFieldA.offset + 1) * 256u, 4) + ")");
  line("Core clock",
       clockText(image, image.defaultCoreClock, image.coreFeedbackDivPtr, image.realCoreClock()));
  line("Memory clock", clockText(image, image.defaultMemoryClock, image.memoryFeedbackDivPtr,
                                 image.realMemoryClock()));
  line("Memory", memoryText(image));
  line("TV-out", tvText(image));
  line("Type-1 scripts", std::to_string(image.scriptOffsets.count));
  line("Fonts", fontText(image));
  return out;
}

}  // namespace varnel::cli
