#include "optics/sweep.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numbers>
#include <optional>
#include <string>
#include <vector>

namespace optics {
namespace {

constexpr double kPi = std::numbers::pi;

/// Gain samples of `gain_db` at the values of a sweep.
std::vector<SweepSample> Sample(const SweepRange& range,
                                const std::function<double(double)>& gain_db) {
  std::vector<SweepSample> samples;
  for (const double f : range.Values()) samples.push_back({f, gain_db(f)});
  return samples;
}

/// Phase efficiency of K zones of equal weight at f = f0 (1 + x), each zone
/// k off by 2πkx: |sin(πKx) / (K sin πx)|², in dB.
std::function<double(double)> ZonedGainDb(int k, double f0) {
  return [k, f0](double f) {
    const double x = f / f0 - 1.0;
    if (std::fabs(x) < 1e-15) return 0.0;
    const double ratio = std::sin(kPi * k * x) / (k * std::sin(kPi * x));
    return 10.0 * std::log10(ratio * ratio);
  };
}

// The 1 dB and 3 dB bands of an equal-weight zoned lens, swept at 30 GHz
// ± 30 % in 601 points, against the tabled closed form (to its three
// decimals): full width Δf/f0.
TEST(SweepTest, ZonedLensBandsMatchTheClosedForm) {
  struct Case {
    int zones;
    double band_1db;
    double band_3db;  // 0: not tabled
  };
  const Case kCases[] = {{2, 0.300, 0.0},   {3, 0.184, 0.310}, {4, 0.135, 0.0},
                         {5, 0.107, 0.180}, {6, 0.088, 0.0},   {8, 0.066, 0.0},
                         {10, 0.053, 0.089}, {12, 0.044, 0.0}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::to_string(c.zones) + " zones");
    const std::optional<SweepFigures> fig =
        SummariseSweep(Sample({21.0, 39.0, 601}, ZonedGainDb(c.zones, 30.0)));
    ASSERT_TRUE(fig);
    EXPECT_DOUBLE_EQ(30.0, fig->peak_frequency);
    EXPECT_DOUBLE_EQ(0.0, fig->peak_gain_db);
    ASSERT_TRUE(fig->band_1db.WidthPercent());
    EXPECT_NEAR(100.0 * c.band_1db, *fig->band_1db.WidthPercent(), 0.06);
    EXPECT_NEAR(30.0 * (1.0 - c.band_1db / 2.0), *fig->band_1db.lower, 0.02);
    if (c.band_3db > 0.0) {
      ASSERT_TRUE(fig->band_3db.WidthPercent());
      EXPECT_NEAR(100.0 * c.band_3db, *fig->band_3db.WidthPercent(), 0.06);
    }
  }
}

TEST(SweepTest, BandEdgesAndBeyondTheSweep) {
  struct Case {
    const char* name;
    SweepRange range;
    std::function<double(double)> gain_db;
    double peak_frequency;
    std::optional<double> lower_1db, upper_1db, lower_3db, upper_3db;
  };
  auto triangle = [](double f) { return 30.0 - std::fabs(f - 30.0); };
  auto uniform = [](double f) { return 20.0 * std::log10(f); };  // (πD/λ)²
  const Case kCases[] = {
      {"linear flanks: edges exact", {25.0, 35.0, 21}, triangle, 30.0, 29.0, 31.0, 27.0, 33.0},
      {"the same swept downwards", {35.0, 25.0, 21}, triangle, 30.0, 29.0, 31.0, 27.0, 33.0},
      {"edges between samples interpolated", {25.0, 35.0, 9}, triangle, 30.0, 29.0, 31.0, 27.0,
       33.0},
      {"gain rising to the top: upper edges beyond", {28.0, 32.0, 41}, uniform, 32.0,
       32.0 / std::pow(10.0, 0.05), std::nullopt, std::nullopt, std::nullopt},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const std::optional<SweepFigures> fig = SummariseSweep(Sample(c.range, c.gain_db));
    ASSERT_TRUE(fig);
    EXPECT_NEAR(c.peak_frequency, fig->peak_frequency, 1e-12);
    const std::optional<double> want[] = {c.lower_1db, c.upper_1db, c.lower_3db, c.upper_3db};
    const std::optional<double> got[] = {fig->band_1db.lower, fig->band_1db.upper,
                                         fig->band_3db.lower, fig->band_3db.upper};
    for (std::size_t k = 0; k < 4; ++k) {
      SCOPED_TRACE("edge " + std::to_string(k));
      ASSERT_EQ(want[k].has_value(), got[k].has_value());
      if (want[k]) {
        EXPECT_NEAR(*want[k], *got[k], 2e-3);
      }
    }
    EXPECT_EQ(c.upper_1db.has_value(), fig->band_1db.WidthPercent().has_value());
  }
  EXPECT_FALSE(SummariseSweep({}));
  EXPECT_FALSE(SummariseSweep({{30.0, std::nan("")}}));
  EXPECT_FALSE(SummariseSweep({{30.0, -HUGE_VAL}}));
}

TEST(SweepTest, ParsesRanges) {
  struct Case {
    const char* text;
    int32_t count;  // 0: refused
    const char* error;
  };
  const Case kCases[] = {
      {"26:34:41", 41, ""},
      {"34:26:5", 5, ""},
      {"+26:3.4e1:2", 2, ""},
      {"26:34", 0, "'26:34' is not FIRST:LAST:COUNT"},
      {"26:34:5:6", 0, "'26:34:5:6' is not FIRST:LAST:COUNT"},
      {"0:34:5", 0, "the ends of '0:34:5' are not positive numbers"},
      {"a:34:5", 0, "the ends of 'a:34:5' are not positive numbers"},
      {"26:26:5", 0, "the ends of '26:26:5' are the same"},
      {"26:34:1", 0, "the count of '26:34:1' is not a whole number from 2 to 1001"},
      {"26:34:1002", 0, "the count of '26:34:1002' is not a whole number from 2 to 1001"},
      {"26:34:4.5", 0, "the count of '26:34:4.5' is not a whole number from 2 to 1001"},
      {"26:34:", 0, "the count of '26:34:' is not a whole number from 2 to 1001"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.text);
    std::string error;
    const std::optional<SweepRange> range = ParseSweepRange(c.text, &error);
    EXPECT_EQ(c.error, error);
    ASSERT_EQ(c.count > 0, range.has_value());
    if (!range) continue;
    const std::vector<double> values = range->Values();
    ASSERT_EQ(static_cast<std::size_t>(c.count), values.size());
    EXPECT_EQ(range->first, values.front());
    EXPECT_EQ(range->last, values.back());
  }
  const std::vector<double> v = SweepRange{26.0, 34.0, 5}.Values();
  EXPECT_EQ((std::vector<double>{26.0, 28.0, 30.0, 32.0, 34.0}), v);
}

}  // namespace
}  // namespace optics
