// varnel-cli's editing commands, run as a process.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <png.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/xattr.h>
#endif

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>
#include <thread>
#include <utility>

#include "fonts/gunzip.h"
#include "fonts/psf.h"
#include "io/file_io.h"
#include "png_writer.h"
#include "support/cpi_builder.h"
#include "support/editor_fixture.h"
#include "support/psf_builder.h"
#include "support/rom_builder.h"
#include "support/test_paths.h"
#include "support/vga_fonts.h"
#include "ui/messages.h"

namespace varnel {
namespace {

using namespace ui;
using nlohmann::json;
using test::Bytes;
using test::RunResult;

RunResult cli(const std::vector<std::string>& args) {
  return test::runProgram(test::programPath("varnel-cli"), args);
}

class CliEdit : public testing::Test {
 protected:
  CliEdit() { test::writeFile(sample(), test::buildRom().bytes); }
  std::string sample() const { return dir.file("sample.rom"); }
  std::string file(const std::string& name) const { return dir.file(name); }
  bool exists(const std::string& name) const { return std::filesystem::exists(file(name)); }
  void write(const std::string& name, const test::RomSpec& spec) {
    test::writeFile(file(name), test::buildRom(spec).bytes);
  }
  test::TempDir dir;
};

// --- set: the same bytes as the editor -------------------------------------

struct Equivalence {
  const char* name;
  std::vector<std::string> options;
  std::function<void(HeadlessControls&)> user;  // what a user of the window does
};

class SetLikeTheEditor : public test::EditorFixture,
                         public testing::WithParamInterface<Equivalence> {};

TEST_P(SetLikeTheEditor, WritesTheBytesTheEditorWrites) {
  const Equivalence& c = GetParam();
  writeVendorList("10DE NVIDIA Corporation\n");
  load(test::buildRom().bytes, "in.rom");
  c.user(controls);
  const Bytes byEditor = save("editor.rom");

  std::vector<std::string> args = {"set", work.file("in.rom"), "-o", work.file("cli.rom")};
  args.insert(args.end(), c.options.begin(), c.options.end());
  const RunResult run = cli(args);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(test::readFile(work.file("cli.rom")) == byEditor);
}

void check(HeadlessControls& c, int id, bool on) {
  if (c.isChecked(id) != on) c.click(id);
}

INSTANTIATE_TEST_SUITE_P(
    Options, SetLikeTheEditor,
    testing::Values(
        Equivalence{"Nothing", {}, [](auto&) {}},
        Equivalence{"Core", {"--core", "300"}, [](auto& c) { c.type(kIdCoreEdit, "300"); }},
        Equivalence{"SdrAtTheDividersLimit",
                    {"--memory-type", "sdr", "--memory", "287"},
                    [](auto& c) {
                      c.choose(kIdMemoryType, 1);
                      c.type(kIdMemoryEdit, "287");
                    }},
        Equivalence{"Memory", {"--memory", "183"}, [](auto& c) { c.type(kIdMemoryEdit, "183"); }},
        Equivalence{"Sync", {"--sync"}, [](auto& c) { check(c, kIdSyncClocks, true); }},
        Equivalence{"SyncAndCore",
                    {"--sync", "--core", "320"},
                    [](auto& c) {
                      check(c, kIdSyncClocks, true);
                      c.drag(kIdCoreSlider, 320);
                    }},
        Equivalence{
            "MemoryTypeSdr", {"--memory-type", "sdr"}, [](auto& c) { c.choose(kIdMemoryType, 1); }},
        Equivalence{"Cas1", {"--cas", "1"}, [](auto& c) { c.choose(kIdCas, 0); }},
        Equivalence{"TvStandardByName",
                    {"--tv-standard", "pal"},
                    [](auto& c) { c.choose(kIdTvStandard, 2); }},
        Equivalence{"TvStandardByCode",
                    {"--tv-standard", "0"},
                    [](auto& c) { c.choose(kIdTvStandard, 0); }},
        Equivalence{"CrtOff", {"--crt", "off"}, [](auto& c) { c.click(kIdCrtOn); }},
        Equivalence{"TvOn", {"--tv", "on"}, [](auto& c) { c.click(kIdTvOn); }},
        Equivalence{"AllStandards",
                    {"--all-tv-standards", "on"},
                    [](auto& c) { c.click(kIdUnsupportedTv); }},
        Equivalence{"UnsupportedStandard",
                    {"--all-tv-standards", "on", "--tv-standard", "PAL-M"},
                    [](auto& c) {
                      c.click(kIdUnsupportedTv);
                      c.choose(kIdTvStandard, 3);
                    }},
        Equivalence{"Vendor",
                    {"--vendor", "10de"},
                    [](auto& c) {
                      for (int i = 0; i < c.itemCount(kIdVendor); ++i) {
                        if (c.itemData(kIdVendor, i) == 0x10DE) c.choose(kIdVendor, i);
                      }
                    }},
        Equivalence{"Everything",
                    {"--core", "290", "--memory", "200", "--memory-type", "SDR", "--cas", "3",
                     "--tv-standard", "PAL", "--crt", "off", "--vendor", "10DE"},
                    [](auto& c) {
                      c.type(kIdCoreEdit, "290");
                      c.type(kIdMemoryEdit, "200");
                      c.choose(kIdMemoryType, 1);
                      c.choose(kIdCas, 2);
                      c.choose(kIdTvStandard, 2);
                      c.click(kIdCrtOn);
                      c.choose(kIdVendor, 1);
                    }}),
    [](const testing::TestParamInfo<Equivalence>& info) { return std::string(info.param.name); });

// --- set: refusals ---------------------------------------------------------

struct Refusal {
  const char* name;
  std::function<test::RomSpec()> image;
  std::vector<std::string> options;
  int status;
  const char* reason;
};

class SetRefuses : public CliEdit, public testing::WithParamInterface<Refusal> {};

TEST_P(SetRefuses, NamesTheReasonAndWritesNothing) {
  const Refusal& c = GetParam();
  write("in.rom", c.image());
  std::vector<std::string> args = {"set", file("in.rom"), "-o", file("out.rom")};
  args.insert(args.end(), c.options.begin(), c.options.end());
  const RunResult run = cli(args);
  EXPECT_EQ(run.status, c.status);
  EXPECT_NE(run.err.find(c.reason), std::string::npos) << run.err;
  EXPECT_FALSE(exists("out.rom"));
}

test::RomSpec plain() {
  return {};
}
test::RomSpec noTv() {
  test::RomSpec spec;
  spec.hasTvTable = false;
  return spec;
}
test::RomSpec noMemoryConfig() {
  test::RomSpec spec;
  spec.memoryConfig1 = 0;
  spec.memoryConfig2 = 0;
  return spec;
}
test::RomSpec noDividers() {
  test::RomSpec spec;
  spec.loopForm = test::LoopForm::kNone;
  spec.memoryDivider = 0;
  spec.coreDivider = 0;
  return spec;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SetRefuses,
    testing::Values(
        Refusal{"NoTvTable", noTv, {"--tv-standard", "PAL"}, 6, "no \"$TV\" table"},
        Refusal{"NoTvTableCrt", noTv, {"--crt", "on"}, 6, "no \"$TV\" table"},
        Refusal{"NoMemoryType", noMemoryConfig, {"--memory-type", "DDR"}, 6, "no memory type"},
        Refusal{"NoCas", noMemoryConfig, {"--cas", "2"}, 6, "no CAS latency"},
        Refusal{
            "UnsupportedStandard", plain, {"--tv-standard", "PAL-N"}, 6, "--all-tv-standards on"},
        Refusal{"UnknownStandard", plain, {"--tv-standard", "SECAM"}, 64, "no standard named"},
        Refusal{"SyncWithMemory", plain, {"--sync", "--memory", "200"}, 64, "--memory cannot"},
        // A clock outside the window's range is refused, never clamped.
        Refusal{"CoreBeyondTheRange", plain, {"--core", "900"}, 64, "not in range 50 to 575"},
        Refusal{"MemoryBelowTheRange", plain, {"--memory", "49"}, 64, "not in range 50 to 575"},
        // So is a memory clock the divider cannot reach with the type chosen.
        Refusal{"MemoryBeyondTheDivider",
                plain,
                {"--memory-type", "sdr", "--memory", "288"},
                6,
                "with SDR memory this image reaches at most 287 MHz"},
        Refusal{"SyncedCoreBeyondTheDivider",
                plain,
                {"--memory-type", "SDR", "--sync", "--core", "400"},
                6,
                "a memory clock of 400 MHz is beyond the divider"},
        Refusal{"NoOutput", plain, {"--crt", "off", "--tv", "off"}, 64, "one output"},
        Refusal{"BadVendor", plain, {"--vendor", "XYZ"}, 64, "hex digits"},
        Refusal{"BadMemoryType", plain, {"--memory-type", "GDDR"}, 64, "DDR or SDR"},
        Refusal{"BadCas", plain, {"--cas", "4"}, 64, "not in range 1 to 3"}),
    [](const testing::TestParamInfo<Refusal>& info) { return std::string(info.param.name); });

TEST_F(CliEdit, SetRefusesClocksWithoutDividerBytes) {
  test::BuiltRom rom = test::buildRom(noDividers());
  rom.bytes[static_cast<size_t>(rom.layout.pllEntry)] = 0x0B;
  test::sealChecksums(rom.bytes, rom.layout.checksumBlockOffset, rom.layout.spareByte);
  test::writeFile(file("in.rom"), rom.bytes);
  const RunResult run = cli({"set", file("in.rom"), "-o", file("out.rom"), "--core", "300"});
  EXPECT_EQ(run.status, 6);
  EXPECT_NE(run.err.find("no PLL divider bytes"), std::string::npos) << run.err;
  EXPECT_FALSE(exists("out.rom"));
}

// A clock word between whole MHz (29925: 299.25 MHz) shows as the same
// whole MHz in the editor, in info and in set's summary.
TEST_F(CliEdit, SavedSummaryShowsTheClocksAsInfoAndTheEditorDo) {
  test::RomSpec spec;
  spec.coreClockWord = 29925;
  spec.memoryClockWord = 18301;
  write("odd.rom", spec);
  const RunResult set = cli({"set", file("odd.rom"), "-o", file("out.rom"), "--cas", "1"});
  ASSERT_EQ(set.status, 0) << set.err;
  EXPECT_NE(set.out.find("core 300 MHz"), std::string::npos) << set.out;
  EXPECT_NE(set.out.find("memory 184 MHz"), std::string::npos) << set.out;
  const RunResult info = cli({"info", file("out.rom")});
  EXPECT_NE(info.out.find("300 MHz default"), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("184 MHz default"), std::string::npos) << info.out;
}

TEST_F(CliEdit, SetRefusesInvalidAndMissingImages) {
  test::writeFile(file("short.rom"), Bytes(300, 0x55));
  RunResult run = cli({"set", file("short.rom"), "-o", file("out.rom"), "--core", "300"});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("This is not a valid ATi BIOS"), std::string::npos);
  run = cli({"set", file("missing.rom"), "-o", file("out.rom")});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("Error opening file"), std::string::npos);
  EXPECT_FALSE(exists("out.rom"));
}

