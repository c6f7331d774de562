#include "torfile/outline.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <numbers>
#include <string>

#include "torfile/test_support.h"

namespace torfile {
namespace {

using testing::Checked;
using testing::Edited;
using testing::MeshSpec;
using testing::ParseAndCheck;
using testing::TorText;

constexpr double kPi = std::numbers::pi;

/// "z r" of a marked place, "" for none.
std::string Where(const std::optional<Point>& p) {
  if (!p) return "";
  std::array<char, 64> buffer{};
  std::snprintf(buffer.data(), buffer.size(), "%g %g", p->z, p->r);
  return buffer.data();
}

TEST(Geometry, CubicPassesThroughItsNodesAtThirds) {
  const std::array<Point, 4> p{Point{1.0, 0.0}, Point{1.5, 2.0}, Point{0.7, 3.0}, Point{2.0, 5.0}};
  const Cubic c = CubicThrough(p);
  for (std::size_t i = 0; i < 4; ++i) {
    const Point q = c.At(static_cast<double>(i) / 3.0);
    EXPECT_NEAR(p[i].z, q.z, 1e-12);
    EXPECT_NEAR(p[i].r, q.r, 1e-12);
  }
  // The Bezier form is the same curve
  const std::array<Point, 4> b = BezierControls(p);
  for (const double t : {0.1, 0.25, 0.5, 0.9}) {
    const double u = 1.0 - t;
    const double z =
        u * u * u * b[0].z + 3 * u * u * t * b[1].z + 3 * u * t * t * b[2].z + t * t * t * b[3].z;
    const double r =
        u * u * u * b[0].r + 3 * u * u * t * b[1].r + 3 * u * t * t * b[2].r + t * t * t * b[3].r;
    EXPECT_NEAR(c.At(t).z, z, 1e-12);
    EXPECT_NEAR(c.At(t).r, r, 1e-12);
  }
}

TEST(Geometry, SweptIntegralIsExact) {
  // A straight cubic sweeps what the straight line does
  const Point a{1.0, 1.0};
  const Point b{4.0, 2.5};
  const Cubic line = CubicThrough({a, Point{2.0, 1.5}, Point{3.0, 2.0}, b});
  EXPECT_NEAR(SweptIntegral(a, b), SweptIntegral(line), 1e-12);
  // r = sqrt-free paraboloid: z = r^2 from r = 0 to 2 gives the integral of
  // r^2 dz = integral of z dz from 0 to 4 = 8 (nodes at r = 0, 2/3, 4/3, 2)
  const Cubic parabola = CubicThrough({Point{0.0, 0.0}, Point{4.0 / 9.0, 2.0 / 3.0},
                                       Point{16.0 / 9.0, 4.0 / 3.0}, Point{4.0, 2.0}});
  EXPECT_NEAR(8.0, SweptIntegral(parabola), 1e-12);
  // Bulges between the nodes widen the box
  Box box;
  box.Add(CubicThrough({Point{0.0, 0.0}, Point{1.0, 1.0}, Point{2.0, 1.0}, Point{3.0, 0.0}}));
  EXPECT_NEAR(1.125, box.r_max, 1e-12);
}

TEST(Outline, SummarisesSoundLenses) {
  MeshSpec knife;  // a double cone meeting at a knife edge, faces numbered backwards
  knife.nodes = {{4.0, 2.0}, {5.0, 0.0}, {4.0, 2.0}, {3.0, 0.0}};
  knife.linear = {{2, 1}, {4, 3}};
  MeshSpec shared;  // the same double cone, its faces sharing the edge node
  shared.nodes = {{3.0, 0.0}, {4.0, 2.0}, {5.0, 0.0}};
  shared.linear = {{1, 2}, {2, 3}};
  MeshSpec reversed = testing::Cylinder();  // radiation face first, segments reversed
  reversed.nodes = {{5.0, 0.0}, {5.0, 3.0}, {2.0, 0.0}, {2.0, 3.0}};
  reversed.linear = {{2, 1}, {4, 2}, {4, 3}};
  const struct {
    const char* name;
    std::string text;
    double volume;
    double radius;
    double thickness;
    bool knife_edge;
    int32_t feed_axis;
  } kCases[] = {
      {"cylinder", TorText(testing::Cylinder()), kPi * 9.0 * 3.0, 3.0, 3.0, false, 1},
      {"cylinder written backwards", TorText(reversed), kPi * 9.0 * 3.0, 3.0, 3.0, false, 3},
      {"double cone", TorText(knife), 2.0 * kPi * 4.0 / 3.0, 2.0, 2.0, true, 4},
      {"double cone on one edge node", TorText(shared), 2.0 * kPi * 4.0 / 3.0, 2.0, 2.0, true, 1},
      {"plano-convex", testing::TestData("plano_convex.tor"), 6.75 * kPi, 3.0, 1.0, false, 1},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    const Checked checked = ParseAndCheck(c.text);
    ASSERT_TRUE(checked.check.errors.empty()) << checked.check.errors[0].message;
    ASSERT_TRUE(checked.check.outline);
    const Summary s = Summarize(checked.file, *checked.check.outline);
    EXPECT_NEAR(c.volume, s.volume, 2e-4 * c.volume);
    EXPECT_DOUBLE_EQ(c.radius, s.lens_radius);
    EXPECT_DOUBLE_EQ(c.thickness, s.axis_thickness);
    EXPECT_EQ(c.knife_edge, s.knife_edge);
    EXPECT_EQ(c.feed_axis, checked.check.outline->feed.axis_node);
  }
}

TEST(Outline, ReportsWhatIsWrongWithTheMesh) {
  auto cylinder = [](auto edit) {
    MeshSpec m = testing::Cylinder();
    edit(m);
    return m;
  };
  const struct {
    const char* name;
    MeshSpec mesh;
    int line;
    const char* message;
    const char* where;  // the place marked on a drawing
  } kCases[] = {
      {"missing node", cylinder([](MeshSpec& m) {
         m.linear[2] = {2, 7};
       }),
       23, "linear segment 3 refers to node 7, but the file has 4 nodes", "2 3"},
      {"segment on one node", cylinder([](MeshSpec& m) {
         m.linear[0] = {2, 2};
       }),
       21, "linear segment 1 names node 2 twice", "2 3"},
      {"branch", cylinder([](MeshSpec& m) {
         m.linear.push_back({1, 4});
       }),
       24,
       "node 4 is an end of three segments (linear segment 2, linear segment 3 and linear segment "
       "4): the outline branches there",
       "5 3"},
      {"open rim", cylinder([](MeshSpec& m) { m.linear.pop_back(); }), 17,
       "the outline is open at the rim: the faces end at node 2 (z 2, r 3) and node 4 (z 5, r 3), "
       "3 apart, and no segment joins them",
       "3.5 3"},
      {"face not reaching the axis", cylinder([](MeshSpec& m) {
         m.nodes[0] = {2.0, 0.5};
       }),
       14,
       "the outline ends at node 1 (z 2, r 0.5), away from the axis, and no segment continues it",
       "2 0.5"},
      {"separate runs", cylinder([](MeshSpec& m) {
         m.nodes.push_back({3.0, 1.0});
         m.nodes.push_back({3.0, 2.0});
         m.linear.push_back({5, 6});
       }),
       26,
       "the segments form 2 separate runs (from nodes 1, 5); a lens outline is one run from the "
       "axis to the axis, or two that meet at a knife edge",
       "3 1"},
      {"closed loop", cylinder([](MeshSpec& m) {
         m.linear.push_back({1, 3});
       }),
       21,
       "linear segment 1 lies on a closed loop of segments; a lens outline runs from the axis to "
       "the rim and back to the axis",
       "2 0"},
      {"node below the axis", cylinder([](MeshSpec& m) {
         m.nodes.push_back({5.0, -1.0});
         m.linear[1] = {3, 5};
         m.linear.push_back({5, 4});
       }),
       18, "node 5 (z 5, r -1) lies below the axis", "5 -1"},
      {"crossing faces", cylinder([](MeshSpec& m) {
         m.nodes[3] = {1.0, 3.0};
       }),
       21, "the outline crosses itself: linear segment 1 crosses linear segment 2 near (z 2, r 0)",
       "2 2.25"},
      {"no thickness on the axis", cylinder([](MeshSpec& m) {
         m.nodes[2] = {2.0, 0.0};
       }),
       16, "both faces meet the axis at z 2: the lens has no thickness there", "2 0"},
      {"no segments", cylinder([](MeshSpec& m) { m.linear.clear(); }), 0,
       "the mesh has no segments", ""},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    const Checked checked = ParseAndCheck(TorText(c.mesh));
    ASSERT_FALSE(checked.check.errors.empty());
    EXPECT_FALSE(checked.check.outline);
    EXPECT_EQ(c.line, checked.check.errors[0].line);
    EXPECT_EQ(c.message, checked.check.errors[0].message);
    EXPECT_EQ(c.where, Where(checked.check.errors[0].where));
  }
}

TEST(Outline, ChecksCubicSegments) {
  // Plano-convex lens: feed face (1,2), rim (2,9), radiation face 3..9 in two cubics
  const std::string good = testing::TestData("plano_convex.tor");
  const struct {
    const char* name;
    std::string text;
    int line;
    const char* message;
  } kCases[] = {
      {"cubic segments that do not chain",
       Edited(good, "     2     6     7     8     9", "     2     5     7     8     9"), 32,
       "node 5 lies inside cubic segment 1 and is also an end of cubic segment 2"},
      {"cubic segments sharing an inner node",
       Edited(good, "     2     6     7     8     9", "     2     6     5     8     9"), 32,
       "node 5 lies inside both cubic segment 1 and cubic segment 2"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    const Checked checked = ParseAndCheck(c.text);
    ASSERT_FALSE(checked.check.errors.empty());
    EXPECT_EQ(c.line, checked.check.errors[0].line);
    EXPECT_EQ(c.message, checked.check.errors[0].message);
  }

  // A cubic segment whose four nodes coincide, chained between the faces
  MeshSpec m = testing::Cylinder();
  m.nodes.insert(m.nodes.end(), {{2.0, 3.0}, {2.0, 3.0}, {2.0, 3.0}});
  m.linear[2] = {7, 4};
  m.cubic.push_back({2, 5, 6, 7});
  const Checked zero = ParseAndCheck(TorText(m));
  ASSERT_EQ(1u, zero.check.errors.size());
  EXPECT_EQ(30, zero.check.errors[0].line);
  EXPECT_EQ("cubic segment 1 has zero length: its four nodes lie at (z 2, r 3)",
            zero.check.errors[0].message);
}

TEST(Outline, KnifeEdgeToleratesTheFifthDigitOnly) {
  // A double cone whose faces end at (4, 2) and (4 + gap, 2). Five digits of
  // the largest coordinate, 5, allow a gap up to 5e-4.
  const struct {
    double gap;
    bool knife_edge;
  } kCases[] = {{4e-4, true}, {6e-4, false}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.gap);
    MeshSpec m;
    m.nodes = {{3.0, 0.0}, {4.0, 2.0}, {4.0 + c.gap, 2.0}, {5.0, 0.0}};
    m.linear = {{1, 2}, {4, 3}};
    const Checked checked = ParseAndCheck(TorText(m));
    EXPECT_EQ(c.knife_edge, checked.check.outline.has_value());
  }
}

TEST(Outline, WarnsOfNodesOutsideTheOutline) {
  MeshSpec m = testing::Cylinder();
  m.nodes.push_back({3.0, 1.0});
  const Checked checked = ParseAndCheck(TorText(m));
  EXPECT_TRUE(checked.check.errors.empty());
  ASSERT_EQ(1u, checked.check.warnings.size());
  EXPECT_EQ(18, checked.check.warnings[0].line);
  EXPECT_EQ("node 5 belongs to no segment", checked.check.warnings[0].message);
}

TEST(Outline, PolygonRunsFromAxisToAxis) {
  const Checked checked = ParseAndCheck(testing::TestData("plano_convex.tor"));
  ASSERT_TRUE(checked.check.outline);
  const std::vector<Point> polygon = OutlinePolygon(checked.file, *checked.check.outline, 4);
  // Feed face 2 points, the rim 1 more, then 2 cubics of 4 chords back to the axis
  ASSERT_EQ(2u + 1u + 8u, polygon.size());
  EXPECT_EQ(2.0, polygon.front().z);
  EXPECT_EQ(0.0, polygon.front().r);
  EXPECT_EQ(2.5, polygon[2].z);
  EXPECT_EQ(3.0, polygon.back().z);
  EXPECT_EQ(0.0, polygon.back().r);
}

}  // namespace
}  // namespace torfile
