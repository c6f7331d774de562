#include "driver/shaped_command.h"

#include <gtest/gtest.h>

#include <sstream>

#include "torfile/test_support.h"

namespace driver {
namespace {

using torfile::testing::ScratchFolder;

// The worked example of the uniform lens: n 1.5, Q 6, R 11, edge 26.565 deg.
Settings Uniform(const std::string& thickness) {
  Settings s;
  for (const auto& [key, value] : {std::pair{"shape", "uniform"},
                                   {"eps", "2.25"},
                                   {"radius", "11"},
                                   {"edge-angle", "26.565"},
                                   {"feed-distance", "20"},
                                   {"thickness", thickness.c_str()},
                                   {"feed-q", "6"}}) {
    s[key] = Setting{value, Setting::Kind::kText, std::string("--") + key};
  }
  return s;
}

// Which keys a shaped lens takes, and the line that refuses the others.
TEST(ShapedSettings, KeysOfAShapedLens) {
  struct Case {
    const char* name;
    std::vector<std::pair<const char*, const char*>> changes;  // value "" removes the key
    const char* error;                                         // "" when the lens is made
  };
  const Case kCases[] = {
      {"the worked example", {}, ""},
      {"sine with the feed's Q", {{"shape", "sine"}}, "--feed-q: only a uniform shape"},
      {"taper and Q", {{"edge-taper", "10"}}, "--feed-q replaces --edge-taper: give one of them"},
      {"a prescribed face too", {{"inner", "flat"}}, "--inner: a shaped lens has no prescribed"},
      {"a zoning key", {{"wavelength", "1"}}, "--wavelength: a shaped lens has no prescribed"},
      {"half a ray", {{"rays", "30.5"}}, "--rays: expected a whole number of rays from 2 to 3501"},
      {"one ray", {{"rays", "1"}}, "--rays: expected a whole number"},
      {"edge at 90 deg", {{"edge-angle", "90"}}, "--edge-angle: expected an edge angle between"},
      {"no thickness", {{"thickness", ""}}, "--thickness is missing"},
      {"unknown shape", {{"shape", "round"}}, "--shape: expected uniform or sine, got 'round'"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    Settings s = Uniform("10.7");
    for (const auto& [key, value] : c.changes) {
      if (*value == '\0') {
        s.erase(key);
      } else {
        s[key] = Setting{value, Setting::Kind::kText, std::string("--") + key};
      }
    }
    const auto made = MakeDesign(s, MissingName{"", true});
    if (*c.error == '\0') {
      ASSERT_TRUE(std::holds_alternative<LensDesign>(made));
      EXPECT_EQ(31, std::get<LensDesign>(made).shaped->rays);
    } else {
      ASSERT_TRUE(std::holds_alternative<std::string>(made));
      EXPECT_EQ(0u, std::get<std::string>(made).find(c.error)) << std::get<std::string>(made);
    }
  }
  // A faced lens refuses the shaped keys; a uniform lens's Q comes from a
  // 10 dB taper unless given (Q = 10 / (20 log10(1 / cos 26.565 deg)))
  Settings faced = {{"inner", {"flat", Setting::Kind::kText, "--inner"}},
                    {"rays", {"11", Setting::Kind::kText, "--rays"}}};
  EXPECT_EQ("--rays: only a shaped lens (--shape) takes this key",
            std::get<std::string>(MakeDesign(faced, MissingName{"", true})));
  Settings tapered = Uniform("10.7");
  tapered.erase("feed-q");
  const LensDesign lens = std::get<LensDesign>(MakeDesign(tapered, MissingName{"", true}));
  EXPECT_NEAR(10.3189, ShapedFeedQOf(lens).value_or(0.0), 1e-4);
}

// Two runs: the worked example with its tor file (edge row P1 (8.81304,
// 17.62613), P2 (11.00000, 22.84642)) and the same lens 10 thick, refused.
TEST(ShapedRun, ReportTorFileAndSummary) {
  ScratchFolder folder;
  DesignRun run;
  run.report = folder.File("report.txt");
  LensDesign made = std::get<LensDesign>(MakeDesign(Uniform("10.7"), MissingName{"", true}));
  made.tor = folder.File("lens.tor");
  made.units = 3;
  run.designs = {made, std::get<LensDesign>(MakeDesign(Uniform("10"), MissingName{"", true}))};
  std::ostringstream out, err;
  ASSERT_EQ(0, RunDesigns(run, false, out, err)) << err.str();
  EXPECT_EQ(
      "design 1: uniform-aperture lens, outer radius 11.000 mm, edge thickness 5.220 mm, "
      "sine-condition deviation -23.262 %; wrote " +
          run.report + ", " + made.tor + "\ndesign 2: no lens; wrote " + run.report +
          "\n  no lens: the centre is too thin for the mapping, the ray at 24.644 deg would be "
          "totally reflected at the outer face; a thickness of at least 10.1590 would do\n",
      out.str());
  const std::string report = torfile::testing::ReadBytes(run.report);
  EXPECT_NE(std::string::npos,
            report.find("   1.7626E+01  8.8130E+00  2.2846E+01  1.1000E+01  5.6599E+00\r\n"));
  EXPECT_NE(std::string::npos, report.find(" No lens: the centre is too thin"));
  const auto checked = torfile::testing::ParseAndCheck(torfile::testing::ReadBytes(made.tor));
  EXPECT_TRUE(checked.check.errors.empty());
  // 31 rows: per face 31 nodes, 10 cubic segments; the rim
  EXPECT_EQ(62u, checked.file.nodes.size());
  EXPECT_EQ(20u, checked.file.cubic.size());
  EXPECT_EQ(1u, checked.file.linear.size());
}

}  // namespace
}  // namespace driver
