#include "fullwave/report.h"

#include <gtest/gtest.h>

#include <cmath>
#include <nlohmann/json.hpp>
#include <string>

namespace fullwave {
namespace {

// The comparison the report makes: full wave minus ray trace, in dB for the
// directivity and the sidelobe, in degrees for the beamwidth; nothing to
// compare where the ray trace found no sidelobe.
TEST(ReportTest, DifferenceIsFullWaveMinusRayTrace) {
  struct Case {
    const char* name;
    double full_dbi, trace_dbi;
    double full_sidelobe;
    std::optional<double> trace_sidelobe;
    double want_directivity_db;
    std::optional<double> want_sidelobe_db;
    const char* want_text;  // the directivity's difference as the summary shows it
  };
  const Case kCases[] = {
      {"full wave above the trace", 23.31, 22.65, -20.2, -23.71, 0.66, 3.51, "+0.66 dB"},
      {"full wave below the trace", 28.07, 28.46, -20.6, -21.0, -0.39, 0.4, "-0.39 dB"},
      {"no sidelobe in the trace", 20.0, 20.0, -25.0, std::nullopt, 0.0, std::nullopt, "+0.00 dB"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    ReportInput in;
    in.file = "lens.tor";
    in.unit = "mm";
    in.wavelength = 5.0;
    in.permittivity = 2.54;
    in.result.ok = true;
    in.result.feed_power = 1.0;
    in.result.surface_power = 1.0;
    in.result.figures.directivity = std::pow(10.0, c.full_dbi / 10.0);
    in.result.figures.mean = {6.5, 8.0, 10.0, c.full_sidelobe};
    in.ray_trace = RayTraceFigures{std::pow(10.0, c.trace_dbi / 10.0), 6.0, 8.1, c.trace_sidelobe};
    const nlohmann::json j = nlohmann::json::parse(ReportJson(in));
    EXPECT_NEAR(c.want_directivity_db, j["difference"]["directivity_db"].get<double>(), 1e-9);
    EXPECT_NEAR(0.5, j["difference"]["half_power_beamwidth_deg"].get<double>(), 1e-9);
    if (c.want_sidelobe_db) {
      EXPECT_NEAR(*c.want_sidelobe_db, j["difference"]["first_sidelobe_db"].get<double>(), 1e-9);
    } else {
      EXPECT_TRUE(j["difference"]["first_sidelobe_db"].is_null());
    }
    const std::string text = ReportText(in);
    EXPECT_NE(std::string::npos, text.find(c.want_text)) << text;
  }
}

}  // namespace
}  // namespace fullwave
