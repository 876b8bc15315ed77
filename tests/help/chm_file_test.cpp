#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>

#include "help/chm_file.h"
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
  // A real file cut short may open, but its pages then fail to read.
  test::Bytes cut = test::readFile(builtHelp());
  cut.resize(cut.size() / 3);
  test::writeFile(dir.file("cut.chm"), cut);
  if (auto file = ChmFile::open(dir.file("cut.chm"))) {
    file->tableOfContents();
    file->read("images/main-window.png");
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
