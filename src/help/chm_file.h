// Reads a compiled help file (.chm): its pages, table of contents and index.
#pragma once

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct chmFile;

namespace varnel::help {

// One entry of the table of contents or the index.
struct SitemapEntry {
  std::string name;
  std::string local;  // the page it opens, "" for a heading
  int depth = 0;      // nesting level, 0 at the top
};

// Reads the entries of a sitemap (the .hhc or .hhk format) in document order.
std::vector<SitemapEntry> parseSitemap(std::string_view html);

class ChmFile {
 public:
  // Null when the file is missing, larger than kMaxChmFileSize or no sound
  // CHM file (chm_structure.h). The file is read once; what is read later
  // comes from the bytes that were checked, whatever becomes of the file.
  static std::unique_ptr<ChmFile> open(const std::string& path);
  // The same for a file's bytes.
  static std::unique_ptr<ChmFile> fromBytes(std::span<const uint8_t> bytes);
  ~ChmFile();
  ChmFile(const ChmFile&) = delete;
  ChmFile& operator=(const ChmFile&) = delete;

  // The contents of a stored file, by its name inside the CHM ("/a.html" or
  // "a.html"); nothing when it is not there.
  std::optional<std::string> read(std::string_view name) const;
  std::vector<std::string> fileNames() const;
  std::vector<SitemapEntry> tableOfContents() const;
  std::vector<SitemapEntry> index() const;
  // The first page of the table of contents, or index.html.
  std::string homePage() const;

 private:
  explicit ChmFile(chmFile* handle) : handle_(handle) {}
  std::optional<std::string> readFirstEndingIn(std::string_view suffix) const;

  chmFile* handle_;
};

}  // namespace varnel::help
