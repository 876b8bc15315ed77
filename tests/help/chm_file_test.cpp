#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <random>

#include "help/chm_file.h"
#include "help/chm_structure.h"
#include "support/test_paths.h"
#include "ui/messages.h"

namespace varnel {
namespace {

using help::ChmFile;
using help::SitemapEntry;

std::string builtHelp() {
  return test::binaryDir() + "/Varnel.chm";
}

std::string contentsOf(const std::string& path) {
  const test::Bytes bytes = test::readFile(path);
  return std::string(bytes.begin(), bytes.end());
}

TEST(BuiltHelpFile, HoldsEveryPageOfTheManual) {
  auto file = ChmFile::open(builtHelp());
  ASSERT_NE(file, nullptr);
  const std::filesystem::path source = test::sourceDir() + "/help";
  int pages = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(source)) {
    const std::string extension = entry.path().extension().string();
    if (!entry.is_regular_file() || extension == ".hhp" || extension == ".txt") continue;
    const std::string name = std::filesystem::relative(entry.path(), source).generic_string();
    const auto stored = file->read(name);
    ASSERT_TRUE(stored.has_value()) << name << " is not in Varnel.chm (list it in Varnel.hhp)";
    EXPECT_EQ(*stored, contentsOf(entry.path().string())) << name;
    pages += extension == ".html";
  }
  EXPECT_GE(pages, 12);
}

TEST(BuiltHelpFile, TableOfContentsInOrderWithEveryPageItNames) {
  auto file = ChmFile::open(builtHelp());
  ASSERT_NE(file, nullptr);
  const std::vector<SitemapEntry> toc = file->tableOfContents();
  std::vector<std::string> names;
  for (const SitemapEntry& entry : toc)
    names.push_back(entry.name);
  EXPECT_EQ(names, (std::vector<std::string>{
                       "Varnel help", "Loading an image", "Reading the installed card", "Settings",
                       "Core and memory clocks", "Memory type and CAS latency", "TV-out",
                       "Vendor ID", "Fonts", "Saving and checksums", "Flashing safely",
                       "Messages and troubleshooting", "The command line: varnel-cli"}));
  EXPECT_EQ(toc[4].depth, 1);
  EXPECT_EQ(toc[8].depth, 0);
  for (const SitemapEntry& entry : toc) {
    if (entry.local.empty()) continue;
    const auto page = file->read(entry.local);
    ASSERT_TRUE(page.has_value()) << entry.local;
    EXPECT_NE(page->find("<title>" + entry.name + "</title>"), std::string::npos) << entry.local;
  }
  EXPECT_EQ(file->homePage(), "index.html");
}

TEST(BuiltHelpFile, IndexLeadsToPagesThatExist) {
  auto file = ChmFile::open(builtHelp());
  ASSERT_NE(file, nullptr);
  const std::vector<SitemapEntry> index = file->index();
  EXPECT_GE(index.size(), 20u);
  for (const SitemapEntry& entry : index)
    EXPECT_TRUE(file->read(entry.local)) << entry.name;
}

TEST(BuiltHelpFile, EveryMessageOfTheEditorIsExplained) {
  auto file = ChmFile::open(builtHelp());
  ASSERT_NE(file, nullptr);
  std::string page = file->read("troubleshooting.html").value_or("");
  // The page flows a message's lines into one.
  std::replace(page.begin(), page.end(), '\n', ' ');
  for (const ui::Message& message : ui::kMessages) {
    std::string text = message.text;
    std::replace(text.begin(), text.end(), '\n', ' ');
    EXPECT_NE(page.find(text), std::string::npos) << text;
  }
}

TEST(ChmFile, MissingOrCorruptFilesOpenToNothing) {
  test::TempDir dir;
  EXPECT_EQ(ChmFile::open(dir.file("missing.chm")), nullptr);
  std::mt19937 random(3);
  test::Bytes noise(50000);
  for (auto& b : noise)
    b = static_cast<uint8_t>(random());
  test::writeFile(dir.file("noise.chm"), noise);
  EXPECT_EQ(ChmFile::open(dir.file("noise.chm")), nullptr);
}

// The built help file's numbers, as the damaged copies below change them.
constexpr size_t kDirectoryOffset = 0x48, kDataOffset = 0x58, kDirectoryHeader = 0x54;
constexpr size_t kChunkSize = 0x10, kFreeSpace = 0x04, kNextChunk = 0x10;
constexpr size_t kWindowSize = 0x10, kResetInterval = 0x0C, kWindowsPerReset = 0x14;
constexpr size_t kTableOffset = 0x0C, kCompressedLength = 0x18, kBlockLength = 0x20;
const std::string kControlData = "::DataSpace/Storage/MSCompressed/ControlData";
const std::string kResetTable =
    "::DataSpace/Storage/MSCompressed/Transform/{7FC28940-9D31-11D0-9B27-00A0C91E9C7C}/"
    "InstanceData/ResetTable";

uint64_t get(const test::Bytes& file, size_t at, int width) {
  uint64_t value = 0;
  for (int i = width; i-- > 0;)
    value = value << 8 | file.at(at + i);
  return value;
}

void put(test::Bytes& file, size_t at, uint64_t value, int width) {
  for (int i = 0; i < width; ++i)
    file.at(at + i) = static_cast<uint8_t>(value >> (8 * i));
}

// A directory entry: where its numbers lie and what they say.
struct Entry {
  size_t at;
  size_t size;
  uint64_t section, start, length;
};

Entry entryOf(const test::Bytes& file, const std::string& name) {
  const std::string key = static_cast<char>(name.size()) + name;  // names shorter than 128
  const auto found = std::search(file.begin() + get(file, kDirectoryOffset, 8), file.end(),
                                 key.begin(), key.end());
  Entry entry{static_cast<size_t>(found - file.begin()) + key.size(), 0, 0, 0, 0};
  size_t at = entry.at;
  for (uint64_t* number : {&entry.section, &entry.start, &entry.length}) {
    do
      *number = *number << 7 | (file.at(at) & 0x7F);
    while (file.at(at++) & 0x80);
  }
  entry.size = at - entry.at;
  return entry;
}

// Where a stored file of section 0 begins in the file.
size_t storedAt(const test::Bytes& file, const std::string& name) {
  return get(file, kDataOffset, 8) + entryOf(file, name).start;
}

// Gives an entry new numbers; the free space at its chunk's end takes up
// the difference in their length.
void setEntry(test::Bytes& file, const std::string& name, uint64_t start, uint64_t length) {
  const Entry entry = entryOf(file, name);
  test::Bytes numbers;
  for (uint64_t number : {entry.section, start, length}) {
    test::Bytes word{static_cast<uint8_t>(number & 0x7F)};
    while ((number >>= 7) != 0)
      word.insert(word.begin(), static_cast<uint8_t>(0x80 | (number & 0x7F)));
    numbers.insert(numbers.end(), word.begin(), word.end());
  }
  const auto grown = static_cast<ptrdiff_t>(numbers.size()) - static_cast<ptrdiff_t>(entry.size);
  file.erase(file.begin() + entry.at, file.begin() + entry.at + entry.size);
  file.insert(file.begin() + entry.at, numbers.begin(), numbers.end());
  const size_t chunks = get(file, kDirectoryOffset, 8) + kDirectoryHeader;
  const size_t size = get(file, get(file, kDirectoryOffset, 8) + kChunkSize, 4);
  const size_t chunk = chunks + (entry.at - chunks) / size * size;
  const size_t freeAt = chunk + size - get(file, chunk + kFreeSpace, 4) + grown;
  if (grown > 0) file.erase(file.begin() + freeAt, file.begin() + freeAt + grown);
  if (grown < 0) file.insert(file.begin() + freeAt, -grown, 0);
  put(file, chunk + kFreeSpace, get(file, chunk + kFreeSpace, 4) - grown, 4);
}

void moveEntry(test::Bytes& file, const std::string& name, int64_t by) {
  const Entry entry = entryOf(file, name);
  setEntry(file, name, entry.start + by, entry.length);
}

void setLength(test::Bytes& file, const std::string& name, uint64_t length) {
  setEntry(file, name, entryOf(file, name).start, length);
}

struct Damage {
  const char* what;
  std::function<void(test::Bytes&)> apply;
};

// Every damage chmlib would trip over: a division by zero, a read past its
// buffers, an endless loop or an allocation of whatever a length claims.
const Damage kDamages[] = {
    // One byte of the entry changed: chmlib finds a window size of 0.
    {"control data entry moved", [](auto& f) { moveEntry(f, kControlData, 8); }},
    {"contents claiming 2^40 bytes", [](auto& f) { setLength(f, "/Varnel.hhc", 1ull << 40); }},
    {"page reaching past the compressed section",
     [](auto& f) {
       const uint64_t end = get(f, storedAt(f, kResetTable) + 0x10, 8);
       setLength(f, "/index.html", end - entryOf(f, "/index.html").start + 1);
     }},
    {"stored file reaching past the file's end",
     [](auto& f) { setLength(f, "/#SYSTEM", f.size()); }},
    {"zero window size", [](auto& f) { put(f, storedAt(f, kControlData) + kWindowSize, 0, 4); }},
    {"window beyond LZX's range",
     [](auto& f) { put(f, storedAt(f, kControlData) + kWindowSize, 128, 4); }},
    {"zero reset interval",
     [](auto& f) { put(f, storedAt(f, kControlData) + kResetInterval, 0, 4); }},
    {"zero windows per reset",
     [](auto& f) { put(f, storedAt(f, kControlData) + kWindowsPerReset, 0, 4); }},
    {"zero block length", [](auto& f) { put(f, storedAt(f, kResetTable) + kBlockLength, 0, 8); }},
    {"reset table pointing outside itself",
     [](auto& f) { put(f, storedAt(f, kResetTable) + kTableOffset, 0xFFFF0000, 4); }},
    {"block starting past the compressed content",
     [](auto& f) {
       const size_t table = storedAt(f, kResetTable);
       put(f, table + get(f, table + kTableOffset, 4) + 8, get(f, table + kCompressedLength, 8) + 1,
           8);
     }},
    {"block longer than chmlib's buffer",
     [](auto& f) {
       const size_t table = storedAt(f, kResetTable);
       put(f, table + get(f, table + kTableOffset, 4) + 8, 0x8000 + 6144 + 1, 8);
     }},
    {"listing chunk leading to itself",
     [](auto& f) { put(f, get(f, kDirectoryOffset, 8) + kDirectoryHeader + kNextChunk, 0, 4); }},
    {"entries running into the chunk's end",
     [](auto& f) { put(f, get(f, kDirectoryOffset, 8) + kDirectoryHeader + kFreeSpace, 0, 4); }},
    {"cut inside the directory", [](auto& f) { f.resize(get(f, kDataOffset, 8) - 100); }},
    {"cut by one byte", [](auto& f) { f.pop_back(); }},
    {"grown past the largest help file", [](auto& f) { f.resize(help::kMaxChmFileSize + 1); }},
};

TEST(ChmFile, DamagedCopiesOfTheHelpFileOpenToNothing) {
  const test::Bytes real = test::readFile(builtHelp());
  // The entries are rewritten faithfully: there and back gives the file.
  test::Bytes rewritten = real;
  setLength(rewritten, "/Varnel.hhc", 1ull << 40);
  setLength(rewritten, "/Varnel.hhc", entryOf(real, "/Varnel.hhc").length);
  ASSERT_EQ(rewritten, real);
  test::TempDir dir;
  for (const Damage& damage : kDamages) {
    test::Bytes bytes = real;
    damage.apply(bytes);
    ASSERT_NE(bytes, real) << damage.what;
    test::writeFile(dir.file("damaged.chm"), bytes);
    EXPECT_EQ(ChmFile::open(dir.file("damaged.chm")), nullptr) << damage.what;
  }
}

TEST(ParseSitemap, NestedListsGiveDepthsAndEntitiesAreDecoded) {
  const char* html = R"(<UL>
    <LI> <OBJECT type="text/sitemap"><param name="Name" value="Top &amp; first">
         <param name="Local" value="a.html"></OBJECT>
    <UL><LI><OBJECT type="text/sitemap"><PARAM NAME="name" VALUE='Inner'>
         <param name="Local" value="b.html#x"></OBJECT></UL>
    <LI><OBJECT type="text/sitemap"><param name="Name" value="Heading"></OBJECT>
    <LI><OBJECT type="text/site properties"><param name="Name" value="ignored"></OBJECT>
  </UL>)";
  const std::vector<SitemapEntry> entries = help::parseSitemap(html);
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].name, "Top & first");
  EXPECT_EQ(entries[0].local, "a.html");
  EXPECT_EQ(entries[0].depth, 0);
  EXPECT_EQ(entries[1].name, "Inner");
  EXPECT_EQ(entries[1].local, "b.html#x");
  EXPECT_EQ(entries[1].depth, 1);
  EXPECT_EQ(entries[2].local, "");
  EXPECT_TRUE(help::parseSitemap("<UL><OBJECT type=\"text/sitemap\"").empty());
}

TEST(ParseSitemap, EachEntityIsDecodedOnce) {
  struct Case {
    const char* value;
    const char* name;
  };
  for (const Case& c : {Case{"&amp;lt;", "&lt;"}, Case{"&lt;&gt;&quot;&#39;", "<>\"'"},
                        Case{"&amp;amp;", "&amp;"}, Case{"a &amp b &amp;", "a &amp b &"},
                        Case{"&&lt;", "&<"}}) {
    const std::string html = std::string(R"(<OBJECT type="text/sitemap"><param name="Name" value=")") +
                             c.value + "\"></OBJECT>";
    const std::vector<SitemapEntry> entries = help::parseSitemap(html);
    ASSERT_EQ(entries.size(), 1u) << c.value;
    EXPECT_EQ(entries[0].name, c.name) << c.value;
  }
}

}  // namespace
}  // namespace varnel
