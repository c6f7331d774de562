#include "cad/outline_path.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace cad {

bool PathPiece::Degenerate() const {
  const std::size_t n = kind == torfile::PieceKind::kLinear ? 2 : 4;
  for (std::size_t i = 1; i < n; ++i) {
    if (points[i].z != points[0].z || points[i].r != points[0].r) return false;
  }
  return true;
}

std::vector<PathPiece> OutlinePath(const torfile::Mesh& mesh, const torfile::Outline& outline) {
  std::vector<PathPiece> path;
  auto add = [&](const torfile::Piece& piece, bool rim) {
    PathPiece p{piece.kind, rim, {}};
    const std::size_t n = piece.kind == torfile::PieceKind::kLinear ? 2 : 4;
    for (std::size_t i = 0; i < n; ++i) p.points[i] = torfile::NodePoint(mesh, piece.nodes[i]);
    path.push_back(p);
  };
  for (const torfile::Piece& piece : outline.feed.pieces) add(piece, false);
  if (outline.rim) {
    add(*outline.rim, true);
  } else {
    // A knife edge whose edge nodes lie apart is closed by the line between them
    const torfile::Point a = torfile::NodePoint(mesh, outline.feed.edge_node);
    const torfile::Point b = torfile::NodePoint(mesh, outline.radiation.edge_node);
    if (a.z != b.z || a.r != b.r)
      path.push_back({torfile::PieceKind::kLinear, true, {a, b, {}, {}}});
  }
  for (auto it = outline.radiation.pieces.rbegin(); it != outline.radiation.pieces.rend(); ++it) {
    add(it->Reversed(), false);
  }
  return path;
}

double MaxSecondDerivative(const torfile::Cubic& c) {
  // p''(t) = 2 c2 + 6 c3 t
  const double at_start = std::hypot(2.0 * c.z[2], 2.0 * c.r[2]);
  const double at_end = std::hypot(2.0 * c.z[2] + 6.0 * c.z[3], 2.0 * c.r[2] + 6.0 * c.r[3]);
  return std::max(at_start, at_end);
}

}  // namespace cad
