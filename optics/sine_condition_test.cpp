#include "optics/sine_condition.h"

#include <gtest/gtest.h>

#include <cmath>

namespace optics {
namespace {

// Traces of lenses with known exit heights h(θ), n = 1.5, edge at atan(1/2):
// the hyperbolic lens behind a flat face (h = (n−1)F sin θ/(n cos θ − 1),
// f = F), the sphere r0 20 before its ellipse (h = (n−1)(r0 + T) sin θ/(n −
// cos θ), T 5, f = r0 + T) and a lens meeting the sine condition (h = 24 sin θ).
TEST(SineConditionTest, DeviationOfLensesWithKnownExitHeights) {
  const double edge = std::atan(0.5), c = std::cos(edge);
  struct Case {
    const char* name;
    double (*height)(double);
    double focal_length, deviation;
    int rays;
    bool stepped_centre;  // rays near the axis behind a zone step, with wrong heights
  };
  const auto hyperbola = [](double t) {
    return 0.5 * 15.27864 * std::sin(t) / (1.5 * std::cos(t) - 1.0);
  };
  const auto ellipse = [](double t) { return 0.5 * 25.0 * std::sin(t) / (1.5 - std::cos(t)); };
  const auto sine = [](double t) { return 24.0 * std::sin(t); };
  const Case kCases[] = {
      {"hyperbolic lens: +46 %", hyperbola, 15.27864, 0.5 / (1.5 * c - 1.0) - 1.0, 2001, false},
      {"sphere and ellipse: -17 %", ellipse, 25.0, 0.5 / (1.5 - c) - 1.0, 2001, false},
      {"sine condition met", sine, 24.0, 0.0, 201, false},
      {"zone-stepped rays left out of the fit", sine, 24.0, 0.0, 201, true},
      {"too few rays near the axis", sine, 0.0, 0.0, 8, false},
  };
  for (const Case& k : kCases) {
    SCOPED_TRACE(k.name);
    Trace trace;
    trace.edge_angle = edge;
    for (int i = 0; i < k.rays; ++i) {
      RayRecord ray;
      ray.theta = edge * i / (k.rays - 1);
      ray.fate = RayFate::kTransmitted;
      ray.exit.r = k.height(ray.theta);
      ray.entry_zone = ray.exit_zone = 0;
      if (k.stepped_centre && i > 0 && i < 20 && i % 3 == 0) {
        ray.exit_zone = 1;
        ray.exit.r *= 1.1;
      }
      trace.rays.push_back(ray);
    }
    const auto got = SineConditionDeviation(trace);
    ASSERT_EQ(k.focal_length > 0.0, got.has_value());
    if (!got) continue;
    EXPECT_NEAR(k.focal_length, got->focal_length, 1e-6 * k.focal_length);
    EXPECT_NEAR(k.deviation, got->deviation, 1e-6);
    EXPECT_DOUBLE_EQ(edge, got->edge_theta);
    // A missed edge ray: the deviation is taken at the outermost ray through
    trace.rays.back().fate = RayFate::kMissed;
    const auto inner = SineConditionDeviation(trace);
    ASSERT_TRUE(inner.has_value());
    EXPECT_DOUBLE_EQ(trace.rays[trace.rays.size() - 2].theta, inner->edge_theta);
  }
}

}  // namespace
}  // namespace optics
