#ifndef KEVRANO_EXPORT_SHAPED_OUTLINE_H_
#define KEVRANO_EXPORT_SHAPED_OUTLINE_H_

// The outline of a lens whose two faces were both synthesised (a shaped
// lens): each face as chained cubic segments through its computed points,
// from the axis to the edge, and the rim joining the two edge points. The
// lens is not zoned. Coordinates as the tor file holds them: z along the axis
// from the feed, r from the axis, relative to the axis offset.

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "export/zoned_outline.h"
#include "torfile/mesh.h"

namespace tor {

/// Builds the outline of a shaped lens from the points of its feed face and
/// of its radiation face, each from the axis to the edge. Each face needs
/// 3M + 1 points (M ≥ 1 cubic segments of three intervals); nodes are the
/// points as 32-bit values. Nodes: the feed face, then the radiation face;
/// the rim is a linear segment from the feed face's edge node to the
/// radiation face's. Returns nothing when the faces do not have the same
/// number of points of that form, or a face's radius does not increase.
std::optional<ZonedOutline> ShapedOutline(std::span<const torfile::Node> feed,
                                          std::span<const torfile::Node> radiation);

}  // namespace tor

#endif  // KEVRANO_EXPORT_SHAPED_OUTLINE_H_
