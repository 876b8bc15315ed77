// varnel-cli run as a process, the way scripts use it.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <nlohmann/json.hpp>

#include "document_session.h"
#include "support/cpi_builder.h"
#include "support/rom_builder.h"
#include "support/test_paths.h"

namespace varnel {
namespace {

using nlohmann::json;
using test::Bytes;
using test::RunResult;

RunResult cli(const std::vector<std::string>& args) {
  return test::runProgram(test::programPath("varnel-cli"), args);
}

// How the system explains a missing file or folder: POSIX's words, and on
// Windows whatever the system says after the path.
std::string missingReason() {
#ifdef _WIN32
  return ": ";
#else
  return ": No such file or directory)";
#endif
}

json infoOf(const std::string& path, RunResult* run = nullptr) {
  RunResult result = cli({"info", "--json", path});
  if (run != nullptr) *run = result;
  return json::parse(result.out);
}

TEST(CliInfo, SampleIsValidWithSoundChecksums) {
  RunResult run;
  const json info = infoOf(test::samplePath(), &run);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(info["validateCode"], 0);
  EXPECT_EQ(info["checksumsValid"], true);
  EXPECT_TRUE(run.err.empty()) << run.err;
}

TEST(CliInfo, JsonReportsTheRecordAfterTheLoad) {
  const test::BuiltRom rom = test::buildRom();
  const json info = infoOf(test::samplePath());
  const test::RomLayout& l = rom.layout;
  EXPECT_EQ(info["bytesRead"], 49152);
  EXPECT_EQ(info["length"], 49152);
  EXPECT_EQ(info["headerOffset"], l.headerOffset);
  EXPECT_EQ(info["pciDataOffset"], l.pciDataOffset);
  EXPECT_EQ(info["pciIdCopyOffset"], 0x70);
  EXPECT_EQ(info["checksumBlockOffset"], l.checksumBlockOffset);
  EXPECT_EQ(info["pllInfoOffset"], l.pllInfoOffset);
  EXPECT_EQ(info["tvTableOffset"], l.tvTableOffset);
  EXPECT_EQ(info["tvStandard"], 1);
  EXPECT_EQ(info["imageHash"], test::referenceHash(rom.bytes));
  EXPECT_EQ(info["byteSum"], test::referenceSum(rom.bytes));
  EXPECT_EQ(info["hashSlotA"], test::referenceHash(rom.bytes));
  EXPECT_EQ(info["hashSlotB"], test::referenceHash(rom.bytes));
  const size_t fieldA = static_cast<size_t>(l.checksumBlockOffset) + 8;
  EXPECT_EQ(info["sumFieldA"], json::array({rom.bytes[fieldA], rom.bytes[fieldA + 1],
                                            rom.bytes[fieldA + 2], rom.bytes[fieldA + 3]}));
  EXPECT_EQ(info["defaultCoreClock"], 27500);
  EXPECT_EQ(info["defaultMemoryClock"], 27000);
  EXPECT_EQ(info["pllReferenceFreq"], 2700);
  EXPECT_EQ(info["title"], "VARNEL SAMPLE R250 64MB DDR P/N 000-00000-000 ");
  EXPECT_EQ(info["dateString"], "BK-VARNEL VER001.000.001.000");
  EXPECT_EQ(info["configString"], "R250AGP DGD1UN");
  EXPECT_EQ(info["isDdrBios"], true);
  EXPECT_EQ(info["biosDateTime"], "2026/12/07 08:00");
  EXPECT_EQ(info["vendorId"], 0x1002);
}

TEST(CliInfo, JsonTextsAreConvertedFromLatin1) {
  test::RomSpec spec;
  spec.dateText = "Caf\xE9 \xA9";
  test::TempDir dir;
  test::writeFile(dir.file("latin1.rom"), test::buildRom(spec).bytes);
  const json info = infoOf(dir.file("latin1.rom"));
  EXPECT_EQ(info["dateString"], "Caf\xC3\xA9 \xC2\xA9");
}

TEST(CliInfo, JsonOfARefusedImageHasNullsForWhatWasNotFound) {
  test::TempDir dir;
  test::writeFile(dir.file("short.rom"), Bytes(100, 0x55));
  RunResult run;
  const json info = infoOf(dir.file("short.rom"), &run);
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("This is not a valid ATi BIOS"), std::string::npos);
  EXPECT_EQ(info["bytesRead"], 100);
  EXPECT_EQ(info["validateCode"], 2);
  EXPECT_EQ(info["checksumsValid"], false);
  EXPECT_TRUE(info["hashSlotA"].is_null());
  EXPECT_TRUE(info["sumFieldB"].is_null());
  EXPECT_TRUE(info["defaultCoreClock"].is_null());
  EXPECT_TRUE(info["vendorId"].is_null());
  EXPECT_EQ(info["dateString"], "");
}

TEST(CliInfo, ExitStatusAndMessagePerOutcome) {
  test::TempDir dir;
  Bytes bad = test::buildRom().bytes;
  bad[0x4000] ^= 1;
  test::writeFile(dir.file("bad.rom"), bad);
  Bytes invalid = test::buildRom().bytes;
  invalid[0x39] = '1';
  test::writeFile(dir.file("invalid.rom"), invalid);

  struct Case {
    std::string file;
    int status;
    std::string message;
  };
  for (const Case& c :
       {Case{test::samplePath(), 0, ""}, Case{dir.file("missing.rom"), 1, "Error opening file"},
        Case{dir.path(), 1, "Error opening file"},
        Case{dir.file("invalid.rom"), 2, "This is not a valid ATi BIOS"},
        Case{dir.file("bad.rom"), 3, "Checksums bad"}}) {
    const RunResult run = cli({"info", c.file});
    EXPECT_EQ(run.status, c.status) << c.file;
    if (!c.message.empty()) {
      EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    }
  }
}

// info explains a refusal with the very sentence the editor shows under
// its message.
TEST(CliInfo, TextSaysWhichCheckFailedInTheEditorsWords) {
  test::TempDir dir;
  Bytes invalid = test::buildRom().bytes;
  invalid[0x39] = '1';
  test::writeFile(dir.file("invalid.rom"), invalid);
  Bytes bad = test::buildRom().bytes;
  bad[0x4000] ^= 1;
  test::writeFile(dir.file("bad.rom"), bad);
  test::writeFile(dir.file("short.rom"), Bytes(100, 0x55));
  std::vector<std::string> files = {dir.file("invalid.rom"), dir.file("bad.rom"),
                                    dir.file("short.rom")};
  if (const auto data = test::testDataDir()) {
    // A later family's image opens for its fonts only while its checksums
    // are sound; damaged, it is refused for its configuration text.
    Bytes later = test::readFile(*data + "/roms/Sapphire.9600PRO.128.Samsung28.030829.rom");
    later[0x4000] ^= 1;
    test::writeFile(dir.file("later.rom"), later);
    files.push_back(dir.file("later.rom"));
    files.push_back(*data + "/roms/Rage128progl_zerostate.VBI");
  }
  for (const std::string& file : files) {
    Document document;
    const std::optional<cli::CommandError> error = cli::openDocument(file, document);
    ASSERT_TRUE(error) << file;
    // The command line puts the editor's second line in brackets after the first.
    const size_t open = error->message.find(" (");
    ASSERT_NE(open, std::string::npos) << error->message;
    ASSERT_EQ(error->message.back(), ')') << error->message;
    const std::string reason = error->message.substr(open + 2, error->message.size() - open - 3);
    const RunResult run = cli({"info", file});
    EXPECT_NE(run.out.find(reason), std::string::npos) << run.out << "\nwants: " << reason;
  }
  const RunResult sample = cli({"info", test::samplePath()});
  EXPECT_NE(sample.out.find("checksums sound"), std::string::npos) << sample.out;
  EXPECT_NE(sample.out.find("VARNEL SAMPLE"), std::string::npos);
}

// A BIOS of a later family opens for its fonts only: info says so and
// why, the font commands work, and whatever would change anything else is
// refused without writing.
TEST(CliFontsOnly, FontCommandsWorkAndEverythingElseIsRefused) {
  test::TempDir dir;
  const std::string later = dir.file("later.rom");
  const test::BuiltRom rom = test::buildRom(test::laterFamilySpec());
  test::writeFile(later, rom.bytes);
  const auto font = rom.bytes.begin() + rom.layout.font8x16Offset;
  Bytes glyphs(font, font + 4096);
  glyphs['A' * 16 + 3] ^= 0xFF;
  test::writeFile(dir.file("glyphs.fnt"), glyphs);
  test::writeFile(dir.file("blank.fnt"), Bytes(4096, 0));
  const std::string out = dir.file("out.rom");
  struct Case {
    std::vector<std::string> args;
    int status;
    const char* said;  // in standard output or error
    bool writes;
  };
  const Case cases[] = {
      {{"info", later}, 0, "fonts only (a BIOS of a later ATI family", false},
      {{"set", later, "-o", out, "--core", "300"}, 6, "varnel-cli set: fonts only: ", false},
      {{"set", later, "-o", out}, 6, "varnel-cli set: fonts only: ", false},
      {{"repair", later, "-o", out}, 2, "This is not a valid ATi BIOS", false},
      {{"font", "export", "8x8", later, out}, 0, "", true},
      {{"font", "render", later, "-o", out}, 0, "", true},
      {{"font", "import", "8x16", later, dir.file("blank.fnt"), "-o", out, "--force"},
       6,
       "opens for its fonts only while they look like fonts",
       false},
      {{"font", "import", "8x16", later, dir.file("glyphs.fnt"), "-o", out},
       0,
       "saved with the new 8x16 font",
       true},
  };
  for (const Case& c : cases) {
    std::filesystem::remove(out);
    const RunResult run = cli(c.args);
    EXPECT_EQ(run.status, c.status) << c.args[0] << run.err;
    EXPECT_NE((run.out + run.err).find(c.said), std::string::npos) << run.out << run.err;
    EXPECT_EQ(std::filesystem::exists(out), c.writes) << c.args[0];
  }
  // The image saved by the import: still its fonts only, checksums sound.
  RunResult run;
  const json info = infoOf(out, &run);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(info["fontsOnly"], kFontsOnlyReason);
  EXPECT_EQ(info["checksumsValid"], true);
  EXPECT_TRUE(infoOf(test::samplePath())["fontsOnly"].is_null());
}

// An image's texts reach a terminal with their control characters escaped:
// a hostile image cannot clear the screen, retitle the window or forge
// lines of the report.
TEST(CliInfo, TextsOfTheImageCannotSteerTheTerminal) {
  test::TempDir dir;
  test::RomSpec spec;
  spec.dateTime = "\x1b[2J\x07\x9b\nFAKE";
  test::writeFile(dir.file("hostile.rom"), test::buildRom(spec).bytes);
  for (const std::vector<std::string>& command :
       {std::vector<std::string>{"info", dir.file("hostile.rom")},
        std::vector<std::string>{"diff", test::samplePath(), dir.file("hostile.rom")}}) {
    const RunResult run = cli(command);
    SCOPED_TRACE(command[0] + ": " + run.out);
    for (const char c : run.out) {
      const auto b = static_cast<unsigned char>(c);
      EXPECT_TRUE(b >= 0x20 || b == '\n') << "control byte " << int{b};
    }
    EXPECT_EQ(run.out.find("\xC2\x9B"), std::string::npos);
    EXPECT_NE(run.out.find("\\x1B[2J\\x07\\u009B\\x0AFAKE"), std::string::npos);
  }
}

TEST(CliInfo, JsonReportsScriptsClocksAndTvTable) {
  test::RomSpec spec;
  spec.referenceWord = 2950;
  spec.tvOutputs = 0x02;
  spec.tvMask = 0x85;
  spec.tvMask2 = 0x01;
  const test::BuiltRom rom = test::buildRom(spec);
  test::TempDir dir;
  test::writeFile(dir.file("odd.rom"), rom.bytes);
  RunResult run;
  const json info = infoOf(dir.file("odd.rom"), &run);
  EXPECT_EQ(info["scriptOffsets"], json(rom.layout.type1Scripts));
  EXPECT_EQ(info["memoryType"], 1);
  EXPECT_EQ(info["casIndex"], 2);
  EXPECT_EQ(info["busWidthBits"], 128);
  EXPECT_EQ(info["coreFeedbackDivOffset"], rom.layout.pllEntry + 3);
  EXPECT_EQ(info["memoryFeedbackDivOffset"], rom.layout.pllEntry + 2);
  EXPECT_EQ(info["coreFeedbackDiv"], spec.coreDivider);
  EXPECT_EQ(info["memoryFeedbackDiv"], spec.memoryDivider);
  EXPECT_EQ(info["tvCrtOn"], false);
  EXPECT_EQ(info["tvOutOn"], true);
  EXPECT_EQ(info["tvSupportedMask"], 0x85);
  EXPECT_EQ(info["tvSupportedMask2"], 0x01);
  // The step keeps single precision's 9 digits; the clocks get 17.
  const double step = 2.4583333f;
  char expected[128];
  std::snprintf(expected, sizeof expected, "\"clockStepMHz\":2.45833325,\"realCoreClock\":%.17g,",
                spec.coreDivider * step);
  EXPECT_NE(run.out.find(expected), std::string::npos) << run.out;
  std::snprintf(expected, sizeof expected, "\"effectiveMemoryClock\":%.17g,",
                2 * spec.memoryDivider * step);
  EXPECT_NE(run.out.find(expected), std::string::npos) << run.out;
}

TEST(CliInfo, JsonHasNullsWithoutTvTableOrDividers) {
  test::TempDir dir;
  test::RomSpec spec;
  spec.hasTvTable = false;
  spec.loopForm = test::LoopForm::kNone;
  test::BuiltRom rom = test::buildRom(spec);
  rom.bytes[static_cast<size_t>(rom.layout.pllEntry)] = 0x09;  // no 0x0A entry is left
  test::writeFile(dir.file("plain.rom"), rom.bytes);
  const json info = infoOf(dir.file("plain.rom"));
  EXPECT_EQ(info["validateCode"], 0);
  for (const char* key : {"tvCrtOn", "tvOutOn", "tvSupportedMask", "tvSupportedMask2",
                          "coreFeedbackDivOffset", "memoryFeedbackDiv"}) {
    EXPECT_TRUE(info[key].is_null()) << key;
  }
  EXPECT_EQ(info["realCoreClock"], 0);
}

TEST(CliInfo, JsonReportsTheFontTables) {
  const test::BuiltRom rom = test::buildRom();
  const json info = infoOf(test::samplePath());
  EXPECT_EQ(info["font8x8Offset"], rom.layout.font8x8Offset);
  EXPECT_EQ(info["font8x16Offset"], rom.layout.font8x16Offset);
  EXPECT_EQ(info["altFont9x16Offset"], rom.layout.altFont9x16Offset);
  EXPECT_EQ(info["altFont9x14Offset"], rom.layout.altFont9x14Offset);
}

TEST(CliCpi, ListsTheFontsOfTheSize) {
  test::CpiSpec spec;
  spec.entries = {{850, {{8, 16}, {8, 8}}}, {437, {{8, 14}, {8, 16}}}};
  const test::BuiltCpi cpi = test::buildCpi(spec);
  test::TempDir dir;
  test::writeFile(dir.file("two.cpi"), cpi.bytes);
  RunResult run = cli({"cpi", dir.file("two.cpi"), "--size", "8x16", "--json"});
  EXPECT_EQ(run.status, 0);
  const json listing = json::parse(run.out);
  EXPECT_EQ(listing["result"], 2);
  ASSERT_EQ(listing["fonts"].size(), 2u);
  EXPECT_EQ(
      listing["fonts"][0],
      json({{"codePage", 850}, {"width", 8}, {"height", 16}, {"dataOffset", cpi.dataOffsets[0]}}));
  EXPECT_EQ(listing["fonts"][1]["codePage"], 437);
  EXPECT_EQ(listing["fonts"][1]["dataOffset"], cpi.dataOffsets[3]);

  run = cli({"cpi", dir.file("two.cpi"), "--size", "8x14"});
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("CodePage 437, 8x14 font"), std::string::npos) << run.out;
  run = cli({"cpi", dir.file("two.cpi"), "--size", "9x9", "--json"});
  EXPECT_EQ(json::parse(run.out)["result"], 0);
}

