#include "tortool/stl.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "torfile/test_support.h"

namespace tortool {

namespace testing = torfile::testing;

using torfile::OutlinePolygon;
using torfile::Summarize;
namespace {

using testing::Checked;
using testing::StlMesh;

/// The STL of a checked text; fails the test when it cannot be written.
StlMesh Solid(const Checked& checked, int32_t segments) {
  std::ostringstream out;
  std::string error;
  EXPECT_TRUE(WriteStl(checked.file, *checked.check.outline, segments, out, &error)) << error;
  StlMesh mesh;
  EXPECT_TRUE(testing::ReadStl(out.str(), &mesh));
  return mesh;
}

TEST(Stl, SolidIsWatertightWithTheSummaryVolume) {
  const struct {
    const char* name;
    std::string text;
    int32_t segments;
  } kCases[] = {
      {"cylinder", testing::TorText(testing::Cylinder()), kDefaultStlSegments},
      {"plano-convex", testing::TestData("plano_convex.tor"), kDefaultStlSegments},
      {"zoned hyperbolic lens", testing::Export(testing::HyperbolicLens()), kDefaultStlSegments},
      {"bundled example, knife edge", testing::TestData("first_lens.tor"), kDefaultStlSegments},
      {"fewest segments", testing::TestData("plano_convex.tor"), kMinStlSegments},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    const Checked checked = testing::ParseAndCheck(c.text);
    ASSERT_TRUE(checked.check.outline);
    const StlMesh mesh = Solid(checked, c.segments);
    EXPECT_EQ(0u, mesh.header.rfind("kevrano-tor", 0));
    const std::vector<std::string> faults = testing::EdgeFaults(mesh);
    EXPECT_TRUE(faults.empty()) << faults.size() << " faults, first " << faults[0];
    const std::vector<std::string> normals = testing::NormalFaults(mesh);
    EXPECT_TRUE(normals.empty()) << normals.size() << " wrong normals, first " << normals[0];
    // Every band but the two pole fans has two triangles per step
    const std::size_t points =
        OutlinePolygon(checked.file, *checked.check.outline, kStlChordsPerCubic).size();
    EXPECT_EQ(static_cast<std::size_t>(c.segments) * (2 * points - 4), mesh.triangles.size());
    const double volume = Summarize(checked.file, *checked.check.outline).volume;
    if (c.segments == kDefaultStlSegments) {
      EXPECT_NEAR(volume, testing::SignedVolume(mesh), 0.005 * volume);
    } else {
      EXPECT_GT(testing::SignedVolume(mesh), 0.0);  // consistently outward
    }
  }
}

TEST(Stl, ConvertsTheUnitToMillimetres) {
  const struct {
    const char* unit;
    double millimetres;
  } kCases[] = {{"in", 25.4}, {"ft", 304.8}, {"mm", 1.0}, {"m ", 1000.0}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.unit);
    testing::MeshSpec spec = testing::Cylinder();
    spec.unit = c.unit;
    const StlMesh mesh = Solid(testing::ParseAndCheck(testing::TorText(spec)), 64);
    float z_max = 0.0f;
    float x_max = 0.0f;
    for (const auto& t : mesh.triangles) {
      for (const auto& v : t) {
        z_max = std::max(z_max, v[2]);
        x_max = std::max(x_max, v[0]);
      }
    }
    EXPECT_FLOAT_EQ(static_cast<float>(5.0 * c.millimetres), z_max);
    EXPECT_FLOAT_EQ(static_cast<float>(3.0 * c.millimetres), x_max);
  }
}

TEST(Stl, RefusesAMeshTooLargeToWrite) {
  // A long chain of cubic segments: with the most segments around the axis
  // it would exceed the triangle limit
  testing::MeshSpec spec;
  const int32_t cubics = 200;
  spec.nodes.push_back({1.0, 0.0});
  for (int32_t k = 1; k <= 3 * cubics; ++k) spec.nodes.push_back({1.0 + 1e-3 * k, 0.01 * k});
  spec.nodes.push_back({8.0, 0.0});
  const auto last = static_cast<int32_t>(spec.nodes.size());
  for (int32_t k = 0; k < cubics; ++k)
    spec.cubic.push_back({3 * k + 1, 3 * k + 2, 3 * k + 3, 3 * k + 4});
  spec.linear = {{last - 1, last}};
  const Checked checked = testing::ParseAndCheck(testing::TorText(spec));
  ASSERT_TRUE(checked.check.outline);
  std::ostringstream out;
  std::string error;
  EXPECT_FALSE(WriteStl(checked.file, *checked.check.outline, kMaxStlSegments, out, &error));
  EXPECT_EQ("the mesh would have 419430400 triangles (limit 10000000); use fewer --segments",
            error);
  EXPECT_TRUE(out.str().empty());
}

}  // namespace
}  // namespace tortool
