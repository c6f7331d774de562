#ifndef KEVRANO_EXPORT_OUTLINE_CHECK_H_
#define KEVRANO_EXPORT_OUTLINE_CHECK_H_

// The outline of a zoned lens checked before it is written, by the same checks
// `kevrano-tor check` makes of a tor file it reads: the segments chain from
// the axis to the rim and back, nothing dips below the axis, and the outline
// does not cross itself. Zone boundaries whose radii were extrapolated past
// the edge ray can make it cross.

#include <string>

#include "export/zoned_outline.h"

namespace tor {

/// What `kevrano-tor check` would find wrong with the tor file of `outline`,
/// its nodes taken as the file holds them (five significant digits): the
/// first problem, with " (and N more)" when there are others. Empty when the
/// outline passes.
std::string OutlineProblem(const ZonedOutline& outline);

}  // namespace tor

#endif  // KEVRANO_EXPORT_OUTLINE_CHECK_H_
