// KEVRANO: design of rotationally symmetric dielectric lenses for a feed on
// the lens axis.

#include <unistd.h>

#include <csignal>
#include <iostream>

#include "driver/kevrano.h"

int main() {
  // A closed pipe on standard output must end the run with a diagnostic, not a
  // silent signal.
  std::signal(SIGPIPE, SIG_IGN);
  std::ios::sync_with_stdio(false);
  textio::ConsoleSetup setup;
  setup.screen_is_terminal = isatty(STDOUT_FILENO) == 1;
  setup.keyboard_is_terminal = isatty(STDIN_FILENO) == 1;
  return driver::RunProgram(std::cin, std::cout, std::cerr, setup);
}
