#include "tortool/svg.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "torfile/test_support.h"

namespace tortool {

namespace testing = torfile::testing;
namespace {

std::size_t Count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

/// Compares with a golden file of testdata; KEVRANO_UPDATE_GOLDEN=1 rewrites it.
void ExpectGolden(const std::string& name, const std::string& got) {
  if (std::getenv("KEVRANO_UPDATE_GOLDEN") != nullptr) {
    std::ofstream(testing::TestDataPath(name), std::ios::binary) << got;
    return;
  }
  EXPECT_EQ(testing::TestData(name), got) << "golden " << name;
}

TEST(Svg, DrawsThePlanoConvexLensAsTheGolden) {
  const testing::Checked checked = testing::ParseAndCheck(testing::TestData("plano_convex.tor"));
  ASSERT_TRUE(checked.check.outline);
  ExpectGolden("plano_convex.svg",
               RenderSvg(checked.file, *checked.check.outline, "plano_convex.tor"));
}

TEST(Svg, DrawsBothHalvesStepsRimAndFeed) {
  const testing::Checked checked =
      testing::ParseAndCheck(testing::Export(testing::HyperbolicLens()));
  ASSERT_TRUE(checked.check.outline);
  const std::string svg = RenderSvg(checked.file, *checked.check.outline, "a<b>&\"c\"");
  // Each half is one path; every cubic segment is one Bezier curve in each
  EXPECT_EQ(2u, Count(svg, "<path "));
  EXPECT_EQ(2 * checked.file.cubic.size(), Count(svg, " C "));
  // Three zone steps on the feed face, and the rim, in both halves
  const std::size_t steps = svg.find("stroke=\"#c0392b\" stroke-width=\"2.5\" stroke-linecap");
  const std::size_t rim = svg.find("stroke=\"#2e7d32\" stroke-width=\"2.5\" stroke-linecap");
  ASSERT_NE(std::string::npos, steps);
  ASSERT_NE(std::string::npos, rim);
  EXPECT_EQ(6u, Count(svg.substr(steps, rim - steps), "<line "));
  EXPECT_EQ(2u, Count(svg.substr(rim, svg.find("</g>", rim) - rim), "<line "));
  EXPECT_NE(std::string::npos, svg.find(">feed</text>"));
  EXPECT_NE(std::string::npos, svg.find("z (mm), along the lens axis"));
  EXPECT_NE(std::string::npos, svg.find("<title>a&lt;b&gt;&amp;&quot;c&quot;</title>"));
  EXPECT_EQ(std::string::npos, svg.find("nan"));
}

TEST(Svg, MarksEachProblemOfAFailingOutline) {
  testing::MeshSpec dangling = testing::Cylinder();  // 23 segments to missing nodes, from node 1
  for (int32_t k = 1; k <= 23; ++k) dangling.linear.push_back({1, 100 + k});
  testing::MeshSpec bare = testing::Cylinder();
  bare.linear.clear();
  const struct {
    const char* name;
    std::string text;
    std::size_t circles;              // problems at one place share a circle
    std::vector<std::string> listed;  // entries of the list below the drawing
  } kCases[] = {
      {"crossing faces",
       testing::Export(testing::CrossingFacesLens()),
       1,
       {">1) line 64: the outline crosses itself: cubic segment 4 crosses cubic segment 9 near"}},
      {"more problems than are listed",
       testing::TorText(dangling),
       1,
       {">1-20</text>",
        ">20) line 43: linear segment 23 refers to node 120, but the file has 4 nodes</text>",
        ">and 3 more problems</text>"}},
      {"a problem without a place",
       testing::TorText(bare),
       0,
       {">1) the mesh has no segments (not marked: no single place)</text>"}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    const testing::Checked checked = testing::ParseAndCheck(c.text);
    ASSERT_FALSE(checked.check.outline);
    const std::string svg = RenderProblemSvg(checked.file, checked.check.errors, "lens.tor");
    EXPECT_EQ(c.circles, Count(svg, "r=\"9\""));
    for (const std::string& entry : c.listed)
      EXPECT_NE(std::string::npos, svg.find(entry)) << entry;
    EXPECT_EQ(std::string::npos, svg.find("nan"));
  }
}

}  // namespace
}  // namespace tortool
