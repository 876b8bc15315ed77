// Starting a helper program, waiting for it with a time-out and killing it.
#pragma once

#include <sys/types.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace varnel {

// A started child process. Killing and reaping are safe whatever state the
// child is in; the destructor reaps it if that was not done.
class ChildProcess {
 public:
  // How much of the child's standard error is kept when it is captured.
  static constexpr size_t kMaxErrorOutput = 4096;

  // Starts `program` (a path, no shell, no search of PATH) with the
  // arguments, the caller's environment and current directory, and
  // standard input from /dev/null, in a process group of its own. With
  // `captureErrors`, its standard error goes to a pipe whose first
  // kMaxErrorOutput bytes errorOutput() returns; otherwise it is the
  // caller's. Nothing when it cannot be started.
  static std::unique_ptr<ChildProcess> start(const std::string& program,
                                             const std::vector<std::string>& arguments,
                                             bool captureErrors = false);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Waits at most `milliseconds` for the child to end; true when it has.
  bool waitFor(int milliseconds);
  // Kills the child, unless it has ended already, and every process it
  // started that is still in its process group.
  void kill();
  // Waits briefly for a killed child so that it leaves no zombie, and for
  // the rest of its group to be gone.
  void release();
  bool ended() const { return ended_; }
  // The status the child passed to exit; nothing while it runs or when a
  // signal ended it.
  std::optional<int> exitStatus() const { return exitStatus_; }
  // What the child wrote to its standard error so far (captured only).
  const std::string& errorOutput();

 private:
  ChildProcess(pid_t pid, int errorPipe) : pid_(pid), errorPipe_(errorPipe) {}
  bool reap(bool block);
  // Takes what is waiting in the pipe without blocking; keeps the first
  // kMaxErrorOutput bytes and drops the rest, so the child never stalls.
  void drainErrors();

  pid_t pid_;
  int errorPipe_;  // read end, non-blocking; -1 when not captured or closed
  std::string errorOutput_;
  bool ended_ = false;
  std::optional<int> exitStatus_;
};

}  // namespace varnel
