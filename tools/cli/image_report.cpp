#include "image_report.h"

#include <cstdio>
#include <map>
#include <nlohmann/json.hpp>
#include <stdexcept>

#include "document/document.h"
#include "image/image_fields.h"
#include "image/layout.h"
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

Json wordOrNull(const BiosImage& image, ImageRef ref) {
  return ref ? Json(image.wordAt(ref)) : Json(nullptr);
}

Json vendorIdOrNull(const BiosImage& image) {
  return image.headerOffset != 0 ? Json(vendorId(image)) : Json(nullptr);
}

Json byteOrNull(const BiosImage& image, ImageRef ref) {
  return ref ? Json(image.byteAt(ref)) : Json(nullptr);
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

Json offsetOrNull(ImageRef ref) {
  return ref ? Json(ref.offset) : Json(nullptr);
}

Json scriptOffsets(const BiosImage& image) {
  Json scripts = Json::array();
  for (int32_t k = 0; k < image.scriptOffsets.count; ++k) {
    scripts.push_back(image.scriptOffsets.offsets[static_cast<size_t>(k)]);
  }
  return scripts;
}

Json tvValue(const BiosImage& image, Json value) {
  return image.tvTableOffset != 0 ? value : Json(nullptr);
}

// One field of the JSON report: its name, how it is read from a loaded image
// and, for a number that keeps a printf precision, the format.
struct InfoField {
  const char* name;
  Json (*read)(const LoadedImage&);
  const char* numberFormat = nullptr;
};

using L = const LoadedImage&;

// Every field of `info --json`, in output order.
const InfoField kInfoFields[] = {
    {"file", [](L l) -> Json { return l.path; }},
    {"bytesRead", [](L l) -> Json { return l.bytesRead; }},
    {"validateCode", [](L l) -> Json { return l.validateCode; }},
    {"fontsOnly", [](L l) { return l.fontsOnly ? Json(kFontsOnlyReason) : Json(nullptr); }},
    {"checksumsValid", [](L l) -> Json { return (l.usable() || l.fontsOnly) && l.checksumsValid; }},
    {"length", [](L l) -> Json { return l.image->length; }},
    {"pciDataOffset", [](L l) -> Json { return l.image->pciDataOffset; }},
    {"headerOffset", [](L l) -> Json { return l.image->headerOffset; }},
    {"pciIdCopyOffset", [](L l) -> Json { return l.image->pciIdCopyOffset; }},
    {"checksumBlockOffset", [](L l) -> Json { return l.image->checksumBlockOffset; }},
    {"pllInfoOffset", [](L l) -> Json { return l.image->pllInfoOffset; }},
    {"tvTableOffset", [](L l) -> Json { return l.image->tvTableOffset; }},
    {"tvStandard", [](L l) -> Json { return l.image->tvStandard; }},
    {"imageHash", [](L l) -> Json { return l.image->imageHash; }},
    {"byteSum", [](L l) -> Json { return l.image->byteSum; }},
    {"hashSlotA", [](L l) { return dwordOrNull(*l.image, l.image->hashSlotA); }},
    {"hashSlotB", [](L l) { return dwordOrNull(*l.image, l.image->hashSlotB); }},
    {"sumFieldA", [](L l) { return fieldBytesOrNull(*l.image, l.image->sumFieldA); }},
    {"sumFieldB", [](L l) { return fieldBytesOrNull(*l.image, l.image->sumFieldB); }},
    {"defaultCoreClock", [](L l) { return wordOrNull(*l.image, l.image->defaultCoreClock); }},
    {"defaultMemoryClock", [](L l) { return wordOrNull(*l.image, l.image->defaultMemoryClock); }},
    {"pllReferenceFreq", [](L l) { return wordOrNull(*l.image, l.image->pllReferenceFreq); }},
    {"title", [](L l) { return text(l.image->titleText()); }},
    {"dateString", [](L l) { return text(l.image->text(l.image->dateString)); }},
    {"configString", [](L l) { return text(l.image->text(l.image->configString)); }},
    {"isDdrBios", [](L l) -> Json { return l.image->isDdrBios; }},
    {"biosDateTime", [](L l) { return text(dateTimeText(*l.image)); }},
    {"vendorId", [](L l) { return vendorIdOrNull(*l.image); }},
    {"scriptOffsets", [](L l) { return scriptOffsets(*l.image); }},
    {"memoryType", [](L l) -> Json { return l.image->memoryType; }},
    {"casIndex", [](L l) -> Json { return l.image->casIndex; }},
    {"busWidthBits", [](L l) -> Json { return l.image->busWidthBits; }},
    {"coreFeedbackDivOffset", [](L l) { return offsetOrNull(l.image->coreFeedbackDivPtr); }},
    {"memoryFeedbackDivOffset", [](L l) { return offsetOrNull(l.image->memoryFeedbackDivPtr); }},
    {"coreFeedbackDiv", [](L l) { return byteOrNull(*l.image, l.image->coreFeedbackDivPtr); }},
    {"memoryFeedbackDiv", [](L l) { return byteOrNull(*l.image, l.image->memoryFeedbackDivPtr); }},
    // The single-precision step at single precision's own digits.
    {"clockStepMHz", [](L l) -> Json { return static_cast<double>(l.image->clockStepMHz); },
     "%.9g"},
    {"realCoreClock", [](L l) -> Json { return l.image->realCoreClock(); }, "%.17g"},
    {"realMemoryClock", [](L l) -> Json { return l.image->realMemoryClock(); }, "%.17g"},
    {"effectiveMemoryClock", [](L l) -> Json { return l.image->effectiveMemoryClock(); }, "%.17g"},
    {"tvCrtOn", [](L l) { return tvValue(*l.image, isCrtOutputOn(*l.image)); }},
    {"tvOutOn", [](L l) { return tvValue(*l.image, isTvOutputOn(*l.image)); }},
    {"tvSupportedMask", [](L l) { return tvValue(*l.image, tvSupportedMask(*l.image)); }},
    {"tvSupportedMask2", [](L l) { return tvValue(*l.image, tvSupportedMask2(*l.image)); }},
    {"font8x8Offset", [](L l) -> Json { return l.image->font8x8Offset; }},
    {"font8x16Offset", [](L l) -> Json { return l.image->font8x16Offset; }},
    {"altFont9x14Offset", [](L l) -> Json { return l.image->altFont9x14Offset; }},
    {"altFont9x16Offset", [](L l) -> Json { return l.image->altFont9x16Offset; }},
};

std::string printed(const char* format, double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, value);
  return buffer;
}

