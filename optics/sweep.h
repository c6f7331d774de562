#ifndef KEVRANO_OPTICS_SWEEP_H_
#define KEVRANO_OPTICS_SWEEP_H_

// A lens across frequency: the range of a sweep, and the figures a datasheet
// draws from gain against frequency (peak gain, 1 dB and 3 dB gain bands).
//
// Conventions: frequencies in one unit of the caller's (the command uses
// GHz); gains in dB. A band is the stretch of frequency around the peak over
// which the gain stays within its drop of the peak; its edges are
// interpolated linearly in dB between neighbouring samples.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace optics {

/// The most points one sweep takes.
inline constexpr int32_t kMaxSweepPoints = 1001;

/// From `first` to `last` in `count` equal steps (ends included).
struct SweepRange {
  double first = 0.0;
  double last = 0.0;
  int32_t count = 0;

  /// The values of the sweep; the ends exactly as given.
  std::vector<double> Values() const;
};

/// Parses "FIRST:LAST:COUNT": two different positive finite numbers and a
/// whole count from 2 to kMaxSweepPoints. Returns nothing and sets `error` to
/// what is wrong otherwise.
std::optional<SweepRange> ParseSweepRange(std::string_view text, std::string* error);

/// The gain at one frequency of a sweep.
struct SweepSample {
  double frequency = 0.0;
  double gain_db = 0.0;  // -inf where nothing is radiated
};

/// A gain band; an edge the gain does not fall to within the sweep is empty
/// ("beyond the sweep").
struct GainBand {
  std::optional<double> lower;
  std::optional<double> upper;
  /// (upper − lower) in % of their centre; empty unless both edges are found.
  std::optional<double> WidthPercent() const;
};

struct SweepFigures {
  double peak_gain_db = 0.0;
  double peak_frequency = 0.0;  // the sample of highest gain (the lowest frequency on a tie)
  GainBand band_1db;
  GainBand band_3db;
};

/// The figures of a sweep, its samples in any order of frequency. Returns
/// nothing when there is no sample, a frequency is not finite, or a gain is
/// NaN or +inf, or no gain is finite.
std::optional<SweepFigures> SummariseSweep(std::vector<SweepSample> samples);

}  // namespace optics

#endif  // KEVRANO_OPTICS_SWEEP_H_
