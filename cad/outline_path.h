#ifndef KEVRANO_CAD_OUTLINE_PATH_H_
#define KEVRANO_CAD_OUTLINE_PATH_H_

// The closed outline of a checked lens as the workshop files trace it.
//
// Conventions: the outline lies in the (z, r) half-plane of the tor file, z
// along the lens axis from the feed (node coordinates as stored, before the
// ZLOFF offset), r the distance from the axis, in the file's unit. The path
// runs from the feed face's node on the axis out along the feed face, across
// the rim and back along the radiation face to its node on the axis; the
// axis closes it. A cubic piece is the cubic through its four nodes at
// parameters 0, 1/3, 2/3 and 1.

#include <array>
#include <vector>

#include "torfile/geometry.h"
#include "torfile/mesh.h"
#include "torfile/outline.h"

namespace cad {

/// One segment of the outline with its node coordinates, in the order of travel.
struct PathPiece {
  torfile::PieceKind kind = torfile::PieceKind::kLinear;
  bool rim = false;
  std::array<torfile::Point, 4> points{};  // a linear piece uses the first two

  torfile::Point First() const { return points[0]; }
  torfile::Point Last() const {
    return kind == torfile::PieceKind::kLinear ? points[1] : points[3];
  }
  /// True when every node of the piece lies at one point (a rim of zero
  /// length at a knife edge).
  bool Degenerate() const;
};

/// The pieces of a checked outline in the order of travel. At a knife edge
/// without a rim whose edge nodes lie apart, a linear piece marked as the rim
/// closes the gap, as the outline's volume does.
std::vector<PathPiece> OutlinePath(const torfile::Mesh& mesh, const torfile::Outline& outline);

/// The largest length of the second derivative d2p/dt2 of a cubic over t in
/// [0, 1]. It is linear in t, so its length is largest at an end.
double MaxSecondDerivative(const torfile::Cubic& cubic);

}  // namespace cad

#endif  // KEVRANO_CAD_OUTLINE_PATH_H_
