// Every writing command of varnel-cli, and the editor's Save, against one
// table of hostile output targets: what must be refused is left exactly as
// it was, a save through a link keeps the link, the input never changes,
// and no temporary file is left anywhere.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <functional>

#include "support/rom_builder.h"
#include "support/scripted_platform.h"
#include "support/test_paths.h"
#include "support/vga_fonts.h"
#include "ui/control_ids.h"
#include "ui/editor_dialog.h"
#include "ui/headless_controls.h"

namespace varnel {
namespace {

using test::Bytes;

struct Outcome {
  int status = 0;
  std::string message;
};

// The folder a case works in: the input image, a raw font, a reader tool.
struct Scene {
  test::TempDir dir;
  std::string input() const { return dir.file("in.rom"); }
  std::string font() const { return dir.file("font.fnt"); }
  std::string reader() const { return dir.file("reader.sh"); }
};

Outcome cli(const std::vector<std::string>& args) {
  const test::RunResult run = test::runProgram(test::programPath("varnel-cli"), args);
  return {run.status, run.err};
}

// The window's Save, with the message it shows (and that message's status)
// as the outcome.
Outcome editorSave(const Scene& scene, const std::string& out) {
  ui::HeadlessControls controls(ui::mainDialogTemplate());
  test::ScriptedPlatform platform;
  ui::EditorDialog editor(controls, platform);
  controls.setEvents(&editor);
  editor.OnInitDialog();
  editor.LoadBiosFile(scene.input(), false);
  if (!editor.document.isOpen()) return {kExitInvalidImage, "not loaded"};
  platform.answerFile(out);
  controls.click(ui::kIdSave);
  const std::vector<std::string> shown = platform.takeMessages();
  if (shown.empty()) return {};
  // The reason on the message's second line goes in brackets, as the
  // commands give it.
  std::string text = shown.front();
  if (const size_t reason = text.find('\n'); reason != std::string::npos) {
    text = text.substr(0, reason) + " (" + text.substr(reason + 1) + ")";
  }
  return {ui::message(ui::MessageId::kErrorSavingFile).exitStatus, text};
}

struct Writer {
  const char* name;
  bool readsInput;  // whether OUT may be refused as the same file as IN
  std::function<Outcome(const Scene&, const std::string& out)> run;
};

const Writer kWriters[] = {
    {"Set", true,
     [](const Scene& s, const std::string& out) {
       return cli({"set", s.input(), "-o", out, "--core", "300"});
     }},
    {"FontExport", true,
     [](const Scene& s, const std::string& out) {
       return cli({"font", "export", "8x16", s.input(), out});
     }},
    {"FontImport", true,
     [](const Scene& s, const std::string& out) {
       return cli({"font", "import", "8x8", s.input(), s.font(), "-o", out});
     }},
    {"FontRender", true,
     [](const Scene& s, const std::string& out) {
       return cli({"font", "render", s.input(), "-o", out});
     }},
    {"Repair", true,
     [](const Scene& s, const std::string& out) {
       return cli({"repair", s.input(), "-o", out});
     }},
    {"EditorSave", false, editorSave},
#ifndef _WIN32  // its fake reader is a shell script
    {"Dump", false,
     [](const Scene& s, const std::string& out) {
       return cli({"dump", "-o", out, "--reader", s.reader()});
     }},
#endif
};

enum class Expect {
  kRefused,         // status 1, "Error saving file" with the reason; nothing changes
  kSameAsInput,     // status 64; nothing changes
  kSaved,           // written as to a plain new file
  kSavedKeepsOwner  // written, with the previous owner, group and mode
};

// Makes something at dir/out (or elsewhere) and returns the OUT to give;
// "" when this system does not allow making it.
struct Target {
  const char* name;
  Expect expect;
  std::function<std::string(const Scene&)> make;
};

std::string out(const Scene& s) {
  return s.dir.file("out");
}
// The mode's write bits are the read-only attribute on Windows.
std::string writeOut(const Scene& s, unsigned mode) {
  test::writeFile(out(s), Bytes(3000, 0x42));
  std::filesystem::permissions(out(s), static_cast<std::filesystem::perms>(mode));
  return out(s);
}
#ifndef _WIN32
// A folder in the scene that every user may write to, sticky, like /tmp.
std::string sharedFolder(const Scene& s) {
  const std::string folder = s.dir.file("shared");
  ::mkdir(folder.c_str(), 0777);
  ::chmod(folder.c_str(), 01777);
  return folder;
}
#endif
std::string hardLink(const std::string& existing, const std::string& link) {
  std::error_code error;
  std::filesystem::create_hard_link(existing, link, error);
  return error ? "" : link;
}

const Target kTargets[] = {
    {"Folder", Expect::kRefused,
     [](const Scene& s) { return std::filesystem::create_directory(out(s)) ? out(s) : ""; }},
    {"HardLinked", Expect::kRefused,
     [](const Scene& s) {
       writeOut(s, 0644);
       return hardLink(out(s), s.dir.file("other")).empty() ? "" : out(s);
     }},
    {"ReadOnly", Expect::kRefused, [](const Scene& s) { return writeOut(s, 0444); }},
    {"InputSpelledOtherwise", Expect::kSameAsInput,
     [](const Scene& s) { return s.dir.path() + "/./in.rom"; }},
    {"HardLinkToInput", Expect::kSameAsInput,
     [](const Scene& s) { return hardLink(s.input(), out(s)); }},
#ifndef _WIN32  // devices, FIFOs, sockets, symbolic links, owners and names of 255 bytes
    {"DeviceNode", Expect::kRefused,
     [](const Scene& s) {
       // The null device's numbers: writing it would do no harm either.
       return ::mknod(out(s).c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0 ? out(s) : "";
     }},
    {"Fifo", Expect::kRefused,
     [](const Scene& s) { return ::mkfifo(out(s).c_str(), 0644) == 0 ? out(s) : ""; }},
    {"Socket", Expect::kRefused,
     [](const Scene& s) {
       const std::string path = out(s);
       sockaddr_un address{};
       address.sun_family = AF_UNIX;
       if (path.size() >= sizeof address.sun_path) return std::string();
       std::copy(path.begin(), path.end(), address.sun_path);
       const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
       const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
       ::close(fd);
       return bound ? out(s) : "";
     }},
    {"LinkToFifo", Expect::kRefused,
     [](const Scene& s) {
       ::mkfifo(s.dir.file("fifo").c_str(), 0644);
       return ::symlink("fifo", out(s).c_str()) == 0 ? out(s) : "";
     }},
    {"LinkToNothing", Expect::kRefused,
     [](const Scene& s) { return ::symlink("nothing.rom", out(s).c_str()) == 0 ? out(s) : ""; }},
    {"LinkToAFileElsewhere", Expect::kSavedKeepsOwner,
     [](const Scene& s) {
       ::mkdir(s.dir.file("sub").c_str(), 0755);
       test::writeFile(s.dir.file("sub/real"), Bytes(3000, 0x42));
       ::chmod(s.dir.file("sub/real").c_str(), 0640);
       return ::symlink("sub/real", out(s).c_str()) == 0 ? out(s) : "";
     }},
    {"LongestName", Expect::kSaved,
     [](const Scene& s) { return s.dir.file(std::string(251, 'n') + ".rom"); }},
    {"OwnedByAnother", Expect::kSavedKeepsOwner,
     [](const Scene& s) {
       writeOut(s, 0604);
       return ::chown(out(s).c_str(), 4242, 4343) == 0 ? out(s) : "";
     }},
    {"LinkToInput", Expect::kSameAsInput,
     [](const Scene& s) { return ::symlink("in.rom", out(s).c_str()) == 0 ? out(s) : ""; }},
    // Another user's link or file in a folder every user may write to
    // (sticky, like /tmp) is neither followed nor kept, even by root, who
    // would otherwise replace the file the link names, or keep that user as
    // the owner of what root saved.
    {"AnotherUsersLinkInASharedFolder", Expect::kRefused,
     [](const Scene& s) {
       test::writeFile(s.dir.file("victim"), Bytes(3000, 0x42));
       const std::string planted = sharedFolder(s) + "/out";
       if (::symlink(s.dir.file("victim").c_str(), planted.c_str()) != 0) return std::string();
       return ::lchown(planted.c_str(), 4242, 4242) == 0 ? planted : "";
     }},
    {"AnotherUsersFileInASharedFolder", Expect::kRefused,
     [](const Scene& s) {
       const std::string planted = sharedFolder(s) + "/out";
       test::writeFile(planted, Bytes(3000, 0x42));
       if (::chown(planted.c_str(), 4242, 4242) != 0) return std::string();
       return ::chmod(planted.c_str(), 06777) == 0 ? planted : "";
     }},
    // A save never carries setuid, setgid or sticky bits.
    {"SetuidFile", Expect::kSavedKeepsOwner, [](const Scene& s) { return writeOut(s, 07755); }},
    // A name of a process's stream, never a rename over the file behind it.
    {"StandardOutputByName", Expect::kRefused, [](const Scene&) { return std::string("/dev/stdout"); }},
#endif
};

// Everything a refusal must leave as it was: the entry, what a link says,
// and the file it leads to.
#ifdef _WIN32
std::string snapshot(const std::string& path) {
  std::error_code error;
  const std::filesystem::file_status entry = std::filesystem::symlink_status(path, error);
  if (!std::filesystem::exists(entry)) return "absent";
  std::string text = std::to_string(static_cast<int>(entry.type())) + "/" +
                     std::to_string(static_cast<unsigned>(entry.permissions())) + "/" +
                     std::to_string(std::filesystem::hard_link_count(path, error));
  if (std::filesystem::is_regular_file(entry)) {
    const Bytes bytes = test::readFile(path);
    text += ' ';
    text.append(bytes.begin(), bytes.end());
  }
  return text;
}
#else
std::string snapshot(const std::string& path) {
  struct stat entry {};
  if (::lstat(path.c_str(), &entry) != 0) return "absent";
  // Appended piece by piece: GCC 12 at -O3 takes `"literal" + std::string`
  // for an overlapping copy (-Wrestrict).
  std::string text = std::to_string(entry.st_mode);
  text.append("/").append(std::to_string(entry.st_ino));
  text.append("/").append(std::to_string(entry.st_nlink));
  if (S_ISLNK(entry.st_mode)) text.append(" -> ").append(std::filesystem::read_symlink(path).string());
  struct stat file {};
  if (::stat(path.c_str(), &file) == 0 && S_ISREG(file.st_mode)) {
    const Bytes bytes = test::readFile(path);
    text.append(" ").append(std::to_string(file.st_uid));
    text.append(":").append(std::to_string(file.st_gid));
    text.append(" ").append(std::to_string(file.st_mode)).append(" ");
    text.append(bytes.begin(), bytes.end());
  }
  return text;
}
#endif

// Every name under the folder, the hidden ones too.
std::vector<std::string> leftovers(const std::string& folder) {
  std::vector<std::string> found;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (name[0] == '.' || name.find(".part") != std::string::npos) found.push_back(name);
  }
  return found;
}

// How a refusal begins: the message names the target by its absolute path.
std::string refusalStart(const Scene& scene) {
  std::string start = "Error saving file (cannot save ";
#ifdef _WIN32
  start += scene.dir.path().substr(0, 3);  // the drive: "C:/"
#else
  (void)scene;
  start += "/";
#endif
  return start;
}

struct Case {
  const Writer* writer;
  const Target* target;
};

class HostileTarget : public testing::TestWithParam<Case> {
 protected:
  void SetUp() override {
    test::writeFile(scene.input(), test::buildRom().bytes);
    test::writeFile(scene.font(), Bytes(test::kVgaFont8x8.begin(), test::kVgaFont8x8.end()));
#ifndef _WIN32
    const std::string script = "#!/bin/sh\ncp '" + scene.input() + "' \"$4\"\n";
    test::writeFile(scene.reader(), Bytes(script.begin(), script.end()));
    ::chmod(scene.reader().c_str(), 0755);
#endif
  }
  // What the writer puts in a plain new file.
  Bytes plainOutput() {
    const std::string plain = scene.dir.file("plain");
    const Outcome outcome = GetParam().writer->run(scene, plain);
    EXPECT_EQ(outcome.status, 0) << outcome.message;
    Bytes bytes = test::readFile(plain);
    std::filesystem::remove(plain);
    return bytes;
  }
  Scene scene;
};

TEST_P(HostileTarget, IsRefusedOrWrittenSafely) {
  const Writer& writer = *GetParam().writer;
  const Target& target = *GetParam().target;
  const Bytes expected = plainOutput();
  const std::string path = target.make(scene);
  if (path.empty()) GTEST_SKIP() << "this system does not let the test make " << target.name;
#ifndef _WIN32
  struct stat before {};
  ::stat(path.c_str(), &before);
#endif
  const std::string outBefore = snapshot(path);
  const std::string inBefore = snapshot(scene.input());

  const Outcome outcome = writer.run(scene, path);

  EXPECT_EQ(snapshot(scene.input()), inBefore);
  EXPECT_EQ(leftovers(scene.dir.path()), std::vector<std::string>{});
  switch (target.expect) {
    case Expect::kRefused:
      EXPECT_EQ(outcome.status, 1) << outcome.message;
      EXPECT_NE(outcome.message.find(refusalStart(scene)), std::string::npos) << outcome.message;
      EXPECT_EQ(snapshot(path), outBefore);
      EXPECT_FALSE(std::filesystem::exists(scene.dir.file("nothing.rom")));
      break;
    case Expect::kSameAsInput:
      EXPECT_EQ(outcome.status, 64) << outcome.message;
      EXPECT_NE(outcome.message.find("is the same file as"), std::string::npos) << outcome.message;
      EXPECT_EQ(snapshot(path), outBefore);
      break;
    case Expect::kSavedKeepsOwner:
    case Expect::kSaved: {
      ASSERT_EQ(outcome.status, 0) << outcome.message;
      EXPECT_EQ(test::readFile(path), expected);
#ifndef _WIN32
      struct stat after {};
      ::stat(path.c_str(), &after);
      struct stat entry {};
      ::lstat(path.c_str(), &entry);
      EXPECT_EQ(S_ISLNK(entry.st_mode), outBefore.find(" -> ") != std::string::npos);
      if (target.expect == Expect::kSavedKeepsOwner) {
        EXPECT_EQ(after.st_uid, before.st_uid);
        EXPECT_EQ(after.st_gid, before.st_gid);
        EXPECT_EQ(after.st_mode, before.st_mode & ~mode_t{07000});
      }
#endif
      break;
    }
  }
}

std::vector<Case> allCases() {
  std::vector<Case> cases;
  for (const Writer& writer : kWriters) {
    for (const Target& target : kTargets) {
      if (target.expect == Expect::kSameAsInput && !writer.readsInput) continue;
      cases.push_back({&writer, &target});
    }
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(EveryWriter, HostileTarget, testing::ValuesIn(allCases()),
                         [](const testing::TestParamInfo<Case>& info) {
                           return std::string(info.param.writer->name) + "_" +
                                  info.param.target->name;
                         });

}  // namespace
}  // namespace varnel
