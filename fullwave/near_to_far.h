#ifndef KEVRANO_FULLWAVE_NEAR_TO_FAR_H_
#define KEVRANO_FULLWAVE_NEAR_TO_FAR_H_

// Far field of a body-of-revolution field of angular order m = +1 from its
// frequency-domain values on a closed surface of revolution.
//
// Conventions: cylindrical (r, φ, z), z along the axis; θ from +z. Time
// dependence e^{−iωt}, so an outgoing wave goes as e^{ikR}. Every field has
// the form F(r, z) e^{iφ}: at φ = 0 its (r, φ, z) components are those
// stored. Units with ε0 = μ0 = 1 (free-space impedance 1), as the FDTD engine
// uses. Such a field is the circularly polarised part of a linearly (x)
// polarised one on a symmetric body; with E_θ = A(θ) e^{iφ} and E_φ = C(θ) e^{iφ}
// the linear field has E_θ = A cos φ and E_φ = iC sin φ, so |A| is its
// E-plane cut and |C| its H-plane cut, and both have the same directivity on
// the axis.
//
// The transform: equivalent currents J = n × H, M = −n × E on the surface;
// N = ∮ J e^{−ik r̂·r'} dS, L likewise with M; U = k²/(32π²) (|L_φ + N_θ|² +
// |L_θ − N_φ|²). The φ' integrals are closed forms:
// ∫ e^{−ia cos φ'} e^{inφ'} dφ' = 2π (−i)^n J_n(a), a = k r' sin θ, n = 0, 1, 2.

#include <complex>
#include <vector>

namespace fullwave {

/// One sample of the field on the surface's generating curve.
struct SurfaceSample {
  double r = 0.0;
  double z = 0.0;
  double normal_r = 0.0;  // outward unit normal, (r, z) parts
  double normal_z = 0.0;
  double length = 0.0;        // length of the generating curve it stands for
  std::complex<double> e[3];  // E_r, E_φ, E_z at φ = 0
  std::complex<double> h[3];  // H_r, H_φ, H_z at φ = 0
};

/// Power through the surface, ½ Re ∮ (E × H*)·n dS.
double SurfacePower(const std::vector<SurfaceSample>& surface);

/// J0 and J1 for repeated use: cubic Hermite interpolation in a table of
/// std::cyl_bessel_j up to the largest argument asked for at construction
/// (within 1e-8), std::cyl_bessel_j itself beyond.
class BesselTable {
 public:
  explicit BesselTable(double max_argument);
  /// J0(x) and J1(x) for x >= 0.
  void operator()(double x, double* j0, double* j1) const;

 private:
  double step_;
  std::vector<double> j0_;
  std::vector<double> j1_;
};

/// The far field of one closed surface's field, evaluated at any angle.
class FarField {
 public:
  FarField(std::vector<SurfaceSample> surface, double wavenumber);

  /// E_θ and E_φ at φ = 0, scaled so that |E_θ|² + |E_φ|² is the radiation
  /// intensity U(θ) (power per steradian).
  struct Direction {
    std::complex<double> e_theta;
    std::complex<double> e_phi;
  };
  Direction At(double theta) const;
  /// U(θ); the same at every φ.
  double Intensity(double theta) const;
  /// Power radiated into θ1 <= θ <= θ2, 2π ∫ U sin θ dθ.
  double Power(double theta1, double theta2) const;

 private:
  std::vector<SurfaceSample> surface_;
  double wavenumber_;
  BesselTable bessel_;
};

/// Beam figures of one pattern cut (angles in degrees, levels in dB below the
/// axis); negative when the cut has no such feature before 90°.
struct CutFigures {
  double half_power_beamwidth = -1.0;
  double first_null = -1.0;
  double first_sidelobe_angle = -1.0;
  double first_sidelobe_db = 0.0;
};

/// One angle of the pattern cuts, directivities in dBi.
struct PatternPoint {
  double theta_deg = 0.0;
  double e_plane_dbi = 0.0;
  double h_plane_dbi = 0.0;
  double mean_dbi = 0.0;  // the mean of the two cuts' powers
};

/// What the far field gives for a feed of total power `feed_power`.
struct FarFieldFigures {
  double directivity = 0.0;  // on the axis, 4π U(0) / feed_power (power ratio)
  CutFigures e_plane;
  CutFigures h_plane;
  CutFigures mean;              // of the mean of both cuts' powers
  double forward_power = 0.0;   // fraction of the feed power into θ < 90°
  double backward_power = 0.0;  // and into θ > 90°
  std::vector<PatternPoint> pattern;
};

/// The figures, with the pattern cuts sampled every `step_deg` over 0..180°.
FarFieldFigures Figures(const FarField& far, double feed_power, double step_deg = 0.1);

}  // namespace fullwave

#endif  // KEVRANO_FULLWAVE_NEAR_TO_FAR_H_
