#ifndef KEVRANO_CAD_TEST_LENSES_H_
#define KEVRANO_CAD_TEST_LENSES_H_

// Lens profiles whose solids have closed forms, shared by the tests of the
// CAD writers. Every curved piece is a polynomial of degree 2 in its
// parameter, which the cubic through its four nodes reproduces exactly.

#include <numbers>
#include <string>
#include <vector>

#include "cad/profile.h"

namespace cad::testing {

struct TestLens {
  const char* name;
  Profile profile;
  double volume;  // exact volume of revolution, in the unit cubed
  Extent extent;  // exact bounds of the profile
  int faces_polylines;
  int faces_splines;
  int rim_entities;
};

inline ProfilePiece Line(ProfilePoint a, ProfilePoint b, PieceRole role = PieceRole::kFace) {
  return {PieceShape::kLinear, role, {a, b, {}, {}}};
}

/// The cubic piece through f(0), f(1/3), f(2/3), f(1).
template <typename Curve>
ProfilePiece Through(Curve f, PieceRole role = PieceRole::kFace) {
  return {PieceShape::kCubic, role, {f(0.0), f(1.0 / 3.0), f(2.0 / 3.0), f(1.0)}};
}

inline std::vector<TestLens> TestLenses() {
  constexpr double pi = std::numbers::pi;
  std::vector<TestLens> lenses;
  {
    // A disc of radius 10 and thickness 2, 20 from the feed: pi R^2 t
    Profile p{{Line({20, 0}, {20, 10}), Line({20, 10}, {22, 10}, PieceRole::kRim),
               Line({22, 10}, {22, 0})},
              Unit::kMillimetre};
    lenses.push_back({"disc, mm", p, pi * 100.0 * 2.0, {20, 22, 10}, 2, 0, 1});
  }
  {
    // Flat feed face, edge thickness e, radiation face the paraboloid
    // z = e + c (1 - (r/R)^2): pi R^2 e + pi R^2 c / 2
    const double R = 2.0, e = 0.25, c = 0.5;
    Profile p{{Line({0, 0}, {0, R}), Line({0, R}, {e, R}, PieceRole::kRim),
               Through([=](double t) { return ProfilePoint{e + c * (2 * t - t * t), R * (1 - t)}; })},
              Unit::kInch};
    lenses.push_back({"plano-convex paraboloid, in", p, pi * R * R * (e + c / 2), {0, e + c, R}, 1, 1, 1});
  }
  {
    // Two paraboloids of sags a and b meeting at a knife edge, with a rim of
    // zero length between them: pi R^2 (a + b) / 2
    const double R = 0.05, a = 0.01, b = 0.02;
    Profile p{{Through([=](double t) { return ProfilePoint{-a * (1 - t * t), R * t}; }),
               Line({0, R}, {0, R}, PieceRole::kRim),
               Through([=](double t) { return ProfilePoint{b * (2 * t - t * t), R * (1 - t)}; })},
              Unit::kMetre};
    lenses.push_back({"biconvex knife edge, m", p, pi * R * R * (a + b) / 2, {-a, b, R}, 0, 2, 0});
  }
  {
    // A zone step of depth 1 on the feed face at radius 5: pi 25 3 + pi 75 2
    Profile p{{Line({0, 0}, {0, 5}), Line({0, 5}, {1, 5}), Line({1, 5}, {1, 10}),
               Line({1, 10}, {3, 10}, PieceRole::kRim), Line({3, 10}, {3, 0})},
              Unit::kFoot};
    lenses.push_back({"zone step on the feed face, ft", p, pi * (25.0 * 3.0 + 75.0 * 2.0), {0, 3, 10}, 2, 0, 1});
  }
  {
    // A barrel rim r = R + 4 w t (1 - t) over z = h t, widest between its
    // nodes: pi h (R^2 + 4 R w / 3 + 8 w^2 / 15)
    const double R = 10.0, h = 4.0, w = 1.0;
    Profile p{{Line({0, 0}, {0, R}),
               Through([=](double t) { return ProfilePoint{h * t, R + 4 * w * t * (1 - t)}; }, PieceRole::kRim),
               Line({h, R}, {h, 0})},
              Unit::kMillimetre};
    lenses.push_back({"barrel rim, mm", p, pi * h * (R * R + 4 * R * w / 3 + 8 * w * w / 15), {0, h, R + w}, 2, 0, 1});
  }
  return lenses;
}

}  // namespace cad::testing

#endif  // KEVRANO_CAD_TEST_LENSES_H_
