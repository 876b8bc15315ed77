// What the program needs of the operating system besides its windows: files,
// helper processes, where the program lies and how its programs are named.
// Neutral on purpose: no system header of any one platform is included here,
// so the editor's behaviour compiles wherever an implementation exists.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "stream/byte_stream.h"

namespace varnel {

// A file could not be opened, read, written or closed.
class FileError : public StreamError {
 public:
  using StreamError::StreamError;
};

// A helper program that was started.
class RunningProcess {
 public:
  virtual ~RunningProcess() = default;
  virtual void waitFor(int milliseconds) = 0;
  // Ends it, whether it has ended already or not.
  virtual void terminate() = 0;
  virtual void close() = 0;
  // What it wrote to its standard error (at most the first 4 KiB).
  virtual std::string errorOutput() = 0;
  // The status it ended with by itself; nothing while it runs, and when it
  // was ended by terminate() or by a signal.
  virtual std::optional<int> exitStatus() = 0;
};

class SystemServices {
 public:
  virtual ~SystemServices() = default;

  // Files. Failures throw FileError.
  // Reads at most buffer.size() bytes from the start of the file.
  virtual size_t readFilePrefix(const std::string& path, std::span<uint8_t> buffer) = 0;
  // The first `limit` bytes of a regular file, or nothing when the path is
  // missing, unreadable or not a regular file; never waits on a device.
  virtual std::optional<std::string> readRegularFilePrefix(const std::string& path,
                                                           size_t limit) = 0;
  // Atomic: a failure leaves an existing file as it was.
  virtual void writeFileAtomically(const std::string& path, std::span<const uint8_t> data) = 0;
  virtual std::unique_ptr<ByteStream> openFileStream(const std::string& path) = 0;
  // A new folder only this user can enter, in the system's folder for
  // temporary files; throws FileError when it cannot be made.
  virtual std::string makePrivateFolder() = 0;
  // Removes the folder with everything in it; failures are ignored.
  virtual void removeFolder(const std::string& path) = 0;

  // Starts a program (a path, no shell) hidden, with the arguments, the
  // caller's environment and current directory, keeping what it writes to
  // its standard error; null when it cannot start.
  virtual std::unique_ptr<RunningProcess> startProcess(
      const std::string& program, const std::vector<std::string>& arguments) = 0;

  // True when `path` is a file this user may start as a program.
  virtual bool isProgram(const std::string& path) = 0;
  // The number that tells the running program from every other one now.
  virtual uint32_t processId() = 0;

  // The folder of the running program with a trailing separator, or "".
  virtual std::string programDirectory() = 0;
  // The file name of the program called `baseName` on this system.
  virtual std::string executableName(std::string_view baseName) const = 0;
};

// The characters that end a folder's name in a path on this system.
#ifdef _WIN32
inline constexpr const char* kPathSeparators = "\\/";
#else
inline constexpr const char* kPathSeparators = "/";
#endif

// The implementation for the system the program was built for.
SystemServices& hostSystem();

}  // namespace varnel
