// A designed lens fed off its focus, by a feed of unequal planes, with an
// anti-reflection layer, and across frequency: the figures against closed
// forms of lens optics.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <cstdio>
#include <filesystem>
#include <numbers>
#include <sstream>

#include "optics/analysis.h"
#include "optics/aperture.h"
#include "optics/sweep.h"
#include "tests/process.h"
#include "torfile/test_support.h"

namespace optics {
namespace {

/// A lens of ε 2.54 with its radiation face flat (the feed face a
/// hyperbola), radius 10 and edge 20 from the feed (edge angle 26.57°),
/// designed at wavelength 1 (D/λ 20) and zoned from path `min_path` with
/// every step on the feed face, as the kevrano program writes it.
torfile::testing::Checked DesignedLens(double min_path) {
  const std::filesystem::path dir = testing_support::MakeTempDir(
      (std::filesystem::path(::testing::TempDir()) / "kevrano-response").string());
  std::ostringstream answers;
  answers << "report.txt\n2\n2.54\n10 20\n0\n1\n0.2\n1\n1\n" << min_path
          << "\n1\nlens.tor\n3\n0\n0\n";
  testing_support::WriteFile(dir / "answers.txt", answers.str());
  const testing_support::RunResult run =
      testing_support::RunProgram(KEVRANO_BINARY, dir, "1\nanswers.txt\n");
  EXPECT_EQ(0, run.status) << run.err;
  const std::string tor = testing_support::ReadFile(dir / "lens.tor");
  std::filesystem::remove_all(dir);
  return torfile::testing::ParseAndCheck(tor);
}

/// A feed file with cos^Qe and cos^Qh fields every half degree to 90°.
FeedPattern CosineFeed(double q_e, double q_h) {
  std::string text = "theta_deg,e_plane_db,h_plane_db\n";
  for (int i = 0; i <= 180; ++i) {
    const double c = std::cos(i * 0.5 * std::numbers::pi / 180.0);
    auto db = [c](double q) { return c > 0.0 ? std::max(-300.0, 20.0 * q * std::log10(c)) : -300.0; };
    std::array<char, 96> row{};
    std::snprintf(row.data(), row.size(), "%.1f,%.9f,%.9f\n", i * 0.5, db(q_e), db(q_h));
    text += row.data();
  }
  std::istringstream in(text);
  std::string error;
  std::optional<FeedPattern> feed = ReadFeedPattern(in, "feed.csv", &error);
  EXPECT_TRUE(feed) << error;
  return feed ? *feed : FeedPattern::Cosine(0.0);
}

/// The phase error of the last ray through less that of the axial ray.
double EdgeRayLead(const Trace& trace, const ApertureFigures& fig) {
  std::size_t last = 0;
  for (std::size_t i = 0; i < trace.rays.size(); ++i) {
    if (trace.rays[i].fate == RayFate::kTransmitted) last = i;
  }
  return fig.rays[last].phase_error_deg - fig.rays.front().phase_error_deg;
}

TEST(LensResponseTest, FiguresFollowTheClosedForms) {
  const torfile::testing::Checked unzoned = DesignedLens(100.0);
  ASSERT_TRUE(unzoned.check.outline);
  const double edge = std::atan2(10.0, 20.0);
  // ∫0^θe cos^a θ sin θ dθ, for the share the planes' difference takes
  auto integral = [edge](double a) { return (1.0 - std::pow(std::cos(edge), a + 1.0)) / (a + 1.0); };
  const double lost = (integral(16.0) - 2.0 * integral(21.0) + integral(26.0)) / 4.0 /
                      ((integral(16.0) + integral(26.0)) / 2.0);

  struct Case {
    const char* name;
    double feed_z;
    std::optional<FeedPattern> feed;
    std::optional<Layer> coating;
    double (*figure)(const Trace&, const ApertureFigures&);
    double want;
    double tolerance;
  };
  const Case kCases[] = {
      {"feed 0.5 towards the lens: edge ray 360° DZ (1 - cos θe) / λ", 0.5, std::nullopt,
       std::nullopt, EdgeRayLead,
       360.0 * 0.5 * (1.0 - std::cos(std::atan2(10.0, 19.5))), 1.0},
      {"feed 0.5 away from the lens: the same, lagging", -0.5, std::nullopt, std::nullopt,
       EdgeRayLead,
       -360.0 * 0.5 * (1.0 - std::cos(std::atan2(10.0, 20.5))), 1.0},
      {"moved feed keeps its Q (10 dB at the edge seen from the origin)", 0.5, std::nullopt,
       std::nullopt, [](const Trace&, const ApertureFigures& f) { return f.feed_q; },
       10.0 / (20.0 * std::log10(1.0 / std::cos(std::atan2(10.0, 20.0)))), 1e-9},
      {"cos^(2Q) file, Q 10.32: aperture efficiency of --feed-q 10.32", 0.0,
       CosineFeed(10.32, 10.32), std::nullopt,
       [](const Trace&, const ApertureFigures& f) { return 10.0 * std::log10(f.efficiency.aperture); },
       0.0, 0.02},
      {"planes cos^8 and cos^13: cross-polar share over the lens", 0.0, CosineFeed(8.0, 13.0),
       std::nullopt, [](const Trace&, const ApertureFigures& f) { return f.efficiency.cross_polar; },
       1.0 - lost, 5e-4},
      {"quarter-wave layer at f0 on ε 2.54: reflection", 0.0, std::nullopt,
       QuarterWaveLayer(2.54, 1.0),
       [](const Trace&, const ApertureFigures& f) { return f.efficiency.reflection; }, 0.9975, 0.0025},
      {"the same layer at 2 f0, a half wave: two bare faces (1 - 0.0508)²", 0.0, std::nullopt,
       Layer{QuarterWaveLayer(2.54, 1.0).index, QuarterWaveLayer(2.54, 2.0).thickness},
       [](const Trace&, const ApertureFigures& f) { return f.efficiency.reflection; },
       std::pow(1.0 - std::pow((std::sqrt(2.54) - 1.0) / (std::sqrt(2.54) + 1.0), 2), 2), 0.003},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    std::string error;
    const std::optional<Trace> trace =
        TraceLens(unzoned.file, *unzoned.check.outline, 2001, &error, c.feed_z);
    ASSERT_TRUE(trace) << error;
    AnalysisOptions options;
    options.wavelength = 1.0;
    options.feed_pattern = c.feed;
    options.coating = c.coating;
    if (c.feed) options.feed_q.reset();
    std::optional<ApertureFigures> fig = ComputeApertureFigures(*trace, options, &error);
    ASSERT_TRUE(fig) << error;
    double want = c.want;
    if (c.feed && c.want == 0.0) {
      // Against the ideal feed of the same Q
      AnalysisOptions ideal = options;
      ideal.feed_pattern.reset();
      ideal.feed_q = 10.32;
      const std::optional<ApertureFigures> q = ComputeApertureFigures(*trace, ideal, &error);
      ASSERT_TRUE(q);
      want = 10.0 * std::log10(q->efficiency.aperture);
    }
    EXPECT_NEAR(want, c.figure(*trace, *fig), c.tolerance);
  }
}

// A zoned lens across frequency: the 1 dB band of its phase efficiency
// against the closed form |Σ a_k e^{j2πkx}|² / (Σ a_k)², x = f/f0 - 1, with
// a_k the aperture amplitude times area of zone k at f0 (the equal-weight
// form |sin(πKx) / (K sin πx)|² when the weights are equal).
TEST(LensResponseTest, GainBandOfZonedLens) {
  const torfile::testing::Checked zoned = DesignedLens(0.5);
  ASSERT_TRUE(zoned.check.outline);
  std::string error;
  const std::optional<Trace> trace = TraceLens(zoned.file, *zoned.check.outline, 2001, &error);
  ASSERT_TRUE(trace) << error;
  AnalysisOptions options;
  options.beam = false;
  const std::optional<ApertureFigures> at_f0 = ComputeApertureFigures(*trace, options, &error);
  ASSERT_TRUE(at_f0) << error;
  std::vector<double> weights;
  for (std::size_t i = 0; i < trace->rays.size(); ++i) {
    const TubeFigures& rf = at_f0->rays[i];
    const auto zone = static_cast<std::size_t>(std::max(trace->rays[i].entry_zone, 0));
    if (weights.size() <= zone) weights.resize(zone + 1, 0.0);
    const double area = std::numbers::pi * std::fabs(rf.tube_outer * rf.tube_outer -
                                                     rf.tube_inner * rf.tube_inner);
    if (area > 0.0) weights[zone] += std::sqrt(rf.exit_power / area) * area;
  }
  ASSERT_GE(weights.size(), 3u);

  std::vector<SweepSample> traced;
  std::vector<SweepSample> closed;
  for (const double f : SweepRange{0.7, 1.3, 241}.Values()) {
    options.wavelength = 1.0 / f;
    const std::optional<ApertureFigures> fig = ComputeApertureFigures(*trace, options, &error);
    ASSERT_TRUE(fig) << error;
    // The phase efficiency alone: the (πD/λ)² growth would shift the peak
    traced.push_back({f, 10.0 * std::log10(fig->efficiency.phase)});
    std::complex<double> sum;
    double total = 0.0;
    for (std::size_t k = 0; k < weights.size(); ++k) {
      sum += std::polar(weights[k], 2.0 * std::numbers::pi * static_cast<double>(k) * (f - 1.0));
      total += weights[k];
    }
    closed.push_back({f, 10.0 * std::log10(std::norm(sum) / (total * total))});
  }
  const std::optional<SweepFigures> got = SummariseSweep(traced);
  const std::optional<SweepFigures> want = SummariseSweep(closed);
  ASSERT_TRUE(got && got->band_1db.WidthPercent() && want && want->band_1db.WidthPercent());
  EXPECT_NEAR(*want->band_1db.WidthPercent(), *got->band_1db.WidthPercent(), 0.5);
  EXPECT_NEAR(*want->band_3db.WidthPercent(), *got->band_3db.WidthPercent(), 0.8);
}

}  // namespace
}  // namespace optics
