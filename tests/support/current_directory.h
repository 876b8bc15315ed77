// Changes the process's current directory for the life of the object.
#pragma once

#include <unistd.h>

#include <stdexcept>
#include <string>

namespace varnel::test {

class CurrentDirectory {
 public:
  explicit CurrentDirectory(const std::string& path) {
    char saved[4096];
    if (::getcwd(saved, sizeof saved) == nullptr) throw std::runtime_error("getcwd failed");
    saved_ = saved;
    if (::chdir(path.c_str()) != 0) throw std::runtime_error("cannot enter " + path);
  }
  ~CurrentDirectory() { (void)::chdir(saved_.c_str()); }
  CurrentDirectory(const CurrentDirectory&) = delete;
  CurrentDirectory& operator=(const CurrentDirectory&) = delete;

 private:
  std::string saved_;
};

}  // namespace varnel::test
