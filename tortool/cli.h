#ifndef KEVRANO_TORTOOL_CLI_H_
#define KEVRANO_TORTOOL_CLI_H_

// The command line of kevrano-tor: check, svg and stl on one tor file, or on
// standard input when the file is named '-'.

#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "tortool/exit_status.h"

namespace tortool {

/// Runs the tool on `args` (without the program name). A file named "-" is
/// read from `in`. Results go to `out`, diagnostics to `err` as
/// "kevrano-tor: FILE:LINE: message". `out_is_terminal` says that `out` is a
/// terminal, where stl refuses to write its binary mesh. Returns the exit
/// status (tortool/exit_status.h).
int RunTool(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
            std::ostream& err, bool out_is_terminal);

/// The text of --help.
std::string UsageText();

}  // namespace tortool

#endif  // KEVRANO_TORTOOL_CLI_H_
