#include "io/file_io.h"

#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <vector>

namespace varnel {
namespace {

[[noreturn]] void fail(const std::string& what, const std::string& path, int error) {
  throw FileError(what + " " + path + ": " + std::strerror(error));
}

// Reads until the buffer is full or the file ends; retries interrupted reads.
size_t readFully(int fd, uint8_t* buffer, size_t size, const std::string& path) {
  size_t total = 0;
  while (total < size) {
    const ssize_t got = ::read(fd, buffer + total, size - total);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) fail("cannot read", path, errno);
    if (got == 0) break;
    total += static_cast<size_t>(got);
  }
  return total;
}

// Reads from `offset` until the buffer is full or the file ends.
size_t readFullyAt(int fd, uint8_t* buffer, size_t size, int64_t offset, const std::string& path) {
  size_t total = 0;
  while (total < size) {
    const ssize_t got = ::pread(fd, buffer + total, size - total,
                                static_cast<off_t>(offset) + static_cast<off_t>(total));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) fail("cannot read", path, errno);
    if (got == 0) break;
    total += static_cast<size_t>(got);
  }
  return total;
}

int descriptor(SystemHandle handle) {
  return static_cast<int>(handle);
}


void writeFully(int fd, const uint8_t* data, size_t size, const std::string& path) {
  size_t total = 0;
  while (total < size) {
    const ssize_t put = ::write(fd, data + total, size - total);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) fail("cannot write", path, put < 0 ? errno : ENOSPC);
    total += static_cast<size_t>(put);
  }
}

std::string directoryOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

mode_t documentMode(mode_t usual) {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return usual & ~mask;
}

void syncDirectory(const std::string& directory) {
  const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

const char* kindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISSOCK(mode)) return "a socket";
  return "not a regular file";
}

[[noreturn]] void refuse(const std::string& path, const std::string& why) {
  throw FileError("cannot save " + path + ": " + why);
}

