// Lets the 32-bit programs start on Windows XP. The threads library of the
// C++ runtime (winpthreads, linked in statically) calls GetTickCount64,
// which XP's kernel32 lacks: a program importing it is refused by XP's
// loader before it runs a line. Linked whole into every 32-bit program,
// this defines the import slot the library calls through, so no import of
// the function is made; it uses the system's function where there is one
// and on XP widens the 32-bit tick count, which wraps every 49.7 days.
#include <windows.h>

namespace {

ULONGLONG WINAPI tickCount64() {
  using TickCount64 = ULONGLONG(WINAPI*)();
  const auto system = reinterpret_cast<TickCount64>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetTickCount64")));
  if (system != nullptr) return system();
  // Counts the wraps seen; callers only measure short waits, so a wrap is
  // always noticed by some call in the 49.7 days before the next one.
  static LONG lastLow = 0;
  static LONG wraps = 0;
  const auto now = static_cast<LONG>(GetTickCount());
  const LONG before = InterlockedExchange(&lastLow, now);
  if (static_cast<DWORD>(now) < static_cast<DWORD>(before)) InterlockedIncrement(&wraps);
  return (static_cast<ULONGLONG>(static_cast<DWORD>(wraps)) << 32) | static_cast<DWORD>(now);
}

}  // namespace

// The slot's name as the 32-bit import library spells it.
extern "C" ULONGLONG(WINAPI* const varnelTickCount64Slot)() __asm__("__imp__GetTickCount64@0");
ULONGLONG(WINAPI* const varnelTickCount64Slot)() = tickCount64;
