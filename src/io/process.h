// Starting a helper program, waiting for it with a time-out and killing it.
#pragma once

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

namespace varnel {

// A started child process. Killing and reaping are safe whatever state the
// child is in; the destructor reaps it if that was not done.
class ChildProcess {
 public:
  // Starts `program` (a path, no shell, no search of PATH) with the
  // arguments, the caller's environment and current directory, and
  // standard input from /dev/null, in a process group of its own. Nothing
  // when it cannot be started.
  static std::unique_ptr<ChildProcess> start(const std::string& program,
                                             const std::vector<std::string>& arguments);
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

 private:
  explicit ChildProcess(pid_t pid) : pid_(pid) {}
  bool reap(bool block);

  pid_t pid_;
  bool ended_ = false;
};

}  // namespace varnel
