// The page of drawings of an analysed lens is well-formed SVG.

#include "tortool/analysis_svg.h"

#include <gtest/gtest.h>

#include <vector>

#include "torfile/test_support.h"

namespace tortool {

namespace testing = torfile::testing;

using optics::ApertureFigures;
using optics::ComputeApertureFigures;

using optics::Trace;
using optics::TraceLens;
namespace {

using torfile::testing::Options;

/// The first element whose tags do not pair up, or "" when all do.
std::string UnbalancedTag(const std::string& svg) {
  std::vector<std::string> open;
  for (std::size_t at = svg.find('<'); at != std::string::npos; at = svg.find('<', at + 1)) {
    const std::size_t end = svg.find('>', at);
    if (end == std::string::npos) return "unterminated tag";
    const std::string tag = svg.substr(at + 1, end - at - 1);
    if (tag.starts_with('?')) continue;
    const std::string name =
        tag.substr(tag[0] == '/', tag.find_first_of(" />", 1) - (tag[0] == '/'));
    if (tag[0] == '/') {
      if (open.empty() || open.back() != name) return name;
      open.pop_back();
    } else if (!tag.ends_with('/')) {
      open.push_back(name);
    }
  }
  return open.empty() ? "" : open.back();
}

TEST(AnalysisSvg, ThreeWellFormedDrawings) {
  const struct {
    const char* name;
    std::string tor;
    double wavelength;
  } kCases[] = {
      {"bundled example, two zones", testing::TestData("first_lens.tor"), 1.0},
      {"flat slab", testing::TorText(testing::Cylinder()), 0.5},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    const testing::Checked lens = testing::ParseAndCheck(c.tor);
    std::string error;
    const std::optional<Trace> trace = TraceLens(lens.file, *lens.check.outline, 301, &error);
    ASSERT_TRUE(trace) << error;
    const std::optional<ApertureFigures> figures = ComputeApertureFigures(*trace, Options(c.wavelength), &error);
    ASSERT_TRUE(figures) << error;
    const std::string svg =
        RenderAnalysisSvg(lens.file, *lens.check.outline, *trace, *figures, c.wavelength, "a<b");
    EXPECT_EQ("", UnbalancedTag(svg));
    EXPECT_EQ(std::string::npos, svg.find("nan"));
    EXPECT_EQ(std::string::npos, svg.find("inf"));
    EXPECT_EQ(3u, [&] {
      std::size_t n = 0;
      for (std::size_t at = svg.find("font-weight=\"bold\">"); at != std::string::npos;
           at = svg.find("font-weight=\"bold\">", at + 1)) {
        ++n;
      }
      return n - 1;  // the page title is bold too
    }());
  }
}

}  // namespace
}  // namespace tortool
