#include "fullwave/near_to_far.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>
#include <vector>

namespace fullwave {
namespace {

using Complex = std::complex<double>;
constexpr double kPi = std::numbers::pi;
constexpr double kK = 2.0 * kPi;  // wavelength 1
constexpr Complex kI{0.0, 1.0};

struct Vec3 {
  Complex x, y, z;
};

// Exact field at (r, 0, z) of the circularly polarised dipole p = (1, i, 0)
// e^{iα} at (0, 0, z0), which is a field of order m = +1.
void AddDipole(double z0, Complex phase, double r, double z, Vec3* e, Vec3* h) {
  const double dx = r, dz = z - z0, d = std::hypot(dx, dz);
  const double nx = dx / d, nz = dz / d;
  const Complex px = phase, py = kI * phase;
  const Complex n_dot_p = nx * px;
  const Complex g = kK * kK * std::exp(kI * (kK * d)) / (4.0 * kPi * d);
  const Complex near = 1.0 / (kK * kK * d * d) - kI / (kK * d);
  // n × p, then (n × p) × n = p − n(n·p).
  const Vec3 nxp{-nz * py, nz * px, nx * py};
  e->x += g * (px - nx * n_dot_p + near * (3.0 * nx * n_dot_p - px));
  e->y += g * (py + near * (-py));
  e->z += g * (-nz * n_dot_p + near * (3.0 * nz * n_dot_p));
  const Complex radiating = g * (1.0 + kI / (kK * d));
  h->x += radiating * nxp.x;
  h->y += radiating * nxp.y;
  h->z += radiating * nxp.z;
}

// The closed surface |z| <= 1.25, r <= 1.25 sampled every 1/64, carrying the
// field of dipoles at the heights `z0` with the phases `phase`.
std::vector<SurfaceSample> DipoleSurface(const std::vector<double>& z0,
                                         const std::vector<Complex>& phase) {
  const double extent = 1.25, step = 1.0 / 64.0;
  const int n = static_cast<int>(std::round(extent / step));
  std::vector<SurfaceSample> out;
  auto add = [&](double r, double z, double nr, double nz, double length) {
    SurfaceSample s;
    s.r = r, s.z = z, s.normal_r = nr, s.normal_z = nz, s.length = length;
    Vec3 e{}, h{};
    for (std::size_t i = 0; i < z0.size(); ++i) AddDipole(z0[i], phase[i], r, z, &e, &h);
    s.e[0] = e.x, s.e[1] = e.y, s.e[2] = e.z;
    s.h[0] = h.x, s.h[1] = h.y, s.h[2] = h.z;
    out.push_back(s);
  };
  for (int i = 0; i <= n; ++i) {
    const double w = (i == 0 || i == n) ? 0.5 * step : step;
    add(i * step, -extent, 0.0, -1.0, w);
    add(i * step, extent, 0.0, 1.0, w);
  }
  for (int i = 0; i <= 2 * n; ++i) {
    const double w = (i == 0 || i == 2 * n) ? 0.5 * step : step;
    add(extent, -extent + i * step, 1.0, 0.0, w);
  }
  return out;
}

// A short dipole: power k⁴|p|²/(12π) through the surface and in its far
// field, directivity 1.5 cos²θ in its E-plane and 1.5 in its H-plane,
// wherever it sits on the axis.
TEST(FarFieldTest, DipoleMatchesItsClosedForm) {
  struct Case {
    const char* name;
    double z0;
  };
  const Case kCases[] = {{"dipole at the origin", 0.0}, {"dipole off the origin", 0.3}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const std::vector<SurfaceSample> surface = DipoleSurface({c.z0}, {1.0});
    const double power = SurfacePower(surface);
    EXPECT_NEAR(1.0, power / (std::pow(kK, 4) * 2.0 / (12.0 * kPi)), 1e-4);
    const FarField far(surface, kK);
    EXPECT_NEAR(1.0, far.Power(0.0, kPi) / power, 2e-3);
    const FarFieldFigures f = Figures(far, power, 1.0);
    EXPECT_NEAR(1.5, f.directivity, 1e-3);
    EXPECT_NEAR(0.5, f.forward_power, 2e-3);
    EXPECT_NEAR(0.5, f.backward_power, 2e-3);
    const PatternPoint& at60 = f.pattern.at(60);
    EXPECT_NEAR(10.0 * std::log10(1.5 * 0.25), at60.e_plane_dbi, 0.01);
    EXPECT_NEAR(10.0 * std::log10(1.5), at60.h_plane_dbi, 0.01);
  }
}

// Two dipoles a quarter wavelength apart along the axis, the far one lagging
// a quarter period: array factor 1 + e^{iπ/2(1 − cos θ)}, so four times one
// dipole's intensity forwards and none backwards.
TEST(FarFieldTest, EndFirePairRadiatesForwardOnly) {
  const FarField one(DipoleSurface({0.0}, {1.0}), kK);
  const FarField pair(DipoleSurface({0.0, 0.25}, {1.0, kI}), kK);
  EXPECT_NEAR(4.0, pair.Intensity(0.0) / one.Intensity(0.0), 0.02);
  EXPECT_LT(pair.Intensity(kPi), 1e-5 * pair.Intensity(0.0));
  EXPECT_NEAR(2.0, pair.Intensity(0.5 * kPi) / one.Intensity(0.5 * kPi), 0.02);
}

// Power pattern of a uniform circular aperture of diameter D (wavelengths)
// with the Huygens obliquity factor: ((1 + cos θ)/2)² (2 J1(x)/x)², x = πD sin θ.
double UniformAperture(double theta, double diameter) {
  const double x = kPi * diameter * std::sin(theta);
  const double o = 0.5 * (1.0 + std::cos(theta));
  const double a = x < 1e-9 ? 1.0 : 2.0 * std::cyl_bessel_j(1.0, x) / x;
  return o * o * a * a;
}

// The uniform aperture (the Huygens field of one polarisation on a disc,
// nothing elsewhere) against its closed form scanned finely: half power near
// sin θ = 0.5145 λ/D, first null at sin θ = 1.2197 λ/D, first sidelobe
// −17.57 dB less the obliquity factor there.
TEST(FarFieldTest, UniformApertureBeamFigures) {
  const double kDiameters[] = {10.0, 6.0};
  for (const double diameter : kDiameters) {
    SCOPED_TRACE(diameter);
    const double step = 1.0 / 64.0, a = 0.5 * diameter;
    const int n = static_cast<int>(std::round(a / step));
    std::vector<SurfaceSample> disc;
    for (int i = 0; i <= n; ++i) {
      SurfaceSample s;
      s.r = i * step, s.normal_z = 1.0, s.length = (i == 0 || i == n) ? 0.5 * step : step;
      s.e[0] = 1.0, s.e[1] = kI, s.h[0] = -kI, s.h[1] = 1.0;
      disc.push_back(s);
    }
    // The closed form's half-power angle and its sidelobe, by a fine scan.
    const double fine = 1e-6;
    double half = 0.0, lobe = 0.0;
    const double null = std::asin(3.831706 / (kPi * diameter));
    for (double t = 0.0; UniformAperture(t, diameter) > 0.5; t += fine) half = t;
    for (double t = null; t < 2.0 * null; t += fine)
      lobe = std::max(lobe, UniformAperture(t, diameter));
    const FarField far(disc, kK);
    const FarFieldFigures f = Figures(far, 1.0, 0.1);
    const double deg = 180.0 / kPi;
    for (const CutFigures* cut : {&f.e_plane, &f.h_plane, &f.mean}) {
      EXPECT_NEAR(2.0 * half * deg, cut->half_power_beamwidth, 0.005);
      EXPECT_NEAR(null * deg, cut->first_null, 0.005);
      EXPECT_NEAR(10.0 * std::log10(lobe), cut->first_sidelobe_db, 0.02);
    }
  }
}

}  // namespace
}  // namespace fullwave
