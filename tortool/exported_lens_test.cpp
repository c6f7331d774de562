// Lenses written by the design program's own export, read back and checked.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "torfile/outline.h"
#include "torfile/test_support.h"

namespace tortool {

namespace testing = torfile::testing;

using torfile::Outline;
using torfile::Summarize;
using torfile::Summary;
namespace {

using testing::LensData;

TEST(ExportedLens, ChecksAndMeasuresEveryZoningCase) {
  auto lens = [](auto edit) {
    LensData data = testing::HyperbolicLens();
    edit(data);
    return data;
  };
  const struct {
    const char* name;
    LensData data;
    int32_t feed_steps;
    int32_t radiation_steps;
  } kCases[] = {
      {"flat back kept flat", lens([](LensData&) {}), 3, 0},
      {"step shared", lens([](LensData& d) { d.FR = 0.5f; }), 3, 3},
      {"step from the flat back", lens([](LensData& d) { d.FR = 0.0f; }), 0, 3},
      {"both faces curved", lens([](LensData& d) {
         d.ISIDE = 1;
         d.ISURF = 2;
         d.FR = 0.5f;
       }),
       3, 3},
      {"flat back, flat variant first", lens([](LensData& d) {
         d.ISIDE = 1;
         d.ISURF = 2;
       }),
       3, 0},
      {"unzoned", testing::HyperbolicLens(24.7, 0), 0, 0},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    const testing::Checked checked = testing::ParseAndCheck(testing::Export(c.data));
    ASSERT_TRUE(checked.check.errors.empty()) << checked.check.errors[0].message;
    ASSERT_TRUE(checked.check.warnings.empty());
    const Summary s = Summarize(checked.file, *checked.check.outline);
    EXPECT_EQ(c.feed_steps, s.feed_steps);
    EXPECT_EQ(c.radiation_steps, s.radiation_steps);
    EXPECT_FALSE(s.knife_edge);
    EXPECT_NEAR(10.0, s.lens_radius, 1e-4);
    // Zoning takes one step of depth, along the axis, from inside each boundary
    double removed = 0.0;
    for (const float r : c.data.RZF) {
      removed +=
          std::numbers::pi * double{c.data.STEP} * static_cast<double>(r) * static_cast<double>(r);
    }
    const double volume = testing::HyperbolicLensVolume() - removed;
    EXPECT_NEAR(volume, s.volume, 1e-3 * volume);
    EXPECT_NEAR(4.7 - c.data.NZ * double{c.data.STEP}, s.axis_thickness, 1e-4);
  }
}

TEST(ExportedLens, KnifeEdgeWithoutARim) {
  // The flat back through the edge of the hyperbolic face: no thickness at the edge
  const double back = static_cast<double>(static_cast<float>(testing::HyperbolicEdgeZ()));
  const testing::Checked checked =
      testing::ParseAndCheck(testing::Export(testing::HyperbolicLens(back, 0)));
  ASSERT_TRUE(checked.check.errors.empty()) << checked.check.errors[0].message;
  EXPECT_FALSE(checked.check.outline->rim);
  const Summary s = Summarize(checked.file, *checked.check.outline);
  EXPECT_TRUE(s.knife_edge);
  const double volume = testing::HyperbolicLensVolume(back);
  EXPECT_NEAR(volume, s.volume, 2e-3 * volume);
}

TEST(ExportedLens, BundledExampleMeetsAtAZeroLengthRim) {
  // The example script's lens: flat feed face, no edge thickness, two zones.
  // Its rim (6, 21) has zero length beside the flat face's last piece (5, 6).
  const testing::Checked checked = testing::ParseAndCheck(testing::TestData("first_lens.tor"));
  ASSERT_TRUE(checked.check.errors.empty()) << checked.check.errors[0].message;
  const Outline& outline = *checked.check.outline;
  ASSERT_TRUE(outline.rim);
  EXPECT_EQ(8, outline.rim->segment);
  EXPECT_EQ(1, outline.feed.axis_node);
  EXPECT_EQ(6, outline.feed.edge_node);
  EXPECT_EQ(7, outline.radiation.axis_node);
  EXPECT_EQ(21, outline.radiation.edge_node);
  const Summary s = Summarize(checked.file, outline);
  EXPECT_TRUE(s.knife_edge);
  EXPECT_EQ(2, s.feed_steps);
  EXPECT_EQ(2, s.radiation_steps);
  EXPECT_NEAR(0.721, s.axis_thickness, 1e-12);
}

TEST(ExportedLens, FacesThatCrossAreRefused) {
  const testing::Checked checked =
      testing::ParseAndCheck(testing::Export(testing::CrossingFacesLens()));
  ASSERT_EQ(1u, checked.check.errors.size());
  EXPECT_EQ(64, checked.check.errors[0].line);
  EXPECT_EQ(0u, checked.check.errors[0].message.find(
                    "the outline crosses itself: cubic segment 4 crosses cubic segment 9 near"))
      << checked.check.errors[0].message;
}

}  // namespace
}  // namespace tortool
