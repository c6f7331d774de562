// The radiation integral against the closed forms of the uniform circular
// aperture.

#include "optics/far_field.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace optics {
namespace {

constexpr double kPi = std::numbers::pi;

TEST(FarField, UniformCircularAperture) {
  // D/λ from 10 to 200, cut into many annuli as the trace does: directivity
  // (πD/λ)², first sidelobe -17.57 dB, half-power width 58.9° λ/D, first
  // null at sin θ = 1.2197 λ/D
  for (const double d_over_lambda : {10.0, 20.0, 200.0}) {
    SCOPED_TRACE(d_over_lambda);
    const double lambda = 1.0;
    const double radius = 0.5 * d_over_lambda * lambda;
    std::vector<Annulus> aperture;
    const int pieces = 997;
    const double density = 1.0 / (kPi * radius * radius);  // unit power in all
    for (int i = 0; i < pieces; ++i) {
      aperture.push_back({radius * i / pieces, radius * (i + 1) / pieces,
                          std::complex<double>(std::sqrt(density))});
    }
    const RadiationIntegral pattern(aperture, lambda);
    const double uniform = std::pow(kPi * d_over_lambda, 2.0);
    EXPECT_NEAR(0.0, 10.0 * std::log10(pattern.Directivity(0.0, 1.0) / uniform), 0.05);
    const Beam beam = FindBeam(pattern, 2.0 * radius, lambda);
    EXPECT_NEAR(58.9 / d_over_lambda, beam.half_power_width_deg, 0.01 * 58.9 / d_over_lambda);
    ASSERT_TRUE(beam.first_sidelobe_db && beam.first_null_deg);
    EXPECT_NEAR(-17.6, *beam.first_sidelobe_db, 0.1);
    EXPECT_NEAR(std::asin(1.2197 / d_over_lambda) * 180.0 / kPi, *beam.first_null_deg, 1e-3);
  }
}

TEST(FarField, BesselTableFollowsTheLibrary) {
  const BesselJ1 j1;
  double worst = 0.0;
  for (double x = 0.0; x < 60.0; x += 0.00731) {
    worst = std::max(worst, std::fabs(j1(x) - std::cyl_bessel_j(1.0, x)));
  }
  EXPECT_LT(worst, 1e-9);
}

}  // namespace
}  // namespace optics
