#include "io/windows/command_line.h"

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include "io/windows/utf16.h"

namespace varnel {

std::wstring quoteArgument(std::wstring_view argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring_view::npos) {
    return std::wstring(argument);
  }
  // Backslashes are plain characters except before a quote, where each
  // pair stands for one backslash: so those before a quote, and those
  // before the closing quote, are doubled.
  std::wstring quoted = L"\"";
  size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    if (c == L'"') {
      quoted.append(backslashes * 2 + 1, L'\\');
    } else {
      quoted.append(backslashes, L'\\');
    }
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, L'\\');
  quoted += L'"';
  return quoted;
}

std::wstring commandLineOf(std::wstring_view program, const std::vector<std::wstring>& arguments) {
  // The program's name is split without any backslash rule, up to the
  // closing quote; a file name holds no quote.
  std::wstring line = L"\"" + std::wstring(program) + L"\"";
  for (const std::wstring& argument : arguments) {
    line += L' ';
    line += quoteArgument(argument);
  }
  return line;
}

std::vector<std::string> splitCommandLine(const std::wstring& commandLine) {
  int count = 0;
  wchar_t** split = ::CommandLineToArgvW(commandLine.c_str(), &count);
  if (split == nullptr) return {};
  std::vector<std::string> arguments;
  for (int i = 0; i < count; ++i)
    arguments.push_back(toUtf8(split[i]));
  ::LocalFree(split);
  return arguments;
}

std::vector<std::string> programArguments() {
  return splitCommandLine(::GetCommandLineW());
}

}  // namespace varnel