TEST(CliCpi, RefusalsAndErrors) {
  test::TempDir dir;
  test::writeFile(dir.file("raw.fnt"), Bytes(4096, 0));
  RunResult run = cli({"cpi", dir.file("raw.fnt"), "--json"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(json::parse(run.out), json({{"result", -1}, {"fonts", json::array()}}));
  run = cli({"cpi", dir.file("missing.cpi")});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("Error opening file"), std::string::npos);
  run = cli({"cpi", dir.file("raw.fnt"), "--size", "16"});
  EXPECT_EQ(run.status, 64);
}

TEST(CliTrace, PrintsEveryScriptOfTheSample) {
  const test::BuiltRom rom = test::buildRom();
  const RunResult run = cli({"trace", test::samplePath()});
  EXPECT_EQ(run.status, 0) << run.err;
  size_t last = 0;
  for (uint16_t script : rom.layout.type1Scripts) {
    char header[40];
    std::snprintf(header, sizeof header, "\nType1 script @ %04X:\n", script);
    const size_t at = run.out.find(header);
    EXPECT_NE(at, std::string::npos) << header;
    EXPECT_GE(at, last) << "type-1 scripts are traced in ascending order";
    last = at;
  }
  for (uint16_t script : rom.layout.type2Scripts) {
    char header[40];
    std::snprintf(header, sizeof header, "\nType2 script @ %04X:\n", script);
    EXPECT_GT(run.out.find(header), last) << header;
  }
  EXPECT_NE(run.out.find(" Reg8[0A] <- 007A7805\n"), std::string::npos) << run.out;
}

TEST(CliTrace, RefusedImageStillTracesWhatTheLoadMet) {
  test::TempDir dir;
  Bytes bytes = test::buildRom().bytes;
  bytes[0x39] = '1';
  test::writeFile(dir.file("invalid.rom"), bytes);
  const RunResult run = cli({"trace", dir.file("invalid.rom")});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.out.find("Type1 script @"), std::string::npos);
  EXPECT_NE(run.err.find("This is not a valid ATi BIOS"), std::string::npos);
}