// Filled in after serialisation with their printf precision.
constexpr const char* kNumberPlaceholder = "#";

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
  const int mhz = image.wholeMHz(defaultWord);
  if (!divider) {
    std::snprintf(buffer, sizeof buffer, "%d MHz default; divider not found", mhz);
  } else {
    std::snprintf(buffer, sizeof buffer, "%d MHz default, %.2f MHz real (divider %d x %.2f MHz)",
                  mhz, real, image.byteAt(divider), static_cast<double>(image.clockStepMHz));
  }
  return buffer;
}

std::string memoryText(const BiosImage& image) {
  const char* type = memoryTypeName(image.memoryType);
  const char* cas = casName(image.casIndex);
  char buffer[160];
  std::snprintf(buffer, sizeof buffer, "%s, %s, %d-bit bus; %.2f MHz effective",
                type != nullptr ? type : "unknown type", cas != nullptr ? cas : "unknown CAS",
                image.busWidthBits, image.effectiveMemoryClock());
  return buffer;
}

std::string tvText(const BiosImage& image) {
  if (image.tvTableOffset == 0) return "no \"$TV\" table";
  std::string out = image.tvStandard < static_cast<int32_t>(TvStandardNames.size())
                        ? TvStandardNames[static_cast<size_t>(image.tvStandard)]
                        : "code " + std::to_string(image.tvStandard);
  out += std::string(" at start-up; CRT ") + (isCrtOutputOn(image) ? "on" : "off") + ", TV " +
         (isTvOutputOn(image) ? "on" : "off") + "; supported:";
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

std::string terminalText(std::string_view utf8) {
  std::string out;
  char escape[8];
  for (size_t i = 0; i < utf8.size(); ++i) {
    const auto b = static_cast<unsigned char>(utf8[i]);
    const auto next = i + 1 < utf8.size() ? static_cast<unsigned char>(utf8[i + 1]) : 0;
    if (b < 0x20 || b == 0x7F) {
      std::snprintf(escape, sizeof escape, "\\x%02X", b);
      out += escape;
    } else if (b == 0xC2 && next >= 0x80 && next <= 0x9F) {
      std::snprintf(escape, sizeof escape, "\\u%04X", next);
      out += escape;
      ++i;
    } else {
      out.push_back(static_cast<char>(b));
    }
  }
  return out;
}

std::string infoJson(const LoadedImage& loaded) {
  Json out;
  std::map<std::string, std::string> numbers;
  for (const InfoField& field : kInfoFields) {
    const Json value = field.read(loaded);
    if (field.numberFormat == nullptr) {
      out[field.name] = value;
    } else {
      out[field.name] = kNumberPlaceholder;
      numbers[field.name] = printed(field.numberFormat, value.get<double>());
    }
  }
  return dumpWithNumbers(out, numbers);
}

// The editor's message alone: the system's reason, which differs from one
// system to the next, goes to standard error, and the JSON stays the same
// on every system.
std::string infoErrorJson(const LoadedImage& loaded) {
  return jsonLine(Json{{"file", loaded.path}, {"error", loaded.editorMessage()}});
}

Json infoField(const LoadedImage& loaded, std::string_view name) {
  for (const InfoField& field : kInfoFields) {
    if (name == field.name) return field.read(loaded);
  }
  throw std::logic_error("no field of info --json is named " + std::string(name));
}

namespace {

std::string verdictText(const LoadedImage& loaded) {
  const BiosImage& image = *loaded.image;
  // A refusal is explained with the sentence the editor shows under its message.
  if (loaded.fontsOnly) {
    return std::string("fonts only (") + kFontsOnlyReason + "), checksums sound\n";
  }
  if (loaded.validateCode != 0) {
    return std::string("not a valid ATI video BIOS. ") + refusalReason(image, loaded.validateCode) +
           "\n";
  }
  return loaded.checksumsValid ? "valid ATI video BIOS, checksums sound\n"
                               : std::string("valid ATI video BIOS, checksums bad. ") +
                                     refusalReason(image, kValid) + "\n";
}

}  // namespace

std::string infoText(const LoadedImage& loaded) {
  const BiosImage& image = *loaded.image;
  std::string out = loaded.path + ": " + verdictText(loaded);
  if (loaded.validateCode != 0 && !loaded.fontsOnly) return out;
  auto line = [&out](const char* label, const std::string& value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "  %-20s", label);
    out += buffer + terminalText(value) + "\n";
  };
  // Of a BIOS whose fonts alone are edited, the settings the editor's rules
  // describe are not shown: they do not hold for it.
  const bool settings = !loaded.fontsOnly;
  line("Title", latin1ToUtf8(image.titleText()));
  line("BIOS date/time", latin1ToUtf8(dateTimeText(image)));
  line("Version text", latin1ToUtf8(image.text(image.dateString)));
  if (settings) {
    line("Configuration", latin1ToUtf8(image.text(image.configString)) +
                              (image.isDdrBios ? " (a DDR BIOS)" : " (an SDR BIOS)"));
  }
  line("Size",
       std::to_string(image.length) + " bytes (" + std::to_string(loaded.bytesRead) + " read)");
  line("Vendor ID", hex(vendorId(image), 4));
  line("Device ID", hex(image.wordAt(image.headerOffset + kHeaderDeviceId), 4));
  line("Image hash", hex(image.imageHash, 8) + " (stored " +
                         hex(image.dwordAt(image.hashSlotA), 8) + " and " +
                         hex(image.dwordAt(image.hashSlotB), 8) + ")");
  line("Byte sum", hex(image.byteSum, 4) + " (fields want " +
                       hex(image.byteAt(image.sumFieldA.offset + 1) * 256u, 4) + ")");
  if (settings) {
    line("Core clock",
         clockText(image, image.defaultCoreClock, image.coreFeedbackDivPtr, image.realCoreClock()));
    line("Memory clock", clockText(image, image.defaultMemoryClock, image.memoryFeedbackDivPtr,
                                   image.realMemoryClock()));
    line("Memory", memoryText(image));
    line("TV-out", tvText(image));
    line("Type-1 scripts", std::to_string(image.scriptOffsets.count));
  }
  line("Fonts", fontText(image));
  return out;
}

}  // namespace varnel::cli
