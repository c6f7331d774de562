// KEVRANO: design of rotationally symmetric dielectric lenses for a feed on
// the lens axis.

#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "driver/command_line.h"

int main(int argc, char** argv) {
  // A closed pipe on standard output must end the run with a diagnostic, not a
  // silent signal.
  std::signal(SIGPIPE, SIG_IGN);
  // A write beyond the file size limit must fail and leave the old file, not
  // kill the run before it can remove its temporary file.
  std::signal(SIGXFSZ, SIG_IGN);
  std::ios::sync_with_stdio(false);
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + (argc > 0 ? argc : 0));
  const driver::Command command = driver::ParseCommandLine(args, std::cout, std::cerr);
  const int status = driver::RunCommand(command);
  std::cout.flush();
  return status;
}
