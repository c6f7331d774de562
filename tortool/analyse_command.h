#ifndef KEVRANO_TORTOOL_ANALYSE_COMMAND_H_
#define KEVRANO_TORTOOL_ANALYSE_COMMAND_H_

// kevrano-tor analyse: traces rays from the feed through the lens of a tor
// file and prints its phase error, collimation, efficiency budget and beam;
// optionally writes the per-ray table (CSV) and a drawing (SVG).

#include <istream>
#include <ostream>
#include <string>
#include <vector>

namespace tortool {

/// Runs `kevrano-tor analyse` on `args` (the words after "analyse"). A tor
/// file named "-" is read from `in`. The summary goes to `out`, one
/// diagnostic line to `err`. Returns kExitOk when done, kExitBadFile for an
/// unreadable file, a file that is not a lens or a lens no ray gets through,
/// kExitUsage for a bad command line (tortool/exit_status.h).
int RunAnalyse(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
               std::ostream& err);

}  // namespace tortool

#endif  // KEVRANO_TORTOOL_ANALYSE_COMMAND_H_