// Opens a file to read it. Only a regular file (or a link to one) is read:
// the open does not wait for a FIFO's writer, and a FIFO, device, socket or
// folder is refused before a byte is read, so no input can hang a command.
int openRegularFileToRead(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) fail("cannot open", path, errno);
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    const int error = errno;
    ::close(fd);
    fail("cannot open", path, error);
  }
  if (!S_ISREG(info.st_mode)) {
    ::close(fd);
    throw FileError("cannot read " + path + ": it is " + kindOf(info.st_mode));
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

// --- Temporary files removed on the signals that end a program -------------
//
// The paths live in fixed buffers that the handler only reads; a slot is
// filled and emptied with the signals blocked, so the handler never sees
// one half-written.

constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr size_t kTemporarySlots = 4;

struct TemporarySlot {
  char path[PATH_MAX];
  volatile sig_atomic_t used;
};
TemporarySlot temporarySlots[kTemporarySlots];
struct sigaction previousActions[std::size(kCleanupSignals)];
bool handlersInstalled = false;

extern "C" void removeTemporariesAndDie(int signal) {
  for (TemporarySlot& slot : temporarySlots) {
    if (slot.used) ::unlink(slot.path);
  }
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

// Blocks the cleanup signals for its lifetime.
class SignalsBlocked {
 public:
  SignalsBlocked() {
    sigset_t set;
    sigemptyset(&set);
    for (int signal : kCleanupSignals)
      sigaddset(&set, signal);
    ::pthread_sigmask(SIG_BLOCK, &set, &saved_);
  }
  ~SignalsBlocked() { ::pthread_sigmask(SIG_SETMASK, &saved_, nullptr); }
  SignalsBlocked(const SignalsBlocked&) = delete;
  SignalsBlocked& operator=(const SignalsBlocked&) = delete;

 private:
  sigset_t saved_;
};

// A signal the program handles or ignores itself is left to it.
void installCleanupHandlers() {
  struct sigaction action {};
  action.sa_handler = removeTemporariesAndDie;
  sigemptyset(&action.sa_mask);
  for (size_t i = 0; i < std::size(kCleanupSignals); ++i) {
    ::sigaction(kCleanupSignals[i], nullptr, &previousActions[i]);
    if (previousActions[i].sa_handler == SIG_DFL) ::sigaction(kCleanupSignals[i], &action, nullptr);
  }
  handlersInstalled = true;
}

void restoreHandlers() {
  for (size_t i = 0; i < std::size(kCleanupSignals); ++i) {
    if (previousActions[i].sa_handler == SIG_DFL) {
      ::sigaction(kCleanupSignals[i], &previousActions[i], nullptr);
    }
  }
  handlersInstalled = false;
}

// Called with the signals blocked. False when every slot is taken.
bool registerTemporary(const std::string& path) {
  if (path.size() >= PATH_MAX) return false;
  for (TemporarySlot& slot : temporarySlots) {
    if (slot.used) continue;
    std::memcpy(slot.path, path.c_str(), path.size() + 1);
    slot.used = 1;
    if (!handlersInstalled) installCleanupHandlers();
    return true;
  }
  return false;
}

// Called with the signals blocked.
void forgetTemporary(const std::string& path) {
  bool anyLeft = false;
  for (TemporarySlot& slot : temporarySlots) {
    if (slot.used && path == slot.path) slot.used = 0;
    anyLeft = anyLeft || slot.used;
  }
  if (!anyLeft && handlersInstalled) restoreHandlers();
}

// While it lives, a write past the file-size limit fails with EFBIG instead
// of ending the program.
class FileSizeSignalIgnored {
 public:
  FileSizeSignalIgnored() {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGXFSZ, &ignore, &saved_);
  }
  ~FileSizeSignalIgnored() { ::sigaction(SIGXFSZ, &saved_, nullptr); }
  FileSizeSignalIgnored(const FileSizeSignalIgnored&) = delete;
  FileSizeSignalIgnored& operator=(const FileSizeSignalIgnored&) = delete;

 private:
  struct sigaction saved_ {};
};

// --- Where a save goes, and what it keeps ----------------------------------

struct SaveTarget {
  std::string path;  // the file replaced: a link's destination, not the link
  bool exists = false;
  struct stat info {};
};

// True for a folder where anyone may add names but only their owners
// remove them (/tmp). The kernel follows a link there, or opens a file
// there to write it, only for the link's or file's owner or the folder's
// (fs.protected_symlinks, fs.protected_regular); a save renames, which
// goes around both, so it applies them itself.
bool isSharedFolder(const struct stat& folder) {
  return S_ISDIR(folder.st_mode) && (folder.st_mode & S_ISVTX) != 0 &&
         (folder.st_mode & S_IWOTH) != 0;
}

// Refuses an entry (`what`: "a link", "a file") that another user put
// into a shared folder: following or keeping it would save where, or
// with the owner, that user chose.
void refuseIfPlanted(const std::string& path, const struct stat& entry, const char* what) {
  struct stat folder {};
  if (::stat(directoryOf(path).c_str(), &folder) != 0 || !isSharedFolder(folder)) return;
  if (entry.st_uid == ::geteuid() || entry.st_uid == folder.st_uid) return;
  refuse(path, std::string(what) + " there belongs to another user, in a folder that every user "
                                   "may write to (sticky); save under another name");
}

// True for a name of an open file of a process: /dev/stdout, /dev/stderr,
// /dev/stdin, /dev/fd/N, /proc/.../fd/N. Replacing the file behind one
// would replace whatever the stream goes to (a log it is appended to).
bool namesAProcessFile(const std::string& path) {
  std::vector<char> folder(PATH_MAX);
  if (::realpath(directoryOf(path).c_str(), folder.data()) == nullptr) return false;
  const std::string where = folder.data();
  const std::string name = path.substr(path.rfind('/') + 1);
  if (where == "/dev" && (name == "stdin" || name == "stdout" || name == "stderr")) return true;
  return where == "/proc" || where.rfind("/proc/", 0) == 0 || where.rfind("/dev/fd", 0) == 0;
}

void refuseProcessFile(const std::string& path) {
  if (namesAProcessFile(path)) {
    refuse(path, "it names a stream of a process, not a file; give - to write to standard "
                 "output where the command can");
  }
}

// The most links a chain may hold, as the kernel allows.
constexpr int kMaxLinkHops = 40;

// The file behind `path` once every link is followed; a link that leads
// nowhere, or in a loop, is refused, and so is every link on the way that
// another user planted in a shared folder or that names a process's stream.
std::string followLinks(const std::string& path) {
  std::string hop = path;
  for (int hops = 0; hops < kMaxLinkHops; ++hops) {
    refuseProcessFile(hop);
    struct stat entry {};
    if (::lstat(hop.c_str(), &entry) != 0 || !S_ISLNK(entry.st_mode)) break;
    refuseIfPlanted(hop, entry, "a link");
    std::vector<char> target(PATH_MAX);
    const ssize_t length = ::readlink(hop.c_str(), target.data(), target.size() - 1);
    if (length <= 0) break;
    const std::string next(target.data(), static_cast<size_t>(length));
    hop = next[0] == '/' ? next : directoryOf(hop) + "/" + next;
  }
  std::vector<char> resolved(PATH_MAX);
  if (::realpath(path.c_str(), resolved.data()) == nullptr) {
    const int error = errno;
    refuse(path, error == ENOENT ? std::string("it is a link to a file that does not exist")
                                 : std::strerror(error));
  }
  return resolved.data();
}

// Why the user may not write the file, or "" when they may. Root may write
// anything, so for root a file whose mode has no write bit at all is the
// owner's statement that it stays as it is.
std::string whyNotWritable(const std::string& path, const struct stat& info) {
  if (::geteuid() == 0) return (info.st_mode & 0222) == 0 ? "the file is read-only" : "";
  if (::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0) return "";
  return std::strerror(errno);
}

void checkExistingTarget(const SaveTarget& target, bool followed) {
  const struct stat& info = target.info;
  if (!S_ISREG(info.st_mode)) refuse(target.path, std::string("it is ") + kindOf(info.st_mode));
  if (!followed) return;
  if (info.st_nlink > 1) {
    refuse(target.path, "it has " + std::to_string(info.st_nlink) +
                            " hard links, and a save would part it from the others; save it "
                            "under another name");
  }
  if (const std::string why = whyNotWritable(target.path, info); !why.empty()) {
    refuse(target.path, why);
  }
}

// A save through links: the final file is checked and replaced.
SaveTarget targetThroughLinks(const std::string& path) {
  SaveTarget target{path};
  refuseProcessFile(path);
  struct stat link {};
  if (::lstat(path.c_str(), &link) != 0) {
    if (errno != ENOENT) fail("cannot save", path, errno);
    return target;
  }
  if (S_ISLNK(link.st_mode)) target.path = followLinks(path);
  if (::stat(target.path.c_str(), &target.info) != 0) fail("cannot save", target.path, errno);
  target.exists = true;
  checkExistingTarget(target, true);
  refuseIfPlanted(target.path, target.info, "the file");
  return target;
}

// A new file in place of the name: a link there is replaced, not followed.
SaveTarget targetByName(const std::string& path) {
  SaveTarget target{path};
  if (::lstat(path.c_str(), &target.info) != 0) {
    if (errno != ENOENT) fail("cannot save", path, errno);
    return target;
  }
  if (!S_ISLNK(target.info.st_mode)) checkExistingTarget(target, false);
  return target;
}

// The most a file's extended attributes take that a save carries over.
constexpr size_t kMaxAttributeBytes = 1 << 20;

// The extended attributes of a replaced file (its access control lists
// among them) go to its replacement, as its owner and mode do, where the
// user may set them; file capabilities, like setuid, never do.
void copyExtendedAttributes(const std::string& from, int to) {
  const ssize_t listed = ::listxattr(from.c_str(), nullptr, 0);
  if (listed <= 0 || static_cast<size_t>(listed) > kMaxAttributeBytes) return;
  std::vector<char> names(static_cast<size_t>(listed));
  const ssize_t length = ::listxattr(from.c_str(), names.data(), names.size());
  if (length <= 0) return;
  names.resize(static_cast<size_t>(length));
  names.push_back('\0');  // every name ends, whatever the list held
  std::vector<char> value;
  for (size_t at = 0; at < static_cast<size_t>(length); at += std::strlen(&names[at]) + 1) {
    const char* name = &names[at];
    if (std::strcmp(name, "security.capability") == 0) continue;
    const ssize_t size = ::getxattr(from.c_str(), name, nullptr, 0);
    if (size < 0 || static_cast<size_t>(size) > kMaxAttributeBytes) continue;
    value.resize(static_cast<size_t>(size));
    const ssize_t got = ::getxattr(from.c_str(), name, value.data(), value.size());
    if (got >= 0) ::fsetxattr(to, name, value.data(), static_cast<size_t>(got), 0);
  }
}

// How many fresh hidden names are tried before giving up.
constexpr int kNameAttempts = 16;

// A hidden name beside `path` that no file had a moment ago: mkstemp picks
// it, and the file it makes goes again at once. Fails as mkstemp does.
std::string freshHiddenName(const std::string& path) {
  std::string pattern = directoryOf(path) + "/.vrnXXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  const int fd = ::mkstemp(name.data());
  if (fd < 0) fail("cannot save", path, errno);
  ::close(fd);
  ::unlink(name.data());
  return name.data();
}

// Whether a file made without a name (O_TMPFILE) can be given one later:
// through /proc/self/fd, or with AT_EMPTY_PATH, which root may use.
bool canNameUnnamedFiles() {
  return ::access("/proc/self/fd", X_OK) == 0 || ::geteuid() == 0;
}

// Gives the unnamed file open at `fd` the name `name`.
int nameUnnamedFile(int fd, const std::string& name) {
  if (::linkat(fd, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0) return 0;
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW);
}

// A replacement written to a temporary file beside its target, put in place
// by commit(); dropped uncommitted, it leaves nothing behind. Where the file
// system allows it, the file has no name until it is complete, so that a
// program killed meanwhile leaves nothing at all in the folder.
class PendingSave {
 public:
  PendingSave(SaveTarget target, bool keepAttributes)
      : target_(std::move(target)), keep_(keepAttributes && target_.exists) {
    if (canNameUnnamedFiles()) {
      fd_ = ::open(directoryOf(target_.path).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
      if (fd_ >= 0) return;
    }
    std::string pattern = directoryOf(target_.path) + "/.vrnXXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const SignalsBlocked blocked;
    fd_ = ::mkstemp(name.data());
    if (fd_ < 0) fail("cannot create a temporary file for", target_.path, errno);
    temporary_ = name.data();
    registered_ = registerTemporary(temporary_);
  }
  ~PendingSave() {
    if (fd_ >= 0) ::close(fd_);
    if (temporary_.empty()) return;
    const SignalsBlocked blocked;
    ::unlink(temporary_.c_str());
    if (registered_) forgetTemporary(temporary_);
  }
  PendingSave(const PendingSave&) = delete;
  PendingSave& operator=(const PendingSave&) = delete;

  void write(std::span<const uint8_t> data) {
    const FileSizeSignalIgnored quiet;
    writeFully(fd_, data.data(), data.size(), target_.path);
  }

  // Appends every byte of the file at `source`.
  void copyFrom(const std::string& source) {
    const int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) fail("cannot open", source, errno);
    std::vector<uint8_t> chunk(1 << 16);
    try {
      while (const size_t got = readFully(in, chunk.data(), chunk.size(), source)) {
        write(std::span<const uint8_t>(chunk.data(), got));
      }
    } catch (...) {
      ::close(in);
      throw;
    }
    ::close(in);
  }

  // Everything that can fail before the rename: attributes, flush, close.
  void finish() {
    if (keep_ && ::fchown(fd_, target_.info.st_uid, target_.info.st_gid) != 0 && errno != EPERM) {
      fail("cannot set the owner of", target_.path, errno);
    }
    // Never setuid, setgid or sticky, whatever the replaced file was.
    const mode_t mode = keep_ ? (target_.info.st_mode & 0777) : documentMode(mode_);
    if (::fchmod(fd_, mode) != 0) fail("cannot set the mode of", target_.path, errno);
    if (keep_) copyExtendedAttributes(target_.path, fd_);
    if (::fsync(fd_) != 0) fail("cannot flush", target_.path, errno);
    // An unnamed file stays open until it has its name.
    if (!temporary_.empty()) closeFile();
  }

  void commit() {
    if (temporary_.empty()) giveAName();
    {
      const SignalsBlocked blocked;
      if (::rename(temporary_.c_str(), target_.path.c_str()) != 0) {
        fail("cannot replace", target_.path, errno);
      }
      if (registered_) forgetTemporary(temporary_);
      temporary_.clear();
    }
    syncDirectory(directoryOf(target_.path));
  }

  void setNewFileMode(mode_t mode) { mode_ = mode; }

 private:
  void closeFile() {
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) fail("cannot close", target_.path, errno);
  }

  // The finished unnamed file gets a hidden name beside its target, to be
  // renamed over it.
  void giveAName() {
    for (int attempt = 0; attempt < kNameAttempts && temporary_.empty(); ++attempt) {
      const std::string name = freshHiddenName(target_.path);
      const SignalsBlocked blocked;
      if (nameUnnamedFile(fd_, name) == 0) {
        temporary_ = name;
        registered_ = registerTemporary(temporary_);
      } else if (errno != EEXIST) {
        fail("cannot save", target_.path, errno);
      }
    }
    if (temporary_.empty()) fail("cannot save", target_.path, EEXIST);
    closeFile();
  }

  SaveTarget target_;
  bool keep_;
  mode_t mode_ = 0666;
  int fd_ = -1;
  std::string temporary_;
  bool registered_ = false;
};