TEST(CliRepair, WritesASoundImageOfExactlyItsLength) {
  test::TempDir dir;
  Bytes bytes = test::buildRom().bytes;
  bytes[0x4000] ^= 1;
  bytes.resize(65536, 0x77);  // more than the declared size
  test::writeFile(dir.file("in.rom"), bytes);
  RunResult run = cli({"repair", dir.file("in.rom"), "-o", dir.file("out.rom")});
  ASSERT_EQ(run.status, 0) << run.err;
  const Bytes out = test::readFile(dir.file("out.rom"));
  EXPECT_EQ(out.size(), 49152u);
  run = cli({"info", dir.file("out.rom")});
  EXPECT_EQ(run.status, 0) << run.out << run.err;
}

TEST(CliRepair, RefusesAnInvalidImageAndWritesNothing) {
  test::TempDir dir;
  test::writeFile(dir.file("in.rom"), Bytes(20000, 0));
  const RunResult run = cli({"repair", dir.file("in.rom"), "-o", dir.file("out.rom")});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("This is not a valid ATi BIOS"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir.file("out.rom")));
}

#ifdef _WIN32
// A read-only folder stops nobody from writing into it on Windows; a
// read-only file stops every save over it.
TEST(CliRepair, FailedWriteLeavesTheExistingOutputIntact) {
  test::TempDir dir;
  const Bytes previous(1234, 0x42);
  test::writeFile(dir.file("out.rom"), previous);
  std::filesystem::permissions(dir.file("out.rom"), std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::remove);
  const RunResult run = cli({"repair", test::samplePath(), "-o", dir.file("out.rom")});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("Error saving file"), std::string::npos) << run.err;
  EXPECT_EQ(test::readFile(dir.file("out.rom")), previous);
}
#else
TEST(CliRepair, FailedWriteLeavesTheExistingOutputIntact) {
  if (::geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
  test::TempDir dir;
  const std::string locked = dir.file("locked");
  ::mkdir(locked.c_str(), 0755);
  const Bytes previous(1234, 0x42);
  test::writeFile(locked + "/out.rom", previous);
  ::chmod(locked.c_str(), 0555);
  const RunResult run = cli({"repair", test::samplePath(), "-o", locked + "/out.rom"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("Error saving file"), std::string::npos);
  EXPECT_EQ(test::readFile(locked + "/out.rom"), previous);
}

// A file-size limit stands in for the full disk.
TEST(CliRepair, FullDiskLeavesTheExistingOutputIntact) {
  test::TempDir dir;
  const Bytes previous(1234, 0x42);
  test::writeFile(dir.file("out.rom"), previous);
  test::RunOptions fullDisk;
  fullDisk.fileSizeLimit = 4096;
  const RunResult run =
      test::runProgram(test::programPath("varnel-cli"),
                       {"repair", test::samplePath(), "-o", dir.file("out.rom")}, fullDisk);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(
      run.err.find("Error saving file (cannot write " + dir.file("out.rom") + ": File too large)"),
      std::string::npos)
      << run.err;
  EXPECT_EQ(test::readFile(dir.file("out.rom")), previous);
  // No temporary file is left behind.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                          std::filesystem::directory_iterator()),
            1);
}
#endif

TEST(CliRepair, FailedWriteIntoAMissingFolder) {
  test::TempDir dir;
  RunResult run = cli({"repair", test::samplePath(), "-o", dir.file("no/such/out.rom")});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("Error saving file (cannot create a temporary file for " +
                         dir.file("no/such/out.rom") + missingReason()),
            std::string::npos)
      << run.err;
  run = cli({"repair", dir.file("missing.rom"), "-o", dir.file("out.rom")});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(
      run.err.find("Error opening file (cannot open " + dir.file("missing.rom") + missingReason()),
      std::string::npos)
      << run.err;
}

}  // namespace
}  // namespace varnel
