// varnel-cli check: what NEW changes against ORIGINAL, in the words the
// editor's Save shows, and the warnings to read before flashing NEW.
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>

#include "commands.h"
#include "console_text.h"
#include "document/change_report.h"
#include "document_session.h"
#include "image_report.h"

namespace varnel::cli {
namespace {

struct CheckOptions {
  std::string original;
  std::string changed;
  bool json = false;
};

void printReport(const CheckOptions& o, const ChangeReport& report) {
  if (o.json) {
    nlohmann::ordered_json out;
    out["original"] = o.original;
    out["new"] = o.changed;
    out["changes"] = report.changes;
    out["warnings"] = report.warnings;
    out["bytesDiffering"] = report.differingBytes;
    printTo(stdout, "%s\n", jsonLine(out).c_str());
    return;
  }
  printTo(stdout, "%s against %s:\n", o.changed.c_str(), o.original.c_str());
  if (report.changes.empty()) printTo(stdout, "  no setting differs\n");
  for (const std::string& line : report.changes)
    printTo(stdout, "  %s\n", line.c_str());
  printTo(stdout, "  %d bytes differ in all\n", report.differingBytes);
  for (const std::string& sentence : report.warnings)
    printTo(stdout, "warning: %s\n", sentence.c_str());
}

int runCheck(const CheckOptions& o) {
  Document original;
  Document changed;
  for (const auto& [path, document] : {std::pair{&o.original, &original}, {&o.changed, &changed}}) {
    if (const std::optional<CommandError> error = openDocument(*path, *document)) {
      printTo(stderr, "%s: %s\n", path->c_str(), error->message.c_str());
      return error->status;
    }
  }
  const ChangeReport report = compareImages(original.image(), changed.image());
  printReport(o, report);
  return report.warnings.empty() ? kExitOk : kExitWarnings;
}

}  // namespace

void addCheckCommand(CLI::App& app, int& status) {
  auto o = std::make_shared<CheckOptions>();
  CLI::App* check = app.add_subcommand(
      "check", "List what NEW changes against ORIGINAL, with the warnings the editor's Save gives");
  check->add_option("ORIGINAL", o->original, "The image NEW was made from")->required();
  check->add_option("NEW", o->changed, "The image to check before flashing it")->required();
  check->add_flag("--json", o->json, "One JSON object: changes, warnings, bytesDiffering");
  check->footer(
      "Both images are loaded as the editor loads them. The changes are the settings the editor "
      "edits, old -> new; the warnings: a core or memory clock more than 10 % above ORIGINAL's, "
      "a memory clock the divider cannot reach, a memory type the BIOS's configuration text "
      "contradicts, another vendor ID. Exit status: 0 no warning, 7 a warning, 1 a file cannot "
      "be read, 2 not a valid image, 3 checksums bad, 64 a wrong command line.");
  check->callback([o, &status] { status = runCheck(*o); });
}

}  // namespace varnel::cli
