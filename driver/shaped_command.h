#ifndef KEVRANO_DRIVER_SHAPED_COMMAND_H_
#define KEVRANO_DRIVER_SHAPED_COMMAND_H_

// Shaped lenses from named settings: each lens synthesised, its report
// written (records ending in CR LF, as the dialogue's report), its tor file
// written when asked for, and a summary line or JSON object per lens.

#include <iosfwd>
#include <string>
#include <vector>

#include "design/shaped_lens.h"
#include "driver/design_command.h"

namespace driver {

/// The shaped lens the kernel is asked to design (angles in radians, Q from the
/// edge taper when not given). Needs `lens.shaped`.
design::ShapedLensRequest ShapedRequestOf(const LensDesign& lens);

/// The feed's Q a uniform lens is designed for; nothing for the sine
/// condition or a taper that gives no Q.
std::optional<double> ShapedFeedQOf(const LensDesign& lens);

/// The report records of one shaped lens (no line ends): the settings, the
/// figures and the profile table, or the line saying why there is no lens.
std::vector<std::string> ShapedReport(const LensDesign& lens, const design::ShapedLens& result);

/// Runs the shaped lenses of `run` (every design shaped) into one report, or
/// none when the run names none.
/// Returns the exit status: 0, or 1 after a failure to write a file, whose
/// diagnostic went to `err`. A lens that does not exist is reported and
/// counts as run.
int RunShapedDesigns(const DesignRun& run, bool json, std::ostream& out, std::ostream& err);

}  // namespace driver

#endif  // KEVRANO_DRIVER_SHAPED_COMMAND_H_
