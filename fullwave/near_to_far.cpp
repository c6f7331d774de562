#include "fullwave/near_to_far.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <functional>
#include <numbers>
#include <utility>

#include "textio/checked.h"

namespace fullwave {
namespace {

using Complex = std::complex<double>;
constexpr double kPi = std::numbers::pi;
constexpr double kDeg = kPi / 180.0;
constexpr Complex kI{0.0, 1.0};

// Nearest whole number of a count computed in reals (0 when out of range).
std::size_t RoundCount(double x) {
  return static_cast<std::size_t>(std::max(0, textio::TruncToInt32(std::round(x)).value_or(0)));
}

// The φ' integrals of one ring of a current (r, φ, z components) for the
// direction θ at φ = 0, in Cartesian components; `i0`, `i1`, `i2` are
// 2π(−i)^n J_n(k r sin θ).
struct Cartesian {
  Complex x, y, z;
};
Cartesian RingIntegral(const Complex (&c)[3], Complex i0, Complex i1, Complex i2) {
  // cos φ' e^{iφ'} = (e^{2iφ'} + 1)/2 and sin φ' e^{iφ'} = (e^{2iφ'} − 1)/(2i).
  const Complex cos_part = 0.5 * (i2 + i0);
  const Complex sin_part = (i2 - i0) / (2.0 * kI);
  return {c[0] * cos_part - c[1] * sin_part, c[0] * sin_part + c[1] * cos_part, c[2] * i1};
}

// Bisection for the angle in [a, b] where f changes sign.
double Crossing(const std::function<double(double)>& f, double a, double b) {
  const bool fa_negative = f(a) < 0.0;
  for (int i = 0; i < 50; ++i) {
    const double m = 0.5 * (a + b);
    if ((f(m) < 0.0) == fa_negative) {
      a = m;
    } else {
      b = m;
    }
  }
  return 0.5 * (a + b);
}

// Golden-section search for the extremum of f in [a, b] (a minimum when
// `minimum`, else a maximum).
double Extremum(const std::function<double(double)>& f, double a, double b, bool minimum) {
  const double g = 0.5 * (std::sqrt(5.0) - 1.0);
  const double sign = minimum ? 1.0 : -1.0;
  double c = b - g * (b - a), d = a + g * (b - a);
  double fc = sign * f(c), fd = sign * f(d);
  for (int i = 0; i < 60; ++i) {
    if (fc < fd) {
      b = d;
      d = c;
      fd = fc;
      c = b - g * (b - a);
      fc = sign * f(c);
    } else {
      a = c;
      c = d;
      fc = fd;
      d = a + g * (b - a);
      fd = sign * f(d);
    }
  }
  return 0.5 * (a + b);
}

// Figures of one cut from its samples `v` (every `step` radians from 0) and
// the pattern `f` itself for the refinement.
CutFigures Cut(const std::vector<double>& v, double step, const std::function<double(double)>& f) {
  CutFigures out;
  const double peak = v.front();
  if (!(peak > 0.0)) return out;
  const std::size_t quarter = RoundCount(0.5 * kPi / step);
  std::size_t i = 1;
  while (i < v.size() && i <= quarter && v[i] >= 0.5 * peak) ++i;
  if (i >= v.size() || i > quarter) return out;
  const double half = Crossing([&](double t) { return f(t) - 0.5 * peak; },
                               static_cast<double>(i - 1) * step, static_cast<double>(i) * step);
  out.half_power_beamwidth = 2.0 * half / kDeg;
  while (i + 1 < v.size() && i < quarter && !(v[i] <= v[i - 1] && v[i] < v[i + 1])) ++i;
  if (i + 1 >= v.size() || i >= quarter) return out;
  const double null =
      Extremum(f, static_cast<double>(i - 1) * step, static_cast<double>(i + 1) * step, true);
  out.first_null = null / kDeg;
  ++i;
  while (i + 1 < v.size() && i < quarter && !(v[i] >= v[i - 1] && v[i] > v[i + 1])) ++i;
  if (i + 1 >= v.size() || i >= quarter) return out;
  const double lobe =
      Extremum(f, static_cast<double>(i - 1) * step, static_cast<double>(i + 1) * step, false);
  out.first_sidelobe_angle = lobe / kDeg;
  out.first_sidelobe_db = 10.0 * std::log10(f(lobe) / peak);
  return out;
}

double Dbi(double ratio) { return ratio > 0.0 ? 10.0 * std::log10(ratio) : -300.0; }

}  // namespace

BesselTable::BesselTable(double max_argument) : step_(1.0 / 32.0) {
  const std::size_t n = RoundCount(std::max(1.0, max_argument) / step_) + 2;
  for (std::size_t i = 0; i <= n; ++i) {
    const double x = static_cast<double>(i) * step_;
    j0_.push_back(std::cyl_bessel_j(0.0, x));
    j1_.push_back(std::cyl_bessel_j(1.0, x));
  }
}

void BesselTable::operator()(double x, double* j0, double* j1) const {
  const double u = x / step_;
  if (!(x >= 0.0) || u >= static_cast<double>(j0_.size() - 1)) {
    *j0 = std::cyl_bessel_j(0.0, x);
    *j1 = std::cyl_bessel_j(1.0, x);
    return;
  }
  const std::size_t i = RoundCount(std::floor(u));
  const double t = u - static_cast<double>(i);
  // Cubic Hermite on [x_i, x_i+1] with J0' = −J1 and J1' = J0 − J1/x (J1'(0) = 1/2).
  const double h00 = (1.0 + 2.0 * t) * (1.0 - t) * (1.0 - t), h10 = t * (1.0 - t) * (1.0 - t);
  const double h01 = t * t * (3.0 - 2.0 * t), h11 = t * t * (t - 1.0);
  const double xa = static_cast<double>(i) * step_, xb = xa + step_;
  const double d1a = i == 0 ? 0.5 : j0_[i] - j1_[i] / xa;
  const double d1b = j0_[i + 1] - j1_[i + 1] / xb;
  *j0 = h00 * j0_[i] + h01 * j0_[i + 1] - step_ * (h10 * j1_[i] + h11 * j1_[i + 1]);
  *j1 = h00 * j1_[i] + h01 * j1_[i + 1] + step_ * (h10 * d1a + h11 * d1b);
}

double SurfacePower(const std::vector<SurfaceSample>& surface) {
  double sum = 0.0;
  for (const SurfaceSample& s : surface) {
    const Complex radial = s.e[1] * std::conj(s.h[2]) - s.e[2] * std::conj(s.h[1]);
    const Complex axial = s.e[0] * std::conj(s.h[1]) - s.e[1] * std::conj(s.h[0]);
    sum += (s.normal_r * radial.real() + s.normal_z * axial.real()) * 2.0 * kPi * s.r * s.length;
  }
  return 0.5 * sum;
}

namespace {
double LargestRadius(const std::vector<SurfaceSample>& surface) {
  double r = 0.0;
  for (const SurfaceSample& s : surface) r = std::max(r, s.r);
  return r;
}
}  // namespace

FarField::FarField(std::vector<SurfaceSample> surface, double wavenumber)
    : surface_(std::move(surface)),
      wavenumber_(wavenumber),
      bessel_(wavenumber * LargestRadius(surface_)) {}

FarField::Direction FarField::At(double theta) const {
  const double st = std::sin(theta), ct = std::cos(theta);
  Cartesian n{}, l{};
  for (const SurfaceSample& s : surface_) {
    // Equivalent currents J = n × H and M = −n × E (no φ part in n).
    const Complex j[3] = {-s.normal_z * s.h[1], s.normal_z * s.h[0] - s.normal_r * s.h[2],
                          s.normal_r * s.h[1]};
    const Complex m[3] = {s.normal_z * s.e[1], -(s.normal_z * s.e[0] - s.normal_r * s.e[2]),
                          -s.normal_r * s.e[1]};
    const double a = wavenumber_ * s.r * st;
    double j0 = 0.0, j1 = 0.0;
    bessel_(a, &j0, &j1);
    const double j2 = a > 1e-6 ? 2.0 * j1 / a - j0 : a * a / 8.0;
    const Complex i0 = 2.0 * kPi * j0;
    const Complex i1 = -2.0 * kPi * kI * j1;
    const Complex i2 = -2.0 * kPi * j2;
    const Complex weight = s.r * s.length * std::exp(Complex(0.0, -wavenumber_ * s.z * ct));
    const Cartesian jn = RingIntegral(j, i0, i1, i2);
    const Cartesian mn = RingIntegral(m, i0, i1, i2);
    n.x += weight * jn.x;
    n.y += weight * jn.y;
    n.z += weight * jn.z;
    l.x += weight * mn.x;
    l.y += weight * mn.y;
    l.z += weight * mn.z;
  }
  // θ̂ = (cos θ, 0, −sin θ) and φ̂ = ŷ at φ = 0.
  const Complex n_theta = n.x * ct - n.z * st, n_phi = n.y;
  const Complex l_theta = l.x * ct - l.z * st, l_phi = l.y;
  const double scale = wavenumber_ / (4.0 * kPi * std::sqrt(2.0));
  return {scale * (l_phi + n_theta), -scale * (l_theta - n_phi)};
}

double FarField::Intensity(double theta) const {
  const Direction d = At(theta);
  return std::norm(d.e_theta) + std::norm(d.e_phi);
}

double FarField::Power(double theta1, double theta2) const {
  // Simpson's rule on about 0.1° steps: the patterns are smooth on that scale.
  const double n = 2.0 * static_cast<double>(std::max<std::size_t>(
                             1, RoundCount((theta2 - theta1) / (0.2 * kDeg))));
  const double h = (theta2 - theta1) / n;
  double sum = 0.0;
  const std::size_t last = RoundCount(n);
  for (std::size_t i = 0; i <= last; ++i) {
    const double t = theta1 + static_cast<double>(i) * h;
    const double simpson = (i == 0 || i == last) ? 1.0 : (i % 2 ? 4.0 : 2.0);
    sum += simpson * Intensity(t) * std::sin(t);
  }
  return 2.0 * kPi * sum * h / 3.0;
}

FarFieldFigures Figures(const FarField& far, double feed_power, double step_deg) {
  FarFieldFigures out;
  const double step = step_deg * kDeg;
  const std::size_t count = RoundCount(180.0 / step_deg) + 1;
  std::vector<double> e(count), h(count), mean(count);
  const double to_directivity = 4.0 * kPi / feed_power;
  for (std::size_t i = 0; i < count; ++i) {
    const double t = static_cast<double>(i) * step;
    const FarField::Direction d = far.At(t);
    e[i] = 2.0 * std::norm(d.e_theta);
    h[i] = 2.0 * std::norm(d.e_phi);
    mean[i] = 0.5 * (e[i] + h[i]);
    out.pattern.push_back({static_cast<double>(i) * step_deg, Dbi(to_directivity * e[i]),
                           Dbi(to_directivity * h[i]), Dbi(to_directivity * mean[i])});
  }
  out.directivity = to_directivity * mean.front();
  out.e_plane = Cut(e, step, [&](double t) { return 2.0 * std::norm(far.At(t).e_theta); });
  out.h_plane = Cut(h, step, [&](double t) { return 2.0 * std::norm(far.At(t).e_phi); });
  out.mean = Cut(mean, step, [&](double t) { return far.Intensity(t); });
  // Power forward and backward: the trapezoidal rule on the samples of U.
  const std::size_t quarter = (count - 1) / 2;
  for (std::size_t i = 0; i + 1 < count; ++i) {
    const double t0 = static_cast<double>(i) * step, t1 = t0 + step;
    const double piece =
        kPi * step * (mean[i] * std::sin(t0) + mean[i + 1] * std::sin(t1)) / feed_power;
    (i < quarter ? out.forward_power : out.backward_power) += piece;
  }
  return out;
}

}  // namespace fullwave
