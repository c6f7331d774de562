#ifndef KEVRANO_DRIVER_COMMAND_LINE_H_
#define KEVRANO_DRIVER_COMMAND_LINE_H_

// The command line of kevrano:
//   kevrano [--zoning standard|exact] [SCRIPT]   the dialogue; SCRIPT answers it
//   kevrano design [options]                     one design from named options
//   kevrano design --file DESIGNS.toml           the designs of a design file
//   kevrano --help | --version

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "design/zoning.h"
#include "driver/design_command.h"

namespace driver {

/// What the command line asks for, every value checked.
struct Command {
  enum class Action {
    kExit,      // help, version or a usage error was printed; exit with `status`
    kDialogue,  // the dialogue, from the keyboard or from `script`
    kDesign,    // the designs of `run`
  };
  Action action = Action::kDialogue;
  int status = 0;
  std::optional<std::string> script;
  design::DesignOptions options;
  DesignRun run;
  bool json = false;
};

/// Parses the arguments (without the program name). Help and the version go
/// to `out`; a usage error is one line and the usage on `err`, status 2.
Command ParseCommandLine(const std::vector<std::string>& args, std::ostream& out,
                         std::ostream& err);

/// Runs what the command asks for on the process's console and returns the
/// exit status.
int RunCommand(const Command& command);

}  // namespace driver

#endif  // KEVRANO_DRIVER_COMMAND_LINE_H_
