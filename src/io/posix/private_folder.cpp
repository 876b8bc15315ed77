#include "io/posix/private_folder.h"

#include <stdlib.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

#include "io/file_io.h"

namespace varnel {

std::string makePrivateFolder() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = (base != nullptr && *base != '\0') ? base : "/tmp";
  pattern += "/varnel-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  // mkdtemp picks an unused name and creates the folder with mode 0700 in
  // one step: it never reuses a folder that exists already.
  if (::mkdtemp(name.data()) == nullptr) {
    throw FileError("cannot create a folder like " + pattern + ": " + std::strerror(errno));
  }
  return name.data();
}

void removeFolderQuietly(const std::string& path) {
  std::error_code ignored;
  std::filesystem::remove_all(path, ignored);
}

}  // namespace varnel
