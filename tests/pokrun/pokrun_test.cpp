// pokrun run as a process: on Linux on fake sysfs trees, and on every system
// on a memory file that stands in for physical memory.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "support/rom_builder.h"
#include "support/test_paths.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <thread>
#endif

namespace varnel {
namespace {

using test::Bytes;

#ifdef _WIN32
constexpr const char* kExtension = ".exe";
#else
constexpr const char* kExtension = "";
#endif

// The tests' build of the tool, which takes the switches that point it at
// fake trees and memory files.
std::string pokrunPath() {
  return test::binaryDir() + "/pokrun-test" + kExtension;
}

// The tool as it is shipped.
std::string shippedPokrunPath() {
  return test::binaryDir() + "/pokrun" + kExtension;
}

Bytes romImage(uint8_t blocks, uint8_t fill) {
  Bytes bytes(65536, fill);
  bytes[0] = 0x55;
  bytes[1] = 0xAA;
  bytes[2] = blocks;
  return bytes;
}

// An image whose signature is right but for its second byte.
Bytes halfSignedImage() {
  Bytes bytes = romImage(0x20, 0x22);
  bytes[1] = 0x55;
  return bytes;
}

// A path given in UTF-8, whatever the system's own file name encoding.
std::filesystem::path pathOf(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::optional<Bytes> readIfThere(const std::string& path) {
  std::ifstream in(pathOf(path), std::ios::binary);
  if (!in) return std::nullopt;
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

#ifndef _WIN32
// A PCI device's rom file the way the kernel serves it: writing "1" lets it
// be read, "0" switches it back. A FIFO served by a thread records the
// writes and answers the read.
class FakeRomFile {
 public:
  FakeRomFile(std::string path, Bytes content)
      : path_(std::move(path)), content_(std::move(content)) {
    ::mkfifo(path_.c_str(), 0600);
    server_ = std::thread([this] { serve(); });
  }
  ~FakeRomFile() { finish(); }

  // Ends the serving thread even when the tool never came: opening the
  // FIFO for both ends (and closing it again) releases whatever open() or
  // read() the thread waits in.
  void finish() {
    if (!server_.joinable()) return;
    done_ = true;
    while (!finished_) {
      const int fd = ::open(path_.c_str(), O_RDWR | O_NONBLOCK);
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      if (fd >= 0) ::close(fd);
    }
    server_.join();
  }
  std::vector<std::string> transcript() {
    finish();
    return transcript_;
  }

 private:
  std::string receive() {
    const int fd = ::open(path_.c_str(), O_RDONLY);
    std::string text;
    char buffer[64];
    ssize_t got;
    while (fd >= 0 && (got = ::read(fd, buffer, sizeof buffer)) > 0)
      text.append(buffer, static_cast<size_t>(got));
    if (fd >= 0) ::close(fd);
    return text;
  }
  void serve() {
    serveSteps();
    finished_ = true;
  }
  void serveSteps() {
    const std::string enable = receive();
    if (done_) return;
    transcript_.push_back("write " + enable);
    const int fd = ::open(path_.c_str(), O_WRONLY);
    if (fd >= 0) {
      const ssize_t sent = ::write(fd, content_.data(), content_.size());
      transcript_.push_back("served " + std::to_string(sent > 0 ? sent : 0));
      ::close(fd);
    }
    if (done_) return;
    const std::string restore = receive();
    if (!done_ || !restore.empty()) transcript_.push_back("write " + restore);
  }

  std::string path_;
  Bytes content_;
  std::thread server_;
  std::atomic<bool> done_{false};
  std::atomic<bool> finished_{false};
  std::vector<std::string> transcript_;
};

struct FakeDevice {
  std::string name;
  uint32_t vendor = 0x1002;
  uint32_t deviceClass = 0x030000;
  bool bootVga = false;
  std::optional<Bytes> rom;
};

class FakeSysfs {
 public:
  explicit FakeSysfs(const std::vector<FakeDevice>& devices) {
    ::chmod(dir_.path().c_str(), 0755);
    for (const FakeDevice& device : devices)
      add(device);
  }
  std::string root() const { return dir_.path(); }
  FakeRomFile& rom(const std::string& name) { return *roms_.at(name); }

 private:
  void text(const std::filesystem::path& file, const std::string& value) {
    test::writeFile(file.string(), Bytes(value.begin(), value.end()));
  }
  void add(const FakeDevice& device) {
    const auto dir = std::filesystem::path(dir_.path()) / "bus/pci/devices" / device.name;
    std::filesystem::create_directories(dir);
    char number[32];
    std::snprintf(number, sizeof number, "0x%04x\n", device.vendor);
    text(dir / "vendor", number);
    std::snprintf(number, sizeof number, "0x%06x\n", device.deviceClass);
    text(dir / "class", number);
    text(dir / "boot_vga", device.bootVga ? "1\n" : "0\n");
    if (device.rom) {
      roms_[device.name] = std::make_unique<FakeRomFile>((dir / "rom").string(), *device.rom);
    }
  }

  test::TempDir dir_;
  std::map<std::string, std::unique_ptr<FakeRomFile>> roms_;
};

class Pokrun : public testing::Test {
 protected:
  static void SetUpTestSuite() { std::signal(SIGPIPE, SIG_IGN); }
  Pokrun() { ::chmod(out.path().c_str(), 0777); }

  test::RunResult run(const FakeSysfs& sysfs, const std::vector<std::string>& mode,
                      const std::string& mem = "/nonexistent") {
    std::vector<std::string> args = {"/r", "/n"};
    args.insert(args.end(), mode.begin(), mode.end());
    args.insert(args.end(), {dump(), "--sysfs-root", sysfs.root(), "--mem", mem});
    return test::runProgram(pokrunPath(), args);
  }
  std::string dump() const { return out.file("$V$BIOS$.ram"); }
  bool dumped() const { return std::filesystem::exists(dump()); }

  test::TempDir out;
};

TEST_F(Pokrun, ReadsTheBootDisplayAndRestoresTheRomSwitch) {
  FakeSysfs sysfs({{"0000:00:02.0", 0x8086, 0x030000, false, romImage(0x20, 0x11)},
                   {"0000:01:00.0", 0x1002, 0x030000, false, romImage(0x20, 0x22)},
                   {"0000:02:00.0", 0x1002, 0x030000, true, romImage(0x20, 0x33)}});
  const auto start = std::chrono::steady_clock::now();
  const test::RunResult result = run(sysfs, {"ram"});
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
  ASSERT_EQ(result.status, 0) << result.err;
  const Bytes written = test::readFile(dump());
  ASSERT_EQ(written.size(), 0x20u * 512);
  EXPECT_EQ(written[100], 0x33);
  EXPECT_EQ(sysfs.rom("0000:02:00.0").transcript(),
            (std::vector<std::string>{"write 1", "served 65536", "write 0"}));
  EXPECT_TRUE(sysfs.rom("0000:01:00.0").transcript().empty());
}

TEST_F(Pokrun, TakesTheFirstAtiDisplayWhenNoneIsTheBootDisplay) {
  FakeSysfs sysfs({{"0000:00:01.0", 0x1002, 0x040300, false, romImage(0x20, 0x44)},  // audio
                   {"0000:03:00.0", 0x1002, 0x038000, false, romImage(0x20, 0x55)},
                   {"0000:04:00.0", 0x1002, 0x030000, false, romImage(0x20, 0x66)}});
  const test::RunResult result = run(sysfs, {"rom"});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(test::readFile(dump())[100], 0x55);
}

TEST_F(Pokrun, SizeComesFromTheImage) {
  FakeSysfs sysfs({{"0000:01:00.0", 0x1002, 0x030000, true, romImage(0x60, 0x22)}});
  ASSERT_EQ(run(sysfs, {"ram"}).status, 0);
  EXPECT_EQ(test::readFile(dump()).size(), 49152u);
}

TEST_F(Pokrun, NoCardNoFile) {
  FakeSysfs sysfs({{"0000:00:02.0", 0x8086, 0x030000, true, romImage(0x20, 0x11)}});
  const test::RunResult result = run(sysfs, {"ram"});
  EXPECT_EQ(result.status, 2);
  EXPECT_NE(result.err.find("no ATI display adapter"), std::string::npos) << result.err;
  EXPECT_FALSE(dumped());
}

TEST_F(Pokrun, DataThatIsNoOptionRomWritesNothing) {
  Bytes garbage(65536, 0x12);
  FakeSysfs sysfs({{"0000:01:00.0", 0x1002, 0x030000, false, garbage}});
  const test::RunResult result = run(sysfs, {"rom"});
  EXPECT_EQ(result.status, 4);
  EXPECT_NE(result.err.find("not an option ROM"), std::string::npos) << result.err;
  EXPECT_FALSE(dumped());
}

TEST_F(Pokrun, PermissionErrorSaysRootIsNeeded) {
  FakeSysfs sysfs({{"0000:01:00.0", 0x1002, 0x030000, false, romImage(0x20, 0x22)}});
  std::vector<std::string> args = {"/r", "/n", "rom", dump(), "--sysfs-root", sysfs.root()};
  test::RunResult result;
  if (::geteuid() == 0) {
    // Root reads everything: run the tool as nobody instead.
    args.insert(args.begin(), {"--reuid=65534", "--regid=65534", "--clear-groups", pokrunPath()});
    result = test::runProgram("/usr/bin/setpriv", args);
  } else {
    result = test::runProgram(pokrunPath(), args);
  }
  EXPECT_EQ(result.status, 3) << result.err;
  EXPECT_NE(result.err.find("needs root"), std::string::npos) << result.err;
  EXPECT_FALSE(dumped());
}

// Whatever lay under the dump's name, even a link to a file root should
// never copy the mode of, the dump is a new file of the usual mode.
struct LeftUnderTheName {
  const char* name;
  mode_t targetMode;
};

class PokrunOverALink : public Pokrun, public testing::WithParamInterface<LeftUnderTheName> {};

TEST_P(PokrunOverALink, WritesANewFileAndLeavesTheTargetAlone) {
  const std::string target = out.file("victim");
  const Bytes victim(100, 0x99);
  test::writeFile(target, victim);
  ::chmod(target.c_str(), GetParam().targetMode);
  ::symlink(target.c_str(), dump().c_str());
  FakeSysfs sysfs({{"0000:01:00.0", 0x1002, 0x030000, true, romImage(0x20, 0x22)}});
  const mode_t mask = ::umask(022);
  const test::RunResult result = run(sysfs, {"rom"});
  ::umask(mask);
  ASSERT_EQ(result.status, 0) << result.err;
  struct stat written {};
  ASSERT_EQ(::lstat(dump().c_str(), &written), 0);
  EXPECT_TRUE(S_ISREG(written.st_mode));
  EXPECT_EQ(written.st_mode & 07777, 0644u);
  EXPECT_EQ(test::readFile(dump()).size(), 0x20u * 512);
  struct stat left {};
  ::stat(target.c_str(), &left);
  EXPECT_EQ(left.st_mode & 07777, GetParam().targetMode);
  EXPECT_EQ(test::readFile(target), victim);
}

INSTANTIATE_TEST_SUITE_P(Targets, PokrunOverALink,
                         testing::Values(LeftUnderTheName{"Setuid", 04755},
                                         LeftUnderTheName{"WorldWritable", 0666}),
                         [](const testing::TestParamInfo<LeftUnderTheName>& info) {
                           return std::string(info.param.name);
                         });

#endif  // not _WIN32

// Physical memory with the shadowed video BIOS at 0xC0000: what pokrun reads
// for "ram" on Linux when the boot display has no rom file, and on Windows.
struct MemoryCase {
  const char* name;
  Bytes atShadow;
  const char* dumpName;  // in the test's folder
  int status;
  bool dumpsWhatIsAtShadow;
  const char* message;  // on standard error
};

class PokrunOnMemory : public testing::TestWithParam<MemoryCase> {
 protected:
  test::RunResult run(const std::string& memory, const std::string& dump) {
#ifdef _WIN32
    return test::runProgram(pokrunPath(), {"/r", "/n", "ram", dump, "--mem", memory});
#else
    const FakeSysfs sysfs({{"0000:01:00.0", 0x1002, 0x030000, true, std::nullopt}});
    return test::runProgram(
        pokrunPath(), {"/r", "/n", "ram", dump, "--sysfs-root", sysfs.root(), "--mem", memory});
#endif
  }

  test::TempDir out;
};

TEST_P(PokrunOnMemory, DumpsTheShadowedImageOrNothing) {
  const MemoryCase& c = GetParam();
  // Bytes past the image that a dump must not take along.
  Bytes memory(0x100000, 0xEE);
  std::copy(c.atShadow.begin(), c.atShadow.end(), memory.begin() + 0xC0000);
  test::writeFile(out.file("memory"), memory);
  const std::string dump = out.file(c.dumpName);
  const test::RunResult result = run(out.file("memory"), dump);
  EXPECT_EQ(result.status, c.status) << result.err;
  EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
  const std::optional<Bytes> dumped = readIfThere(dump);
  if (c.dumpsWhatIsAtShadow) {
    ASSERT_TRUE(dumped) << result.err;
    EXPECT_EQ(*dumped, c.atShadow);
  } else {
    EXPECT_FALSE(dumped);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Images, PokrunOnMemory,
    testing::Values(MemoryCase{"Shadowed", test::buildRom().bytes, "$V$BIOS$.ram", 0, true, ""},
                    // "Ä日Ж.ram" in UTF-8
                    MemoryCase{"NameInAnyLanguage", test::buildRom().bytes,
                               "\xc3\x84\xe6\x97\xa5\xd0\x96.ram", 0, true, ""},
                    MemoryCase{"LargestSizeStopsAt64KiB", romImage(0xFF, 0x22), "$V$BIOS$.ram", 0,
                               true, ""},
                    MemoryCase{"NoSignature", Bytes(65536, 0x12), "$V$BIOS$.ram", 4, false,
                               "not an option ROM"},
                    MemoryCase{"HalfASignature", halfSignedImage(), "$V$BIOS$.ram", 4, false,
                               "not an option ROM"},
                    MemoryCase{"SizeByteZero", romImage(0x00, 0x22), "$V$BIOS$.ram", 4, false,
                               "not an option ROM"},
                    MemoryCase{"DumpFolderMissing", test::buildRom().bytes, "missing/$V$BIOS$.ram",
                               1, false, "$V$BIOS$.ram"}),
    [](const testing::TestParamInfo<MemoryCase>& info) { return std::string(info.param.name); });

struct CommandLineCase {
  const char* name;
  std::vector<std::string> arguments;
  int status;
  const char* message;  // on standard error
};

class PokrunCommandLine : public testing::TestWithParam<CommandLineCase> {};

TEST_P(PokrunCommandLine, IsRefusedWithTheUsage) {
  const test::RunResult result = test::runProgram(shippedPokrunPath(), GetParam().arguments);
  EXPECT_EQ(result.status, GetParam().status);
  EXPECT_NE(result.err.find(GetParam().message), std::string::npos) << result.err;
  EXPECT_NE(result.err.find("usage: pokrun [/r] [/n] [ram|rom] DUMPFILE"), std::string::npos)
      << result.err;
}

const CommandLineCase kWrongCommandLines[] = {
    {"NoDumpFile", {"/r", "/n", "ram"}, 64, ""},
    {"UnknownSwitch", {"--bogus", "x"}, 64, ""},
    // The tests' switches: the shipped tool reads and writes nowhere else
    // than where the system keeps the card, whoever runs it.
    {"MemoryFile", {"/r", "/n", "ram", "x.ram", "--mem", "memory"}, 64, ""},
#ifndef _WIN32
    {"FakeSysfs", {"/r", "/n", "rom", "x.rom", "--sysfs-root", "tree"}, 64, ""},
#endif
#ifdef _WIN32
    // The ROM chip is out of reach on Windows: asking for it is a command
    // line this system's pokrun refuses.
    {"RomChip", {"/r", "/n", "rom", "x.rom"}, 64, "cannot be read on Windows"},
#endif
};

INSTANTIATE_TEST_SUITE_P(Arguments, PokrunCommandLine, testing::ValuesIn(kWrongCommandLines),
                         [](const testing::TestParamInfo<CommandLineCase>& info) {
                           return std::string(info.param.name);
                         });

#ifdef _WIN32
// Under Wine, as on Windows Vista and later, \Device\PhysicalMemory cannot
// be opened: pokrun must say what happened and what the user can do, with
// the status of a refused read, for the editor to show under its message.
TEST(PokrunOnWindows, RefusedPhysicalMemorySaysWhatToDo) {
  test::TempDir out;
  const std::string dump = out.file("$V$BIOS$.ram");
  const test::RunResult result = test::runProgram(shippedPokrunPath(), {"/r", "/n", "ram", dump});
  EXPECT_EQ(result.status, 3);
  EXPECT_NE(result.err.find("cannot open \\Device\\PhysicalMemory"), std::string::npos)
      << result.err;
  EXPECT_NE(result.err.find("without a driver"), std::string::npos) << result.err;
  EXPECT_NE(result.err.find("on Windows XP or on Linux"), std::string::npos) << result.err;
  EXPECT_FALSE(readIfThere(dump));
}
#endif

}  // namespace
}  // namespace varnel
