#include "driver/design_command.h"

#include <gtest/gtest.h>

#include <string>

namespace driver {
namespace {

// Console records of a design as the program writes them to a file or pipe:
// CR LF after each record, a prompt continued by the record that follows.
constexpr const char* kHeading =
    " Enter Design Radial Step Size \r\n"
    "         Feed Surface          Radiation Surface      Lens\r\n"
    "      Z-axis      Radius      Z-axis      Radius    Path Len\r\n"
    "\r\n";
constexpr const char* kRows =
    "   2.0000E+01  0.0000E+00  2.4721E+01  0.0000E+00  4.7214E+00\r\n"
    "   2.0000E+01  1.0000E+01  2.0000E+01  1.0350E+01  1.3542E-04\r\n";

struct SummaryCase {
  const char* name;
  std::string screen;
  bool completed;
  int32_t rays;
  int32_t zones;
  bool tor_refused;
  std::size_t notes;
};

TEST(SummariseDesign, ReadsWhatTheDesignPrinted) {
  const std::string zoned =
      " Enter minimum path length in zoning \r\n Lens zoning\r\n"
      " Number of zones:         2\r\n";
  const SummaryCase kCases[] = {
      {"zoned", std::string(kHeading) + kRows + zoned, true, 2, 2, false, 0},
      {"negative zone count cuts no zone",
       std::string(kHeading) + kRows + " Number of zones:        -3\r\n", true, 2, 0, false, 0},
      {"zone count beyond any integer",
       std::string(kHeading) + kRows + " Number of zones: 1e300\r\n", true, 2, 0, false, 0},
      {"too many zones",
       std::string(kHeading) + kRows +
           " Number of zones:         0\r\n More than 4999 zones: lens not zoned\r\n",
       true, 2, 0, false, 1},
      {"ray beyond the sphere ends the design",
       std::string(kHeading) + kRows +
           " Ray radius beyond Sphere Radius: Design ended\r\n"
           " Enter 1 for another Design ",
       false, 2, 0, false, 1},
      {"tor file refused after the offset prompt",
       std::string(kHeading) + kRows + zoned +
           " Enter Lens axis offset  Tor file not written: the radii of a face do not "
           "increase\r\n",
       true, 2, 2, true, 1},
  };
  for (const SummaryCase& c : kCases) {
    SCOPED_TRACE(c.name);
    const DesignSummary s = SummariseDesign(c.screen);
    EXPECT_EQ(c.completed, s.completed);
    EXPECT_EQ(c.rays, s.rays);
    EXPECT_EQ(c.zones, s.zones);
    EXPECT_EQ(c.tor_refused, s.tor_refused);
    EXPECT_EQ(c.notes, s.notes.size());
    // The axial ray's path length, and the wider face at the edge ray.
    EXPECT_EQ(4.7214, s.centre_thickness.value_or(0.0));
    EXPECT_EQ(10.35, s.outer_radius.value_or(0.0));
  }
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
