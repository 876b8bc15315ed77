// varnel-cli set: the editor's settings from the command line, made through
// the same document operations as the window's, and saved as its Save does.
#include <cctype>
#include <charconv>
#include <cstdio>
#include <optional>
#include <string>

#include "commands.h"
#include "console_text.h"
#include "document_session.h"
#include "image/image_fields.h"
#include "output_file.h"
#include "scripts/tv_table.h"

namespace varnel::cli {
namespace {

struct SetOptions {
  std::string input;
  std::string output;
  bool inPlace = false;
  std::optional<int> core;
  std::optional<int> memory;
  bool sync = false;
  std::string memoryType;
  std::optional<int> cas;
  std::string tvStandard;
  std::string crt;
  std::string tv;
  std::string allTvStandards;
  std::string vendor;
};

using Result = std::optional<CommandError>;

CommandError refused(const std::string& why) {
  return {kExitRefused, why};
}
CommandError usage(const std::string& why) {
  return {kExitUsage, why};
}

Result checkCombinations(const SetOptions& o) {
  if (o.sync && o.memory) return usage("--memory cannot be given with --sync: memory follows core");
  if (o.crt == "off" && o.tv == "off") {
    return usage("--crt off and --tv off: one output always stays on");
  }
  return std::nullopt;
}

// An edit the command cannot make exactly is refused, never changed into
// another: the document's reason is the message.
Result check(const EditResult& result, const char* hint = "") {
  if (result.refused() || result.reason == EditReason::kNoDividerBytes) {
    return refused(result.why + hint);
  }
  return std::nullopt;
}

Result applyClocks(const SetOptions& o, Document& document) {
  if (o.sync) {
    if (Result error = check(document.setClocksSynchronized(true))) return error;
  }
  if (o.core) {
    if (Result error = check(document.setCoreClock(*o.core))) return error;
  }
  if (o.memory) {
    // A memory clock of its own needs the clocks apart, as in the window.
    document.setClocksSynchronized(false);
    if (Result error = check(document.setMemoryClock(*o.memory))) return error;
  }
  return std::nullopt;
}

Result applyMemoryTimings(const SetOptions& o, Document& document) {
  if (!o.memoryType.empty()) {
    std::string type = o.memoryType;
    for (char& c : type)
      c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const std::optional<int> code = memoryTypeCode(type);
    if (!code) return usage("--memory-type is DDR or SDR");
    if (Result error = check(document.setMemoryType(*code))) return error;
  }
  if (o.cas) {
    if (Result error = check(document.setCas(*o.cas))) return error;
  }
  return std::nullopt;
}

std::optional<int> tvStandardCode(const std::string& text) {
  for (size_t code = 0; code < TvStandardNames.size(); ++code) {
    const std::string name = TvStandardNames[code];
    if (name.size() == text.size() &&
        std::equal(name.begin(), name.end(), text.begin(), [](char a, char b) {
          return std::tolower(static_cast<unsigned char>(a)) ==
                 std::tolower(static_cast<unsigned char>(b));
        })) {
      return static_cast<int>(code);
    }
  }
  size_t code = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), code);
  if (error == std::errc() && end == text.data() + text.size() && !text.empty() &&
      code < TvStandardNames.size()) {
    return static_cast<int>(code);
  }
  return std::nullopt;
}

Result applyTv(const SetOptions& o, Document& document) {
  if (!o.allTvStandards.empty()) {
    if (Result error = check(document.setAllTvStandards(o.allTvStandards == "on"))) return error;
  }
  if (!o.tvStandard.empty()) {
    const int code = *tvStandardCode(o.tvStandard);  // checked by the parser
    if (Result error = check(document.setTvStandard(code), "; add --all-tv-standards on")) {
      return error;
    }
  }
  // Turning one output off turns the other on, as in the window.
  if (!o.crt.empty()) {
    if (Result error = check(document.setCrtOutput(o.crt == "on"))) return error;
  }
  if (!o.tv.empty()) {
    if (Result error = check(document.setTvOutput(o.tv == "on"))) return error;
  }
  return std::nullopt;
}

Result applyVendor(const SetOptions& o, Document& document) {
  if (o.vendor.empty()) return std::nullopt;
  size_t used = 0;
  unsigned long id = 0;
  try {
    id = std::stoul(o.vendor, &used, 16);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used != o.vendor.size() || id > 0xFFFF) return usage("--vendor wants four hex digits");
  return check(document.setVendorId(static_cast<uint16_t>(id)));
}

