#ifndef KEVRANO_OPTICS_FEED_PATTERN_H_
#define KEVRANO_OPTICS_FEED_PATTERN_H_

// The feed: its far field on the E and H planes, as an ideal cos^Q θ field or
// as cuts read from a CSV file.
//
// Conventions:
// - θ is the angle from the lens axis at the feed's reference point, in
//   radians (the file gives degrees), 0 ≤ θ ≤ π.
// - A(θ) is the field on the E plane, B(θ) on the H plane, complex, relative
//   to an arbitrary level. Phases follow exp(jωt): a longer path lags, and a
//   phase centre d in front of the reference point (towards the lens) adds
//   +360°·d·cos θ / λ.
// - On a body of revolution the field at azimuth φ is A cos φ θ̂ − B sin φ φ̂;
//   its power averaged over φ is (|A|² + |B|²)/2 and its φ-independent
//   co-polar part is (A + B)/2, the only part the lens turns into the beam on
//   its axis. The rest, |A − B|²/4 of the power (half cross-polar, half the
//   co-polar cos 2φ term), is lost to that beam.
// - A sampled pattern is interpolated linearly in θ, in dB and in unwrapped
//   phase; there is no field beyond its last angle. The ideal feed has field
//   cos^Q θ on both planes in front of the feed (θ < 90°), none behind.

#include <complex>
#include <istream>
#include <optional>
#include <string>
#include <vector>

namespace optics {

/// One row of a feed file, angles in degrees.
struct FeedSample {
  double theta_deg = 0.0;
  double e_plane_db = 0.0;
  double h_plane_db = 0.0;
  double e_plane_phase_deg = 0.0;
  double h_plane_phase_deg = 0.0;
};

/// The fields of the two planes at one angle.
struct PlaneFields {
  std::complex<double> e_plane;
  std::complex<double> h_plane;
  /// The φ-independent co-polar field (A + B)/2.
  std::complex<double> CoPolar() const { return 0.5 * (e_plane + h_plane); }
};

/// Phase centres in wavelengths along the axis, positive in front of the
/// reference point (towards the lens); empty where the pattern carries no
/// phase or its main beam holds no fit.
struct PhaseCentre {
  std::optional<double> e_plane;
  std::optional<double> h_plane;
  std::optional<double> co_polar;  // of (A + B)/2: the one the lens sees
};

/// A feed pattern, set up once and evaluated at many angles.
class FeedPattern {
 public:
  /// The ideal feed of power pattern cos^(2Q) θ; `q` must be finite and ≥ 0.
  static FeedPattern Cosine(double q);

  /// A pattern from samples at strictly increasing angles from 0 to at most
  /// 180°, at least two (the reader checks this). `has_phase` says whether
  /// the samples' phases count; without them the field is real.
  static FeedPattern Sampled(const std::vector<FeedSample>& samples, bool has_phase);

  /// The fields at θ, relative to the strongest level of the file (or 1 on
  /// the axis of the ideal feed); zero beyond the last angle.
  PlaneFields Fields(double theta) const;

  /// Fraction of the feed's total power radiated beyond θ (1 at 0, 0 at and
  /// beyond the last angle).
  double PowerBeyond(double theta) const;

  /// Share of the power within `theta_edge` of the axis that the φ-varying
  /// terms carry: ∫|A − B|²/4 sin θ dθ / ∫(|A|² + |B|²)/2 sin θ dθ over
  /// [0, theta_edge]; 0 when no power falls there.
  double CrossPolarShare(double theta_edge) const;

  /// The phase centres by least squares of phase(θ) = c + 360°·d·cos θ
  /// over each main beam: from the axis to where the level first falls
  /// 10 dB below its value on the axis, weighted evenly in θ.
  PhaseCentre FindPhaseCentre() const;

  /// Whether the feed carries phases (a file with phase columns).
  bool has_phase() const { return has_phase_; }
  /// The ideal feed's Q, empty for a sampled pattern.
  std::optional<double> q() const { return q_; }
  /// The last angle with a field (90° for the ideal feed).
  double last_angle() const;

 private:
  friend std::optional<FeedPattern> ReadFeedPattern(std::istream& in, const std::string& name,
                                                    std::string* error);
  FeedPattern() = default;
  /// Integral of (|A|² + |B|²)/2 sin θ from 0 to θ, unnormalised.
  double PowerUpTo(double theta) const;

  std::optional<double> q_;
  bool has_phase_ = false;
  // Sampled pattern: angles (radians), levels in dB below the strongest
  // level of the file, unwrapped phases (radians), and the power integral
  // up to each angle.
  std::vector<double> theta_;
  std::vector<double> e_db_;
  std::vector<double> h_db_;
  std::vector<double> e_phase_;
  std::vector<double> h_phase_;
  std::vector<double> cumulative_;
};

/// Reads a feed file: a header line `theta_deg,e_plane_db,h_plane_db`,
/// optionally followed by `,e_plane_phase_deg,h_plane_phase_deg` (the columns
/// in any order), then one row per angle, angles in degrees strictly
/// increasing from 0 to at most 180. Blank lines and lines starting with '#'
/// are skipped. Returns nothing and sets `error` to "NAME:LINE: what" for a
/// file it cannot use.
std::optional<FeedPattern> ReadFeedPattern(std::istream& in, const std::string& name,
                                           std::string* error);

}  // namespace optics

#endif  // KEVRANO_OPTICS_FEED_PATTERN_H_
