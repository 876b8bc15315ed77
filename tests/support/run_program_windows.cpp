#include <windows.h>

#include <stdexcept>
#include <thread>

#include "io/windows/command_line.h"
#include "io/windows/utf16.h"
#include "support/test_paths.h"

namespace varnel::test {

namespace {

class Handle {
 public:
  explicit Handle(HANDLE handle = nullptr) : handle_(handle) {}
  ~Handle() { reset(); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return handle_; }
  HANDLE* out() { return &handle_; }
  void reset() {
    if (handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
    handle_ = nullptr;
  }

 private:
  HANDLE handle_;
};

// A pipe whose write end the started program inherits.
struct OutputPipe {
  Handle read;
  Handle write;
  OutputPipe() {
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    if (!::CreatePipe(read.out(), write.out(), &inheritable, 0) ||
        !::SetHandleInformation(read.get(), HANDLE_FLAG_INHERIT, 0))
      throw std::runtime_error("cannot make a pipe");
  }
};

std::string readToEnd(HANDLE pipe) {
  std::string text;
  char buffer[4096];
  DWORD got = 0;
  while (::ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0)
    text.append(buffer, got);
  return text;
}

}  // namespace

constexpr int kStartAttempts = 3;
constexpr DWORD kStartRetryMs = 200;

RunResult runProgram(const std::string& program, const std::vector<std::string>& args,
                     const RunOptions& /*options*/) {
  const std::wstring application = toUtf16(program);
  std::wstring commandLine = quoteArgument(application);
  for (const std::string& arg : args)
    commandLine += L" " + quoteArgument(toUtf16(arg));

  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  Handle input(::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                             OPEN_EXISTING, 0, nullptr));
  OutputPipe out;
  OutputPipe err;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input.get();
  startup.hStdOutput = out.write.get();
  startup.hStdError = err.write.get();
  PROCESS_INFORMATION started{};
  // Wine under load now and then fails to start a program at once; a
  // program that cannot start fails every attempt.
  for (int attempt = 1;; ++attempt) {
    if (::CreateProcessW(application.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                         CREATE_NO_WINDOW, nullptr, nullptr, &startup, &started)) {
      break;
    }
    if (attempt == kStartAttempts) {
      throw std::runtime_error("cannot start " + program + " (error " +
                               std::to_string(::GetLastError()) + ")");
    }
    ::Sleep(kStartRetryMs);
  }
  const Handle process(started.hProcess);
  const Handle thread(started.hThread);
  // Only the program holds the write ends now: the reads end when it does.
  out.write.reset();
  err.write.reset();

  RunResult result;
  std::thread errorReader([&] { result.err = readToEnd(err.read.get()); });
  result.out = readToEnd(out.read.get());
  errorReader.join();
  ::WaitForSingleObject(process.get(), INFINITE);
  DWORD status = 0;
  ::GetExitCodeProcess(process.get(), &status);
  result.status = static_cast<int>(status);
  return result;
}

}  // namespace varnel::test
