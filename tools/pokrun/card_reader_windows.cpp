// Reading the card on Windows: the copy at 0xC0000 through the physical
// memory section, which Windows 2000, XP and Server 2003 before SP1 let an
// Administrator map; later versions refuse every program without a driver
// of its own, and pokrun has none. The ROM chip itself cannot be reached.
//
// The native calls are looked up in ntdll.dll when they are needed, so that
// pokrun starts on every Windows and explains a refusal instead of failing
// to load. In the tests' build (pokrun-test), --mem FILE maps the file in
// place of physical memory.
#include <windows.h>
#include <winternl.h>

#include <algorithm>
#include <cstdio>
#include <optional>

#include "card_reader.h"
#include "io/windows/command_line.h"
#include "io/windows/utf16.h"
#include "io/windows/windows_util.h"

namespace varnel::pokrun {
namespace {

constexpr std::string_view kMemSwitch = "--mem";
constexpr const char* kPhysicalMemoryName = "\\Device\\PhysicalMemory";
constexpr const char* kShadowName = "physical memory at 0xC0000";  // kShadowAddress
constexpr ULONG kViewUnmap = 2;  // the view is not handed down to child processes

using OpenSectionCall = NTSTATUS(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES);
using MapViewCall = NTSTATUS(NTAPI*)(HANDLE, HANDLE, PVOID*, ULONG_PTR, SIZE_T, PLARGE_INTEGER,
                                     PSIZE_T, ULONG, ULONG, ULONG);
using UnmapViewCall = NTSTATUS(NTAPI*)(HANDLE, PVOID);
using StatusToErrorCall = ULONG(NTAPI*)(NTSTATUS);

struct NativeCalls {
  OpenSectionCall openSection = nullptr;
  MapViewCall mapView = nullptr;
  UnmapViewCall unmapView = nullptr;
  StatusToErrorCall statusToError = nullptr;
};

template <typename Call>
Call lookUp(HMODULE ntdll, const char* name) {
  // Through the generic function type: a direct cast between unrelated
  // function types draws a warning.
  return reinterpret_cast<Call>(reinterpret_cast<void (*)()>(GetProcAddress(ntdll, name)));
}

std::optional<NativeCalls> nativeCalls() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  if (ntdll == nullptr) return std::nullopt;
  NativeCalls calls{lookUp<OpenSectionCall>(ntdll, "NtOpenSection"),
                    lookUp<MapViewCall>(ntdll, "NtMapViewOfSection"),
                    lookUp<UnmapViewCall>(ntdll, "NtUnmapViewOfSection"),
                    lookUp<StatusToErrorCall>(ntdll, "RtlNtStatusToDosError")};
  if (!calls.openSection || !calls.mapView || !calls.unmapView || !calls.statusToError) {
    return std::nullopt;
  }
  return calls;
}

std::string statusText(const NativeCalls& calls, NTSTATUS status) {
  char code[16];
  std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(status));
  return systemMessage(calls.statusToError(status)) + ", status " + code;
}

// Windows 2000, XP and Server 2003 before SP1: they let an Administrator
// map physical memory.
bool allowsPhysicalMemory() {
  OSVERSIONINFOEXW version{};
  version.dwOSVersionInfoSize = sizeof version;
  if (!GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&version))) return false;
  if (version.dwMajorVersion != 5) return version.dwMajorVersion < 5;
  return version.dwMinorVersion < 2 || version.wServicePackMajor == 0;
}

ReadFailure refusal(const NativeCalls& calls, NTSTATUS status) {
  return {ReadFailureKind::kNoPermission,
          std::string("cannot open ") + kPhysicalMemoryName + ": " + statusText(calls, status),
          allowsPhysicalMemory()
              ? "on this Windows, reading physical memory needs an Administrator: run pokrun, "
                "or the editor, as an Administrator"
              : "Windows Vista, Server 2003 SP1 and later let no program read physical memory "
                "without a driver, and pokrun has none: save the video BIOS with another "
                "program, or read it with pokrun on Windows XP or on Linux"};
}

ReadFailure failure(const std::string& what) {
  return {ReadFailureKind::kFailed, what, ""};
}