// A memory clock the divider cannot reach with the memory type chosen would
// be saved as the word asked for beside a divider stopped at 255: refused,
// naming the highest clock this image reaches with that type.
Result checkMemoryDivider(const SetOptions& o, const Document& document) {
  const bool memoryClockAsked = o.memory || (o.sync && o.core) || !o.memoryType.empty();
  const std::string why = document.memoryLimitReason();
  if (!memoryClockAsked || why.empty()) return std::nullopt;
  return refused(why);
}

Result applyAll(const SetOptions& o, Document& document) {
  if (Result error = applyClocks(o, document)) return error;
  if (Result error = applyMemoryTimings(o, document)) return error;
  if (Result error = checkMemoryDivider(o, document)) return error;
  if (Result error = applyTv(o, document)) return error;
  return applyVendor(o, document);
}

Result runSet(const SetOptions& o) {
  if (Result error = checkCombinations(o)) return error;
  const InPlace inPlace = o.inPlace ? InPlace::kGiven : InPlace::kNotGiven;
  if (Result error = checkOutput(o.output, {o.input}, inPlace)) return error;
  OutputWriter writer;
  std::unique_ptr<InPlaceRun> held;
  if (Result error = InPlaceRun::begin(o.input, o.output, inPlace, writer, held)) return error;
  Document document;
  if (Result error = openDocument(o.input, document)) return error;
  // Not even the save alone: it would be a repair, which stays refused.
  if (document.scope() == EditScope::kFontsOnly) return refused(fontsOnlyRefusal());
  if (Result error = applyAll(o, document)) return error;
  if (Result error = saveDocument(document, o.output, writer)) return error;
  printTo(stdout, "%s\n", savedSummary(o.output, document.image()).c_str());
  return std::nullopt;
}

}  // namespace

void addSetCommand(CLI::App& app, int& status) {
  auto o = std::make_shared<SetOptions>();
  CLI::App* set = app.add_subcommand(
      "set", "Change settings of an image the way the editor's controls do, and save it");
  set->add_option("IN", o->input, "ROM image to change")->required();
  set->add_option("-o,--output", o->output, "Where to save the changed image")->required();
  set->add_flag("--in-place", o->inPlace, "Allow OUT to be IN; the original is kept as IN.bak");
  // The window's range; a clock beyond it is refused, never changed.
  set->add_option("--core", o->core, "Core clock, whole MHz (50 to 575)")
      ->check(CLI::Range(kLowestClockMHz, kHighestClockMHz));
  set->add_option("--memory", o->memory, "Memory clock, whole MHz (50 to 575)")
      ->check(CLI::Range(kLowestClockMHz, kHighestClockMHz));
  set->add_flag("--sync", o->sync, "Tie the memory clock to the core clock");
  set->add_option("--memory-type", o->memoryType, "DDR or SDR");
  set->add_option("--cas", o->cas, "CAS latency: 1, 2 or 3")
      ->check(CLI::Range(1, static_cast<int>(kCasNames.size())));
  set->add_option("--tv-standard", o->tvStandard, "TV standard at start-up: a name or code")
      ->check(CLI::Validator(
          [](const std::string& text) {
            return tvStandardCode(text) ? std::string() : "no standard named " + text;
          },
          "NAME|CODE"));
  set->add_option("--crt", o->crt, "CRT output at start-up")->check(CLI::IsMember({"on", "off"}));
  set->add_option("--tv", o->tv, "TV output at start-up")->check(CLI::IsMember({"on", "off"}));
  set->add_option("--all-tv-standards", o->allTvStandards,
                  "Offer every TV standard and mark all supported on save")
      ->check(CLI::IsMember({"on", "off"}));
  set->add_option("--vendor", o->vendor, "PCI vendor ID, hexadecimal");
  set->footer(
      "Changes are applied in this order: clocks, memory type, CAS, TV, vendor; then the image "
      "is saved exactly as the editor saves it (TV mask, checksums, atomic write). Exit status: "
      "0 saved, 1 a file cannot be read or written, 2 not a valid image, 3 checksums bad, 6 an "
      "option this image does not allow (also a memory clock its divider cannot reach with the "
      "memory type), 64 a wrong command line (also a clock outside 50 to 575). Nothing is "
      "written on failure.");
  set->callback([o, &status] {
    const Result error = runSet(*o);
    if (error) printTo(stderr, "varnel-cli set: %s\n", error->message.c_str());
    status = error ? error->status : kExitOk;
  });
}

}  // namespace varnel::cli
