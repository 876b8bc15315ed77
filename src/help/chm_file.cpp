#include "help/chm_file.h"

#include <chm_lib.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iterator>

#include "help/chm_structure.h"
#include "io/file_io.h"

namespace varnel::help {
namespace {

std::string lowercase(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// The value of attribute `name` inside one tag's text, or nothing.
std::optional<std::string> attribute(std::string_view tag, std::string_view name) {
  const std::string lower = lowercase(tag);
  size_t at = 0;
  while ((at = lower.find(name, at)) != std::string::npos) {
    size_t i = at + name.size();
    while (i < lower.size() && lower[i] == ' ')
      ++i;
    if (i < lower.size() && lower[i] == '=') {
      ++i;
      while (i < lower.size() && lower[i] == ' ')
        ++i;
      const char quote = i < tag.size() ? tag[i] : '\0';
      if (quote == '"' || quote == '\'') {
        const size_t end = tag.find(quote, i + 1);
        if (end != std::string_view::npos) return std::string(tag.substr(i + 1, end - i - 1));
      }
    }
    at += name.size();
  }
  return std::nullopt;
}

// Decodes each entity once, left to right: "&amp;lt;" stands for the text
// "&lt;", not for "<".
std::string decodeEntities(std::string_view text) {
  static const std::pair<std::string_view, char> kEntities[] = {
      {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&#39;", '\''}};
  std::string plain;
  for (size_t at = 0; at < text.size();) {
    const auto* entity =
        std::find_if(std::begin(kEntities), std::end(kEntities),
                     [&](const auto& candidate) { return text.substr(at).starts_with(candidate.first); });
    if (entity == std::end(kEntities)) {
      plain += text[at++];
    } else {
      plain += entity->second;
      at += entity->first.size();
    }
  }
  return plain;
}

int collectName(chmFile*, chmUnitInfo* unit, void* context) {
  static_cast<std::vector<std::string>*>(context)->push_back(unit->path);
  return CHM_ENUMERATOR_CONTINUE;
}

bool writeAll(int fd, std::span<const uint8_t> bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes = bytes.subspan(static_cast<size_t>(written));
  }
  return true;
}

// chmlib opens files by name only. It is given the checked bytes in a
// memory file of this process, sealed against any change, so that it reads
// exactly what was checked. Where the system has no memory files (or no
// /proc to name one by), a private temporary file stands in, removed as
// soon as chmlib holds it open.
chmFile* openCopy(std::span<const uint8_t> bytes) {
  int fd = ::memfd_create("Varnel.chm", MFD_CLOEXEC | MFD_ALLOW_SEALING);
  if (fd >= 0) {
    chmFile* handle = nullptr;
    if (writeAll(fd, bytes) &&
        ::fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL) == 0) {
      handle = chm_open(("/proc/self/fd/" + std::to_string(fd)).c_str());
    }
    ::close(fd);
    if (handle != nullptr) return handle;
  }
  std::error_code error;
  const std::filesystem::path folder = std::filesystem::temp_directory_path(error);
  if (error) return nullptr;
  std::string path = (folder / "varnel-help-XXXXXX").string();
  fd = ::mkostemp(path.data(), O_CLOEXEC);
  if (fd < 0) return nullptr;
  chmFile* handle = writeAll(fd, bytes) ? chm_open(path.c_str()) : nullptr;
  ::unlink(path.c_str());
  ::close(fd);
  return handle;
}

}  // namespace

std::vector<SitemapEntry> parseSitemap(std::string_view html) {
  std::vector<SitemapEntry> entries;
  int depth = -1;
  SitemapEntry current;
  bool inObject = false;
  for (size_t open = html.find('<'); open != std::string_view::npos;
       open = html.find('<', open + 1)) {
    const size_t close = html.find('>', open);
    if (close == std::string_view::npos) break;
    const std::string_view tag = html.substr(open + 1, close - open - 1);
    const std::string name = lowercase(tag.substr(0, tag.find_first_of(" \t\r\n")));
    if (name == "ul") {
      ++depth;
    } else if (name == "/ul") {
      --depth;
    } else if (name == "object" && lowercase(tag).find("text/sitemap") != std::string::npos) {
      current = SitemapEntry{"", "", std::max(depth, 0)};
      inObject = true;
    } else if (name == "param" && inObject) {
      const std::string key = lowercase(attribute(tag, "name").value_or(""));
      const std::string value = decodeEntities(attribute(tag, "value").value_or(""));
      if (key == "name" && current.name.empty()) current.name = value;
      if (key == "local" && current.local.empty()) current.local = value;
    } else if (name == "/object" && inObject) {
      inObject = false;
      if (!current.name.empty()) entries.push_back(current);
    }
  }
  return entries;
}

std::unique_ptr<ChmFile> ChmFile::open(const std::string& path) {
  // One byte more than the largest file taken tells a larger one.
  const auto bytes = readRegularFilePrefix(path, kMaxChmFileSize + 1);
  if (!bytes) return nullptr;
  return fromBytes({reinterpret_cast<const uint8_t*>(bytes->data()), bytes->size()});
}

std::unique_ptr<ChmFile> ChmFile::fromBytes(std::span<const uint8_t> bytes) {
  if (!isSoundChm(bytes)) return nullptr;
  chmFile* handle = openCopy(bytes);
  if (handle == nullptr) return nullptr;
  return std::unique_ptr<ChmFile>(new ChmFile(handle));
}

ChmFile::~ChmFile() {
  chm_close(handle_);
}

std::optional<std::string> ChmFile::read(std::string_view name) const {
  std::string path(name);
  if (path.empty() || path[0] != '/') path.insert(path.begin(), '/');
  chmUnitInfo unit{};
  if (chm_resolve_object(handle_, path.c_str(), &unit) != CHM_RESOLVE_SUCCESS) return std::nullopt;
  std::string contents(static_cast<size_t>(unit.length), '\0');
  if (unit.length == 0) return contents;
  const LONGINT64 got =
      chm_retrieve_object(handle_, &unit, reinterpret_cast<unsigned char*>(contents.data()), 0,
                          static_cast<LONGINT64>(unit.length));
  if (got != static_cast<LONGINT64>(unit.length)) return std::nullopt;
  return contents;
}

std::vector<std::string> ChmFile::fileNames() const {
  std::vector<std::string> names;
  chm_enumerate(handle_, CHM_ENUMERATE_NORMAL | CHM_ENUMERATE_FILES, collectName, &names);
  return names;
}

std::optional<std::string> ChmFile::readFirstEndingIn(std::string_view suffix) const {
  for (const std::string& name : fileNames()) {
    const std::string lower = lowercase(name);
    if (lower.size() >= suffix.size() &&
        lower.compare(lower.size() - suffix.size(), suffix.size(), suffix) == 0) {
      return read(name);
    }
  }
  return std::nullopt;
}

std::vector<SitemapEntry> ChmFile::tableOfContents() const {
  const auto text = readFirstEndingIn(".hhc");
  return text ? parseSitemap(*text) : std::vector<SitemapEntry>{};
}

std::vector<SitemapEntry> ChmFile::index() const {
  const auto text = readFirstEndingIn(".hhk");
  return text ? parseSitemap(*text) : std::vector<SitemapEntry>{};
}

std::string ChmFile::homePage() const {
  for (const SitemapEntry& entry : tableOfContents()) {
    if (!entry.local.empty()) return entry.local;
  }
  return "index.html";
}

}  // namespace varnel::help