// The file at a name as it was, kept under a hidden name in its folder (a
// second hard link, or moved there where the file system has none) while a
// save replaces it: restore() puts it back, or removes what replaced it
// when nothing was there; once the save has succeeded, it goes. Where the
// file system can do neither, the save goes on without it.
class KeptAside {
 public:
  explicit KeptAside(std::string path) : path_(std::move(path)) {
    struct stat entry {};
    if (::lstat(path_.c_str(), &entry) != 0) return;
    existed_ = true;
    for (int attempt = 0; attempt < kNameAttempts && aside_.empty(); ++attempt) {
      const std::string name = freshHiddenName(path_);
      const SignalsBlocked blocked;
      if (::link(path_.c_str(), name.c_str()) == 0 ||
          (errno != EEXIST && ::renameat2(AT_FDCWD, path_.c_str(), AT_FDCWD, name.c_str(),
                                          RENAME_NOREPLACE) == 0)) {
        aside_ = name;
        registered_ = registerTemporary(aside_);
      } else if (errno != EEXIST) {
        return;
      }
    }
  }
  ~KeptAside() {
    if (aside_.empty()) return;
    const SignalsBlocked blocked;
    ::unlink(aside_.c_str());
    if (registered_) forgetTemporary(aside_);
  }
  KeptAside(const KeptAside&) = delete;
  KeptAside& operator=(const KeptAside&) = delete;

