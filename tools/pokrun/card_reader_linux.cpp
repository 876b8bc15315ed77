// Reading the card on Linux: for the boot display Linux exposes the copy at
// 0xC0000 as the PCI device's rom file, and /dev/mem holds it too; for
// another card, and for "rom", the rom file gives the ROM chip.
// In the tests' build (pokrun-test), --sysfs-root DIR and --mem FILE run it
// on fake trees.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>

#include "card_reader.h"

namespace varnel::pokrun {
namespace {

constexpr uint32_t kAtiVendor = 0x1002;
constexpr uint32_t kDisplayClass = 0x03;
constexpr std::string_view kSysfsRootSwitch = "--sysfs-root";
constexpr std::string_view kMemSwitch = "--mem";

struct Device {
  std::string name;  // 0000:01:00.0
  std::string path;
  bool bootVga = false;
};

struct Outcome {
  std::vector<uint8_t> bytes;
  std::optional<ReadFailure> error;
};

std::string switchValue(const ReadRequest& request, std::string_view name, std::string fallback) {
  const auto found = request.testSwitches.find(name);
  return found != request.testSwitches.end() ? found->second : fallback;
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

ReadFailure errorOf(const std::string& what, const std::string& path, int error) {
  if (error == EACCES || error == EPERM) {
    return {ReadFailureKind::kNoPermission, what + " " + path + ": " + std::strerror(error),
            "reading the video BIOS needs root"};
  }
  return {ReadFailureKind::kFailed, what + " " + path + ": " + std::strerror(error), ""};
}

bool isPermissionError(const std::optional<ReadFailure>& error) {
  return error && error->kind == ReadFailureKind::kNoPermission;
}

// Writes the word to the rom file: "1" lets it be read, "0" puts it back.
std::optional<ReadFailure> switchRom(const std::string& path, const char* word) {
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
  if (auto error = switchRom(path, "1"); isPermissionError(error)) return {{}, error};
  Outcome outcome = readWhole(path, 0);
  switchRom(path, "0");
  return outcome;
}

Outcome readImage(const ReadRequest& request, const Device& device) {
  if (!request.fromRam || !device.bootVga) return readRomFile(device);
  Outcome outcome = readRomFile(device);
  if (!outcome.error && !outcome.bytes.empty()) return outcome;
  if (isPermissionError(outcome.error)) return outcome;
  return readWhole(switchValue(request, kMemSwitch, "/dev/mem"), kShadowAddress);
}

}  // namespace

std::string systemUsageNotes() {
  return "";
}

bool isTestSwitch(std::string_view argument) {
  return argument == kSysfsRootSwitch || argument == kMemSwitch;
}

std::vector<std::string> commandLineArguments(int argc, char** argv) {
  return std::vector<std::string>(argv + std::min(argc, 1), argv + argc);
}

std::variant<CardImage, ReadFailure> readCardImage(const ReadRequest& request) {
  const std::optional<Device> device =
      findAtiDisplay(switchValue(request, kSysfsRootSwitch, "/sys"));
  if (!device) {
    return ReadFailure{ReadFailureKind::kNoCard, "no ATI display adapter (PCI vendor 0x1002) found",
                       ""};
  }
  Outcome outcome = readImage(request, *device);
  if (outcome.error) return *outcome.error;
  return CardImage{device->name, std::move(outcome.bytes)};
}

}  // namespace varnel::pokrun
