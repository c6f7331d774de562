#ifndef KEVRANO_CAD_PROFILE_H_
#define KEVRANO_CAD_PROFILE_H_

// The half-profile of a lens of revolution, as the CAD writers take it.
//
// Conventions: the profile lies in the (z, r) half-plane, z along the lens
// axis from the feed, r the distance from the axis (r >= 0), both in the
// profile's unit of length. Its pieces run in order from the feed face's
// point on the axis out along the feed face, across the rim and back along
// the radiation face to its point on the axis; the axis closes the profile.
// A linear piece is the straight line between its first two points; a cubic
// piece is the cubic polynomial curve through its four points at parameters
// 0, 1/3, 2/3 and 1.

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace cad {

/// The units of length a lens file may name.
enum class Unit { kInch, kFoot, kMillimetre, kMetre };

/// Millimetres per unit: 25.4, 304.8, 1, 1000.
double MillimetresPer(Unit unit);

struct ProfilePoint {
  double z = 0.0;
  double r = 0.0;
};

enum class PieceShape { kLinear, kCubic };

/// Which part of the lens a piece belongs to (a zone step is part of a face).
enum class PieceRole { kFace, kRim };

struct ProfilePiece {
  PieceShape shape = PieceShape::kLinear;
  PieceRole role = PieceRole::kFace;
  std::array<ProfilePoint, 4> points{};  // a linear piece uses the first two

  ProfilePoint First() const { return points[0]; }
  ProfilePoint Last() const { return shape == PieceShape::kLinear ? points[1] : points[3]; }
  /// True when every point of the piece is the same point.
  bool Degenerate() const;
};

struct Profile {
  std::vector<ProfilePiece> pieces;
  Unit unit = Unit::kMillimetre;
};

/// The point of a piece at parameter t in [0, 1].
ProfilePoint PointAt(const ProfilePiece& piece, double t);

/// The control points of a cubic piece's curve as a Bezier curve of degree 3,
/// the same polynomial; the first and last are the piece's ends.
std::array<ProfilePoint, 4> BezierPoles(const ProfilePiece& piece);

/// The largest length of the second derivative d2p/dt2 over t in [0, 1] (0
/// for a linear piece). The second derivative of a cubic is linear in t, so
/// its length is largest at an end.
double MaxSecondDerivative(const ProfilePiece& piece);

/// Bounds of the curves themselves, bulges between nodes included.
struct Extent {
  double z_min = 0.0;
  double z_max = 0.0;
  double r_max = 0.0;
};
Extent ProfileExtent(const Profile& profile);

/// What keeps the profile from bounding a lens: no pieces, a start or end off
/// the axis, a piece that does not begin where the one before it ended, a
/// point below the axis or not finite, or the two ends on the axis at one
/// point. Empty when the profile is sound.
std::string ProfileProblem(const Profile& profile);

}  // namespace cad

#endif  // KEVRANO_CAD_PROFILE_H_