  void restore() {
    const SignalsBlocked blocked;
    if (!existed_) {
      ::unlink(path_.c_str());
    } else if (!aside_.empty() && ::rename(aside_.c_str(), path_.c_str()) == 0) {
      if (registered_) forgetTemporary(aside_);
      aside_.clear();
    }
  }

 private:
  std::string path_;
  bool existed_ = false;
  std::string aside_;
  bool registered_ = false;
};

}  // namespace

size_t readFilePrefix(const std::string& path, std::span<uint8_t> buffer) {
  const int fd = openRegularFileToRead(path);
  try {
    const size_t n = readFully(fd, buffer.data(), buffer.size(), path);
    ::close(fd);
    return n;
  } catch (...) {
    ::close(fd);
    throw;
  }
}

std::optional<std::string> readRegularFilePrefix(const std::string& path, size_t limit) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::optional<std::string> text;
  struct stat status {};
  if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode)) {
    std::string bytes(limit, '\0');
    try {
      bytes.resize(readFully(fd, reinterpret_cast<uint8_t*>(bytes.data()), limit, path));
      text = std::move(bytes);
    } catch (const FileError&) {
    }
  }
  ::close(fd);
  return text;
}

void writeFileAtomically(const std::string& path, std::span<const uint8_t> data) {
  PendingSave save(targetThroughLinks(path), true);
  save.write(data);
  save.finish();
  save.commit();
}

