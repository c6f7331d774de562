#ifndef KEVRANO_FULLWAVE_FEED_DISC_H_
#define KEVRANO_FULLWAVE_FEED_DISC_H_

// The feed of a full-wave simulation: a Huygens source, electric and magnetic
// currents on a disc in the plane z = 0 (the feed's phase centre) radiating
// towards +z. The disc carries the tangential field E_t(ρ) of one
// polarisation and H_t = ẑ × E_t (free-space impedance 1); its far field is
//
//   E(θ) ∝ (1 + cos θ)/2 · F(k sin θ),   F(u) = 2π ∫ E_t(ρ) J0(uρ) ρ dρ.
//
// For the feed the lens analysis assumes, power pattern cos^(2Q) θ, the disc
// field is the inverse Hankel transform of F(k sin θ) = cos^Q θ · 2/(1 + cos θ)
// over the visible range u < k (nothing beyond):
//
//   E_t(ρ) = k²/(2π) ∫_0^{π/2} cos^Q θ · 2/(1 + cos θ) · J0(kρ sin θ) sin θ cos θ dθ.
//
// Lengths in any one unit; k = 2π/λ. F(0) = 1 for both discs here.

#include <optional>
#include <vector>

namespace fullwave {

/// Q of the feed power pattern cos^(2Q) θ whose power at `edge_angle`
/// (radians) lies `taper_db` below the axis; nothing unless the taper is
/// positive and 0 < edge_angle < π/2.
std::optional<double> FeedQForTaper(double taper_db, double edge_angle);

/// The feed pattern's power at θ relative to the axis, in dB (cos^(2Q) θ).
double FeedTaperDb(double q, double theta);

/// Directivity of a cos^(2Q) θ power pattern (nothing behind): 2(2Q + 1).
double FeedDirectivity(double q);

/// A disc field E_t(ρ) tabulated on [0, radius()].
class DiscField {
 public:
  /// The disc of the cos^(2Q) θ feed at wavenumber k, cut where its field has
  /// fallen to `cut` of the centre's for good (or at `max_radius`).
  static DiscField CosineFeed(double q, double wavenumber, double max_radius, double cut = 1e-4);
  /// A Gaussian disc exp(−ρ²/w²), cut at 3.5 w (field below 5e-6).
  static DiscField Gaussian(double waist, double wavenumber);

  /// E_t(ρ), linear between table points; 0 beyond the disc.
  double operator()(double rho) const;
  /// Radius of the disc.
  double radius() const { return radius_; }

 private:
  double step_ = 0.0;
  double radius_ = 0.0;
  std::vector<double> table_;
};

/// On-axis directivity of the Huygens disc of a Gaussian exp(−ρ²/w²): the
/// closed form 4π / ∫ ((1 + cos θ)/2)² exp(−(kw sin θ)²/2) dΩ over the sphere.
double GaussianDiscDirectivity(double waist, double wavenumber);

}  // namespace fullwave

#endif  // KEVRANO_FULLWAVE_FEED_DISC_H_
