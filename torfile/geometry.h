#ifndef KEVRANO_TORFILE_GEOMETRY_H_
#define KEVRANO_TORFILE_GEOMETRY_H_

// Plane geometry of the lens outline in (z, r): z along the axis from the
// feed, r the distance from the axis. A cubic segment is the cubic polynomial
// curve through its four nodes at parameters 0, 1/3, 2/3 and 1.

#include <array>

namespace torfile {

struct Point {
  double z = 0.0;
  double r = 0.0;
};

/// A cubic curve in power form: p(t) = c0 + c1 t + c2 t^2 + c3 t^3, t in [0, 1].
struct Cubic {
  std::array<double, 4> z{};
  std::array<double, 4> r{};

  Point At(double t) const;
};

/// The cubic through p[0], p[1], p[2], p[3] at t = 0, 1/3, 2/3, 1.
Cubic CubicThrough(const std::array<Point, 4>& p);

/// The Bezier control points of the same curve (first and last are p[0], p[3]).
std::array<Point, 4> BezierControls(const std::array<Point, 4>& p);

/// Integral of r^2 dz along the straight line from a to b. Pi times it is the
/// volume the line sweeps between itself and the axis (signed by dz).
double SweptIntegral(Point a, Point b);
/// The same integral along a cubic, exact.
double SweptIntegral(const Cubic& c);

/// Bounds of a set of points and curves.
struct Box {
  double z_min = 0.0;
  double z_max = 0.0;
  double r_min = 0.0;
  double r_max = 0.0;
  bool empty = true;

  void Add(Point p);
  /// Adds the whole curve for t in [0, 1], including its bulges between nodes.
  void Add(const Cubic& c);
};

}  // namespace torfile

#endif  // KEVRANO_TORFILE_GEOMETRY_H_
