#ifndef KEVRANO_TORTOOL_FULLWAVE_COMMAND_H_
#define KEVRANO_TORTOOL_FULLWAVE_COMMAND_H_

// kevrano-tor fullwave: simulates the lens of a tor file and its feed on the
// FDTD engine (cylindrical grid, angular order +1) and prints the full-wave
// directivity and beam beside the ray trace's for the same lens and feed;
// optionally writes the pattern cuts (CSV) and a drawing of them (SVG).

#include <istream>
#include <ostream>
#include <string>
#include <vector>

namespace tortool {

/// Runs `kevrano-tor fullwave` on `args` (the words after "fullwave"). A tor
/// file named "-" is read from `in`. The summary (or JSON) goes to `out`,
/// progress lines and diagnostics to `err`. Returns 0 when done, 1 for an
/// unreadable file, a file that is not a lens or a simulation that fails, 2
/// for a bad command line.
int RunFullwave(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
                std::ostream& err);

}  // namespace tortool

#endif  // KEVRANO_TORTOOL_FULLWAVE_COMMAND_H_
