// The Windows file and process layer against the real file system: what a
// save keeps, refuses and leaves behind, bounded reads, names in any
// language, and helper processes (this program, started again as one).
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "io/file_io.h"
#include "io/system.h"
#include "io/windows/command_line.h"
#include "io/windows/save_faults.h"
#include "io/windows/process.h"
#include "io/windows/utf16.h"

namespace varnel {
namespace {

using Bytes = std::vector<uint8_t>;

// The first argument that makes this program a helper for the tests.
constexpr const char* kChildFlag = "--as-test-child";

Bytes bytesOf(std::string_view text) {
  return Bytes(text.begin(), text.end());
}

// The tests reach the file system through the plain system calls, not
// through the layer they check.
void putFile(const std::string& path, const Bytes& bytes, DWORD attributes = 0) {
  const HANDLE file = ::CreateFileW(toUtf16(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
  DWORD put = 0;
  ASSERT_TRUE(::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr));
  ::CloseHandle(file);
  if (attributes != 0) {
    ASSERT_TRUE(::SetFileAttributesW(toUtf16(path).c_str(), attributes));
  }
}

// The file's bytes, or "<folder>" for a folder, or nothing.
std::optional<std::string> contentsOf(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(toUtf16(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return std::nullopt;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return "<folder>";
  const HANDLE file = ::CreateFileW(toUtf16(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  std::string text(1 << 20, '\0');
  DWORD got = 0;
  const BOOL read = ::ReadFile(file, text.data(), static_cast<DWORD>(text.size()), &got, nullptr);
  ::CloseHandle(file);
  if (!read) return std::nullopt;
  text.resize(got);
  return text;
}

DWORD attributesOf(const std::string& path) {
  return ::GetFileAttributesW(toUtf16(path).c_str());
}

// Every name in the folder with what it holds.
std::map<std::string, std::string> listing(const std::string& folder) {
  std::map<std::string, std::string> names;
  WIN32_FIND_DATAW found{};
  const HANDLE search = ::FindFirstFileW(toUtf16(folder + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::string name = toUtf8(found.cFileName);
    if (name != "." && name != "..") names[name] = contentsOf(folder + "\\" + name).value_or("?");
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
  return names;
}

HANDLE openHeld(const std::string& path, DWORD share) {
  return ::CreateFileW(toUtf16(path).c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0,
                       nullptr);
}

std::string thisProgram() {
  wchar_t path[MAX_PATH * 4];
  const DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
  return toUtf8(std::wstring(path, n));
}

class WindowsSystem : public ::testing::Test {
 protected:
  void SetUp() override { folder = hostSystem().makePrivateFolder(); }
  void TearDown() override { hostSystem().removeFolder(folder); }
  std::string file(const std::string& name) const { return folder + "\\" + name; }

  std::string folder;
};

// --- Saves -------------------------------------------------------------------

struct SaveCase {
  const char* what;
  std::string name;  // of the target, in the test's folder
  std::function<void(const std::string& target)> prepare;
  std::function<void(const std::string& target)> save;
  const char* refusal;                       // part of the message, or null when the save succeeds
  std::map<std::string, std::string> after;  // the whole folder afterwards
  DWORD attributesAfter = 0;  // the target's read-only, hidden and system ones, afterwards
};

void save(const std::string& target) {
  writeFileAtomically(target, bytesOf("new"));
}

void saveKeepingBackup(const std::string& target) {
  writeFileKeepingBackup(target, target + ".bak", bytesOf("new"));
}

std::function<void(const std::string&)> existing(DWORD attributes = 0) {
  return [attributes](const std::string& target) { putFile(target, bytesOf("old"), attributes); };
}

std::function<void(const std::string&)> withBackup(DWORD attributes) {
  return [attributes](const std::string& target) {
    putFile(target, bytesOf("old"));
    putFile(target + ".bak", bytesOf("older"), attributes);
  };
}

// Runs `save` while another program has the target open, sharing only
// what `share` lets others do.
std::function<void(const std::string&)> whileOpenElsewhere(
    DWORD share, std::function<void(const std::string&)> save) {
  return [share, save](const std::string& target) {
    const HANDLE held = openHeld(target, share);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    try {
      save(target);
    } catch (...) {
      ::CloseHandle(held);
      throw;
    }
    ::CloseHandle(held);
  };
}

// Runs `save` on the target's bare name, from the target's folder.
std::function<void(const std::string&)> byBareName(std::function<void(const std::string&)> save) {
  return [save](const std::string& target) {
    const size_t separator = target.rfind('\\');
    wchar_t previous[MAX_PATH * 4];
    ASSERT_NE(::GetCurrentDirectoryW(MAX_PATH * 4, previous), 0u);
    ASSERT_TRUE(::SetCurrentDirectoryW(toUtf16(target.substr(0, separator)).c_str()));
    try {
      save(target.substr(separator + 1));
    } catch (...) {
      ::SetCurrentDirectoryW(previous);
      throw;
    }
    ::SetCurrentDirectoryW(previous);
  };
}

TEST_F(WindowsSystem, SavesReplaceWholeOrNotAtAll) {
  const DWORD kHiddenSystemArchive =
      FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;
  const auto nothing = [](const std::string&) {};
  const SaveCase cases[] = {
      {"a new file", "card.rom", nothing, save, nullptr, {{"card.rom", "new"}}},
      {"over a file", "card.rom", existing(), save, nullptr, {{"card.rom", "new"}}},
      {"over a read-only file",
       "card.rom",
       existing(FILE_ATTRIBUTE_READONLY),
       save,
       "read-only",
       {{"card.rom", "old"}},
       FILE_ATTRIBUTE_READONLY},
      {"keeping hidden, system and archive",
       "card.rom",
       existing(kHiddenSystemArchive),
       save,
       nullptr,
       {{"card.rom", "new"}},
       FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM},
      {"over a folder",
       "card.rom",
       [](const std::string& target) { ::CreateDirectoryW(toUtf16(target).c_str(), nullptr); },
       save,
       "folder",
       {{"card.rom", "<folder>"}}},
      {"a new file over a folder",
       "card.rom",
       [](const std::string& target) { ::CreateDirectoryW(toUtf16(target).c_str(), nullptr); },
       [](const std::string& target) { writeNewFileAtomically(target, bytesOf("new")); },
       "folder",
       {{"card.rom", "<folder>"}}},
      {"a new file over a file",
       "card.rom",
       existing(),
       [](const std::string& target) { writeNewFileAtomically(target, bytesOf("new")); },
       nullptr,
       {{"card.rom", "new"}}},
      {"over a file with a second name",
       "card.rom",
       [](const std::string& target) {
         putFile(target, bytesOf("old"));
         ::CreateHardLinkW(toUtf16(target + ".other").c_str(), toUtf16(target).c_str(), nullptr);
       },
       save,
       "hard links",
       {{"card.rom", "old"}, {"card.rom.other", "old"}}},
      {"over a file open elsewhere, not to be deleted",
       "card.rom",
       existing(),
       whileOpenElsewhere(FILE_SHARE_READ | FILE_SHARE_WRITE, save),
       "cannot save",
       {{"card.rom", "old"}}},
      {"under a name in Greek and Chinese",
       "κάρτα-显卡.rom",
       existing(),
       save,
       nullptr,
       {{"κάρτα-显卡.rom", "new"}}},
      {"keeping a backup",
       "card.rom",
       existing(),
       saveKeepingBackup,
       nullptr,
       {{"card.rom", "new"}, {"card.rom.bak", "old"}}},
      {"over a file by its bare name",
       "card.rom",
       existing(),
       byBareName(save),
       nullptr,
       {{"card.rom", "new"}}},
      {"keeping a backup by the file's bare name",
       "card.rom",
       existing(),
       byBareName(saveKeepingBackup),
       nullptr,
       {{"card.rom", "new"}, {"card.rom.bak", "old"}}},
      {"keeping a backup over an older one",
       "card.rom",
       withBackup(0),
       saveKeepingBackup,
       nullptr,
       {{"card.rom", "new"}, {"card.rom.bak", "old"}}},
      {"keeping a backup over an older one, the file's own replacement failing",
       "card.rom",
       withBackup(0),
       [](const std::string& target) {
         failReplacementAfter(1);
         saveKeepingBackup(target);
       },
       "cannot replace",
       {{"card.rom", "old"}, {"card.rom.bak", "older"}}},
      {"keeping a first backup, the file's own replacement failing",
       "card.rom",
       existing(),
       [](const std::string& target) {
         failReplacementAfter(1);
         saveKeepingBackup(target);
       },
       "cannot replace",
       {{"card.rom", "old"}}},
      {"keeping a backup over a read-only one",
       "card.rom",
       withBackup(FILE_ATTRIBUTE_READONLY),
       saveKeepingBackup,
       "read-only",
       {{"card.rom", "old"}, {"card.rom.bak", "older"}}},
      {"keeping a backup while holding the file",
       "card.rom",
       existing(),
       [](const std::string& target) {
         const FileLock lock(target);
         saveKeepingBackup(target);
       },
       nullptr,
       {{"card.rom", "new"}, {"card.rom.bak", "old"}}},
      {"keeping a backup of a file another program holds alone",
       "card.rom",
       existing(),
       whileOpenElsewhere(0, saveKeepingBackup),
       "cannot open",
       {{"card.rom", "old"}}},
  };
  for (const SaveCase& c : cases) {
    SCOPED_TRACE(c.what);
    TearDown();
    SetUp();
    failReplacementAfter(-1);
    const std::string target = file(c.name);
    c.prepare(target);
    if (c.refusal == nullptr) {
      EXPECT_NO_THROW(c.save(target));
    } else {
      try {
        c.save(target);
        ADD_FAILURE() << "not refused";
      } catch (const FileError& error) {
        EXPECT_NE(std::string(error.what()).find(c.refusal), std::string::npos) << error.what();
      }
    }
    // Also: no temporary file is left behind.
    EXPECT_EQ(listing(folder), c.after);
    const DWORD checked = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    EXPECT_EQ(attributesOf(target) & checked, c.attributesAfter);
    if (c.refusal == nullptr) {
      EXPECT_NE(attributesOf(target) & FILE_ATTRIBUTE_ARCHIVE, 0u);
    }
  }
}

// --- Reads -------------------------------------------------------------------

TEST_F(WindowsSystem, ReadsOnlyRegularFilesAndAtMostTheBuffer) {
  Bytes large(70000);
  for (size_t i = 0; i < large.size(); ++i)
    large[i] = static_cast<uint8_t>(i * 7 + i / 256);
  putFile(file("large.rom"), large);
  putFile(file("Ωμέγα 显卡.rom"), bytesOf("greek"));
  ::CreateDirectoryW(toUtf16(file("folder")).c_str(), nullptr);
  const std::wstring pipeName =
      L"\\\\.\\pipe\\varnel-test-" + std::to_wstring(::GetCurrentProcessId());
  const HANDLE pipe = ::CreateNamedPipeW(pipeName.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE, 1,
                                         4096, 4096, 0, nullptr);
  ASSERT_NE(pipe, INVALID_HANDLE_VALUE);

  struct ReadCase {
    std::string path;
    std::optional<size_t> size;  // nothing: refused
    Bytes start;                 // the first bytes read
  };
  const ReadCase cases[] = {
      {file("large.rom"), 65536, Bytes(large.begin(), large.begin() + 65536)},
      {file("Ωμέγα 显卡.rom"), 5, bytesOf("greek")},
      {file("missing.rom"), std::nullopt, {}},
      {file("folder"), std::nullopt, {}},
      {"NUL", std::nullopt, {}},
      {toUtf8(pipeName), std::nullopt, {}},
  };
  for (const ReadCase& c : cases) {
    SCOPED_TRACE(c.path);
    Bytes buffer(65536);
    if (c.size) {
      ASSERT_EQ(readFilePrefix(c.path, buffer), *c.size);
      EXPECT_TRUE(std::equal(c.start.begin(), c.start.end(), buffer.begin()));
    } else {
      EXPECT_THROW(readFilePrefix(c.path, buffer), FileError);
    }
    const std::optional<std::string> prefix = readRegularFilePrefix(c.path, 65536);
    ASSERT_EQ(prefix.has_value(), c.size.has_value());
    if (prefix) {
      EXPECT_EQ(prefix->size(), *c.size);
    }
    if (!c.size) {
      EXPECT_THROW(FileByteStream stream(c.path), FileError);
    }
  }
  ::CloseHandle(pipe);

  FileByteStream stream(file("large.rom"));
  EXPECT_EQ(stream.length(), 70000);
  stream.seekTo(69990);
  uint8_t tail[20] = {};
  ASSERT_EQ(stream.read(tail, 20), 10);
  EXPECT_TRUE(std::equal(tail, tail + 10, large.begin() + 69990));
}

TEST_F(WindowsSystem, SameFileWhateverTheSpelling) {
  putFile(file("a.rom"), bytesOf("a"));
  putFile(file("b.rom"), bytesOf("b"));
  std::string slashed = file("a.rom");
  for (char& c : slashed)
    if (c == '\\') c = '/';
  struct {
    std::string other;
    bool same;
  } const cases[] = {
      {file("a.rom"), true},        {slashed, true}, {file("A.ROM"), true}, {file("b.rom"), false},
      {file("missing.rom"), false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(sameFile(file("a.rom"), c.other), c.same) << c.other;
  }
}

// "held" or "free": whether another process can lock the file now.
std::string lockSeenFromAnotherProcess(const std::string& path) {
  const std::unique_ptr<RunningProcess> child =
      hostSystem().startProcess(thisProgram(), {kChildFlag, "lock", path});
  if (!child) return "not started";
  child->waitFor(30000);
  child->close();
  return child->errorOutput();
}

TEST_F(WindowsSystem, AFileIsHeldByOneLockAtATime) {
  putFile(file("card.rom"), bytesOf("old"));
  {
    const FileLock first(file("card.rom"));
    try {
      const FileLock second(file("card.rom"));
      ADD_FAILURE() << "locked twice";
    } catch (const FileError& error) {
      EXPECT_NE(std::string(error.what()).find("another command"), std::string::npos);
    }
    EXPECT_EQ(lockSeenFromAnotherProcess(file("card.rom")), "held");
  }
  EXPECT_EQ(lockSeenFromAnotherProcess(file("card.rom")), "free");
  EXPECT_NO_THROW(FileLock again(file("card.rom")));
}

// --- Names of the system -------------------------------------------------------

TEST_F(WindowsSystem, ProgramFolderAndNames) {
  const std::string here = hostSystem().programDirectory();
  ASSERT_FALSE(here.empty());
  EXPECT_EQ(here.back(), '\\');
  EXPECT_EQ(here, thisProgram().substr(0, here.size()));
  EXPECT_EQ(hostSystem().executableName("pokrun"), "Pokrun.exe");
  EXPECT_EQ(hostSystem().executableName("varnel-cli"), "Varnel-cli.exe");
  EXPECT_TRUE(hostSystem().isProgram(thisProgram()));
  EXPECT_FALSE(hostSystem().isProgram(folder));
  EXPECT_EQ(hostSystem().processId(), ::GetCurrentProcessId());
}

TEST_F(WindowsSystem, PrivateFoldersAreNewAndGoWhole) {
  wchar_t temporary[MAX_PATH + 1];
  const DWORD n = ::GetTempPathW(MAX_PATH + 1, temporary);
  const std::string other = hostSystem().makePrivateFolder();
  EXPECT_NE(other, folder);
  EXPECT_EQ(other.substr(0, n), toUtf8(std::wstring(temporary, n)));
  ::CreateDirectoryW(toUtf16(other + "\\inner").c_str(), nullptr);
  putFile(other + "\\inner\\κάρτα.rom", bytesOf("x"), FILE_ATTRIBUTE_READONLY);
  hostSystem().removeFolder(other);
  EXPECT_EQ(attributesOf(other), INVALID_FILE_ATTRIBUTES);
}

// --- Processes -----------------------------------------------------------------

TEST(WindowsCommandLine, ArgumentsComeBackAsGiven) {
  const std::vector<std::vector<std::string>> cases = {
      {"plain", "two words", ""},
      {"quote\"inside", "\"", "\"\""},
      {"trailing\\", "trailing two\\\\", "C:\\a folder\\"},
      {"back\\\"slash", "\\\\\"", "\\\\ \\"},
      {"tab\there", "line\nbreak", "κάρτα 显卡"},
  };
  for (const std::vector<std::string>& arguments : cases) {
    std::vector<std::wstring> wide;
    for (const std::string& argument : arguments)
      wide.push_back(toUtf16(argument));
    std::vector<std::string> expected = {"C:\\Program Files\\Pokrun.exe"};
    expected.insert(expected.end(), arguments.begin(), arguments.end());
    EXPECT_EQ(splitCommandLine(commandLineOf(toUtf16(expected[0]), wide)), expected);
  }
}

struct ChildCase {
  const char* what;
  std::vector<std::string> arguments;
  std::string errorOutput;
  int exitStatus = 0;
};

std::string pattern(size_t size) {
  std::string text;
  for (size_t i = 0; i < size; ++i)
    text += static_cast<char>('a' + i % 26);
  return text;
}

TEST_F(WindowsSystem, ChildrenGetTheirArgumentsAndTheirErrorsAreKept) {
  const std::string done = file("done");
  const ChildCase cases[] = {
      {"arguments",
       {"echo", "two words", "", "a\\\"b\\", "Ωμέγα 显卡"},
       "two words\n\na\\\"b\\\nΩμέγα 显卡\n"},
      {"a few bytes", {"flood", "10", done}, pattern(10)},
      // Far more than the pipe holds: the wait drains it, so the child ends.
      {"more than is kept", {"flood", "300000", done}, pattern(kMaxErrorOutput)},
      {"a status of its own", {"exit", "7"}, "", 7},
  };
  for (const ChildCase& c : cases) {
    SCOPED_TRACE(c.what);
    ::DeleteFileW(toUtf16(done).c_str());
    std::vector<std::string> arguments = {kChildFlag};
    arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
    const std::unique_ptr<RunningProcess> child =
        hostSystem().startProcess(thisProgram(), arguments);
    ASSERT_TRUE(child);
    child->waitFor(30000);
    child->close();
    EXPECT_EQ(child->errorOutput(), c.errorOutput);
    EXPECT_EQ(child->exitStatus(), c.exitStatus);
    if (c.arguments[0] == "flood") {
      EXPECT_NE(attributesOf(done), INVALID_FILE_ATTRIBUTES);
    }
  }
}

TEST_F(WindowsSystem, WhatCannotStartGivesNothing) {
  EXPECT_FALSE(hostSystem().startProcess(file("missing.exe"), {}));
  EXPECT_FALSE(hostSystem().startProcess(folder, {}));
  putFile(file("text.exe"), bytesOf("not a program"));
  EXPECT_FALSE(hostSystem().startProcess(file("text.exe"), {}));
}

TEST_F(WindowsSystem, AChildThatNeverEndsIsEndedAfterTheWait) {
  const std::string held = file("held");
  const std::unique_ptr<RunningProcess> child =
      hostSystem().startProcess(thisProgram(), {kChildFlag, "hang", held});
  ASSERT_TRUE(child);
  // It is running once it holds the file.
  for (int i = 0; i < 1000 && attributesOf(held) == INVALID_FILE_ATTRIBUTES; ++i)
    ::Sleep(10);
  const DWORD start = ::GetTickCount();
  child->waitFor(1000);
  EXPECT_GE(::GetTickCount() - start, 900u);
  HANDLE probe = openHeld(held, 0);
  EXPECT_EQ(probe, INVALID_HANDLE_VALUE) << "the child let go of the file already";
  child->terminate();
  child->close();
  probe = openHeld(held, 0);
  EXPECT_NE(probe, INVALID_HANDLE_VALUE) << "the child still holds the file";
  ::CloseHandle(probe);
  EXPECT_FALSE(child->exitStatus()) << "a child that was ended has no status of its own";
}

// --- This program as a child -----------------------------------------------------

void writeErrors(const std::string& text) {
  DWORD put = 0;
  ::WriteFile(::GetStdHandle(STD_ERROR_HANDLE), text.data(), static_cast<DWORD>(text.size()), &put,
              nullptr);
}

// echo ARG...: writes each argument and a line break to its standard error.
// flood SIZE DONE: writes SIZE bytes there, then creates the file DONE.
// lock PATH: writes "free" when it can lock the file, "held" when not.
// exit STATUS: ends with that status.
// hang HELD: holds the file HELD open against everyone and does not end
// by itself for a minute, far beyond any wait of the tests.
int runAsChild(const std::vector<std::string>& arguments) {
  const std::string& mode = arguments.at(2);
  if (mode == "echo") {
    for (size_t i = 3; i < arguments.size(); ++i)
      writeErrors(arguments[i] + "\n");
  } else if (mode == "flood") {
    const size_t size = std::stoul(arguments.at(3));
    const std::string text = pattern(size);
    for (size_t at = 0; at < size; at += 1000)
      writeErrors(text.substr(at, 1000));
    putFile(arguments.at(4), {});
  } else if (mode == "lock") {
    try {
      const FileLock lock(arguments.at(3));
      writeErrors("free");
    } catch (const FileError&) {
      writeErrors("held");
    }
  } else if (mode == "exit") {
    return std::stoi(arguments.at(3));
  } else if (mode == "hang") {
    const HANDLE held = ::CreateFileW(toUtf16(arguments.at(3)).c_str(), GENERIC_WRITE, 0, nullptr,
                                      CREATE_ALWAYS, 0, nullptr);
    if (held == INVALID_HANDLE_VALUE) return 2;
    ::Sleep(60000);
  }
  return 0;
}

}  // namespace
}  // namespace varnel

int main(int argc, char** argv) {
  const std::vector<std::string> arguments = varnel::programArguments();
  if (arguments.size() > 2 && arguments[1] == varnel::kChildFlag) {
    return varnel::runAsChild(arguments);
  }
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
