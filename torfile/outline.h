#ifndef KEVRANO_TORFILE_OUTLINE_H_
#define KEVRANO_TORFILE_OUTLINE_H_

// The lens outline assembled from the segments of a tor file, and the checks
// that it describes a lens: every segment's nodes exist, the segments chain
// end to end without branching, each face runs from a node on the axis to its
// edge node, the faces are joined at the rim by a linear segment or meet at a
// knife edge, no cubic segment has zero length, nothing lies below the axis,
// and the outline does not cross itself.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "torfile/geometry.h"
#include "torfile/reader.h"

namespace torfile {

enum class PieceKind { kLinear, kCubic };

/// One segment of the outline, its nodes in the order of travel.
struct Piece {
  PieceKind kind = PieceKind::kLinear;
  int32_t segment = 0;             // number in its table
  std::array<int32_t, 4> nodes{};  // a linear segment uses the first two
  int line = 0;

  int32_t First() const { return nodes[0]; }
  int32_t Last() const { return kind == PieceKind::kLinear ? nodes[1] : nodes[3]; }
  /// The same segment travelled the other way.
  Piece Reversed() const;
  /// "linear segment 3" or "cubic segment 7".
  std::string Name() const;
};

/// One face of the lens, from its node on the axis out to its edge node.
struct Side {
  std::vector<Piece> pieces;
  int32_t axis_node = 0;
  int32_t edge_node = 0;
};

struct Outline {
  Side feed;                 // the face that meets the axis nearer the feed
  Side radiation;            // the face turned to the aperture
  std::optional<Piece> rim;  // feed edge to radiation edge; none at a knife edge
};

/// Errors listed (by check, and on a drawing) before the rest are only counted.
inline constexpr std::size_t kListedProblems = 20;

/// An error of the outline, and the place on the lens it concerns when it
/// lies at one place (a node, a crossing, the gap at an open rim).
struct OutlineProblem : Problem {
  std::optional<Point> where;
};

struct CheckResult {
  std::vector<OutlineProblem> errors;
  std::vector<Problem> warnings;
  std::optional<Outline> outline;  // present exactly when there are no errors
};

/// Assembles and checks the outline of a parsed file.
CheckResult CheckOutline(const Mesh& file);

/// The coordinates of node `number` (1-based; throws textio::IndexError when
/// it does not exist).
Point NodePoint(const Mesh& file, int32_t number);
/// The same, or nothing when the node does not exist.
std::optional<Point> PlaceOf(const Mesh& file, int32_t number);

/// The curve of a cubic piece, in its direction of travel.
Cubic PieceCubic(const Mesh& file, const Piece& piece);

/// True for a linear piece of a face that runs more along the axis than
/// across it: the step where the face jumps back at a zone boundary. A step
/// of zero length (a face that takes no share of the zone step) is not one.
bool IsZoneStep(const Mesh& file, const Piece& piece);

/// Figures of a checked lens, in the file's unit of length.
struct Summary {
  int32_t nodes = 0;
  int32_t linear = 0;
  int32_t cubic = 0;
  bool knife_edge = false;  // the faces meet at one point, with or without a rim
  double lens_radius = 0.0;
  double z_min = 0.0;
  double z_max = 0.0;
  double axis_thickness = 0.0;
  int32_t feed_steps = 0;
  int32_t radiation_steps = 0;
  double volume = 0.0;  // of the solid of revolution, exact for the segments
};

Summary Summarize(const Mesh& file, const Outline& outline);

/// The closed outline as a polygon in the (z, r) half-plane, from the feed
/// face's axis node out to the rim and back along the radiation face to its
/// axis node (the axis closes it). Cubic segments are cut into `chords`
/// chords of equal parameter step; repeated points are dropped; the two ends
/// lie exactly on the axis.
std::vector<Point> OutlinePolygon(const Mesh& file, const Outline& outline, int chords);

}  // namespace torfile

#endif  // KEVRANO_TORFILE_OUTLINE_H_
