#include "support/test_paths.h"

#ifdef _WIN32
#include <random>
#endif

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace varnel::test {

namespace {

// Names are UTF-8 everywhere in the program, also where the system's own
// narrow encoding is something else.
std::filesystem::path nativePath(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

}  // namespace

std::string sourceDir() {
  return VARNEL_SOURCE_DIR;
}
std::string binaryDir() {
  return VARNEL_BINARY_DIR;
}
std::string programPath(const std::string& baseName) {
#ifdef _WIN32
  return binaryDir() + "/" + baseName + ".exe";
#else
  return binaryDir() + "/" + baseName;
#endif
}
std::string samplePath() {
  return sourceDir() + "/samples/sample.rom";
}

std::optional<std::string> testDataDir() {
  const char* override = std::getenv("VARNEL_TESTDATA");
  const std::string dir = override != nullptr ? override : VARNEL_TESTDATA_DIR;
  if (!std::filesystem::is_directory(nativePath(dir))) return std::nullopt;
  return dir;
}

std::optional<std::string> consoleFontsDir() {
  if (!std::filesystem::is_directory(nativePath(VARNEL_CONSOLE_FONTS_DIR))) return std::nullopt;
  return VARNEL_CONSOLE_FONTS_DIR;
}

Bytes readFile(const std::string& path) {
  std::ifstream in(nativePath(path), std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const std::string& path, const Bytes& bytes) {
  std::ofstream out(nativePath(path), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

#ifdef _WIN32
namespace {

std::string utf8Name(const std::filesystem::path& path) {
  const std::u8string name = path.generic_u8string();
  return std::string(name.begin(), name.end());
}

}  // namespace

// A new folder of a random name; a name that is taken already is tried again.
TempDir::TempDir() {
  std::random_device seed;
  std::mt19937_64 random(seed());
  const std::filesystem::path base = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name = "varnel-test-" + std::to_string(random() % 1000000000000ULL);
    std::error_code error;
    if (std::filesystem::create_directory(base / name, error)) {
      path_ = utf8Name(base / name);
      return;
    }
  }
  throw std::runtime_error("cannot make a temporary folder in " + utf8Name(base));
}
#else
TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "varnel-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}
#endif

TempDir::~TempDir() {
  std::error_code ignored;
  // Tests may leave read-only folders behind (and on Windows read-only
  // files, which cannot be removed); make them removable first. Only
  // folders on POSIX, where a file's mode does not stop its removal and
  // changing it would follow a link the test made out of the folder.
#ifdef _WIN32
  constexpr bool filesBlockRemoval = true;
#else
  constexpr bool filesBlockRemoval = false;
#endif
  for (const auto& entry :
       std::filesystem::recursive_directory_iterator(nativePath(path_), ignored)) {
    if (entry.is_directory(ignored) || (filesBlockRemoval && !entry.is_symlink(ignored))) {
      std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ignored);
    }
  }
  std::filesystem::permissions(nativePath(path_), std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ignored);
  std::filesystem::remove_all(nativePath(path_), ignored);
}

}  // namespace varnel::test
