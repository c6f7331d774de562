// The figures of traces built by hand, whose answers are closed forms
// (lens-physics conventions: feed at the origin, z along the axis).

#include "optics/aperture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numbers>

namespace optics {
namespace {

constexpr double kPi = std::numbers::pi;

/// Rays from the feed through a lens of index 1.5 that enter on a sphere of
/// radius 10 about the feed (so every path to the exit is the same), run
/// `length` inside, leave at exit radius `radius(θ)` a height `below` under
/// the aperture plane z = 20, tilted by `exit_angle`.
struct Lens {
  double edge_deg = 30.0;
  std::function<double(double)> radius;
  double exit_angle = 0.0;
  double below = 0.0;
  double length = 3.0;
  Fresnel faces{};
  std::function<int32_t(int)> zone = [](int) { return 0; };
};

Trace Synthetic(const Lens& lens, int rays) {
  Trace trace;
  trace.index = 1.5;
  trace.edge_angle = lens.edge_deg * kPi / 180.0;
  trace.aperture_z = 20.0;
  trace.lens_radius = lens.radius(trace.edge_angle);
  for (int i = 0; i < rays; ++i) {
    RayRecord ray;
    ray.theta = trace.edge_angle * i / (rays - 1);
    ray.fate = RayFate::kTransmitted;
    ray.entry = {10.0 * std::cos(ray.theta), 10.0 * std::sin(ray.theta)};
    ray.exit = {20.0 - lens.below, lens.radius(ray.theta)};
    ray.exit_angle = i == 0 ? 0.0 : lens.exit_angle;
    ray.length_in_lens = lens.length;
    ray.path_to_exit = 10.0 + 1.5 * lens.length;
    ray.entry_face = lens.faces;
    ray.exit_face = lens.faces;
    ray.entry_zone = 0;
    ray.exit_zone = lens.zone(i);
    trace.rays.push_back(ray);
  }
  return trace;
}

AnalysisOptions Options(std::optional<double> q, double tan_delta = 0.0) {
  AnalysisOptions o;
  o.wavelength = 1.0;
  o.feed_q = q;
  o.tan_delta = tan_delta;
  o.pattern_angles = 3;
  return o;
}

// Power cos^(2Q) θ mapped to radius ρ(θ) gives |A|² ∝ P(θ) sin θ / (ρ dρ/dθ):
// uniform for Q = 0 and ρ ∝ √(1 - cos θ); cos^(2Q-1) θ for ρ ∝ sin θ, whose
// taper efficiency (∫A dS)² / (S ∫A² dS) is 0.760197 at Q 4, θe 60°.
TEST(ApertureFigures, MatchClosedForms) {
  const double kFaces = 0.96;  // each face, both polarisations
  const auto uniform = [](double t) {
    return 10.0 * std::sqrt((1.0 - std::cos(t)) / (1.0 - std::cos(kPi / 6.0)));
  };
  const auto sine = [](double t) { return 10.0 * std::sin(t) / std::sin(kPi / 3.0); };
  const struct {
    const char* name;
    Lens lens;
    AnalysisOptions options;
    double taper;       // closed form, within 2e-3
    double spillover;   // 1 - cos^(2Q+1) θe
    double reflection;  // the two faces' product, whatever the loss
    double dielectric;  // exp(-2π n tan δ s / λ)
  } kCases[] = {
      {"uniform feed onto a uniform aperture", {30.0, uniform}, Options(0.0), 1.0,
       1.0 - std::cos(kPi / 6.0), 1.0, 1.0},
      {"cos^8 feed, sine mapping", {60.0, sine}, Options(4.0), 0.760197, 1.0 - std::pow(0.5, 9.0),
       1.0, 1.0},
      {"two faces of 0.96, no loss", {30.0, uniform, 0.0, 0.0, 3.0, {kFaces, kFaces}},
       Options(0.0), 1.0, 1.0 - std::cos(kPi / 6.0), kFaces * kFaces, 1.0},
      {"two faces of 0.96, tan delta 0.01 over 3 wavelengths",
       {30.0, uniform, 0.0, 0.0, 3.0, {kFaces, kFaces}}, Options(0.0, 0.01), 1.0,
       1.0 - std::cos(kPi / 6.0), kFaces * kFaces, std::exp(-2.0 * kPi * 1.5 * 0.01 * 3.0)},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    std::string error;
    const auto fig = ComputeApertureFigures(Synthetic(c.lens, 2001), c.options, &error);
    ASSERT_TRUE(fig) << error;
    const Efficiencies& e = fig->efficiency;
    EXPECT_NEAR(c.taper, e.taper, 2e-3);
    EXPECT_NEAR(c.spillover, e.spillover, 1e-9);
    EXPECT_NEAR(c.reflection, e.reflection, 1e-12);
    EXPECT_NEAR(c.dielectric, e.dielectric, 1e-12);
    EXPECT_NEAR(1.0, e.phase, 1e-9);  // every path the same
    EXPECT_NEAR(1.0, e.blockage, 1e-12);
    // Gain = aperture efficiency (πD/λ)², D the outer tubes' diameter
    // (near 20); directivity leaves out only what the dielectric absorbs
    const double budget = e.spillover * e.taper * e.phase * e.blockage * e.reflection * e.dielectric;
    EXPECT_NEAR(budget, e.aperture, 1e-9);
    EXPECT_NEAR(10.0, fig->aperture_radius, 0.01);
    EXPECT_NEAR(std::pow(2.0 * kPi * fig->aperture_radius, 2.0) * e.aperture, fig->gain,
                1e-9 * fig->gain);
    EXPECT_NEAR(fig->gain / c.dielectric, fig->directivity, 1e-9 * fig->gain);
  }
}

// A ray leaving at α a height h below the aperture plane runs h / cos α to
// it and lands h tan α further out; its angle is reported in degrees.
TEST(ApertureFigures, PathToThePlaneFollowsTheSmoothedDirection) {
  Lens lens{30.0, [](double t) { return 10.0 * std::sin(t); }};
  lens.exit_angle = 0.1;
  lens.below = 2.0;
  std::string error;
  const auto fig = ComputeApertureFigures(Synthetic(lens, 201), Options(1.0), &error);
  ASSERT_TRUE(fig) << error;
  const TubeFigures& ray = fig->rays[100];
  EXPECT_NEAR(10.0 + 1.5 * 3.0, ray.path_to_exit, 1e-12);
  EXPECT_NEAR(2.0 / std::cos(0.1), ray.path_to_plane - ray.path_to_exit, 1e-12);
  EXPECT_NEAR(ray.exit_radius + 2.0 * std::tan(0.1), ray.plane_radius, 1e-12);
  EXPECT_NEAR(5.729578, fig->max_raw_exit_angle_deg, 1e-6);
  EXPECT_NEAR(5.729578, fig->max_exit_angle_deg, 1e-6);
}

// A zone should get kRaysPerZone rays; the count that would do is rounded up
// to thousands and one.
TEST(ApertureFigures, ZonesWithTooFewRaysAreFound) {
  const struct {
    const char* name;
    std::function<int32_t(int)> zone;  // of ray i of 101
    int32_t zones, fewest, sparse, needed;
  } kCases[] = {
      {"two wide zones", [](int i) { return i < 50 ? 0 : 1; }, 2, 50, 0, 0},
      {"a middle zone of 3 rays", [](int i) { return i < 50 ? 0 : i < 53 ? 1 : 2; }, 3, 3, 1,
       1001},
      {"a zone of one ray", [](int i) { return i < 99 ? 0 : i < 100 ? 1 : 2; }, 3, 1, 1, 1001},
      {"a zone stepped over", [](int i) { return i < 50 ? 0 : 2; }, 3, 0, 1, 1001},
      {"five rays do", [](int i) { return i < 50 ? 0 : i < 55 ? 1 : 2; }, 3, 5, 1, 0},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    Lens lens{30.0, [](double t) { return 10.0 * std::sin(t); }};
    lens.zone = c.zone;
    std::string error;
    const auto fig = ComputeApertureFigures(Synthetic(lens, 101), Options(1.0), &error);
    ASSERT_TRUE(fig) << error;
    EXPECT_EQ(c.zones, fig->sampling.zones);
    EXPECT_EQ(c.fewest, fig->sampling.fewest_rays);
    EXPECT_EQ(c.sparse, fig->sampling.sparse_zone);
    EXPECT_EQ(c.needed, fig->sampling.rays_needed);
  }
}

TEST(ApertureFigures, ALensOneRayGetsThroughIsRefused) {
  Trace trace = Synthetic({30.0, [](double t) { return 10.0 * std::sin(t); }}, 11);
  for (std::size_t i = 1; i < trace.rays.size(); ++i) trace.rays[i].fate = RayFate::kBlockedByRim;
  std::string error;
  EXPECT_FALSE(ComputeApertureFigures(trace, Options(1.0), &error));
  EXPECT_EQ("only one ray from the feed gets through the lens", error);
}

// Q of cos^(2Q) θ from the edge taper T at θe: T / (20 log10(1 / cos θe)).
TEST(ApertureFigures, FeedQFromTheEdgeTaper) {
  const struct {
    double taper_db, edge_deg, q;
  } kCases[] = {{10.0, 60.0, 1.660964047}, {20.0, 30.0, 16.007845559}, {0.0, 45.0, 0.0}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.taper_db);
    EXPECT_NEAR(c.q, FeedQForEdgeTaper(c.taper_db, c.edge_deg * kPi / 180.0).value_or(-1.0),
                1e-8);
  }
}

// A uniform disk of radius a = λ (D/λ = 2), field 1:
// E(θ) = (1 + cos θ)/2 · 2π a J1(ka sin θ) / (k sin θ), J1(2π) = -0.2123825.
// The integral adds over annuli, in any plane, and an annulus across the
// axis counts both its halves.
TEST(RadiationIntegralTest, ObliquityAndAdditivity) {
  const auto field = [](const std::vector<Annulus>& annuli, double theta) {
    return RadiationIntegral(annuli, 1.0).Field(theta);
  };
  const Annulus disk{0.0, 1.0, 1.0};
  const struct {
    const char* name;
    double theta;
    double want;
  } kDisk[] = {{"on the axis", 0.0, kPi},
               {"60 deg, obliquity 0.75", kPi / 3.0, -0.29801846},
               {"90 deg, obliquity 0.5", kPi / 2.0, -0.10619127}};
  for (const auto& c : kDisk) {
    SCOPED_TRACE(c.name);
    EXPECT_NEAR(c.want, field({disk}, c.theta).real(), 1e-7);
    EXPECT_NEAR(0.0, field({disk}, c.theta).imag(), 1e-12);
  }
  const std::complex<double> f(0.3, -0.7);
  const struct {
    const char* name;
    std::vector<Annulus> whole;
    std::vector<std::vector<Annulus>> parts;
  } kSums[] = {
      {"two rings in two planes", {{0.0, 1.0, f, 0.0}, {1.0, 2.5, 2.0 * f, 0.4}},
       {{{0.0, 1.0, f, 0.0}}, {{1.0, 2.5, 2.0 * f, 0.4}}}},
      {"a ring across the axis is two disks", {{-1.0, 2.0, f, 0.2}},
       {{{0.0, 1.0, f, 0.2}}, {{0.0, 2.0, f, 0.2}}}},
  };
  for (const auto& c : kSums) {
    SCOPED_TRACE(c.name);
    for (const double theta : {0.0, 0.2, 0.7}) {
      std::complex<double> sum;
      for (const auto& part : c.parts) sum += field(part, theta);
      EXPECT_NEAR(0.0, std::abs(field(c.whole, theta) - sum), 1e-12);
    }
  }
  // A plane z off the reference turns the field by kz cos θ
  const std::complex<double> shifted = field({{0.0, 1.0, 1.0, 0.125}}, 0.0);
  EXPECT_NEAR(0.0, std::abs(shifted - std::polar(kPi, 2.0 * kPi * 0.125)), 1e-12);
}

}  // namespace
}  // namespace optics
