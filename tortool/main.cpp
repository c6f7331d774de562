// kevrano-tor: checks, draws and meshes the zoned lens of a tor file.

#include <unistd.h>

#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "tortool/cli.h"

int main(int argc, char** argv) {
  // A write beyond the file size limit must fail and leave the old file, not
  // kill the run before it can remove its temporary file.
  std::signal(SIGXFSZ, SIG_IGN);
  std::ios::sync_with_stdio(false);
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  return tortool::RunTool(args, std::cin, std::cout, std::cerr, isatty(STDOUT_FILENO) == 1);
}