// Whichever command reads it, an input that cannot be read is named with
// the system's reason, not only the editor's "Error opening file".
TEST_F(CliEdit, AnInputThatCannotBeReadIsNamedWithTheReason) {
  const std::string out = file("out.rom");
  // "@" stands for the input that cannot be read.
  const std::vector<std::vector<std::string>> commands = {
      {"info", "@"},
      {"repair", "@", "-o", out},
      {"trace", "@"},
      {"cpi", "@"},
      {"set", "@", "-o", out, "--core", "300"},
      {"font", "export", "8x16", "@", file("out.fnt")},
      {"font", "import", "8x16", "@", sample(), "-o", out},
      {"font", "import", "8x16", sample(), "@", "-o", out},
      {"font", "render", "@", "-o", file("f.png")},
      {"diff", sample(), "@"},
  };
  for (const std::string& unreadable : {file("missing.rom"), dir.path()}) {
    for (std::vector<std::string> args : commands) {
      std::replace(args.begin(), args.end(), std::string("@"), unreadable);
      SCOPED_TRACE(args[0] + " " + args[1] + " " + unreadable);
      const RunResult run = cli(args);
      EXPECT_EQ(run.status, 1);
      EXPECT_NE(run.err.find("Error opening file ("), std::string::npos) << run.err;
      EXPECT_NE(run.err.find(unreadable + ":"), std::string::npos) << run.err;
    }
  }
  EXPECT_FALSE(exists("out.rom"));
}

