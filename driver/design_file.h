#ifndef KEVRANO_DRIVER_DESIGN_FILE_H_
#define KEVRANO_DRIVER_DESIGN_FILE_H_

// Design files: the settings of one or more lenses in TOML, the keys being
// the option names of `kevrano design` without their dashes. The top level
// names the report (one for every design of the file) and may choose the
// zoning; each [[design]] table is one lens, in the order of the file. A
// design key at the top level applies to every design that does not set it;
// a file without [[design]] tables is one design from its top level.

#include <string>
#include <variant>

#include "driver/design_command.h"

namespace driver {

/// What a design file holds, every value checked.
struct DesignFile {
  DesignRun run;
  bool zoning_given = false;  // the file chose the zoning
};

/// Reads and checks a design file. Returns the one-line message, naming the
/// file, the line and the key, when it cannot be read or a value is wrong.
std::variant<DesignFile, std::string> ReadDesignFile(const std::string& path);

}  // namespace driver

#endif  // KEVRANO_DRIVER_DESIGN_FILE_H_
