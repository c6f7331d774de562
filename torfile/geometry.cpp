#include "torfile/geometry.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace torfile {
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

/// Values of one coordinate at t = 0, 1 and wherever its derivative vanishes
/// inside (0, 1).
template <typename Visit>
void VisitExtremes(const std::array<double, 4>& c, Visit visit) {
  visit(Evaluate(c, 0.0));
  visit(Evaluate(c, 1.0));
  // Roots of 3 c3 t^2 + 2 c2 t + c1
  const double a = 3.0 * c[3];
  const double b = 2.0 * c[2];
  const double k = c[1];
  std::array<double, 2> roots{-1.0, -1.0};
  if (a == 0.0) {
    if (b != 0.0) roots[0] = -k / b;
  } else {
    const double disc = b * b - 4.0 * a * k;
    if (disc >= 0.0) {
      const double s = std::sqrt(disc);
      roots[0] = (-b - s) / (2.0 * a);
      roots[1] = (-b + s) / (2.0 * a);
    }
  }
  for (const double t : roots) {
    if (t > 0.0 && t < 1.0) visit(Evaluate(c, t));
  }
}

}  // namespace

Point Cubic::At(double t) const { return Point{Evaluate(z, t), Evaluate(r, t)}; }

Cubic CubicThrough(const std::array<Point, 4>& p) {
  Cubic c;
  c.z = Through(p[0].z, p[1].z, p[2].z, p[3].z);
  c.r = Through(p[0].r, p[1].r, p[2].r, p[3].r);
  return c;
}

std::array<Point, 4> BezierControls(const std::array<Point, 4>& p) {
  auto inner = [](double a, double b, double c, double d) {
    return (-5.0 * a + 18.0 * b - 9.0 * c + 2.0 * d) / 6.0;
  };
  return {p[0], Point{inner(p[0].z, p[1].z, p[2].z, p[3].z), inner(p[0].r, p[1].r, p[2].r, p[3].r)},
          Point{inner(p[3].z, p[2].z, p[1].z, p[0].z), inner(p[3].r, p[2].r, p[1].r, p[0].r)},
          p[3]};
}

double SweptIntegral(Point a, Point b) {
  return (b.z - a.z) * (a.r * a.r + a.r * b.r + b.r * b.r) / 3.0;
}

double SweptIntegral(const Cubic& c) {
  // r(t)^2, degree 6
  std::array<double, 7> r2{};
  for (std::size_t i = 0; i < 4; ++i) {
    for (std::size_t j = 0; j < 4; ++j) r2[i + j] += c.r[i] * c.r[j];
  }
  // z'(t), degree 2
  const std::array<double, 3> dz{c.z[1], 2.0 * c.z[2], 3.0 * c.z[3]};
  // Integrate the product term by term over [0, 1]
  double sum = 0.0;
  for (std::size_t i = 0; i < r2.size(); ++i) {
    for (std::size_t j = 0; j < dz.size(); ++j) {
      sum += r2[i] * dz[j] / static_cast<double>(i + j + 1);
    }
  }
  return sum;
}

void Box::Add(Point p) {
  if (empty) {
    z_min = z_max = p.z;
    r_min = r_max = p.r;
    empty = false;
    return;
  }
  z_min = std::min(z_min, p.z);
  z_max = std::max(z_max, p.z);
  r_min = std::min(r_min, p.r);
  r_max = std::max(r_max, p.r);
}

void Box::Add(const Cubic& c) {
  Add(c.At(0.0));
  VisitExtremes(c.z, [this](double z) {
    z_min = std::min(z_min, z);
    z_max = std::max(z_max, z);
  });
  VisitExtremes(c.r, [this](double r) {
    r_min = std::min(r_min, r);
    r_max = std::max(r_max, r);
  });
}

}  // namespace torfile
