// varnel-cli set: the editor's settings from the command line, applied
// through the editor's own controls and saved the way its Save button does.
#include <cctype>
#include <charconv>
#include <cstdio>
#include <optional>
#include <string>

#include "commands.h"
#include "headless_editor.h"
#include "image/image_fields.h"
#include "output_file.h"
#include "scripts/tv_table.h"
#include "ui/control_ids.h"
#include "ui/editor_dialog.h"

namespace varnel::cli {
namespace {

using namespace ui;

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

bool anyClockOption(const SetOptions& o) {
  return o.core || o.memory || o.sync;
}
bool anyTvOption(const SetOptions& o) {
  return !o.tvStandard.empty() || !o.crt.empty() || !o.tv.empty() || !o.allTvStandards.empty();
}

Result checkCombinations(const SetOptions& o) {
  if (o.sync && o.memory) return usage("--memory cannot be given with --sync: memory follows core");
  if (o.crt == "off" && o.tv == "off") {
    return usage("--crt off and --tv off: one output always stays on");
  }
  return std::nullopt;
}

// What the image must have for the options asked.
Result checkImage(const SetOptions& o, HeadlessEditor& session) {
  const BiosImage& image = session.image();
  if (anyClockOption(o) && (!image.coreFeedbackDivPtr || !image.memoryFeedbackDivPtr)) {
    return refused("this image has no PLL divider bytes in its scripts");
  }
  if (!o.memoryType.empty() && !session.controls().isEnabled(kIdMemoryType)) {
    return refused("this image has no memory type in its scripts");
  }
  if (o.cas && !session.controls().isEnabled(kIdCas)) {
    return refused("this image has no CAS latency in its scripts");
  }
  if (anyTvOption(o) && image.tvTableOffset == 0) return refused("this image has no \"$TV\" table");
  return std::nullopt;
}

void setCheck(ui::HeadlessControls& controls, int id, bool on) {
  if (controls.isChecked(id) != on) controls.click(id);
}

void applyClocks(const SetOptions& o, HeadlessEditor& session) {
  ui::HeadlessControls& controls = session.controls();
  if (o.sync) setCheck(controls, kIdSyncClocks, true);
  // Each clock is typed and taken with Enter.
  if (o.core) {
    controls.type(kIdCoreEdit, std::to_string(*o.core));
    controls.pressEnter();
  }
  if (o.memory) {
    // A memory clock of its own needs the clocks apart, as in the window.
    setCheck(controls, kIdSyncClocks, false);
    controls.type(kIdMemoryEdit, std::to_string(*o.memory));
    controls.pressEnter();
  }
}

Result applyMemoryTimings(const SetOptions& o, HeadlessEditor& session) {
  ui::HeadlessControls& controls = session.controls();
  if (!o.memoryType.empty()) {
    std::string type = o.memoryType;
    for (char& c : type)
      c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const std::optional<int> code = memoryTypeCode(type);
    if (!code) return usage("--memory-type is DDR or SDR");
    controls.choose(kIdMemoryType, *code - 1);
  }
  if (o.cas) controls.choose(kIdCas, *o.cas - 1);
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

Result applyTv(const SetOptions& o, HeadlessEditor& session) {
  ui::HeadlessControls& controls = session.controls();
  if (!o.allTvStandards.empty()) setCheck(controls, kIdUnsupportedTv, o.allTvStandards == "on");
  if (!o.tvStandard.empty()) {
    const int code = *tvStandardCode(o.tvStandard);  // checked by the parser
    int index = -1;
    for (int i = 0; i < controls.itemCount(kIdTvStandard); ++i) {
      if (controls.itemData(kIdTvStandard, i) == static_cast<uint32_t>(code)) index = i;
    }
    if (index < 0) {
      return refused(std::string(TvStandardNames[static_cast<size_t>(code)]) +
                     " is not among the standards this image supports; add "
                     "--all-tv-standards on");
    }
    controls.choose(kIdTvStandard, index);
  }
  if (!o.crt.empty()) setCheck(controls, kIdCrtOn, o.crt == "on");
  if (!o.tv.empty()) setCheck(controls, kIdTvOn, o.tv == "on");
  return std::nullopt;
}

Result applyVendor(const SetOptions& o, HeadlessEditor& session) {
  if (o.vendor.empty()) return std::nullopt;
  size_t used = 0;
  unsigned long id = 0;
  try {
    id = std::stoul(o.vendor, &used, 16);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used != o.vendor.size() || id > 0xFFFF) return usage("--vendor wants four hex digits");
  ui::HeadlessControls& controls = session.controls();
  int index = -1;
  for (int i = 0; i < controls.itemCount(kIdVendor); ++i) {
    if (controls.itemData(kIdVendor, i) == id) index = i;
  }
  if (index < 0) {
    // A vendor the list lacks is added the way the load adds one.
    char text[64];
    std::snprintf(text, sizeof text, "%s [%04lX]", id == 0x1002 ? "ATi Technologies" : "Unknown",
                  id);
    index = controls.addString(kIdVendor, text);
    controls.setItemData(kIdVendor, index, static_cast<uint32_t>(id));
  }
  controls.choose(kIdVendor, index);
  return std::nullopt;
}

// A memory clock the divider cannot reach with the memory type chosen would
// be saved as the word asked for beside a divider stopped at 255: refused,
// naming the highest clock this image reaches with that type.
Result checkMemoryDivider(const SetOptions& o, const BiosImage& image) {
  const bool memoryClockAsked = o.memory || (o.sync && o.core) || !o.memoryType.empty();
  if (!memoryClockAsked || image.memoryType == 0) return std::nullopt;
  const int highest = image.highestReachableMemoryMHz(image.memoryType, ui::kHighestClockMHz);
  const int asked = image.wholeMHz(image.defaultMemoryClock);
  if (asked <= highest) return std::nullopt;
  const char* type = memoryTypeName(image.memoryType);
  return refused("a memory clock of " + std::to_string(asked) + " MHz is beyond the divider: " +
                 "with " + (type != nullptr ? type : "this") +
                 " memory this image reaches at most " + std::to_string(highest) + " MHz");
}

Result applyAll(const SetOptions& o, HeadlessEditor& session) {
  if (Result error = checkImage(o, session)) return error;
  applyClocks(o, session);
  if (Result error = applyMemoryTimings(o, session)) return error;
  if (Result error = checkMemoryDivider(o, session.image())) return error;
  if (Result error = applyTv(o, session)) return error;
  return applyVendor(o, session);
}

Result runSet(const SetOptions& o) {
  if (Result error = checkCombinations(o)) return error;
  const InPlace inPlace = o.inPlace ? InPlace::kGiven : InPlace::kNotGiven;
  if (Result error = checkOutput(o.output, {o.input}, inPlace)) return error;
  HeadlessEditor session;
  std::unique_ptr<InPlaceRun> held;
  if (Result error = InPlaceRun::begin(o.input, o.output, inPlace, session.platform(), held)) {
    return error;
  }
  if (Result error = session.load(o.input)) return error;
  if (Result error = applyAll(o, session)) return error;
  if (Result error = session.pressWithFile(kIdSave, o.output)) return error;
  std::printf("%s\n", savedSummary(o.output, session.image()).c_str());
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
      ->check(CLI::Range(ui::kLowestClockMHz, ui::kHighestClockMHz));
  set->add_option("--memory", o->memory, "Memory clock, whole MHz (50 to 575)")
      ->check(CLI::Range(ui::kLowestClockMHz, ui::kHighestClockMHz));
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
    if (error) std::fprintf(stderr, "varnel-cli set: %s\n", error->message.c_str());
    status = error ? error->status : kExitOk;
  });
}

}  // namespace varnel::cli
