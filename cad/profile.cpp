#include "cad/profile.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace cad {
namespace {

/// Power-form coefficients of the cubic through four values at t = 0, 1/3,
/// 2/3, 1 (the Lagrange basis expanded).
std::array<double, 4> Through(double p0, double p1, double p2, double p3) {
  return {p0, -5.5 * p0 + 9.0 * p1 - 4.5 * p2 + p3, 9.0 * p0 - 22.5 * p1 + 18.0 * p2 - 4.5 * p3,
          -4.5 * p0 + 13.5 * p1 - 13.5 * p2 + 4.5 * p3};
}

double Evaluate(const std::array<double, 4>& c, double t) {
  return ((c[3] * t + c[2]) * t + c[1]) * t + c[0];
}

/// Calls visit with the value of a cubic (power form) at t = 0, 1 and where
/// its derivative vanishes inside (0, 1).
template <typename Visit>
void VisitExtremes(const std::array<double, 4>& c, Visit visit) {
  visit(Evaluate(c, 0.0));
  visit(Evaluate(c, 1.0));
  const double a = 3.0 * c[3];
  const double b = 2.0 * c[2];
  const double k = c[1];
  if (a == 0.0) {
    if (b != 0.0 && -k / b > 0.0 && -k / b < 1.0) visit(Evaluate(c, -k / b));
    return;
  }
  const double disc = b * b - 4.0 * a * k;
  if (disc < 0.0) return;
  for (const double t : {(-b - std::sqrt(disc)) / (2.0 * a), (-b + std::sqrt(disc)) / (2.0 * a)}) {
    if (t > 0.0 && t < 1.0) visit(Evaluate(c, t));
  }
}

bool Same(ProfilePoint a, ProfilePoint b) { return a.z == b.z && a.r == b.r; }

}  // namespace

double MillimetresPer(Unit unit) {
  switch (unit) {
    case Unit::kInch:
      return 25.4;
    case Unit::kFoot:
      return 304.8;
    case Unit::kMillimetre:
      return 1.0;
    case Unit::kMetre:
      return 1000.0;
  }
  return 1.0;
}

bool ProfilePiece::Degenerate() const {
  const std::size_t n = shape == PieceShape::kLinear ? 2 : 4;
  for (std::size_t i = 1; i < n; ++i) {
    if (!Same(points[0], points[i])) return false;
  }
  return true;
}

ProfilePoint PointAt(const ProfilePiece& piece, double t) {
  const std::array<ProfilePoint, 4>& p = piece.points;
  if (piece.shape == PieceShape::kLinear) {
    return {p[0].z + t * (p[1].z - p[0].z), p[0].r + t * (p[1].r - p[0].r)};
  }
  return {Evaluate(Through(p[0].z, p[1].z, p[2].z, p[3].z), t),
          Evaluate(Through(p[0].r, p[1].r, p[2].r, p[3].r), t)};
}

std::array<ProfilePoint, 4> BezierPoles(const ProfilePiece& piece) {
  const std::array<ProfilePoint, 4>& p = piece.points;
  // B1 = (-5 P0 + 18 P1 - 9 P2 + 2 P3) / 6 and its mirror: the Bezier curve
  // with these poles takes the values P1 and P2 at t = 1/3 and 2/3.
  auto inner = [](double a, double b, double c, double d) {
    return (-5.0 * a + 18.0 * b - 9.0 * c + 2.0 * d) / 6.0;
  };
  return {p[0], ProfilePoint{inner(p[0].z, p[1].z, p[2].z, p[3].z), inner(p[0].r, p[1].r, p[2].r, p[3].r)},
          ProfilePoint{inner(p[3].z, p[2].z, p[1].z, p[0].z), inner(p[3].r, p[2].r, p[1].r, p[0].r)},
          p[3]};
}

double MaxSecondDerivative(const ProfilePiece& piece) {
  if (piece.shape == PieceShape::kLinear) return 0.0;
  const std::array<ProfilePoint, 4>& p = piece.points;
  const std::array<double, 4> z = Through(p[0].z, p[1].z, p[2].z, p[3].z);
  const std::array<double, 4> r = Through(p[0].r, p[1].r, p[2].r, p[3].r);
  // p''(t) = 2 c2 + 6 c3 t
  const double at_start = std::hypot(2.0 * z[2], 2.0 * r[2]);
  const double at_end = std::hypot(2.0 * z[2] + 6.0 * z[3], 2.0 * r[2] + 6.0 * r[3]);
  return std::max(at_start, at_end);
}

Extent ProfileExtent(const Profile& profile) {
  Extent e;
  bool first = true;
  auto add_z = [&](double z) {
    e.z_min = first ? z : std::min(e.z_min, z);
    e.z_max = first ? z : std::max(e.z_max, z);
    first = false;
  };
  for (const ProfilePiece& piece : profile.pieces) {
    const std::array<ProfilePoint, 4>& p = piece.points;
    if (piece.shape == PieceShape::kLinear) {
      for (std::size_t i = 0; i < 2; ++i) {
        add_z(p[i].z);
        e.r_max = std::max(e.r_max, p[i].r);
      }
      continue;
    }
    VisitExtremes(Through(p[0].z, p[1].z, p[2].z, p[3].z), add_z);
    VisitExtremes(Through(p[0].r, p[1].r, p[2].r, p[3].r),
                  [&e](double r) { e.r_max = std::max(e.r_max, r); });
  }
  return e;
}

std::string ProfileProblem(const Profile& profile) {
  if (profile.pieces.empty()) return "the profile has no pieces";
  for (std::size_t i = 0; i < profile.pieces.size(); ++i) {
    const ProfilePiece& piece = profile.pieces[i];
    const std::string name = "piece " + std::to_string(i + 1);
    for (const ProfilePoint& p : piece.points) {
      if (!std::isfinite(p.z) || !std::isfinite(p.r)) return name + " has a point that is not finite";
      if (p.r < 0.0) return name + " has a point below the axis";
    }
    if (i > 0 && !Same(profile.pieces[i - 1].Last(), piece.First())) {
      return name + " does not begin where the piece before it ends";
    }
  }
  const ProfilePoint start = profile.pieces.front().First();
  const ProfilePoint end = profile.pieces.back().Last();
  if (start.r != 0.0 || end.r != 0.0) return "the profile does not begin and end on the axis";
  if (start.z == end.z) return "the profile meets the axis at one point only";
  return "";
}

}  // namespace cad
