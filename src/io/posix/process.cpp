#include "io/posix/process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

extern char** environ;

namespace varnel {
namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(2);
constexpr int kReleaseMilliseconds = 1000;
constexpr int kMaxReadsPerDrain = 64;

void sleepFor(std::chrono::milliseconds duration) {
  timespec pause{};
  pause.tv_nsec = static_cast<long>(std::chrono::nanoseconds(duration).count());
  ::nanosleep(&pause, nullptr);
}

}  // namespace

std::unique_ptr<ChildProcess> ChildProcess::start(const std::string& program,
                                                  const std::vector<std::string>& arguments,
                                                  bool captureErrors) {
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& argument : arguments)
    argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  // Both ends close on exec; the child gets the write end as a fresh
  // standard error, which does not.
  int errorPipe[2] = {-1, -1};
  if (captureErrors && ::pipe2(errorPipe, O_CLOEXEC) != 0) return nullptr;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  if (captureErrors) posix_spawn_file_actions_adddup2(&actions, errorPipe[1], STDERR_FILENO);
  // A group of its own, so that whatever it starts ends with it.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attributes, 0);
  pid_t pid = 0;
  const int error =
      ::posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  if (captureErrors) {
    ::close(errorPipe[1]);
    ::fcntl(errorPipe[0], F_SETFL, O_NONBLOCK);
  }
  if (error != 0) {
    if (captureErrors) ::close(errorPipe[0]);
    return nullptr;
  }
  return std::unique_ptr<ChildProcess>(new ChildProcess(pid, errorPipe[0]));
}

ChildProcess::~ChildProcess() {
  if (!ended_) {
    kill();
    release();
  }
  if (errorPipe_ >= 0) ::close(errorPipe_);
}

void ChildProcess::drainErrors() {
  if (errorPipe_ < 0) return;
  char buffer[1024];
  // Bounded, so that a child that writes without pause cannot hold us here.
  for (int reads = 0; reads < kMaxReadsPerDrain; ++reads) {
    const ssize_t got = ::read(errorPipe_, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      // End of the pipe or an error: nothing more will come. EAGAIN only
      // means nothing is waiting now.
      if (got == 0 || errno != EAGAIN) {
        ::close(errorPipe_);
        errorPipe_ = -1;
      }
      return;
    }
    const size_t room = kMaxErrorOutput - errorOutput_.size();
    errorOutput_.append(buffer, std::min(room, static_cast<size_t>(got)));
  }
}

const std::string& ChildProcess::errorOutput() {
  drainErrors();
  return errorOutput_;
}

bool ChildProcess::reap(bool block) {
  if (ended_) return true;
  int status = 0;
  pid_t result;
  do {
    result = ::waitpid(pid_, &status, block ? 0 : WNOHANG);
  } while (result < 0 && errno == EINTR);
  // A child that cannot be waited for any more (ECHILD) has ended too.
  if (result == pid_ || result < 0) ended_ = true;
  if (result == pid_ && WIFEXITED(status)) exitStatus_ = WEXITSTATUS(status);
  return ended_;
}

bool ChildProcess::waitFor(int milliseconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  while (!reap(false)) {
    drainErrors();
    if (std::chrono::steady_clock::now() >= deadline) return false;
    sleepFor(kPollInterval);
  }
  return true;
}

void ChildProcess::kill() {
  // The group outlives the child while anything it started still runs, and
  // its id is not given to another process meanwhile.
  ::kill(-pid_, SIGKILL);
  if (!reap(false)) ::kill(pid_, SIGKILL);
}

void ChildProcess::release() {
  waitFor(kReleaseMilliseconds);
  // Killed members of the group may still be on their way out.
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(kReleaseMilliseconds);
  while (::kill(-pid_, 0) == 0 && std::chrono::steady_clock::now() < deadline) {
    sleepFor(kPollInterval);
  }
}

}  // namespace varnel
