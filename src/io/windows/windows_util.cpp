#include "io/windows/windows_util.h"

#include <cstdint>
#include <iterator>

#include "io/windows/utf16.h"

namespace varnel {

std::string systemMessage(DWORD error) {
  wchar_t* text = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring message = length > 0 && text != nullptr ? std::wstring(text, length) : L"";
  if (text != nullptr) ::LocalFree(text);
  while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' ||
                              message.back() == L' ' || message.back() == L'.')) {
    message.pop_back();
  }
  return message.empty() ? "system error " + std::to_string(error) : toUtf8(message);
}

std::wstring randomCharacters(size_t count) {
  // Uniqueness comes from creating names that must not exist yet; these
  // only make a clash, and so a retry, unlikely.
  static const uint64_t seed = [] {
    LARGE_INTEGER counter{};
    ::QueryPerformanceCounter(&counter);
    return static_cast<uint64_t>(counter.QuadPart) ^
           (static_cast<uint64_t>(::GetCurrentProcessId()) << 32) ^ ::GetTickCount();
  }();
  static volatile LONG calls = 0;
  const auto call = static_cast<uint64_t>(::InterlockedIncrement(&calls));
  static constexpr wchar_t kAlphabet[] = L"abcdefghijklmnopqrstuvwxyz0123456789";
  std::wstring text;
  for (size_t i = 0; i < count; ++i) {
    // splitmix64 over the seed, the call and the position
    uint64_t z = seed + (call * 64 + i) * 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    text += kAlphabet[z % (std::size(kAlphabet) - 1)];
  }
  return text;
}

}  // namespace varnel
