#include "tortool/analyse_report.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace tortool {
namespace {

TEST(AnalyseReport, NumbersStayShortAndFinite) {
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    double x;
    int decimals;
    const char* want;
  } kCases[] = {{1.23456, 2, "1.23"},     {-0.001, 2, "0.00"},     {1e300, 2, "1e+300"},
                {-2.5e12, 3, "-2.5e+12"}, {999999999.0, 1, "999999999.0"},
                {inf, 2, "none"},         {std::nan(""), 2, "none"}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.want);
    EXPECT_EQ(c.want, Fixed(c.x, c.decimals));
  }
}

// λ = 299.792458 mm / f in GHz, in the file's unit (25.4, 304.8, 1, 1000 mm).
TEST(AnalyseReport, FrequencyInTheFilesUnit) {
  const struct {
    double ghz;
    LengthUnit unit;
    std::optional<double> wavelength;
  } kCases[] = {{30.0, LengthUnit::kMillimetre, 9.99308193},
                {0.299792458, LengthUnit::kFoot, 1000.0 / 304.8},
                {0.299792458, LengthUnit::kInch, 1000.0 / 25.4},
                {299.792458, LengthUnit::kMetre, 0.001},
                {0.0, LengthUnit::kMillimetre, std::nullopt},
                {1e-320, LengthUnit::kMillimetre, std::nullopt}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.ghz);
    const std::optional<double> got = WavelengthOfFrequency(c.ghz, c.unit);
    ASSERT_EQ(c.wavelength.has_value(), got.has_value());
    if (got) {
      EXPECT_NEAR(*c.wavelength, *got, 1e-8 * *got);
    }
  }
}

// Five-digit nodes of a lens 100 across place paths within 5e-3: a
// wavelength below 1e-2 is refused, as is one a million times the lens.
TEST(AnalyseReport, WavelengthsTheNodesCannotResolveAreRefused) {
  Trace trace;
  trace.lens_radius = 50.0;
  trace.aperture_z = 100.0;
  const struct {
    double wavelength;
    bool refused;
  } kCases[] = {{1e-300, true}, {0.0099, true}, {0.0101, false}, {3.0, false},
                {9.9e7, false}, {1.01e8, true}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.wavelength);
    EXPECT_EQ(c.refused, WavelengthProblem(trace, c.wavelength).has_value());
  }
}

}  // namespace
}  // namespace tortool
