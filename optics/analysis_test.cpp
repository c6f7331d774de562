// The trace and the figures on lenses designed by the kevrano program itself,
// checked against closed forms of lens optics.

#include "optics/analysis.h"
#include "optics/aperture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <numbers>
#include <sstream>

#include "tests/process.h"
#include "torfile/test_support.h"

namespace optics {

namespace testing = torfile::testing;
using torfile::Cubic;
using torfile::PieceCubic;
using torfile::Point;
namespace {

using torfile::testing::Options;

/// The answers of one design with the outer face prescribed flat (the feed
/// face then a hyperbola): ε 2.25, radius 10, edge 20 from the feed, no edge
/// thickness, radial step 0.2, zoned at wavelength `lambda` with `feed_share`
/// of each step on the feed face from path length `min_path`.
struct Design {
  double lambda = 1.0;
  double feed_share = 0.0;
  double min_path = 0.5;
};

/// Runs the kevrano program on the design in a fresh folder and returns the
/// tor file it wrote.
std::string DesignedTorFile(const Design& d) {
  const std::filesystem::path dir = testing_support::MakeTempDir(
      (std::filesystem::path(::testing::TempDir()) / "kevrano-analysis").string());
  std::ostringstream answers;
  answers << "report.txt\n2\n2.25\n10 20\n0\n1\n0.2\n"
          << d.lambda << "\n"
          << d.feed_share << "\n"
          << d.min_path << "\n1\nlens.tor\n3\n0\n0\n";
  testing_support::WriteFile(dir / "answers.txt", answers.str());
  const testing_support::RunResult run =
      testing_support::RunProgram(KEVRANO_BINARY, dir, "1\nanswers.txt\n");
  EXPECT_EQ(0, run.status) << run.err;
  std::string tor = testing_support::ReadFile(dir / "lens.tor");
  std::filesystem::remove_all(dir);
  return tor;
}

struct Analysed {
  testing::Checked checked;
  Trace trace;
  ApertureFigures figures;
};

Analysed Analyse(const std::string& tor, const AnalysisOptions& options, int32_t rays = 2001) {
  Analysed a;
  a.checked = testing::ParseAndCheck(tor);
  EXPECT_TRUE(a.checked.check.outline);
  if (!a.checked.check.outline) return a;
  std::string error;
  std::optional<Trace> trace = TraceLens(a.checked.file, *a.checked.check.outline, rays, &error);
  EXPECT_TRUE(trace) << error;
  if (!trace) return a;
  a.trace = *trace;
  std::optional<ApertureFigures> figures = ComputeApertureFigures(a.trace, options, &error);
  EXPECT_TRUE(figures) << error;
  if (figures) a.figures = *figures;
  return a;
}

// An unzoned hyperbolic lens collimates: every ray leaves parallel to the
// axis with the same optical path. The limits are those the file's five
// significant digits allow: z near 15 to 20 is rounded by up to 5e-4, and
// the cubic through four nodes 0.2 apart takes the slope at an end node from
// (-11, 18, -9, 2)/1.2 times the node values, so the face may tilt by up to
// 40 · 5e-4 / 1.2 = 0.017 rad; through the lens that turns the exit ray by
// (n - 1) times as much, 0.48°. Paths err by (n - 1) · 5e-4 · 1.6 (the
// cubic's swing between nodes), 0.14° of phase at λ = 1, with a margin for
// the design's own single-precision arithmetic.
TEST(LensTrace, UnzonedAndFlatFaceZonedHyperbolicLensesCollimate) {
  const struct {
    const char* name;
    Design design;
    double rms_deg;
    double raw_exit_deg;
  } kCases[] = {
      {"unzoned", {1.0, 0.0, 7.0}, 0.2, 0.5},
      // Nodes added at the zone radii lie closer than 0.2, and half the
      // wavelength doubles each path error in degrees
      {"zoned, every step on the flat face (gamma = 0)", {0.5, 0.0, 0.5}, 0.3, 1.0},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    const Analysed a = Analyse(DesignedTorFile(c.design), Options(c.design.lambda));
    EXPECT_LT(a.figures.rms_phase_error_deg, c.rms_deg);
    EXPECT_LT(std::fabs(a.figures.peak_phase_error_deg), 0.5);
    EXPECT_LT(a.figures.max_raw_exit_angle_deg, c.raw_exit_deg);
    EXPECT_LT(a.figures.max_exit_angle_deg, 0.3);
  }
}

// Zone steps wholly on the curved feed face cut a length δ = λ/(n-1) along
// the axis from rays that cross the face at γ to the ray inside; that
// removes δ(n - cos γ) of path instead of λ. A ray with m steps cut between
// it and the edge therefore runs m · 360° (1 - cos γ)/(n - 1) ahead of the
// axial ray, whose γ is 0. Checked on the mean of each zone, within 10 % and
// the 0.5° that the file's digits allow (see above).
TEST(LensTrace, StepsOnTheCurvedFaceErrByTheFirstOrderPrediction) {
  const double lambda = 0.5;
  const Analysed a = Analyse(DesignedTorFile({lambda, 1.0, 0.5}), Options(lambda));
  const std::vector<RayRecord>& rays = a.trace.rays;
  // The rays through, in zones split where the path jumps
  std::vector<std::vector<std::size_t>> zones(1);
  for (std::size_t i = 0; i < rays.size(); ++i) {
    if (rays[i].fate != RayFate::kTransmitted) continue;
    if (!zones.back().empty() &&
        std::fabs(a.figures.rays[i].path_to_plane -
                  a.figures.rays[zones.back().back()].path_to_plane) > 0.25 * lambda) {
      zones.emplace_back();
    }
    zones.back().push_back(i);
  }
  ASSERT_EQ(5u, zones.size());
  for (std::size_t j = 0; j + 1 < zones.size(); ++j) {
    SCOPED_TRACE("zone " + std::to_string(j) + " from the axis");
    const double steps = static_cast<double>(zones.size() - 1 - j);
    double error = 0.0;
    double predicted = 0.0;
    for (const std::size_t i : zones[j]) {
      const RayRecord& r = rays[i];
      const double gamma = r.theta - std::atan2(r.exit.r - r.entry.r, r.exit.z - r.entry.z);
      // Against the axial ray, whose path the prediction starts from
      const double e = a.figures.rays[i].phase_error_deg - a.figures.rays.front().phase_error_deg;
      error += e - 360.0 * std::round(e / 360.0);
      predicted += steps * 360.0 * (1.0 - std::cos(gamma)) / (a.trace.index - 1.0);
    }
    EXPECT_NEAR(predicted, -error, (0.1 * predicted + 0.5) * static_cast<double>(zones[j].size()));
  }
}

// Spillover beyond the edge is cos^(2Q+1) θe, and every share of the feed's
// power is accounted for.
TEST(LensTrace, PowerIsConserved) {
  const struct {
    const char* name;
    Design design;
    AnalysisOptions options;
  } kCases[] = {
      {"lossy, steps on the curved face", {0.5, 1.0, 0.5}, Options(0.5, 12.0, std::nullopt, 0.01)},
      {"isotropic feed, steps shared", {1.0, 0.5, 0.5}, Options(1.0, 10.0, 0.0)},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    const Analysed a = Analyse(DesignedTorFile(c.design), c.options);
    const PowerShares& p = a.figures.power;
    EXPECT_NEAR(std::pow(std::cos(a.trace.edge_angle), 2.0 * a.figures.feed_q + 1.0), p.spilled,
                1e-6);
    EXPECT_NEAR(1.0, p.transmitted + p.reflected + p.absorbed + p.blocked + p.spilled + p.missed,
                1e-6);
  }
  // A slab of index below 1 reflects the oblique rays whole as they enter
  testing::MeshSpec slab = testing::Cylinder();
  slab.eps = 0.5f;
  const Analysed a = Analyse(testing::TorText(slab), Options(0.5));
  const PowerShares& p = a.figures.power;
  EXPECT_GT(p.reflected, 0.1);
  EXPECT_NEAR(1.0, p.transmitted + p.reflected + p.absorbed + p.blocked + p.spilled + p.missed,
              1e-6);
}

// Normal incidence on a flat face transmits 1 - ((n-1)/(n+1))^2; the axial
// ray of a flat slab crosses two such faces.
TEST(LensTrace, NormalIncidenceTransmission) {
  for (const double n : {1.2, 1.5, 1.6, 3.4}) {
    SCOPED_TRACE(n);
    const double r = (n - 1.0) / (n + 1.0);
    EXPECT_NEAR(1.0 - r * r, FresnelTransmission(1.0, 1.0, n).Mean(), 1e-12);
    EXPECT_NEAR(1.0 - r * r, FresnelTransmission(1.0, n, 1.0).te, 1e-12);
  }
  // At Brewster's angle (tan i = n) the wave polarised in the plane of
  // incidence passes whole, the other keeps 1 - ((n²-1)/(n²+1))²
  for (const double n : {1.5, 2.0}) {
    SCOPED_TRACE(n);
    const Fresnel brewster = FresnelTransmission(std::cos(std::atan(n)), 1.0, n);
    const double rs = (n * n - 1.0) / (n * n + 1.0);
    EXPECT_NEAR(1.0, brewster.tm, 1e-12);
    EXPECT_NEAR(1.0 - rs * rs, brewster.te, 1e-12);
  }
  // The slab of the test files: ε 2.56, flat faces at z = 2 and 5
  std::string error;
  const testing::Checked slab = testing::ParseAndCheck(testing::TorText(testing::Cylinder()));
  const std::optional<Trace> trace = TraceLens(slab.file, *slab.check.outline, 11, &error);
  ASSERT_TRUE(trace) << error;
  const RayRecord& axial = trace->rays.front();
  const double r = 0.6 / 2.6;
  EXPECT_NEAR(1.0 - r * r, axial.entry_face.Mean(), 1e-9);
  EXPECT_NEAR(1.0 - r * r, axial.exit_face.Mean(), 1e-9);
  EXPECT_NEAR(2.0 + 1.6 * 3.0, axial.path_to_exit, 1e-9);
}

// A feed face that wiggles (one cubic through z = 3, 1, 3, 2 at r = 0,
// 1, 2, 3) is crossed up to three times by one ray, and near the tangent
// rays two of those crossings merge. Every ray must enter at the first
// crossing along it, as a dense walk along the curve finds it.
TEST(LensTrace, RaysEnterAtTheFirstCrossingOfAWavyFace) {
  testing::MeshSpec m;
  m.nodes = {{3.0, 0.0}, {1.0, 1.0}, {3.0, 2.0}, {2.0, 3.0}, {5.0, 0.0}, {5.0, 3.0}};
  m.cubic = {{1, 2, 3, 4}};
  m.linear = {{5, 6}, {4, 6}};
  const testing::Checked lens = testing::ParseAndCheck(testing::TorText(m));
  ASSERT_TRUE(lens.check.outline);
  std::string error;
  const std::optional<Trace> trace = TraceLens(lens.file, *lens.check.outline, 401, &error);
  ASSERT_TRUE(trace) << error;
  const Cubic face = PieceCubic(lens.file, lens.check.outline->feed.pieces.front());
  for (const RayRecord& ray : trace->rays) {
    // Walk along the face from the axis: r grows along it, so the first
    // crossing met is the one nearest the feed
    const Point d{std::cos(ray.theta), std::sin(ray.theta)};
    auto side = [&](double s) {
      const Point p = face.At(s);
      return d.z * p.r - d.r * p.z;
    };
    constexpr int kSteps = 20000;
    std::optional<Point> first;
    for (int k = 0; k < kSteps && !first; ++k) {
      const double a = static_cast<double>(k) / kSteps;
      const double b = static_cast<double>(k + 1) / kSteps;
      if ((side(a) <= 0.0) == (side(b) <= 0.0)) continue;
      const double s = a + (b - a) * side(a) / (side(a) - side(b));
      first = face.At(s);
    }
    if (!first) continue;  // the edge ray, through the last node
    SCOPED_TRACE("theta " + std::to_string(ray.theta));
    EXPECT_NEAR(first->z, ray.entry.z, 1e-6);
    EXPECT_NEAR(first->r, ray.entry.r, 1e-6);
  }
}

TEST(LensTrace, UnusableLensesAreRefused) {
  auto moved = [](double dz) {
    testing::MeshSpec m = testing::Cylinder();
    for (Point& p : m.nodes) p.z += dz;
    return m;
  };
  const struct {
    const char* name;
    testing::MeshSpec mesh;
    const char* error;
  } kCases[] = {
      {"feed inside", moved(-3.0), "the feed at the origin lies inside the lens or on its surface"},
      {"lens behind the feed", moved(-6.0),
       "the lens is not in front of the feed (no part of it at z > 0)"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    const testing::Checked lens = testing::ParseAndCheck(testing::TorText(c.mesh));
    std::string error;
    EXPECT_FALSE(TraceLens(lens.file, *lens.check.outline, 11, &error));
    EXPECT_EQ(c.error, error);
  }
  // Records of rays that all missed give no figures
  Trace missed;
  missed.edge_angle = 0.3;
  missed.rays.resize(5);
  std::string error;
  EXPECT_FALSE(ComputeApertureFigures(missed, Options(1.0), &error));
  EXPECT_EQ("no ray from the feed gets through the lens", error);
}

}  // namespace
}  // namespace optics
