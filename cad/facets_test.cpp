#include "cad/facets.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#include "cad/outline_path.h"
#include "cad/test_lenses.h"

namespace cad {
namespace {

using Vec = std::array<double, 3>;

Vec Sub(const Vec& a, const Vec& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
double Dot(const Vec& a, const Vec& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
Vec Cross(const Vec& a, const Vec& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

/// Distance from p to the segment ab.
double ToSegment(const Vec& p, const Vec& a, const Vec& b) {
  const Vec ab = Sub(b, a);
  const double t = std::clamp(Dot(Sub(p, a), ab) / Dot(ab, ab), 0.0, 1.0);
  const Vec d = Sub(p, Vec{a[0] + t * ab[0], a[1] + t * ab[1], a[2] + t * ab[2]});
  return std::sqrt(Dot(d, d));
}

/// Distance from p to the triangle abc: to its plane where p projects inside
/// it, to the nearest edge otherwise.
double Distance(const Vec& p, const Vec& a, const Vec& b, const Vec& c) {
  const Vec n = Cross(Sub(b, a), Sub(c, a));
  const double area = std::sqrt(Dot(n, n));
  const bool inside = area > 0.0 && Dot(Cross(Sub(b, a), Sub(p, a)), n) >= 0 &&
                      Dot(Cross(Sub(c, b), Sub(p, b)), n) >= 0 &&
                      Dot(Cross(Sub(a, c), Sub(p, c)), n) >= 0;
  if (inside) return std::abs(Dot(Sub(p, a), n)) / area;
  return std::min({ToSegment(p, a, b), ToSegment(p, b, c), ToSegment(p, c, a)});
}

Vec Turned(torfile::Point p, double angle) {
  return {p.r * std::cos(angle), p.r * std::sin(angle), p.z};
}

/// The largest distance from the exact surface to the mesh of a plan, over
/// points of every piece in the first step around the axis; each point is
/// measured against the triangles of the steps either side of it.
double LargestFacetError(const std::vector<PathPiece>& path, const FacetPlan& plan) {
  const double step = 2.0 * std::numbers::pi / plan.steps_around;
  const std::vector<torfile::Point>& poly = plan.polygon;
  double worst = 0.0;
  for (const PathPiece& piece : path) {
    const torfile::Cubic curve = torfile::CubicThrough(piece.points);
    const torfile::Point from = piece.First(), to = piece.Last();
    for (int i = 0; i <= 100; ++i) {
      const double u = i / 100.0;
      const torfile::Point s =
          piece.kind == torfile::PieceKind::kCubic
              ? curve.At(u)
              : torfile::Point{from.z + u * (to.z - from.z), from.r + u * (to.r - from.r)};
      for (int k = 0; k <= 8; ++k) {
        const Vec p = Turned(s, step * k / 8.0);
        double nearest = INFINITY;
        for (int j = -1; j <= 1; ++j) {
          for (std::size_t b = 0; b + 1 < poly.size(); ++b) {
            const Vec a0 = Turned(poly[b], step * j), a1 = Turned(poly[b], step * (j + 1));
            const Vec b0 = Turned(poly[b + 1], step * j), b1 = Turned(poly[b + 1], step * (j + 1));
            nearest = std::min({nearest, Distance(p, a0, a1, b0), Distance(p, a1, b1, b0)});
          }
        }
        worst = std::max(worst, nearest);
      }
    }
  }
  return worst;
}

TEST(Facets, StepsAroundTheAxisKeepTheSagitta) {
  // N = ceil(pi / acos(1 - s/r)), at least 3
  const struct {
    const char* name;
    double radius, sagitta;
    int32_t steps;
  } kCases[] = {
      {"r 10, s 0.005: acos(0.9995) = 0.0316241, N = 99.34", 10.0, 0.005, 100},
      {"r 50, s 0.01: acos(0.9998) = 0.0200003, N = 157.08", 50.0, 0.01, 158},
      {"r 1, s 1 - cos(pi/8): exactly 8", 1.0, 1.0 - std::cos(std::numbers::pi / 8) + 1e-15, 8},
      {"sagitta beyond the radius: a triangle", 1.0, 2.0, 3},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.steps, StepsAroundAxis(c.radius, c.sagitta));
  }
  EXPECT_FALSE(StepsAroundAxis(1000.0, 1e-9));  // beyond kMaxStepsAround
}

TEST(Facets, ChordsAlongACubicKeepTheDeviation) {
  // p(t) = (3 t^2, 4 t), |p''| = 6: n = ceil(sqrt(6 / (8 d)))
  const torfile::Cubic parabola =
      torfile::CubicThrough({{{0, 0}, {1.0 / 3, 4.0 / 3}, {4.0 / 3, 8.0 / 3}, {3, 4}}});
  const struct {
    const char* name;
    double deviation;
    int32_t chords;
  } kCases[] = {
      {"d 0.01: sqrt(6 / 0.08) = 8.66", 0.01, 9},
      {"d 1e-10: 86603 chords, beyond kMaxChordsPerCubic", 1e-10, 0},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.chords, ChordsAlong(parabola, c.deviation).value_or(0));
  }
}

TEST(Facets, NoPointOfTheSurfaceIsFurtherThanTheTolerance) {
  for (const testing::TestLens& lens : testing::TestLenses()) {
    const torfile::Outline outline = testing::OutlineOf(lens.mesh);
    for (const double share : {0.01, 0.002}) {
      const double tolerance = share * lens.extent.r_max;
      SCOPED_TRACE(std::string(lens.name) + ", tolerance " + std::to_string(tolerance));
      std::string error;
      const std::optional<FacetPlan> plan = PlanFacets(lens.mesh, outline, tolerance, &error);
      ASSERT_TRUE(plan) << error;
      EXPECT_EQ(0.0, plan->polygon.front().r);
      EXPECT_EQ(0.0, plan->polygon.back().r);
      const double worst = LargestFacetError(OutlinePath(lens.mesh, outline), *plan);
      EXPECT_LE(worst, tolerance);
      // Not met by wasting facets: the ring sagitta alone is about T/2
      EXPECT_GE(worst, 0.3 * tolerance);
    }
  }
}

TEST(Facets, RefusesToleranceFinerThanSinglePrecision) {
  const testing::TestLens disc = testing::TestLenses().front();  // largest coordinate 22
  std::string error;
  EXPECT_FALSE(PlanFacets(disc.mesh, testing::OutlineOf(disc.mesh), 1e-6, &error));
  EXPECT_EQ(
      "a chord tolerance below 0.000022 is finer than the mesh's single-precision vertices can "
      "hold",
      error);
}

}  // namespace
}  // namespace cad