void writeFileKeepingBackup(const std::string& path, const std::string& backup,
                            std::span<const uint8_t> data) {
  if (directoryOf(backup) != directoryOf(path)) {
    refuse(backup, "a backup stays in the folder of " + path);
  }
  if (sameFile(path, backup)) refuse(backup, "it is the same file as " + path);
  SaveTarget target = targetThroughLinks(path);
  // The backup's name is one the user never typed: whatever is there (a
  // link another user planted, say) is replaced by name, never followed,
  // and the copy is no more open than the file it copies.
  PendingSave copy(targetByName(backup), false);
  copy.setNewFileMode(target.exists ? (target.info.st_mode & 0777) : 0600);
  copy.copyFrom(path);
  copy.finish();
  PendingSave save(std::move(target), true);
  save.write(data);
  save.finish();
  // The older backup survives a save that fails.
  KeptAside previous(backup);
  try {
    copy.commit();
    save.commit();
  } catch (const FileError&) {
    previous.restore();
    throw;
  }
}

void writeNewFileAtomically(const std::string& path, std::span<const uint8_t> data) {
  PendingSave save(targetByName(path), false);
  save.setNewFileMode(0644);
  save.write(data);
  save.finish();
  save.commit();
}

void checkSaveTarget(const std::string& path) {
  targetThroughLinks(path);
}