std::variant<OwnedHandle, ReadFailure> openPhysicalMemory(const NativeCalls& calls) {
  std::wstring name = toUtf16(kPhysicalMemoryName);
  UNICODE_STRING objectName{};
  objectName.Buffer = name.data();
  objectName.Length = static_cast<USHORT>(name.size() * sizeof(wchar_t));
  objectName.MaximumLength = objectName.Length;
  OBJECT_ATTRIBUTES attributes{};
  attributes.Length = sizeof attributes;
  attributes.ObjectName = &objectName;
  attributes.Attributes = OBJ_CASE_INSENSITIVE;
  HANDLE section = nullptr;
  const NTSTATUS status = calls.openSection(&section, SECTION_MAP_READ, &attributes);
  if (status < 0) return refusal(calls, status);
  return OwnedHandle(section);
}

// A file standing in for physical memory, as a section like it.
std::variant<OwnedHandle, ReadFailure> openMemoryFile(const std::string& path) {
  const OwnedHandle file(CreateFileW(toUtf16(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) {
    return failure("cannot open " + path + ": " + systemMessage(GetLastError()));
  }
  OwnedHandle section(CreateFileMappingW(file.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
  if (!section.valid()) return failure("cannot map " + path + ": " + systemMessage(GetLastError()));
  return section;
}

// Copies the video BIOS out of a view of the section at the shadow address.
std::variant<CardImage, ReadFailure> readShadow(const NativeCalls& calls, HANDLE section,
                                                const std::string& sectionName) {
  PVOID base = nullptr;
  LARGE_INTEGER offset{};
  offset.QuadPart = kShadowAddress;
  SIZE_T size = kMaxRomSize;
  const NTSTATUS status = calls.mapView(section, GetCurrentProcess(), &base, 0, 0, &offset, &size,
                                        kViewUnmap, 0, PAGE_READONLY);
  if (status < 0) {
    return failure(std::string("cannot map ") + kShadowName + " from " + sectionName + ": " +
                   statusText(calls, status));
  }
  // The view may start below the address asked for, at a granularity boundary.
  const auto skipped = static_cast<SIZE_T>(kShadowAddress - offset.QuadPart);
  const auto* first = static_cast<const uint8_t*>(base) + std::min(skipped, size);
  const SIZE_T length = std::min<SIZE_T>(size - std::min(skipped, size), kMaxRomSize);
  CardImage image{kShadowName, std::vector<uint8_t>(first, first + length)};
  calls.unmapView(GetCurrentProcess(), base);
  return image;
}

}  // namespace

std::string systemUsageNotes() {
  return "  ram (the default) reads the video BIOS copy at physical address 0xC0000,\n"
         "  which only Windows 2000, XP and Server 2003 before SP1 let an Administrator\n"
         "  read; elsewhere pokrun says so and ends with status " +
         std::to_string(kNoPermission) +
         ".\n"
         "  rom (the card's ROM chip) cannot be read on Windows: status " +
         std::to_string(kUsage) + ".\n";
}

bool isTestSwitch(std::string_view argument) {
  return argument == kMemSwitch;
}

std::vector<std::string> commandLineArguments(int, char**) {
  // From the UTF-16 command line: the char one loses what the code page lacks.
  std::vector<std::string> arguments = programArguments();
  if (!arguments.empty()) arguments.erase(arguments.begin());
  return arguments;
}

std::variant<CardImage, ReadFailure> readCardImage(const ReadRequest& request) {
  if (!request.fromRam) {
    return ReadFailure{ReadFailureKind::kUnavailable,
                       "the card's ROM chip (rom) cannot be read on Windows; ram reads the "
                       "copy of the video BIOS at 0xC0000",
                       ""};
  }
  const std::optional<NativeCalls> calls = nativeCalls();
  if (!calls) return failure("this Windows lacks the native calls that map physical memory");
  const auto found = request.testSwitches.find(kMemSwitch);
  const bool fake = found != request.testSwitches.end();
  auto opened = fake ? openMemoryFile(found->second) : openPhysicalMemory(*calls);
  if (const auto* failed = std::get_if<ReadFailure>(&opened)) return *failed;
  return readShadow(*calls, std::get<OwnedHandle>(opened).get(),
                    fake ? found->second : kPhysicalMemoryName);
}

}  // namespace varnel::pokrun
