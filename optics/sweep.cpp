#include "optics/sweep.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <system_error>
#include <utility>

#include "optics/parse_number.h"

namespace optics {
namespace {

/// The frequency where the gain first falls below `bound`, walking from the
/// peak by `step` (−1 down, +1 up); empty when it stays above it.
std::optional<double> BandEdge(const std::vector<SweepSample>& s, std::size_t peak, double bound,
                               int step) {
  std::size_t i = peak;
  for (;;) {
    if (step < 0 ? i == 0 : i + 1 == s.size()) return std::nullopt;
    const std::size_t next = step < 0 ? i - 1 : i + 1;
    if (s[next].gain_db < bound) {
      // Between the last sample within the band and the first beyond it
      if (!std::isfinite(s[next].gain_db)) return s[next].frequency;
      const double share = (s[i].gain_db - bound) / (s[i].gain_db - s[next].gain_db);
      return s[i].frequency + share * (s[next].frequency - s[i].frequency);
    }
    i = next;
  }
}

}  // namespace

std::vector<double> SweepRange::Values() const {
  std::vector<double> values;
  for (int32_t i = 0; i < count; ++i) {
    values.push_back(i + 1 == count ? last : first + (last - first) * i / (count - 1));
  }
  return values;
}

std::optional<SweepRange> ParseSweepRange(std::string_view text, std::string* error) {
  const std::size_t a = text.find(':');
  const std::size_t b = a == std::string_view::npos ? a : text.find(':', a + 1);
  if (b == std::string_view::npos || text.find(':', b + 1) != std::string_view::npos) {
    *error = "'" + std::string(text) + "' is not FIRST:LAST:COUNT";
    return std::nullopt;
  }
  const std::optional<double> first = detail::ParseNumber(text.substr(0, a));
  const std::optional<double> last = detail::ParseNumber(text.substr(a + 1, b - a - 1));
  const std::string_view count_text = text.substr(b + 1);
  if (!first || !last || !(*first > 0.0) || !(*last > 0.0)) {
    *error = "the ends of '" + std::string(text) + "' are not positive numbers";
    return std::nullopt;
  }
  if (*first == *last) {
    *error = "the ends of '" + std::string(text) + "' are the same";
    return std::nullopt;
  }
  int32_t count = 0;
  const auto parsed =
      std::from_chars(count_text.data(), count_text.data() + count_text.size(), count);
  if (count_text.empty() || parsed.ec != std::errc() ||
      parsed.ptr != count_text.data() + count_text.size() || count < 2 || count > kMaxSweepPoints) {
    *error = "the count of '" + std::string(text) + "' is not a whole number from 2 to " +
             std::to_string(kMaxSweepPoints);
    return std::nullopt;
  }
  return SweepRange{*first, *last, count};
}

std::optional<double> GainBand::WidthPercent() const {
  if (!lower || !upper) return std::nullopt;
  return 100.0 * (*upper - *lower) / (0.5 * (*upper + *lower));
}

std::optional<SweepFigures> SummariseSweep(std::vector<SweepSample> samples) {
  if (samples.empty()) return std::nullopt;
  for (const SweepSample& s : samples) {
    if (!std::isfinite(s.frequency) || std::isnan(s.gain_db) || s.gain_db == HUGE_VAL) {
      return std::nullopt;
    }
  }
  std::stable_sort(samples.begin(), samples.end(),
                   [](const SweepSample& a, const SweepSample& b) { return a.frequency < b.frequency; });
  const auto peak = std::max_element(
      samples.begin(), samples.end(),
      [](const SweepSample& a, const SweepSample& b) { return a.gain_db < b.gain_db; });
  if (!std::isfinite(peak->gain_db)) return std::nullopt;
  const auto at = static_cast<std::size_t>(peak - samples.begin());
  SweepFigures fig;
  fig.peak_gain_db = peak->gain_db;
  fig.peak_frequency = peak->frequency;
  for (const auto& [band, drop] : {std::pair{&fig.band_1db, 1.0}, std::pair{&fig.band_3db, 3.0}}) {
    band->lower = BandEdge(samples, at, fig.peak_gain_db - drop, -1);
    band->upper = BandEdge(samples, at, fig.peak_gain_db - drop, +1);
  }
  return fig;
}

}  // namespace optics
