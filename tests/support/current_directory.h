// Changes the process's current directory for the life of the object.
#pragma once

#include <filesystem>
#include <string>

namespace varnel::test {

class CurrentDirectory {
 public:
  // Throws std::filesystem::filesystem_error when the folder cannot be entered.
  explicit CurrentDirectory(const std::string& path) : saved_(std::filesystem::current_path()) {
    std::filesystem::current_path(path);
  }
  ~CurrentDirectory() {
    std::error_code ignored;
    std::filesystem::current_path(saved_, ignored);
  }
  CurrentDirectory(const CurrentDirectory&) = delete;
  CurrentDirectory& operator=(const CurrentDirectory&) = delete;

 private:
  std::filesystem::path saved_;
};

}  // namespace varnel::test