TEST_F(CliEdit, InPlaceNeedsItsFlagAndKeepsABackup) {
  const Bytes original = test::readFile(sample());
  RunResult run = cli({"set", sample(), "-o", sample(), "--core", "300"});
  EXPECT_EQ(run.status, 64);
  EXPECT_EQ(test::readFile(sample()), original);
  EXPECT_FALSE(exists("sample.rom.bak"));
  run = cli({"set", sample(), "-o", sample(), "--core", "300", "--in-place"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(test::readFile(sample() + ".bak"), original);
  EXPECT_NE(test::readFile(sample()), original);
  EXPECT_EQ(cli({"info", sample()}).status, 0);
}

// In place: IN.bak holds every byte IN had, and a run that fails, or that
// finds IN held by another run, leaves both IN and an older IN.bak alone.
struct InPlaceCase {
  const char* name;
  std::function<void(const std::string& in)> prepare;  // what the run meets
  long fileSizeLimit;
  int status;
  const char* reason;  // in the message of a failed run
};

class InPlace : public CliEdit, public testing::WithParamInterface<InPlaceCase> {};

// Another run's hold on IN, while a case needs one.
std::unique_ptr<FileLock> heldLock;

TEST_P(InPlace, BackupIsTheWholeOriginalOrUntouched) {
  const InPlaceCase& c = GetParam();
  test::writeFile(sample() + ".bak", Bytes(777, 0x77));  // an older backup
  c.prepare(sample());
  const Bytes original = test::readFile(sample());
  const bool link = std::filesystem::is_symlink(sample());
  const bool backupReadable = std::filesystem::is_regular_file(sample() + ".bak");
  const Bytes backupBefore = backupReadable ? test::readFile(sample() + ".bak") : Bytes();
  test::RunOptions options;
#ifndef _WIN32
  options.fileSizeLimit = c.fileSizeLimit;
#endif
  const RunResult run =
      test::runProgram(test::programPath("varnel-cli"),
                       {"set", sample(), "-o", sample(), "--core", "300", "--in-place"}, options);
  EXPECT_EQ(run.status, c.status) << run.err;
  if (c.status == 0) {
    EXPECT_EQ(test::readFile(sample() + ".bak"), original);
    EXPECT_EQ(std::filesystem::is_symlink(sample()), link);
    EXPECT_NE(test::readFile(sample()), original);
    EXPECT_EQ(cli({"info", sample()}).status, 0);
  } else {
    EXPECT_NE(run.err.find(c.reason), std::string::npos) << run.err;
    EXPECT_EQ(test::readFile(sample()), original);
    if (backupReadable) {
      EXPECT_EQ(test::readFile(sample() + ".bak"), backupBefore);
    } else {
      EXPECT_TRUE(std::filesystem::is_fifo(sample() + ".bak"));
    }
  }
  heldLock.reset();
}

// A flash dump: the image, then the rest of the chip.
void growToAFlashDump(const std::string& in) {
  Bytes bytes = test::readFile(in);
  for (size_t i = bytes.size(); i < 512 * 1024; ++i)
    bytes.push_back(static_cast<uint8_t>(i * 7));
  test::writeFile(in, bytes);
}

// Mode 0444 here, the read-only attribute on Windows.
void makeReadOnly(const std::string& path) {
  using std::filesystem::perms;
  std::filesystem::permissions(path, perms::owner_read | perms::group_read | perms::others_read);
}

const std::vector<InPlaceCase> kInPlaceCases = {
    InPlaceCase{"WholeFlashDump", growToAFlashDump, -1, 0, ""},
    InPlaceCase{"ReadOnlyInput", makeReadOnly, -1, 1, "read-only"},
    InPlaceCase{"HeldByAnotherRun",
                [](const std::string& in) { heldLock = std::make_unique<FileLock>(in); }, -1, 1,
                "being changed by another command"},
#ifndef _WIN32  // links, FIFOs and file-size limits as POSIX has them
    InPlaceCase{"ThroughALink",
                [](const std::string& in) {
                  std::filesystem::rename(in, in + ".real");
                  std::filesystem::create_symlink(in + ".real", in);
                },
                -1, 0, ""},
    InPlaceCase{"BackupIsAFifo",
                [](const std::string& in) {
                  std::filesystem::remove(in + ".bak");
                  ::mkfifo((in + ".bak").c_str(), 0644);
                },
                -1, 1, "it is a FIFO"},
    InPlaceCase{"BackupIsALinkToTheInput",
                [](const std::string& in) {
                  std::filesystem::remove(in + ".bak");
                  std::filesystem::create_symlink(in, in + ".bak");
                },
                -1, 1, "is the same file as"},
    InPlaceCase{"DiskFillsUp", [](const std::string&) {}, 4096, 1, "File too large"},
#endif
};

INSTANTIATE_TEST_SUITE_P(Cases, InPlace, testing::ValuesIn(kInPlaceCases),
                         [](const testing::TestParamInfo<InPlaceCase>& info) {
                           return std::string(info.param.name);
                         });

// --- font -----------------------------------------------------------------

TEST_F(CliEdit, FontExportWritesTheTable) {
  const test::BuiltRom rom = test::buildRom();
  RunResult run = cli({"font", "export", "8x16", sample(), file("f.fnt")});
  ASSERT_EQ(run.status, 0) << run.err;
  const auto table = rom.bytes.begin() + rom.layout.font8x16Offset;
  EXPECT_EQ(test::readFile(file("f.fnt")), Bytes(table, table + 4096));
  run = cli({"font", "export", "8x8", sample(), file("no/such/dir/f.fnt")});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("Error saving file"), std::string::npos);
  run = cli({"font", "export", "9x9", sample(), file("f.fnt")});
  EXPECT_EQ(run.status, 64);
  test::RomSpec spec;
  spec.hasFonts = false;
  write("nofont.rom", spec);
  run = cli({"font", "export", "8x8", file("nofont.rom"), file("g.fnt")});
  EXPECT_EQ(run.status, 6);
  EXPECT_NE(run.err.find("no 8x8 font table"), std::string::npos);
}

TEST_F(CliEdit, FontExportAndRenderWriteToStandardOutputForADash) {
  ASSERT_EQ(cli({"font", "export", "8x16", sample(), file("f.fnt")}).status, 0);
  RunResult run = cli({"font", "export", "8x16", sample(), "-"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Bytes(run.out.begin(), run.out.end()), test::readFile(file("f.fnt")));
  ASSERT_EQ(cli({"font", "render", sample(), "-o", file("f.png")}).status, 0);
  run = cli({"font", "render", sample(), "-o", "-"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Bytes(run.out.begin(), run.out.end()), test::readFile(file("f.png")));
  EXPECT_FALSE(exists("-"));
}

Bytes bold(const uint8_t* font, size_t size) {
  Bytes out(font, font + size);
  for (auto& row : out)
    row = static_cast<uint8_t>(row | row >> 1);
  return out;
}

TEST_F(CliEdit, FontImportFromRawFiles) {
  const test::BuiltRom rom = test::buildRom();
  const Bytes font = bold(test::kVgaFont8x8.data(), 2048);
  test::writeFile(file("bold.fnt"), font);
  RunResult run = cli({"font", "import", "8x8", sample(), file("bold.fnt"), "-o", file("out.rom")});
  ASSERT_EQ(run.status, 0) << run.err;
  const Bytes out = test::readFile(file("out.rom"));
  EXPECT_EQ(
      Bytes(out.begin() + rom.layout.font8x8Offset, out.begin() + rom.layout.font8x8Offset + 2048),
      font);
  EXPECT_EQ(cli({"info", file("out.rom")}).status, 0);

  test::writeFile(file("junk.fnt"), Bytes(4096, 0x5A));
  run = cli({"font", "import", "8x16", sample(), file("junk.fnt"), "-o", file("junk.rom")});
  EXPECT_EQ(run.status, 6);
  EXPECT_NE(run.err.find("This file does not seem to be a valid 8x16 font. (Do you really want to "
                         "load it?) (give --force to load it anyway)"),
            std::string::npos)
      << run.err;
  EXPECT_FALSE(exists("junk.rom"));
  run = cli(
      {"font", "import", "8x16", sample(), file("junk.fnt"), "-o", file("junk.rom"), "--force"});
  EXPECT_EQ(run.status, 0) << run.err;

  const Bytes original = test::readFile(sample());
  run = cli({"font", "import", "8x8", sample(), file("bold.fnt"), "-o", sample()});
  EXPECT_EQ(run.status, 64);
  run = cli(
      {"font", "import", "8x8", sample(), file("bold.fnt"), "-o", file("bold.fnt"), "--in-place"});
  EXPECT_EQ(run.status, 64);
  EXPECT_EQ(test::readFile(file("bold.fnt")), font);
  run = cli({"font", "import", "8x8", sample(), file("bold.fnt"), "-o", sample(), "--in-place"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(test::readFile(sample() + ".bak"), original);

  test::writeFile(file("short.fnt"), Bytes(100, 0x18));
  run = cli({"font", "import", "8x8", sample(), file("short.fnt"), "-o", file("short.rom")});
  EXPECT_EQ(run.status, 6);
  EXPECT_NE(run.err.find("Invalid file"), std::string::npos);
  EXPECT_FALSE(exists("short.rom"));
}

TEST_F(CliEdit, FontImportFromCodePageFiles) {
  const test::BuiltRom rom = test::buildRom();
  test::CpiSpec spec;
  spec.entries = {{850, {{8, 16}}}, {437, {{8, 16}, {8, 14}}}};
  test::writeFile(file("two.cpi"), test::buildCpi(spec).bytes);
  auto font16 = [&](const std::string& name) {
    const Bytes out = test::readFile(file(name));
    const auto at = out.begin() + rom.layout.font8x16Offset;
    return Bytes(at, at + 4096);
  };
  RunResult run = cli({"font", "import", "8x16", sample(), file("two.cpi"), "-o", file("a.rom"),
                       "--codepage", "437"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(font16("a.rom"), test::cpiGlyphData(437, {8, 16}));
  run = cli(
      {"font", "import", "8x16", sample(), file("two.cpi"), "-o", file("b.rom"), "--index", "0"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(font16("b.rom"), test::cpiGlyphData(850, {8, 16}));

  run = cli({"font", "import", "8x16", sample(), file("two.cpi"), "-o", file("c.rom")});
  EXPECT_EQ(run.status, 64);
  EXPECT_NE(run.err.find("1: CodePage 437, 8x16 font"), std::string::npos) << run.err;
  run = cli({"font", "import", "8x16", sample(), file("two.cpi"), "-o", file("c.rom"), "--codepage",
             "866"});
  EXPECT_EQ(run.status, 64);
  run = cli({"font", "import", "8x8", sample(), file("two.cpi"), "-o", file("c.rom")});
  EXPECT_EQ(run.status, 6);
  EXPECT_NE(run.err.find("There are no 8x8 fonts int this file."), std::string::npos);
  EXPECT_FALSE(exists("c.rom"));
}

// The table of glyph height 8 or 16 of an image made from the sample.
Bytes fontOf(const Bytes& image, int height) {
  const test::RomLayout layout = test::buildRom().layout;
  const auto at = image.begin() + (height == 8 ? layout.font8x8Offset : layout.font8x16Offset);
  return Bytes(at, at + 256 * height);
}

// Whether kbd's psfxtable, which the console's own tools read fonts with,
// reads the PSF file at `path` (compressed files through gzip); empty
// when it does, else what it said.
std::optional<std::string> psfxtableRefuses(const std::string& path, const test::TempDir& work) {
#ifdef _WIN32
  (void)path;
  (void)work;
  return std::nullopt;
#else
  const RunResult run = test::runProgram(
      "/bin/sh",
      {"-c", "gzip -dcf \"$1\" | psfxtable -i - -ot \"$2\"", "sh", path, work.file("table.txt")});
  if (run.status == 0 && run.err.empty()) return std::nullopt;
  return "status " + std::to_string(run.status) + ": " + run.err;
#endif
}

bool havePsfxtable() {
#ifdef _WIN32
  return true;  // not run there
#else
  return std::filesystem::exists("/usr/bin/psfxtable");
#endif
}

TEST_F(CliEdit, FontExportWritesPsfWhereTheNameOrTheOptionAsks) {
  if (!havePsfxtable()) GTEST_SKIP() << "no /usr/bin/psfxtable (Debian's kbd) to read the fonts";
  const Bytes table = fontOf(test::buildRom().bytes, 16);
  enum Format { kRaw, kPsf, kCompressed };
  struct Case {
    std::string out;
    std::vector<std::string> options;
    Format format;
  };
  for (const Case& c :
       {Case{"f.psf", {}, kPsf}, Case{"F.PSF.GZ", {}, kCompressed},
        Case{"f.fnt", {"--format", "psf"}, kPsf}, Case{"g.psf", {"--format", "raw"}, kRaw},
        Case{"g.psf.gz", {"--format", "psf"}, kCompressed}, Case{"-", {"--format", "psf"}, kPsf}}) {
    std::vector<std::string> args = {"font", "export", "8x16", sample(),
                                     c.out == "-" ? "-" : file(c.out)};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const RunResult run = cli(args);
    ASSERT_EQ(run.status, 0) << c.out << run.err;
    if (c.out == "-") test::writeFile(file("stdout.psf"), Bytes(run.out.begin(), run.out.end()));
    const std::string path = file(c.out == "-" ? "stdout.psf" : c.out);
    const Bytes written = test::readFile(path);
    if (c.format == kRaw) {
      EXPECT_EQ(written, table) << c.out;
      continue;
    }
    ASSERT_GE(written.size(), 4u) << c.out;
    EXPECT_EQ(written[0], c.format == kPsf ? 0x72 : 0x1F) << c.out;
    EXPECT_EQ(readPsf(written, 16).glyphs, table) << c.out;
    EXPECT_EQ(psfxtableRefuses(path, dir), std::nullopt) << c.out;
  }
}

TEST_F(CliEdit, FontImportFromPsfFilesOrTheReasonNot) {
  test::PsfSpec wide;
  wide.width = 9;
  test::writeFile(file("good.psf.gz"), gzip(test::buildPsf({})));
  test::writeFile(file("wide.psf"), test::buildPsf(wide));
  RunResult run =
      cli({"font", "import", "8x16", sample(), file("good.psf.gz"), "-o", file("good.rom")});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(fontOf(test::readFile(file("good.rom")), 16), test::psfGlyphData(256, 16));
  run = cli({"font", "import", "8x16", sample(), file("wide.psf"), "-o", file("wide.rom")});
  EXPECT_EQ(run.status, 6);
  EXPECT_NE(run.err.find("Not a usable PSF font (the font is 9x16, not 8x16)"), std::string::npos)
      << run.err;
  EXPECT_FALSE(exists("wide.rom"));
}

// Debian's console fonts: those of the tables' sizes import and export
// again, glyph for glyph, as files the console's tools read; the others are
// refused with their size.
TEST_F(CliEdit, ConsoleFontsImportAndExportAgain) {
  const std::optional<std::string> fonts = test::consoleFontsDir();
  if (!fonts) GTEST_SKIP() << "no console fonts in /usr/share/consolefonts (console-setup-linux)";
  if (!havePsfxtable()) GTEST_SKIP() << "no /usr/bin/psfxtable (Debian's kbd) to read the fonts";
  struct Case {
    const char* name;
    const char* size;
    int height;
    const char* refusal;  // null when it imports
  };
  for (const Case& c : {
           Case{"Lat15-Fixed16.psf.gz", "8x16", 16, nullptr},
           Case{"Lat15-VGA8.psf.gz", "8x8", 8, nullptr},
           Case{"Uni2-VGA16.psf.gz", "8x16", 16, nullptr},  // 512 glyphs
           Case{"Lat15-Fixed16.psf.gz", "8x8", 8, "the font is 8x16, not 8x8"},
           Case{"Lat15-Fixed13.psf.gz", "8x16", 16, "the font is 8x13, not 8x16"},
           Case{"Lat15-Terminus32x16.psf.gz", "8x16", 16, "the font is 16x32, not 8x16"},
       }) {
    const std::string font = *fonts + "/" + c.name;
    if (!std::filesystem::exists(font)) GTEST_SKIP() << font << " is missing";
    const std::string image = file("with-" + std::string(c.name) + ".rom");
    RunResult run = cli({"font", "import", c.size, sample(), font, "-o", image});
    if (c.refusal != nullptr) {
      EXPECT_EQ(run.status, 6) << c.name;
      EXPECT_NE(run.err.find(std::string("Not a usable PSF font (") + c.refusal + ")"),
                std::string::npos)
          << c.name << ": " << run.err;
      continue;
    }
    ASSERT_EQ(run.status, 0) << c.name << ": " << run.err;
    const std::string exported = file(std::string("again-") + c.name);
    ASSERT_EQ(cli({"font", "export", c.size, image, exported}).status, 0) << c.name;
    // Each of these is a PSF1 file: four header bytes, then the glyphs.
    const Inflated inflated = gunzip(test::readFile(font), 1 << 20);
    ASSERT_GE(inflated.bytes.size(), 4u + 256u * static_cast<size_t>(c.height)) << c.name;
    ASSERT_EQ(inflated.bytes[0], 0x36) << c.name;
    const Bytes original(inflated.bytes.begin() + 4, inflated.bytes.begin() + 4 + 256 * c.height);
    EXPECT_EQ(fontOf(test::readFile(image), c.height), original) << c.name;
    EXPECT_EQ(readPsf(test::readFile(exported), c.height).glyphs, original) << c.name;
    EXPECT_EQ(psfxtableRefuses(exported, dir), std::nullopt) << c.name;
  }
}

// libpng, which reads the pictures back, is Debian's for Linux only; the
// encoder of the Windows build is checked here on Linux.
#ifndef _WIN32
// A PNG decoded by libpng, which checks every chunk's CRC-32 and the
// image data's Adler-32; empty when the file does not decode.
struct Png {
  int width = 0, height = 0;
  Bytes pixels;  // 8-bit grey, rows top to bottom
  uint8_t at(int x, int y) const { return pixels[static_cast<size_t>(y * width + x)]; }
};

Png readPng(const Bytes& file) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  Png png;
  if (png_image_begin_read_from_memory(&image, file.data(), file.size())) {
    image.format = PNG_FORMAT_GRAY;
    Bytes pixels(PNG_IMAGE_SIZE(image));
    if (png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
      png = {static_cast<int>(image.width), static_cast<int>(image.height), pixels};
    }
  }
  EXPECT_EQ(image.warning_or_error, 0u) << image.message;
  png_image_free(&image);
  return png;
}

// The encoder the Windows build uses, checked by libpng here: one row, and
// pictures whose data needs one and several stored blocks.
TEST(UncompressedPng, DecodesToThePixelsWritten) {
  for (const auto& [width, height] : {std::pair{1, 1}, {296, 224}, {888, 672}}) {
    cli::GreyImage image(width, height);
    for (size_t i = 0; i < image.pixels.size(); ++i)
      image.pixels[i] = static_cast<uint8_t>(i * 7);
    const Png png = readPng(cli::encodeUncompressedPng(image));
    EXPECT_EQ(png.width, width);
    EXPECT_EQ(png.height, height);
    EXPECT_EQ(png.pixels, image.pixels) << width << "x" << height;
  }
}

TEST_F(CliEdit, FontRenderDrawsBothFontsScaled) {
  for (int scale : {1, 3}) {
    const std::string out = file("fonts" + std::to_string(scale) + ".png");
    const RunResult run =
        cli({"font", "render", sample(), "-o", out, "--scale", std::to_string(scale)});
    ASSERT_EQ(run.status, 0) << run.err;
    const Png png = readPng(test::readFile(out));
    EXPECT_EQ(png.width, 296 * scale);
    EXPECT_EQ(png.height, 224 * scale);
    ASSERT_EQ(png.pixels.size(), static_cast<size_t>(png.width * png.height));
    // Glyph 'A' (0x41) of the 8x16 font: column 1, row 2 of its grid.
    const uint8_t* glyph = &test::kVgaFont8x16[0x41 * 16];
    for (int row = 0; row < 16; ++row) {
      for (int bit = 0; bit < 8; ++bit) {
        const bool ink = glyph[row] & (0x80 >> bit);
        const int x = (4 + 1 * 9 + bit) * scale;
        const int y = (84 + 2 * 17 + row) * scale;
        EXPECT_EQ(png.at(x, y) == 0, ink) << row << "," << bit;
      }
    }
  }
  EXPECT_EQ(cli({"font", "render", sample(), "-o", file("x.png"), "--scale", "0"}).status, 64);
}
#endif

// --- diff -----------------------------------------------------------------

TEST_F(CliEdit, DiffShowsSettingsGlyphsAndRanges) {
  ASSERT_EQ(cli({"set", sample(), "-o", file("b.rom"), "--core", "300", "--vendor", "10DE"}).status,
            0);
  const Bytes font = bold(test::kVgaFont8x8.data(), 2048);
  test::writeFile(file("bold.fnt"), font);
  ASSERT_EQ(
      cli({"font", "import", "8x8", file("b.rom"), file("bold.fnt"), "-o", file("c.rom")}).status,
      0);

  EXPECT_EQ(cli({"diff", sample(), sample()}).status, 0);
  RunResult run = cli({"diff", sample(), file("c.rom")});
  EXPECT_EQ(run.status, 5);
  EXPECT_NE(run.out.find("defaultCoreClock     27500 -> 30000"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("vendorId             0x1002 -> 0x10DE"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("8x8 glyphs"), std::string::npos) << run.out;

  run = cli({"diff", "--json", sample(), file("b.rom")});
  EXPECT_EQ(run.status, 5);
  const json out = json::parse(run.out);
  EXPECT_EQ(out["same"], false);
  std::vector<std::string> names;
  for (const json& setting : out["settings"])
    names.push_back(setting["name"]);
  EXPECT_EQ(names, (std::vector<std::string>{"defaultCoreClock", "coreFeedbackDiv", "vendorId"}));
  EXPECT_EQ(out["glyphsChanged"]["8x8"], 0);
  const test::BuiltRom rom = test::buildRom();
  bool vendorRange = false;
  for (const json& range : out["ranges"]) {
    vendorRange |=
        range[0] <= rom.layout.headerOffset + 0x1C && rom.layout.headerOffset + 0x1C < range[1];
  }
  EXPECT_TRUE(vendorRange);
  // The repaired checksums are named as such: the checksum block the
  // builder placed, and the last byte, which balances the upper 32 KiB.
  const int32_t block = rom.layout.checksumBlockOffset;
  int checksums = 0;
  for (const json& range : out["ranges"]) {
    for (int p = range[0]; p < range[1]; ++p)
      checksums += (p >= block && p < block + 64) || p == rom.layout.length - 1;
  }
  EXPECT_GT(checksums, 0);
  EXPECT_EQ(out["checksumBytesDiffering"], checksums);
  run = cli({"diff", sample(), file("b.rom")});
  char blockRange[32];
  std::snprintf(blockRange, sizeof blockRange, "  bytes 0x%04X..", block);
  const size_t line = run.out.find(blockRange);
  ASSERT_NE(line, std::string::npos) << run.out;
  EXPECT_NE(run.out.find("differ; checksums)\n", line), std::string::npos) << run.out;
  EXPECT_EQ(cli({"diff", sample(), file("missing.rom")}).status, 1);
}

// --- check ----------------------------------------------------------------

TEST_F(CliEdit, CheckListsTheChangesAndExitsByWarnings) {
  ASSERT_EQ(cli({"set", sample(), "-o", file("mild.rom"), "--core", "300"}).status, 0);
  ASSERT_EQ(cli({"set", sample(), "-o", file("fast.rom"), "--core", "320"}).status, 0);
  Bytes bad = test::readFile(sample());
  bad[0x4000] ^= 1;
  test::writeFile(file("bad.rom"), bad);
  test::writeFile(file("short.rom"), Bytes(100, 0x55));
  struct Case {
    std::string original, changed;
    int status;
    const char* says;
  };
  for (const Case& c : {
           Case{sample(), sample(), 0, "no setting differs"},
           Case{sample(), file("mild.rom"), 0, "Core clock: 275 -> 300 MHz"},
           Case{sample(), file("fast.rom"), 7, "warning: The core clock is more than 10 %"},
           Case{sample(), file("missing.rom"), 1, "Error opening file"},
           Case{file("short.rom"), sample(), 2, "This is not a valid ATi BIOS"},
           Case{sample(), file("bad.rom"), 3, "Checksums bad"},
       }) {
    const RunResult run = cli({"check", c.original, c.changed});
    EXPECT_EQ(run.status, c.status) << c.changed << run.out << run.err;
    EXPECT_NE((run.out + run.err).find(c.says), std::string::npos) << run.out << run.err;
  }
  const RunResult run = cli({"check", "--json", sample(), file("fast.rom")});
  EXPECT_EQ(run.status, 7);
  const json out = json::parse(run.out);
  EXPECT_EQ(out["changes"].size(), 1u);
  EXPECT_EQ(out["warnings"].size(), 1u);
  EXPECT_GT(out["bytesDiffering"], 2);
}

size_t linesStartingWith(const std::string& text, const std::string& start) {
  size_t count = 0;
  for (size_t at = text.find("\n" + start); at != std::string::npos;
       at = text.find("\n" + start, at + 1)) {
    ++count;
  }
  return count;
}

TEST_F(CliEdit, DiffCountsTheBytesMergesNearbyRunsAndShowsTheFirstRanges) {
  Bytes changed = test::readFile(sample());
  // Runs 8 equal bytes apart make one range, 9 apart two; then 30 far apart.
  std::vector<size_t> flips = {0x1000, 0x1009, 0x1100, 0x110A};
  for (size_t k = 0; k < 30; ++k)
    flips.push_back(0x1200 + 16 * k);
  for (size_t at : flips)
    changed[at] ^= 0xFF;
  test::writeFile(file("changed.rom"), changed);

  RunResult run = cli({"diff", sample(), file("changed.rom")});
  EXPECT_EQ(run.status, 5);
  EXPECT_NE(run.out.find("  34 bytes differ, in 33 ranges\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("  bytes 0x1000..0x1009 (2 of 10 differ)\n"), std::string::npos);
  EXPECT_NE(run.out.find("  bytes 0x1100..0x1100 (1 of 1 differ)\n"), std::string::npos);
  EXPECT_EQ(linesStartingWith(run.out, "  bytes 0x"), 20u) << run.out;
  EXPECT_NE(run.out.find("  ... 13 more ranges (--all shows them)\n"), std::string::npos);

  run = cli({"diff", "--all", sample(), file("changed.rom")});
  EXPECT_EQ(linesStartingWith(run.out, "  bytes 0x"), 33u) << run.out;
  EXPECT_EQ(run.out.find("more ranges"), std::string::npos);

  const json out = json::parse(cli({"diff", "--json", sample(), file("changed.rom")}).out);
  EXPECT_EQ(out["bytesDiffering"], 34);
  ASSERT_EQ(out["ranges"].size(), 34u);
  EXPECT_EQ(out["ranges"][1], json::array({0x1009, 0x100A}));
}

// --- dump -----------------------------------------------------------------
// The fake readers are shell scripts.
#ifndef _WIN32

class CliDump : public CliEdit {
 protected:
  std::string reader(const std::string& body) {
    const std::string path = file("reader.sh");
    const std::string script = "#!/bin/sh\n" + body + "\n";
    test::writeFile(path, Bytes(script.begin(), script.end()));
    ::chmod(path.c_str(), 0755);
    return path;
  }
  RunResult dump(const std::string& readerPath) {
    return cli({"dump", "-o", file("card.rom"), "--reader", readerPath});
  }
};

TEST_F(CliDump, KeepsASoundImage) {
  const RunResult run = dump(reader("cp '" + sample() + "' \"$4\""));
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(test::readFile(file("card.rom")), test::readFile(sample()));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 3);  // no leftovers
}

TEST_F(CliDump, RefusesWhatTheEditorRefuses) {
  Bytes bad = test::readFile(sample());
  bad[0x3000] ^= 1;
  test::writeFile(file("bad.rom"), bad);
  RunResult run = dump(reader("cp '" + file("bad.rom") + "' \"$4\""));
  EXPECT_EQ(run.status, 3);
  EXPECT_NE(run.err.find("BIOS reconstruction failed"), std::string::npos);
  run = dump(reader("exit 0"));
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("Error opening file"), std::string::npos);
  run = dump(file("no-such-reader"));
  EXPECT_EQ(run.status, 1);
  EXPECT_FALSE(exists("card.rom"));
}

// A reader that does not end with success gives nothing to keep, whatever
// it wrote; its explanation reaches the user.
TEST_F(CliDump, KeepsNothingFromAReaderThatFailed) {
  struct Case {
    const char* body;
    std::vector<const char*> said;
  };
  const Case cases[] = {
      {"echo 'no ATI display adapter' >&2; exit 3",
       {"no ATI display adapter", "the reader tool failed (exit status 3); nothing saved"}},
      {"kill -9 $$", {"the reader tool did not finish"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.body);
    const RunResult run = dump(reader("cp '" + sample() + "' \"$4\"; " + c.body));
    EXPECT_EQ(run.status, 1);
    for (const char* text : c.said)
      EXPECT_NE(run.err.find(text), std::string::npos) << run.err;
    EXPECT_FALSE(exists("card.rom"));
  }
}

// The reader writes into a folder made for the run that only this user can
// enter, never beside OUT (where another user could plant a file under the
// name it will be given), and the folder is gone afterwards.
TEST_F(CliDump, TheReaderWritesIntoAFolderOfItsOwn) {
  const RunResult run = dump(reader("cp '" + sample() + "' \"$4\"; echo \"$4\" > '" +
                                    file("where") + "'; stat -c %a \"$(dirname \"$4\")\" >> '" +
                                    file("where") + "'"));
  ASSERT_EQ(run.status, 0) << run.err;
  const Bytes where = test::readFile(file("where"));
  std::istringstream said(std::string(where.begin(), where.end()));
  std::string dumped, mode;
  std::getline(said, dumped);
  std::getline(said, mode);
  const std::filesystem::path folder = std::filesystem::path(dumped).parent_path();
  EXPECT_NE(folder, std::filesystem::path(dir.path()));
  EXPECT_EQ(mode, "700");
  EXPECT_FALSE(std::filesystem::exists(folder));
}

TEST_F(CliDump, NothingIsLeftWhenTheReadersChildWritesLate) {
  const RunResult run =
      dump(reader("cp '" + sample() + "' \"$4\"; (sleep 0.5; echo late > \"$4\") &"));
  ASSERT_EQ(run.status, 0) << run.err;
  std::this_thread::sleep_for(std::chrono::milliseconds(1000));
  EXPECT_EQ(test::readFile(file("card.rom")), test::readFile(sample()));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 3);
}

// Standard output on a full disk: every command that prints fails with 1
// and says so, never 0 with an empty report. The full disk is a node of
// the kernel's always-full device, made in the test's folder (root only).
TEST_F(CliEdit, OutputThatCannotBeWrittenIsAFailure) {
  const std::string full = file("full");
  if (::mknod(full.c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0) {
    GTEST_SKIP() << "making a device node needs root";
  }
  test::CpiSpec cpi;
  cpi.entries = {{437, {{8, 16}}}};
  test::writeFile(file("fonts.cpi"), test::buildCpi(cpi).bytes);
  Bytes other = test::readFile(sample());
  other[0x3000] ^= 1;
  test::writeFile(file("other.rom"), other);
  const std::vector<std::vector<std::string>> commands = {
      {"info", sample()},
      {"info", "--json", sample()},
      {"trace", sample()},
      {"cpi", file("fonts.cpi")},
      {"cpi", "--json", file("fonts.cpi")},
      {"diff", sample(), file("other.rom")},
      {"diff", "--json", sample(), file("other.rom")},
      {"font", "export", "8x16", sample(), "-"},
      {"--help"},
  };
  for (const std::vector<std::string>& args : commands) {
    std::string line = test::programPath("varnel-cli");
    for (const std::string& arg : args)
      line += " '" + arg + "'";
    SCOPED_TRACE(line);
    const RunResult run = test::runProgram("/bin/sh", {"-c", "exec " + line + " > '" + full + "'"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("cannot write"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("No space left on device"), std::string::npos) << run.err;
  }
}

// A name of the command's own stream, with the stream appended to a log:
// refused, and the log keeps every line it had.
TEST_F(CliEdit, StreamNamesAsOutputLeaveTheFileBehindThemAlone) {
  const std::string log = file("log.txt");
  for (const char* name : {"/dev/stdout", "/dev/stderr", "/proc/self/fd/1", "/dev/fd/2"}) {
    SCOPED_TRACE(name);
    const std::string earlier = "an earlier line of the log\n";
    test::writeFile(log, Bytes(earlier.begin(), earlier.end()));
    const RunResult run = test::runProgram(
        "/bin/sh", {"-c", "exec '" + test::programPath("varnel-cli") + "' set '" + sample() +
                              "' -o " + name + " --core 300 >> '" + log + "' 2>> '" + log + "'"});
    EXPECT_EQ(run.status, 1);
    const Bytes after = test::readFile(log);
    const std::string text(after.begin(), after.end());
    EXPECT_EQ(text.rfind(earlier, 0), 0u) << text;
    EXPECT_NE(text.find("names a stream of a process"), std::string::npos) << text;
  }
}

// The backup's name is one the user never typed: a link there is replaced,
// never followed, and the backup is no more open than the file it copies.
TEST_F(CliEdit, InPlaceBackupReplacesALinkAndKeepsTheInputsMode) {
  ::mkdir(file("elsewhere").c_str(), 0755);
  const std::string secret = file("elsewhere/secret");
  test::writeFile(secret, Bytes(100, 0x5E));
  ::symlink(secret.c_str(), (sample() + ".bak").c_str());
  ::chmod(sample().c_str(), 0600);
  const Bytes original = test::readFile(sample());
  const RunResult run = cli({"set", sample(), "-o", sample(), "--core", "300", "--in-place"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(test::readFile(secret), Bytes(100, 0x5E));
  struct stat backup {};
  ASSERT_EQ(::lstat((sample() + ".bak").c_str(), &backup), 0);
  EXPECT_TRUE(S_ISREG(backup.st_mode));
  EXPECT_EQ(backup.st_mode & 0077, 0u);
  EXPECT_EQ(test::readFile(sample() + ".bak"), original);
}

// An input that cannot be replaced (immutable, root only): the run fails,
// and the older backup is still there, byte for byte.
TEST_F(CliEdit, AFailedInPlaceRunKeepsTheOlderBackup) {
  const Bytes older(777, 0x77);
  test::writeFile(sample() + ".bak", older);
  const Bytes original = test::readFile(sample());
  const int fd = ::open(sample().c_str(), O_RDONLY);
  int flags = 0;
  const bool immutable = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 &&
                         (flags |= FS_IMMUTABLE_FL, ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0);
  if (!immutable) {
    ::close(fd);
    GTEST_SKIP() << "making a file immutable needs root and a file system that has the flag";
  }
  const RunResult run = cli({"set", sample(), "-o", sample(), "--core", "300", "--in-place"});
  flags &= ~FS_IMMUTABLE_FL;
  ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
  ::close(fd);
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_EQ(test::readFile(sample()), original);
  EXPECT_EQ(test::readFile(sample() + ".bak"), older);
  for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
    EXPECT_NE(entry.path().filename().string()[0], '.') << entry.path();
}

// kill -9 in the middle of a save, once the new contents are written:
// the file is as it was, and nothing is left in its folder (the contents
// had no name yet).
TEST_F(CliEdit, AKilledSaveLeavesNothingBehind) {
#ifndef VARNEL_KILL_AT_FSYNC
  GTEST_SKIP() << "a sanitized build cannot preload the program that kills the save";
#else
  const std::string out = file("out.rom");
  for (const bool inPlace : {false, true}) {
    const std::string target = inPlace ? sample() : out;
    test::writeFile(out, Bytes(100, 1));
    const Bytes before = test::readFile(target);
    std::vector<std::string> args = {"LD_PRELOAD=" VARNEL_KILL_AT_FSYNC,
                                     test::programPath("varnel-cli"), "set", sample(), "-o",
                                     target, "--core", "300"};
    if (inPlace) args.push_back("--in-place");
    SCOPED_TRACE(inPlace ? "in place" : "to another file");
    const RunResult run = test::runProgram("/usr/bin/env", args);
    EXPECT_EQ(run.status, 128 + SIGKILL) << run.err;
    EXPECT_EQ(test::readFile(target), before);
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
      EXPECT_NE(entry.path().filename().string()[0], '.') << entry.path();
  }
#endif
}

// Extended attributes and access control lists of the replaced file stay.
TEST_F(CliEdit, SavesKeepExtendedAttributesAndAccessLists) {
  const std::string out = file("out.rom");
  test::writeFile(out, Bytes(10, 0));
  ::chmod(out.c_str(), 0640);
  const std::string note = "kept";
  // user 4242 may read and write: owner rw-, user 4242 rw-, group r--,
  // mask rw-, others ---.
  struct Entry {
    uint16_t tag, permissions;
    uint32_t id;
  };
  const Entry acl[] = {{0x01, 6, ~0u}, {0x02, 6, 4242}, {0x04, 4, ~0u}, {0x10, 6, ~0u},
                       {0x20, 0, ~0u}};
  Bytes access = {2, 0, 0, 0};  // the version
  for (const Entry& entry : acl) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(&entry);
    access.insert(access.end(), bytes, bytes + sizeof entry);
  }
  if (::setxattr(out.c_str(), "user.varnel.note", note.data(), note.size(), 0) != 0 ||
      ::setxattr(out.c_str(), "system.posix_acl_access", access.data(), access.size(), 0) != 0) {
    GTEST_SKIP() << "this file system keeps no extended attributes or access lists";
  }
  const RunResult run = cli({"set", sample(), "-o", out, "--core", "300"});
  ASSERT_EQ(run.status, 0) << run.err;
  char value[64] = {};
  EXPECT_EQ(::getxattr(out.c_str(), "user.varnel.note", value, sizeof value),
            static_cast<ssize_t>(note.size()));
  EXPECT_EQ(std::string(value), note);
  Bytes kept(access.size() + 16);
  const ssize_t size = ::getxattr(out.c_str(), "system.posix_acl_access", kept.data(), kept.size());
  ASSERT_GE(size, 0);
  kept.resize(static_cast<size_t>(size));
  EXPECT_EQ(kept, access);
}

TEST_F(CliDump, ReaderThatHangsIsKilledAfterASecond) {
  const auto start = std::chrono::steady_clock::now();
  const RunResult run = dump(reader("exec sleep 30"));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
  EXPECT_EQ(run.status, 1);
}
#endif

// --- info, help, manual ------------------------------------------------------

TEST_F(CliEdit, InfoOfSeveralFilesPrintsJsonLinesAndTheWorstStatus) {
  Bytes bad = test::readFile(sample());
  bad[0x3000] ^= 1;
  test::writeFile(file("bad.rom"), bad);
  // One object per file, in order, each naming its file; one that cannot be
  // read says why instead.
  const std::vector<std::string> files = {sample(), file("missing.rom"), file("bad.rom"),
                                          sample()};
  std::vector<std::string> args = {"info", "--json"};
  args.insert(args.end(), files.begin(), files.end());
  const RunResult run = cli(args);
  EXPECT_EQ(run.status, 3);
  std::istringstream lines(run.out);
  std::string line;
  std::vector<std::string> named;
  std::vector<json> sound;
  while (std::getline(lines, line)) {
    const json object = json::parse(line);
    named.push_back(object["file"]);
    sound.push_back(object.contains("error") ? json(object["error"]) : object["checksumsValid"]);
  }
  EXPECT_EQ(named, files);
  ASSERT_EQ(sound.size(), 4u);
  EXPECT_EQ(sound[0], true);
  EXPECT_EQ(sound[1], "Error opening file");
  EXPECT_EQ(sound[2], false);
  EXPECT_EQ(sound[3], true);
  EXPECT_EQ(cli({"info", sample(), file("missing.rom"), file("bad.rom")}).status, 3);
}

const std::vector<std::vector<std::string>> kCommands = {{"info"},
                                                         {"repair"},
                                                         {"trace"},
                                                         {"cpi"},
                                                         {"set"},
                                                         {"diff"},
                                                         {"dump"},
                                                         {"font", "export"},
                                                         {"font", "import"},
                                                         {"font", "render"},
                                                         {"check"}};

RunResult help(std::vector<std::string> command) {
  command.push_back("--help");
  return cli(command);
}

TEST(CliHelp, EveryCommandExplainsItselfAndItsExitStatus) {
  for (const std::vector<std::string>& command : kCommands) {
    const RunResult run = help(command);
    EXPECT_EQ(run.status, 0) << command[0];
    EXPECT_NE(run.out.find("Usage"), std::string::npos) << command[0] << run.out;
  }
}

std::string sourceText(const std::string& path) {
  const Bytes bytes = test::readFile(test::sourceDir() + "/" + path);
  return std::string(bytes.begin(), bytes.end());
}

// The part of `text` from the first `from` to the next `to` after it.
std::string between(const std::string& text, const std::string& from, const std::string& to) {
  const size_t start = text.find(from);
  if (start == std::string::npos) return "";
  return text.substr(start, text.find(to, start + from.size()) - start);
}

std::set<std::string> allMatches(const std::string& text, const std::string& pattern) {
  std::set<std::string> found;
  const std::regex regex(pattern);
  for (auto it = std::sregex_iterator(text.begin(), text.end(), regex);
       it != std::sregex_iterator(); ++it) {
    found.insert((*it)[1]);
  }
  return found;
}

// Statuses as the help footers list them: "Exit status: 0 done, 1 ...".
std::set<std::string> footerStatuses(const std::string& helpText) {
  return allMatches(between(helpText, "Exit status", "\n\n"), R"((?:: |, )(\d+) )");
}

TEST(CliHelp, HelpPageManualAndHelpNameTheSameCommandsAndExitStatuses) {
  std::set<std::string> commands;
  std::set<std::string> statuses;
  for (const std::string& name :
       allMatches(between(help({}).out, "Subcommands:", "\n\n"), R"(\n  ([a-z]+))")) {
    const RunResult own = help({name});
    const auto subcommands =
        allMatches(between(own.out, "Subcommands:", "\n\n"), R"(\n  ([a-z]+))");
    if (subcommands.empty()) commands.insert(name);
    for (const std::string& sub : subcommands)
      commands.insert(name + " " + sub);
    const std::set<std::string> ownStatuses = footerStatuses(own.out);
    EXPECT_TRUE(ownStatuses.count("64")) << name << " does not list its usage status";
    statuses.insert(ownStatuses.begin(), ownStatuses.end());
  }
  ASSERT_EQ(commands.size(), kCommands.size());

  const std::string manual = sourceText("tools/cli/varnel-cli.1");
  EXPECT_EQ(allMatches(between(manual, ".SH COMMANDS", "\n.SH"), R"(\n\.B ([a-z]+(?: [a-z]+)?)\n)"),
            commands);
  EXPECT_EQ(allMatches(between(manual, ".SH EXIT STATUS", "\n.SH"), R"(\n\.B (\d+)\n)"), statuses);

  const std::string page = sourceText("help/commandline.html");
  EXPECT_EQ(allMatches(between(page, "id=\"commands\"", "</table>"),
                       R"(<code>varnel-cli ((?:font )?[a-z]+))"),
            commands);
  EXPECT_EQ(allMatches(between(page, "id=\"exit-status\"", "</table>"), R"(<th>(\d+)</th>)"),
            statuses);
}

// Each status's entry, by status: the manual's ".B N" paragraphs or the help
// page's table rows.
std::map<int, std::string> statusEntries(const std::string& text, const std::string& pattern) {
  std::map<int, std::string> entries;
  const std::regex regex(pattern);
  for (auto it = std::sregex_iterator(text.begin(), text.end(), regex);
       it != std::sregex_iterator(); ++it) {
    entries[std::stoi((*it)[1])] = (*it)[2];
  }
  return entries;
}

// An editor's message named under a status exits with that status, and
// every text the manual quotes there is one of the editor's messages.
TEST(CliHelp, ManualAndHelpPageGiveEachMessageItsExitStatus) {
  const std::string manual =
      between(sourceText("tools/cli/varnel-cli.1"), ".SH EXIT STATUS", "\n.SH");
  const std::string page =
      between(sourceText("help/commandline.html"), "id=\"exit-status\"", "</table>");
  const std::map<int, std::string> manualEntries =
      statusEntries(manual, R"(\n\.B (\d+)\n([\s\S]*?)(?=\n\.TP|$))");
  for (const auto& entries :
       {manualEntries, statusEntries(page, R"(<th>(\d+)</th><td>([\s\S]*?)</td>)")}) {
    ASSERT_GE(entries.size(), 5u);
    for (const Message& shown : kMessages)
      EXPECT_EQ(entries.count(shown.exitStatus), 1u) << shown.text;
    for (const auto& [status, entry] : entries) {
      for (const Message& shown : kMessages) {
        if (entry.find(shown.text) != std::string::npos) {
          EXPECT_EQ(shown.exitStatus, status) << entry;
        }
      }
    }
  }
  for (const auto& entry : manualEntries) {
    for (const std::string& quoted : allMatches(entry.second, R"x("([^"]+)")x")) {
      EXPECT_TRUE(std::any_of(kMessages.begin(), kMessages.end(),
                              [&](const Message& m) { return quoted == m.text; }))
          << quoted << " is not one of the editor's messages";
    }
  }
}

// --- hostile command lines -----------------------------------------------

// Command lines that crashed once or could: numbers too large, negative or
// not numbers, empty strings, names that are not UTF-8, missing files,
// folders as inputs, options given twice. Each ends with a status its
// command documents, and a message when it fails; none ends by a signal.
TEST_F(CliEdit, HostileArgumentsEndWithADocumentedStatus) {
  const std::string notUtf8 = file("\xFF\xFE.rom");
  // What a program is given for the name: on Windows, where arguments are
  // UTF-16, each byte that is no UTF-8 arrives as U+FFFD.
  const std::string notUtf8Received = file("\xEF\xBF\xBD\xEF\xBF\xBD.rom");
#ifdef _WIN32
  test::writeFile(notUtf8Received, test::readFile(sample()));
#else
  test::writeFile(notUtf8, test::readFile(sample()));
#endif
  test::writeFile(file("two.cpi"), test::buildCpi({{{437, {{8, 16}}}}}).bytes);
  const std::string folder = dir.path();
  const std::string missing = file("missing.rom");
  const std::string out = file("out.rom");
  const std::string noReader = file("no-reader");
  const std::string big = "99999999999";
  struct Case {
    std::vector<std::string> args;
    std::set<int> statuses;
  };
  std::vector<Case> cases = {
      {{"info"}, {64}},
      {{"info", ""}, {1}},
      {{"info", folder}, {1}},
      {{"info", "--json", missing, sample()}, {1}},
      {{"info", "--json", notUtf8}, {0}},
      {{"repair", sample(), "-o", out, "-o", file("other.rom")}, {64}},
      {{"repair", folder, "-o", out}, {1}},
      {{"repair", "", "-o", out}, {1}},
      {{"repair", sample(), "-o", ""}, {1, 64}},
      {{"repair", sample(), "-o", folder}, {1, 64}},
      {{"trace", ""}, {1}},
      {{"trace", folder}, {1}},
      {{"trace", notUtf8}, {0}},
      {{"cpi", file("two.cpi"), "--size", big + "x16"}, {64}},
      {{"cpi", file("two.cpi"), "--size", "-8x16"}, {64}},
      {{"cpi", file("two.cpi"), "--size", ""}, {64}},
      {{"cpi", folder}, {1}},
      {{"cpi", ""}, {1}},
      {{"cpi", "--json", notUtf8}, {2}},
      {{"set", sample(), "-o", out, "--tv-standard", big}, {64}},
      {{"set", sample(), "-o", out, "--tv-standard", "2147483648"}, {64}},
      {{"set", sample(), "-o", out, "--tv-standard", "-1"}, {64}},
      {{"set", sample(), "-o", out, "--tv-standard", ""}, {64}},
      {{"set", sample(), "-o", out, "--tv-standard", "9"}, {64}},
      {{"set", sample(), "-o", out, "--core", big}, {64}},
      {{"set", sample(), "-o", out, "--core", "-5"}, {64}},
      {{"set", sample(), "-o", out, "--core", "fast"}, {64}},
      {{"set", sample(), "-o", out, "--memory", "1e3"}, {64}},
      {{"set", sample(), "-o", out, "--memory", "300", "--memory", "400"}, {64}},
      {{"set", sample(), "-o", out, "--cas", "2147483648"}, {64}},
      {{"set", sample(), "-o", out, "--cas", "0"}, {64}},
      {{"set", sample(), "-o", out, "--vendor", big}, {64}},
      {{"set", folder, "-o", out, "--core", "300"}, {1}},
      {{"set", "", "-o", out, "--core", "300"}, {1}},
      {{"font", "export", "99x99", sample(), out}, {64}},
      {{"font", "export", "8x16", folder, out}, {1}},
      {{"font", "export", "8x16", sample(), folder}, {1, 64}},
      {{"font", "export", "8x16", sample(), out, "--format", "png"}, {64}},
      {{"font", "export", "8x16", sample(), out, "--format", ""}, {64}},
      {{"font", "import", "8x16", sample(), file("two.cpi"), "-o", out, "--index", big}, {64}},
      {{"font", "import", "8x16", sample(), file("two.cpi"), "-o", out, "--index", "-1"}, {64}},
      {{"font", "import", "8x16", sample(), file("two.cpi"), "-o", out, "--index", "5000"}, {64}},
      {{"font", "import", "8x16", sample(), file("two.cpi"), "-o", out, "--codepage", big}, {64}},
      {{"font", "import", "8x16", sample(), file("two.cpi"), "-o", out, "--codepage", "-437"},
       {64}},
      {{"font", "import", "8x16", sample(), folder, "-o", out}, {1}},
      {{"font", "import", "8x16", sample(), missing, "-o", out}, {1}},
      {{"font", "import", "8x16", sample(), "", "-o", out}, {1}},
      {{"font", "render", sample(), "-o", file("f.png"), "--scale", big}, {64}},
      {{"font", "render", sample(), "-o", file("f.png"), "--scale", "-1"}, {64}},
      {{"font", "render", sample(), "-o", file("f.png"), "--scale", "17"}, {64}},
      {{"font", "render", folder, "-o", file("f.png")}, {1}},
      {{"diff", sample()}, {64}},
      {{"diff", "--json", sample(), notUtf8}, {0}},
      {{"diff", notUtf8, notUtf8}, {0}},
      {{"diff", folder, sample()}, {1}},
      {{"diff", "", ""}, {1}},
      {{"dump", "-o", out, "--source", "chip", "--reader", noReader}, {64}},
      {{"dump", "-o", out, "--reader", noReader}, {1}},
      {{"dump", "-o", out, "--reader", folder}, {1}},
      {{"dump", "-o", "", "--reader", noReader}, {1}},
  };
#ifndef _WIN32
  // A FIFO with no writer: opening it to read would wait for ever.
  const std::string fifo = file("input.fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  cases.insert(cases.end(), {
                                {{"info", fifo}, {1}},
                                {{"repair", fifo, "-o", out}, {1}},
                                {{"trace", fifo}, {1}},
                                {{"cpi", fifo}, {1}},
                                {{"set", fifo, "-o", out, "--core", "300"}, {1}},
                                {{"font", "import", "8x16", sample(), fifo, "-o", out}, {1}},
                                {{"font", "render", fifo, "-o", file("f.png")}, {1}},
                                {{"diff", sample(), fifo}, {1}},
                            });
#endif
  for (const Case& c : cases) {
    std::string line;
    for (const std::string& arg : c.args)
      line += " '" + arg + "'";
    const RunResult run = cli(c.args);
    EXPECT_TRUE(c.statuses.count(run.status)) << line << ": status " << run.status << "\n"
                                              << run.err;
    if (run.status != 0) {
      EXPECT_FALSE(run.err.empty() && run.out.empty()) << line << " says nothing";
    }
  }
  // JSON names that are not UTF-8 get replacement characters.
  const json diff = json::parse(cli({"diff", "--json", sample(), notUtf8}).out);
  EXPECT_EQ(diff["b"], notUtf8Received);
}

}  // namespace
}  // namespace varnel
