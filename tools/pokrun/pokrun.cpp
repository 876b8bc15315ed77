// pokrun: writes the video BIOS of the installed ATI card to a file as a raw
// ROM image.
//
//   pokrun [/r] [/n] [ram|rom] DUMPFILE
//
// "ram" (the default) reads the image the system firmware shadowed at
// 0xC0000: for the boot display Linux exposes that copy as the PCI device's
// rom file, and /dev/mem holds it too. "rom" reads the card's ROM chip. /r
// and /n (read, ask nothing) are accepted for the editor's sake; pokrun
// never asks anything. --sysfs-root DIR and --mem FILE let tests run it on
// fake trees.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "io/file_io.h"

namespace {

constexpr uint32_t kAtiVendor = 0x1002;
constexpr uint32_t kDisplayClass = 0x03;
constexpr size_t kMaxRomSize = 65536;
constexpr off_t kShadowAddress = 0xC0000;

enum Status : int {
  kOk = 0,
  kFailed = 1,
  kNoCard = 2,
  kNoPermission = 3,
  kNotARom = 4,
  kUsage = 64,
};

struct Options {
  bool fromRam = true;
  std::string dumpFile;
  std::string sysfsRoot = "/sys";
  std::string memFile = "/dev/mem";
};

struct Device {
  std::string name;  // 0000:01:00.0
  std::string path;
  bool bootVga = false;
};

// A read that failed, and whether for want of permission.
struct ReadError {
  std::string what;
  bool permission = false;
};

struct Outcome {
  std::vector<uint8_t> bytes;
  std::optional<ReadError> error;
};

std::optional<Options> parseArguments(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "/r" || argument == "/n") continue;
    if (argument == "ram" || argument == "rom") {
      options.fromRam = argument == "ram";
    } else if ((argument == "--sysfs-root" || argument == "--mem") && i + 1 < argc) {
      (argument == "--mem" ? options.memFile : options.sysfsRoot) = argv[++i];
    } else if (options.dumpFile.empty() && argument[0] != '-') {
      options.dumpFile = argument;
    } else {
      return std::nullopt;
    }
  }
  if (options.dumpFile.empty()) return std::nullopt;
  return options;
}

std::optional<uint32_t> readNumber(const std::filesystem::path& file) {
  std::ifstream in(file);
  std::string text;
  if (!(in >> text)) return std::nullopt;
  char* end = nullptr;
  const unsigned long value = std::strtoul(text.c_str(), &end, 0);
  if (end == text.c_str()) return std::nullopt;
  return static_cast<uint32_t>(value);
}

// The ATI display adapter: the boot display if it is one, else the first.
std::optional<Device> findAtiDisplay(const std::string& sysfsRoot) {
  const std::filesystem::path devices = std::filesystem::path(sysfsRoot) / "bus/pci/devices";
  std::error_code error;
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(devices, error)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  std::optional<Device> chosen;
  for (const std::string& name : names) {
    const std::filesystem::path dir = devices / name;
    const auto vendor = readNumber(dir / "vendor");
    const auto deviceClass = readNumber(dir / "class");
    if (vendor != kAtiVendor || !deviceClass || (*deviceClass >> 16) != kDisplayClass) continue;
    const Device device{name, dir.string(), readNumber(dir / "boot_vga") == 1u};
    if (device.bootVga) return device;
    if (!chosen) chosen = device;
  }
  return chosen;
}

ReadError errorOf(const std::string& what, const std::string& path, int error) {
  return {what + " " + path + ": " + std::strerror(error), error == EACCES || error == EPERM};
}

// Writes the word to the rom file: "1" lets it be read, "0" puts it back.
std::optional<ReadError> switchRom(const std::string& path, const char* word) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return errorOf("cannot open", path, errno);
  const ssize_t written = ::write(fd, word, 1);
  const int error = errno;
  ::close(fd);
  if (written != 1) return errorOf("cannot switch", path, error);
  return std::nullopt;
}

Outcome readWhole(const std::string& path, off_t offset) {
  Outcome outcome;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    outcome.error = errorOf("cannot open", path, errno);
    return outcome;
  }
  if (offset != 0 && ::lseek(fd, offset, SEEK_SET) != offset) {
    outcome.error = errorOf("cannot seek in", path, errno);
    ::close(fd);
    return outcome;
  }
  // Read in sequence: a rom file is a stream, not a seekable file.
  outcome.bytes.resize(kMaxRomSize);
  size_t total = 0;
  while (total < kMaxRomSize) {
    const ssize_t got = ::read(fd, outcome.bytes.data() + total, kMaxRomSize - total);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      outcome.error = errorOf("cannot read", path, errno);
      break;
    }
    if (got == 0) break;
    total += static_cast<size_t>(got);
  }
  ::close(fd);
  outcome.bytes.resize(total);
  return outcome;
}

// The device's rom file, switched on for the read and back off after it.
Outcome readRomFile(const Device& device) {
  const std::string path = device.path + "/rom";
  if (auto error = switchRom(path, "1"); error && error->permission) return {{}, error};
  Outcome outcome = readWhole(path, 0);
  switchRom(path, "0");
  return outcome;
}

Outcome readImage(const Options& options, const Device& device) {
  if (!options.fromRam || !device.bootVga) return readRomFile(device);
  Outcome outcome = readRomFile(device);
  if (!outcome.error && !outcome.bytes.empty()) return outcome;
  if (outcome.error && outcome.error->permission) return outcome;
  return readWhole(options.memFile, kShadowAddress);
}

bool isOptionRom(const std::vector<uint8_t>& bytes) {
  return bytes.size() >= 3 && bytes[0] == 0x55 && bytes[1] == 0xAA && bytes[2] != 0;
}

int run(const Options& options) {
  const std::optional<Device> device = findAtiDisplay(options.sysfsRoot);
  if (!device) {
    std::fprintf(stderr, "pokrun: no ATI display adapter (PCI vendor 0x1002) found\n");
    return kNoCard;
  }
  Outcome outcome = readImage(options, *device);
  if (outcome.error) {
    if (outcome.error->permission) {
      std::fprintf(stderr, "pokrun: %s (reading the video BIOS needs root)\n",
                   outcome.error->what.c_str());
      return kNoPermission;
    }
    std::fprintf(stderr, "pokrun: %s\n", outcome.error->what.c_str());
    return kFailed;
  }
  if (!isOptionRom(outcome.bytes)) {
    std::fprintf(stderr, "pokrun: the data read from %s is not an option ROM\n",
                 device->name.c_str());
    return kNotARom;
  }
  // No more than the image's own size byte declares.
  outcome.bytes.resize(std::min<size_t>(outcome.bytes.size(), outcome.bytes[2] * 512u));
  // Run as root, pokrun must not write through a link someone left under
  // the dump's name, nor give the dump that link's target's mode.
  try {
    varnel::writeNewFileAtomically(options.dumpFile, outcome.bytes);
  } catch (const varnel::FileError& error) {
    std::fprintf(stderr, "pokrun: %s\n", error.what());
    return kFailed;
  }
  std::printf("pokrun: %zu bytes of %s written to %s\n", outcome.bytes.size(), device->name.c_str(),
              options.dumpFile.c_str());
  return kOk;
}

}  // namespace

int main(int argc, char** argv) {
  const std::optional<Options> options = parseArguments(argc, argv);
  if (!options) {
    std::fprintf(stderr, "usage: pokrun [/r] [/n] [ram|rom] DUMPFILE\n");
    return kUsage;
  }
  return run(*options);
}
