#ifndef KEVRANO_OPTICS_FAR_FIELD_H_
#define KEVRANO_OPTICS_FAR_FIELD_H_

// The far field of an axisymmetric aperture made of annuli, each lying in a
// plane z = const of its own (the annuli of the exit face of a lens).
//
// Conventions: ρ is the distance from the lens axis, z the position along it,
// θ the angle of the far-field direction from the axis (radians unless a
// name says degrees), lengths and the wavelength in one unit. Each annulus
// carries a constant complex field A e^{jφ}, whose squared magnitude is power
// per unit area. The radiation integral
//
//   E(θ) = (1 + cos θ)/2 · 2π Σ e^{jkz cos θ} ∫ A e^{jφ} J0(kρ sin θ) ρ dρ
//
// is exact on each annulus: ∫ J0(uρ) ρ dρ = ρ J1(uρ)/u. The factor
// e^{jkz cos θ} is the path from the annulus's plane to a far point in the
// direction θ, relative to the plane z = 0.

#include <complex>
#include <optional>
#include <vector>

namespace optics {

/// An annulus inner <= ρ <= outer of constant aperture field in the plane z.
struct Annulus {
  double inner = 0.0;
  double outer = 0.0;
  std::complex<double> field;
  double z = 0.0;
};

/// J1 for repeated use: a cubic Hermite table of std::cyl_bessel_j below
/// x = 32 and the Hankel asymptotic series above; within 1e-9 of
/// std::cyl_bessel_j everywhere, some hundred times faster in its middle range.
class BesselJ1 {
 public:
  BesselJ1();
  /// J1(x) for x >= 0.
  double operator()(double x) const;

 private:
  std::vector<double> j0_;
  std::vector<double> j1_;
};

/// The radiation integral of an aperture, set up once and evaluated at many
/// angles.
class RadiationIntegral {
 public:
  RadiationIntegral(const std::vector<Annulus>& aperture, double wavelength);

  /// E(θ), obliquity factor included.
  std::complex<double> Field(double theta) const;
  /// Directivity (a power ratio) in the direction θ, for a feed that
  /// radiates `total_power` in all (spillover and losses then count).
  double Directivity(double theta, double total_power) const;

 private:
  double wavenumber_;
  // Each distinct plane, and each distinct annulus radius in it with the
  // field it starts minus the field it ends, so that
  // E(θ) = Σ e^{jkz cos θ} Σ weight · g(radius), g(ρ) = ρ J1(uρ)/u.
  // The radii of plane i are radius_[first_[i]] to radius_[first_[i+1]-1].
  std::vector<double> plane_z_;
  std::vector<std::size_t> first_;
  std::vector<double> radius_;
  std::vector<std::complex<double>> weight_;
  BesselJ1 j1_;
};

/// The main beam of a pattern that peaks on the axis.
struct Beam {
  double half_power_width_deg = 0.0;        // full width between the -3 dB points
  std::optional<double> first_null_deg;     // angle from the axis of the first minimum
  std::optional<double> first_sidelobe_db;  // level of the next maximum, dB below the axis
};

/// Finds the beam of `pattern` for an aperture of diameter `diameter`: the
/// pattern is scanned in steps of sin θ of λ/(40 D) out to 12 λ/D (or to
/// 90°), and each feature is then refined. A feature not found in that range
/// is left empty (a half-power width not found is 0).
Beam FindBeam(const RadiationIntegral& pattern, double diameter, double wavelength);

/// One angle of a sampled pattern and its level in dB relative to the axis.
struct PatternPoint {
  double theta_deg = 0.0;
  double level_db = 0.0;
};

/// The pattern in dB relative to the axis at `count` angles (at least 2)
/// spread evenly from -theta_max to theta_max (degrees in, degrees out).
std::vector<PatternPoint> SamplePattern(const RadiationIntegral& pattern, double theta_max_deg,
                                        int count);

}  // namespace optics

#endif  // KEVRANO_OPTICS_FAR_FIELD_H_
