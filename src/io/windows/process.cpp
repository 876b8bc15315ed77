#include "io/windows/process.h"

#include <windows.h>

#include <algorithm>

#include "io/windows/command_line.h"
#include "io/windows/utf16.h"
#include "io/windows/windows_util.h"

namespace varnel {
namespace {

// How long a wait sleeps between looks at the error pipe.
constexpr DWORD kPollMilliseconds = 5;
// How long close() gives an ended process to be gone.
constexpr int kReleaseMilliseconds = 1000;
// Reads per look at the pipe, so that a child writing without pause cannot
// hold the caller there.
constexpr int kMaxReadsPerDrain = 64;

class WindowsProcess final : public RunningProcess {
 public:
  WindowsProcess(HANDLE process, HANDLE errorPipe) : process_(process), errorPipe_(errorPipe) {}
  ~WindowsProcess() override {
    if (process_.valid()) {
      terminate();
      close();
    }
  }
  WindowsProcess(const WindowsProcess&) = delete;
  WindowsProcess& operator=(const WindowsProcess&) = delete;

  void waitFor(int milliseconds) override {
    if (!process_.valid()) return;
    const DWORD start = ::GetTickCount();
    const auto limit = static_cast<DWORD>(std::max(milliseconds, 0));
    for (;;) {
      drainErrors();
      const DWORD elapsed = ::GetTickCount() - start;
      if (elapsed >= limit) return;
      const DWORD slice = std::min(kPollMilliseconds, limit - elapsed);
      if (::WaitForSingleObject(process_.get(), slice) != WAIT_TIMEOUT) break;
    }
    drainErrors();
    noteExit();
  }

  void terminate() override {
    if (process_.valid() && ::WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
      ::TerminateProcess(process_.get(), 1);
      terminated_ = true;
    }
  }

  // Gives a terminated process its moment to be gone, then lets it go; what
  // it wrote and the status it ended with stay readable.
  void close() override {
    waitFor(kReleaseMilliseconds);
    process_.reset();
  }

  std::string errorOutput() override {
    drainErrors();
    return errorOutput_;
  }

  std::optional<int> exitStatus() override {
    noteExit();
    return exitStatus_;
  }

 private:
  // Takes what is waiting in the pipe without blocking; keeps the first
  // kMaxErrorOutput bytes and drops the rest, so the child never stalls.
  void drainErrors() {
    char buffer[1024];
    for (int reads = 0; reads < kMaxReadsPerDrain && errorPipe_.valid(); ++reads) {
      DWORD waiting = 0;
      if (!::PeekNamedPipe(errorPipe_.get(), nullptr, 0, nullptr, &waiting, nullptr)) {
        // Broken: the child and whatever it started have let go of it, and
        // everything they wrote has been read.
        errorPipe_.reset();
        return;
      }
      if (waiting == 0) return;
      DWORD got = 0;
      const DWORD asked = std::min<DWORD>(waiting, sizeof buffer);
      if (!::ReadFile(errorPipe_.get(), buffer, asked, &got, nullptr) || got == 0) {
        errorPipe_.reset();
        return;
      }
      const size_t room = kMaxErrorOutput - errorOutput_.size();
      errorOutput_.append(buffer, std::min<size_t>(room, got));
    }
  }

  // Keeps the status of a process that has ended by itself.
  void noteExit() {
    if (terminated_ || exitStatus_ || !process_.valid()) return;
    DWORD code = 0;
    if (::WaitForSingleObject(process_.get(), 0) == WAIT_OBJECT_0 &&
        ::GetExitCodeProcess(process_.get(), &code)) {
      exitStatus_ = static_cast<int>(code);
    }
  }

  OwnedHandle process_;
  OwnedHandle errorPipe_;
  std::string errorOutput_;
  bool terminated_ = false;
  std::optional<int> exitStatus_;
};

}  // namespace

std::unique_ptr<RunningProcess> startHiddenProcess(const std::string& program,
                                                   const std::vector<std::string>& arguments) {
  const std::wstring application = toUtf16(program);
  std::vector<std::wstring> wideArguments;
  for (const std::string& argument : arguments)
    wideArguments.push_back(toUtf16(argument));
  std::wstring commandLine = commandLineOf(application, wideArguments);

  // Only the handles meant for the child are inheritable: the pipe's
  // reading end stays with us.
  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  if (!::CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) return nullptr;
  OwnedHandle errorPipe(readEnd);
  const OwnedHandle childErrors(writeEnd);
  if (!::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0)) return nullptr;
  const OwnedHandle nothing(::CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                                          OPEN_EXISTING, 0, nullptr));
  if (!nothing.valid()) return nullptr;

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
  startup.wShowWindow = SW_HIDE;
  startup.hStdInput = nothing.get();
  startup.hStdOutput = nothing.get();
  startup.hStdError = childErrors.get();
  PROCESS_INFORMATION started{};
  if (!::CreateProcessW(application.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                        CREATE_NO_WINDOW, nullptr, nullptr, &startup, &started)) {
    return nullptr;
  }
  ::CloseHandle(started.hThread);
  return std::make_unique<WindowsProcess>(started.hProcess, errorPipe.release());
}

}  // namespace varnel