void writeStandardOutput(std::span<const uint8_t> data) {
  std::fflush(stdout);
  const FileSizeSignalIgnored quiet;
  writeFully(STDOUT_FILENO, data.data(), data.size(), "standard output");
}

bool sameFile(const std::string& a, const std::string& b) {
  struct stat first {};
  struct stat second {};
  return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 &&
         first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

FileLock::FileLock(const std::string& path) {
  // The name may get a new file between the open and the lock (a save that
  // just ended): then the lock is on the old one and is taken again.
  for (int attempt = 0; attempt < 8; ++attempt) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) fail("cannot open", path, errno);
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const int error = errno;
      ::close(fd);
      if (error == EWOULDBLOCK) {
        throw FileError(path + " is being changed by another command; try again when it is done");
      }
      fail("cannot lock", path, error);
    }
    struct stat locked {};
    struct stat named {};
    if (::fstat(fd, &locked) == 0 && ::stat(path.c_str(), &named) == 0 &&
        locked.st_dev == named.st_dev && locked.st_ino == named.st_ino) {
      handle_ = fd;
      return;
    }
    ::close(fd);
  }
  throw FileError(path + " keeps changing; try again");
}

FileLock::~FileLock() {
  if (handle_ >= 0) ::close(descriptor(handle_));
}

void removeFileQuietly(const std::string& path) {
  ::unlink(path.c_str());
}

bool fileExists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0;
}

FileByteStream::FileByteStream(const std::string& path) : path_(path) {
  handle_ = openRegularFileToRead(path);
}

FileByteStream::~FileByteStream() {
  if (handle_ >= 0) ::close(descriptor(handle_));
}

size_t FileByteStream::readAt(uint8_t* buffer, size_t size, int64_t position) {
  return readFullyAt(descriptor(handle_), buffer, size, position, path_);
}

int64_t FileByteStream::length() {
  struct stat info {};
  if (::fstat(descriptor(handle_), &info) != 0) fail("cannot tell the size of", path_, errno);
  return info.st_size;
}

}  // namespace varnel

namespace varnel {

std::string executableDirectory() {
  std::vector<char> path(4096);
  const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size() - 1);
  if (n <= 0) return "";
  const std::string file(path.data(), static_cast<size_t>(n));
  const size_t slash = file.rfind('/');
  return slash == std::string::npos ? file : file.substr(0, slash + 1);
}

}  // namespace varnel
