#ifndef KEVRANO_CAD_TEST_LENSES_H_
#define KEVRANO_CAD_TEST_LENSES_H_

// Lenses whose solids have closed forms, shared by the tests of the workshop
// files. Every curved segment is a polynomial of degree 2 in its parameter,
// which the cubic through its four nodes reproduces exactly; nodes hold the
// exact values (not a file's five digits).

#include <gtest/gtest.h>

#include <numbers>
#include <vector>

#include "torfile/mesh.h"
#include "torfile/outline.h"

namespace cad::testing {

using torfile::Point;
/// The nodes of a segment in the order of travel: 2 linear, 4 cubic.
using Segment = std::vector<Point>;

struct TestLens {
  const char* name;
  torfile::Mesh mesh;
  double volume;  // exact volume of revolution, in the unit cubed
  torfile::Box extent;
  int faces_polylines, faces_splines, rim_polylines;  // in the DXF drawing
};

/// The cubic segment through f(0), f(1/3), f(2/3), f(1).
template <typename Curve>
Segment Through(Curve f) {
  return {f(0.0), f(1.0 / 3.0), f(2.0 / 3.0), f(1.0)};
}

/// The mesh of segments chained in the order given, each from the node
/// where the one before ends.
inline torfile::Mesh MeshOf(const std::vector<Segment>& path, torfile::LengthUnit unit) {
  torfile::Mesh mesh{0.0, "test_lens", 2.25, {}, {}, {}, unit, 0};
  for (const Segment& s : path) {
    const bool first = mesh.nodes.empty();
    const int32_t n = first ? 1 : static_cast<int32_t>(mesh.nodes.size());  // the shared node
    for (std::size_t i = first ? 0 : 1; i < s.size(); ++i)
      mesh.nodes.push_back({s[i].z, s[i].r, 0});
    if (s.size() == 2) mesh.linear.push_back({{n, n + 1}, 0});
    if (s.size() == 4) mesh.cubic.push_back({{n, n + 1, n + 2, n + 3}, 0});
  }
  return mesh;
}

inline std::vector<TestLens> TestLenses() {
  using torfile::LengthUnit;
  constexpr double pi = std::numbers::pi;
  auto box = [](double z_min, double z_max, double r_max) {
    return torfile::Box{z_min, z_max, 0.0, r_max, false};
  };
  // A disc of radius 10 and thickness 2, 20 from the feed: pi R^2 t
  std::vector<TestLens> lenses{
      {"disc, mm",
       MeshOf({{{20, 0}, {20, 10}}, {{20, 10}, {22, 10}}, {{22, 10}, {22, 0}}},
              LengthUnit::kMillimetre),
       pi * 100.0 * 2.0, box(20, 22, 10), 2, 0, 1}};
  // Flat feed face, edge thickness e, radiation face the paraboloid
  // z = e + c (1 - (r/R)^2): pi R^2 e + pi R^2 c / 2
  const double R = 2.0, e = 0.25, c = 0.5;
  lenses.push_back({"plano-convex paraboloid, in",
                    MeshOf({{{0, 0}, {0, R}}, {{0, R}, {e, R}}, Through([=](double t) {
                              return Point{e + c * (2 * t - t * t), R * (1 - t)};
                            })},
                           LengthUnit::kInch),
                    pi * R * R * (e + c / 2), box(0, e + c, R), 1, 1, 1});
  // Two paraboloids of sags a and b meeting at a knife edge, with a rim of
  // zero length between them: pi R^2 (a + b) / 2
  const double Rk = 0.05, a = 0.01, b = 0.02;
  lenses.push_back({"biconvex knife edge, m",
                    MeshOf({Through([=](double t) {
                              return Point{-a * (1 - t * t), Rk * t};
                            }),
                            {{0, Rk}, {0, Rk}},
                            Through([=](double t) {
                              return Point{b * (2 * t - t * t), Rk * (1 - t)};
                            })},
                           LengthUnit::kMetre),
                    pi * Rk * Rk * (a + b) / 2, box(-a, b, Rk), 0, 2, 0});
  // A zone step of depth 1 on the feed face at radius 5: pi 25 3 + pi 75 2
  lenses.push_back({"zone step on the feed face, ft",
                    MeshOf({{{0, 0}, {0, 5}},
                            {{0, 5}, {1, 5}},
                            {{1, 5}, {1, 10}},
                            {{1, 10}, {3, 10}},
                            {{3, 10}, {3, 0}}},
                           LengthUnit::kFoot),
                    pi * (25.0 * 3.0 + 75.0 * 2.0), box(0, 3, 10), 2, 0, 1});
  // A radiation face r = R (1 - t) + 4 w t (1 - t) over z = h + c t that
  // bulges to r = 11.25 between its nodes (R 10, h 2, c 3, w 5):
  // pi (R^2 h + c (R^2/3 + 2 R w/3 + 8 w^2/15)) = 440 pi
  lenses.push_back({"radiation face bulging between its nodes, mm",
                    MeshOf({{{0, 0}, {0, 10}}, {{0, 10}, {2, 10}}, Through([](double t) {
                              return Point{2 + 3 * t, 10 * (1 - t) + 20 * t * (1 - t)};
                            })},
                           LengthUnit::kMillimetre),
                    440.0 * pi, box(0, 5, 11.25), 1, 1, 1});
  return lenses;
}

/// The checked outline of a test lens; fails the test when it is not sound.
inline torfile::Outline OutlineOf(const torfile::Mesh& mesh) {
  const torfile::CheckResult check = torfile::CheckOutline(mesh);
  EXPECT_TRUE(check.errors.empty()) << check.errors.front().message;
  return check.outline.value_or(torfile::Outline{});
}

}  // namespace cad::testing

#endif  // KEVRANO_CAD_TEST_LENSES_H_
