#include <cstdio>
#include <memory>
#include <nlohmann/json.hpp>
#include <regex>
#include <string>

#include "commands.h"
#include "console_text.h"
#include "fonts/cpi_reader.h"
#include "image_report.h"
#include "io/file_io.h"
#include "loaded_image.h"

namespace varnel::cli {
namespace {

struct CpiOptions {
  std::string file;
  std::string size = "8x16";
  bool json = false;
};

bool parseSize(const std::string& text, int& width, int& height) {
  static const std::regex kSize("([0-9]{1,3})x([0-9]{1,3})");
  std::smatch match;
  if (!std::regex_match(text, match, kSize)) return false;
  width = std::stoi(match[1]);
  height = std::stoi(match[2]);
  return width > 0 && height > 0;
}

void printFonts(const CpiOptions& options, int result, const CpiFontList& fonts,
                const char* whyNot) {
  if (options.json) {
    nlohmann::ordered_json out;
    out["result"] = result;
    out["fonts"] = nlohmann::ordered_json::array();
    for (int i = 0; i < result; ++i) {
      const CpiFontEntry& font = fonts[static_cast<size_t>(i)];
      out["fonts"].push_back({{"codePage", font.codePage},
                              {"width", font.width},
                              {"height", font.height},
                              {"dataOffset", font.dataOffset}});
    }
    if (whyNot != nullptr) out["reason"] = whyNot;
    printTo(stdout, "%s\n", jsonLine(out).c_str());
    return;
  }
  if (result < 0) {
    printTo(stdout, "%s: not a readable code-page file%s%s\n", options.file.c_str(),
            whyNot != nullptr ? ": " : "", whyNot != nullptr ? whyNot : "");
    return;
  }
  printTo(stdout, "%s: %d font%s of %s\n", options.file.c_str(), result, result == 1 ? "" : "s",
          options.size.c_str());
  for (int i = 0; i < result; ++i) {
    const CpiFontEntry& font = fonts[static_cast<size_t>(i)];
    printTo(stdout, "  CodePage %d, %dx%d font, data at offset %d\n", font.codePage, font.width,
            font.height, font.dataOffset);
  }
}

int runCpi(const CpiOptions& options) {
  int width = 0;
  int height = 0;
  if (!parseSize(options.size, width, height)) {
    printTo(stderr, "--size wants WIDTHxHEIGHT, for example 8x16\n");
    return kExitUsage;
  }
  auto fonts = std::make_unique<CpiFontList>();
  int result = 0;
  const char* whyNot = nullptr;
  try {
    FileByteStream stream(options.file);
    result = readCpiFonts(stream, *fonts, width, height, &whyNot);
  } catch (const StreamError& error) {
    printTo(stderr, "%s: Error opening file (%s)\n", options.file.c_str(), error.what());
    return kExitFileError;
  }
  printFonts(options, result, *fonts, whyNot);
  return result < 0 ? kExitInvalidImage : kExitOk;
}

}  // namespace

void addCpiCommand(CLI::App& app, int& status) {
  auto options = std::make_shared<CpiOptions>();
  CLI::App* cpi = app.add_subcommand(
      "cpi", "List the screen fonts of one size in a DOS or Windows code-page (CPI) file");
  cpi->add_option("FILE", options->file, "Code-page file")->required();
  cpi->add_option("--size", options->size, "Cell size WIDTHxHEIGHT")->capture_default_str();
  cpi->add_flag("--json", options->json,
                "Print {\"result\": n, \"fonts\": [...]}, result -1 for an unreadable file");
  cpi->footer(
      "Exit status: 0 a code-page file (with or without fonts of the size), 1 the file cannot "
      "be read, 2 not a readable code-page file (the editor takes one without the code-page "
      "signature as a raw font, and refuses one with it), 64 a "
      "wrong command line.");
  cpi->callback([options, &status] { status = runCpi(*options); });
}

}  // namespace varnel::cli
