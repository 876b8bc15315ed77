// The peak memory of varnel-cli info over 1000 images in one run.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/rom_builder.h"
#include "support/test_paths.h"

extern char** environ;

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: varnel_cli_memory PATH-TO-varnel-cli\n");
    return 2;
  }
  varnel::test::TempDir dir;
  std::vector<std::string> args = {argv[1], "info", "--json"};
  for (int i = 0; i < 1000; ++i) {
    varnel::test::RomSpec spec;
    spec.sizeBlocks = 0x20 + i % 0x61;
    spec.coreClockWord = static_cast<uint16_t>(20000 + i);
    const std::string path = dir.file("image" + std::to_string(i) + ".rom");
    varnel::test::writeFile(path, varnel::test::buildRom(spec).bytes);
    args.push_back(path);
  }
  std::vector<char*> argvOut;
  for (std::string& arg : args)
    argvOut.push_back(arg.data());
  argvOut.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  if (posix_spawn(&pid, argv[1], &actions, nullptr, argvOut.data(), environ) != 0) return 1;
  int status = 0;
  rusage usage{};
  ::wait4(pid, &status, 0, &usage);
  std::printf("cli/info_1000_images peak RSS %.1f MiB (exit %d)\n", usage.ru_maxrss / 1024.0,
              WEXITSTATUS(status));
  return 0;
}
