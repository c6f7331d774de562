#include "driver/design_command.h"

#include <gtest/gtest.h>

#include <string>

namespace driver {
namespace {

// Rows of a design as the profile table shows them (1PE12.4):
//   2.0000E+01  0.0000E+00  2.4721E+01  0.0000E+00  4.7214E+00
//   2.0000E+01  1.0000E+01  2.0000E+01  1.0350E+01  1.3542E-04
const design::DesignResult::Row kAxialRow{20.0f, 0.0f, 24.72136f, 0.0f, 4.721359f};
const design::DesignResult::Row kEdgeRow{20.0f, 10.0f, 20.0f, 10.34987f, 1.354218e-4f};

struct SummaryCase {
  const char* name;
  design::DesignResult result;
  bool completed;
  int32_t rays;
  int32_t zones;
  bool tor_refused;
  std::size_t notes;
};

design::DesignResult Traced(bool zoned, std::size_t zones, std::vector<std::string> notes = {},
                            bool tor_refused = false) {
  design::DesignResult r;
  r.profile = {kAxialRow, kEdgeRow};
  r.zoned = zoned;
  r.feed_zone_radii.assign(zones, 1.0f);
  r.radiation_zone_radii.assign(zones, 1.0f);
  r.notes = std::move(notes);
  r.tor_refused = tor_refused;
  return r;
}

TEST(SummariseDesign, ReadsTheDesignsValues) {
  const SummaryCase kCases[] = {
      {"zoned", Traced(true, 2), true, 2, 2, false, 0},
      {"negative zone count cuts no zone", Traced(true, 0), true, 2, 0, false, 0},
      {"too many zones", Traced(true, 0, {"More than 4999 zones: lens not zoned"}), true, 2, 0,
       false, 1},
      {"ray beyond the sphere ends the design",
       Traced(false, 0, {"Ray radius beyond Sphere Radius: Design ended"}), false, 2, 0, false, 1},
      {"tor file refused",
       Traced(true, 2, {"Tor file not written: the radii of a face do not increase"}, true), true,
       2, 2, true, 1},
  };
  for (const SummaryCase& c : kCases) {
    SCOPED_TRACE(c.name);
    const DesignSummary s = SummariseDesign(c.result);
    EXPECT_EQ(c.completed, s.completed);
    EXPECT_EQ(c.rays, s.rays);
    EXPECT_EQ(c.zones, s.zones);
    EXPECT_EQ(c.tor_refused, s.tor_refused);
    EXPECT_EQ(c.notes, s.notes.size());
    // The axial ray's path length, and the wider face at the edge ray, as
    // the five digits of the table show them.
    EXPECT_EQ(4.7214, s.centre_thickness.value_or(0.0));
    EXPECT_EQ(10.35, s.outer_radius.value_or(0.0));
  }
  // A design that traced no ray shows no numbers.
  const DesignSummary none = SummariseDesign(design::DesignResult{});
  EXPECT_FALSE(none.centre_thickness.has_value());
  EXPECT_FALSE(none.outer_radius.has_value());
}

// A frequency becomes the wavelength in the lens unit, or is refused when
// that wavelength is no 32-bit real.
TEST(MakeDesign, WavelengthFromAFrequency) {
  const struct {
    const char* frequency;
    const char* units;
    float wavelength;  // 0 when refused
  } kCases[] = {
      {"30", "mm", 9.9930819f},
      {"30", "in", 0.39342842f},
      {"1e-36", "mm", 2.9979245e38f},  // just below the largest real
      {"1e-37", "mm", 0.0f},           // 3e39 mm, beyond it
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.frequency);
    Settings settings;
    const auto set = [&](const char* key, const char* text) {
      settings[key] = Setting{text, Setting::Kind::kText, std::string("--") + key};
    };
    set("inner", "flat");
    set("eps", "2.5");
    set("radius", "10");
    set("edge", "20");
    set("radial-step", "1");
    set("frequency", c.frequency);
    set("units", c.units);
    const auto lens = MakeDesign(settings, MissingName{});
    const auto* made = std::get_if<LensDesign>(&lens);
    EXPECT_EQ(c.wavelength, made != nullptr ? made->wavelength : 0.0f);
  }
}

// A name the file-name prompt would cut, pad or break across records is
// refused before anything runs.
TEST(CheckNameText, TakesOnlyWhatTheFileNamePromptTakes) {
  const struct {
    const char* name;
    Setting name_setting;
    bool good;
  } kCases[] = {
      {"plain", {"lens.txt", Setting::Kind::kText, "--report"}, true},
      {"seventy characters", {std::string(70, 'a'), Setting::Kind::kText, "--report"}, true},
      {"seventy-one characters", {std::string(71, 'a'), Setting::Kind::kText, "--report"}, false},
      {"empty", {"", Setting::Kind::kText, "--report"}, false},
      {"trailing blank", {"lens.txt ", Setting::Kind::kText, "--report"}, false},
      {"tab", {"le\tns.txt", Setting::Kind::kText, "--report"}, false},
      {"delete", {"lens\x7f.txt", Setting::Kind::kText, "--report"}, false},
      {"NUL", {std::string("le\0ns", 6), Setting::Kind::kText, "--report"}, false},
      {"a number of a design file", {"12", Setting::Kind::kNumber, "f.toml:3: report"}, false},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.good, !CheckNameText(c.name_setting).has_value());
  }
}

}  // namespace
}  // namespace driver
