#ifndef KEVRANO_DRIVER_KEVRANO_H_
#define KEVRANO_DRIVER_KEVRANO_H_

// The main program: chooses where the answers come from, opens the report
// file, and runs design after design until the user wants no more.

#include <functional>
#include <iosfwd>

#include "design/splenz.h"
#include "design/zoning.h"
#include "textio/units.h"

namespace driver {

/// Called with the design routine after each design it finished, before the
/// program asks for another: the design's results are read from it there.
using DesignDone = std::function<void(const design::SPLENZ&)>;

/// Runs the whole dialogue over the given units. Throws textio::Failure when a
/// read, write or open fails; the report then holds every finished record.
void KEVRANO(textio::Units& io, const design::DesignOptions& options = {},
             const DesignDone& done = {});

/// Runs the program on the given console streams and returns the exit status:
/// 0 after the last design, 1 after a failure, whose one-line diagnostic goes
/// to `err` once everything finished has been flushed.
int RunProgram(std::istream& keyboard, std::ostream& screen, std::ostream& err,
               textio::ConsoleSetup setup, const design::DesignOptions& options = {},
               const DesignDone& done = {});

}  // namespace driver

#endif  // KEVRANO_DRIVER_KEVRANO_H_
