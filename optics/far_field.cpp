#include "optics/far_field.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>
#include <utility>

#include "textio/checked.h"

namespace optics {
namespace {

/// The table of J1 covers 0 <= x <= kTableEnd in steps of 1/kPerUnit.
constexpr int kTableUnits = 32;
constexpr double kTableEnd = kTableUnits;
constexpr int kPerUnit = 64;

/// Terms of the asymptotic series; at x >= 32 the last is below 1e-16.
constexpr int kSeriesTerms = 12;

/// J1 by the Hankel asymptotic series, for large x.
double AsymptoticJ1(double x) {
  constexpr double kMu = 4.0;  // 4 nu^2 for nu = 1
  double p = 0.0;
  double q = 0.0;
  double a = 1.0;     // a_k(nu) / x^k
  double sign = 1.0;  // (-1)^(k/2) for the even and odd terms alike
  for (int k = 0; k < kSeriesTerms; ++k) {
    if (k > 0) {
      const double odd = 2.0 * k - 1.0;
      a *= (kMu - odd * odd) / (8.0 * k * x);
    }
    if (k % 2 == 0) {
      p += sign * a;
    } else {
      q += sign * a;
      sign = -sign;
    }
  }
  const double chi = x - 0.75 * std::numbers::pi;
  return std::sqrt(2.0 / (std::numbers::pi * x)) * (p * std::cos(chi) - q * std::sin(chi));
}

}  // namespace

BesselJ1::BesselJ1() {
  const int nodes = kTableUnits * kPerUnit + 1;
  j0_.reserve(static_cast<std::size_t>(nodes));
  j1_.reserve(static_cast<std::size_t>(nodes));
  for (int i = 0; i < nodes; ++i) {
    const double x = static_cast<double>(i) / kPerUnit;
    j0_.push_back(std::cyl_bessel_j(0.0, x));
    j1_.push_back(std::cyl_bessel_j(1.0, x));
  }
}

double BesselJ1::operator()(double x) const {
  if (x >= kTableEnd) return AsymptoticJ1(x);
  // Cubic Hermite between the two nodes around x, slopes J1' = J0 - J1/x
  const double at = x * kPerUnit;
  const int32_t i = std::clamp(textio::TruncToInt32(at).value_or(0), 0, kTableUnits * kPerUnit - 1);
  const auto k = static_cast<std::size_t>(i);
  const double h = 1.0 / kPerUnit;
  const double x0 = static_cast<double>(i) * h;
  const double x1 = x0 + h;
  const double d0 = i == 0 ? 0.5 : j0_[k] - j1_[k] / x0;
  const double d1 = j0_[k + 1] - j1_[k + 1] / x1;
  const double t = at - static_cast<double>(i);
  const double t2 = t * t;
  const double t3 = t2 * t;
  return (2.0 * t3 - 3.0 * t2 + 1.0) * j1_[k] + (t3 - 2.0 * t2 + t) * h * d0 +
         (-2.0 * t3 + 3.0 * t2) * j1_[k + 1] + (t3 - t2) * h * d1;
}

RadiationIntegral::RadiationIntegral(const std::vector<Annulus>& aperture, double wavelength)
    : wavenumber_(2.0 * std::numbers::pi / wavelength) {
  // The integrand is even in ρ, so an annulus is taken at |ρ|; each distinct
  // radius of a plane gets the field that starts there minus the field that
  // ends there
  std::map<std::pair<double, double>, std::complex<double>> weights;
  for (const Annulus& a : aperture) {
    double lo = std::fabs(a.inner);
    double hi = std::fabs(a.outer);
    const std::complex<double> f = a.field;
    if (a.inner * a.outer < 0.0) {
      // Straddles the axis: the two halves add
      weights[{a.z, 0.0}] -= f;
      weights[{a.z, lo}] += f;
      weights[{a.z, 0.0}] -= f;
      weights[{a.z, hi}] += f;
      continue;
    }
    if (hi < lo) std::swap(lo, hi);
    weights[{a.z, lo}] -= f;
    weights[{a.z, hi}] += f;
  }
  for (const auto& [at, weight] : weights) {
    if (weight == std::complex<double>()) continue;
    if (plane_z_.empty() || plane_z_.back() != at.first) {
      plane_z_.push_back(at.first);
      first_.push_back(radius_.size());
    }
    radius_.push_back(at.second);
    weight_.push_back(weight);
  }
  first_.push_back(radius_.size());
}

std::complex<double> RadiationIntegral::Field(double theta) const {
  const double u = wavenumber_ * std::fabs(std::sin(theta));
  const double cos_theta = std::cos(theta);
  std::complex<double> sum;
  for (std::size_t p = 0; p < plane_z_.size(); ++p) {
    std::complex<double> plane;
    for (std::size_t i = first_[p]; i < first_[p + 1]; ++i) {
      const double rho = radius_[i];
      // g(ρ) = ∫0^ρ J0(uρ') ρ' dρ'
      const double g = u * rho < 1e-8 ? 0.5 * rho * rho : rho * j1_(u * rho) / u;
      plane += weight_[i] * g;
    }
    sum += plane_z_[p] == 0.0 ? plane : plane * std::polar(1.0, wavenumber_ * plane_z_[p] * cos_theta);
  }
  return 0.5 * (1.0 + cos_theta) * 2.0 * std::numbers::pi * sum;
}

double RadiationIntegral::Directivity(double theta, double total_power) const {
  const double wavelength = 2.0 * std::numbers::pi / wavenumber_;
  return 4.0 * std::numbers::pi * std::norm(Field(theta)) / (wavelength * wavelength * total_power);
}

namespace {

/// Power relative to the axis at sin θ = s.
double Relative(const RadiationIntegral& pattern, double axis, double s) {
  return std::norm(pattern.Field(std::asin(std::min(s, 1.0)))) / axis;
}

/// The extreme of f in [a, b] by golden-section search (a minimum when
/// `minimum`, else a maximum); returns the abscissa.
template <typename F>
double Golden(F f, double a, double b, bool minimum) {
  const double g = (std::sqrt(5.0) - 1.0) / 2.0;
  double c = b - g * (b - a);
  double d = a + g * (b - a);
  double fc = f(c);
  double fd = f(d);
  for (int i = 0; i < 60; ++i) {
    if ((fc < fd) == minimum) {
      b = d;
      d = c;
      fd = fc;
      c = b - g * (b - a);
      fc = f(c);
    } else {
      a = c;
      c = d;
      fc = fd;
      d = a + g * (b - a);
      fd = f(d);
    }
  }
  return 0.5 * (a + b);
}

double Degrees(double radians) { return radians * 180.0 / std::numbers::pi; }

}  // namespace

Beam FindBeam(const RadiationIntegral& pattern, double diameter, double wavelength) {
  Beam beam;
  const double axis = std::norm(pattern.Field(0.0));
  if (!(axis > 0.0) || !(diameter > 0.0)) return beam;
  const double step = wavelength / (40.0 * diameter);
  const double end = std::min(1.0, 12.0 * wavelength / diameter);
  auto f = [&](double s) { return Relative(pattern, axis, s); };

  // Scan out from the axis: half power, then the first minimum, then the next maximum
  enum class Looking { kHalfPower, kNull, kSidelobe } looking = Looking::kHalfPower;
  double s_prev2 = 0.0;
  double s_prev = 0.0;
  double f_prev2 = 1.0;
  double f_prev = 1.0;
  const int32_t steps = textio::TruncToInt32(std::ceil(end / step)).value_or(0);
  for (int32_t i = 1; i <= steps; ++i) {
    const double s = std::min(end, i * step);
    const double fs = f(s);
    if (looking == Looking::kHalfPower && fs < 0.5) {
      double lo = s_prev;
      double hi = s;
      for (int k = 0; k < 60; ++k) {
        const double mid = 0.5 * (lo + hi);
        (f(mid) >= 0.5 ? lo : hi) = mid;
      }
      beam.half_power_width_deg = 2.0 * Degrees(std::asin(0.5 * (lo + hi)));
      looking = Looking::kNull;
    } else if (looking == Looking::kNull && i >= 2 && f_prev < f_prev2 && f_prev <= fs) {
      beam.first_null_deg = Degrees(std::asin(Golden(f, s_prev2, s, true)));
      looking = Looking::kSidelobe;
    } else if (looking == Looking::kSidelobe && f_prev > f_prev2 && f_prev >= fs) {
      const double peak = f(Golden(f, s_prev2, s, false));
      beam.first_sidelobe_db = 10.0 * std::log10(std::max(peak, 1e-300));
      break;
    }
    s_prev2 = s_prev;
    f_prev2 = f_prev;
    s_prev = s;
    f_prev = fs;
    if (s >= end) break;
  }
  return beam;
}

std::vector<PatternPoint> SamplePattern(const RadiationIntegral& pattern, double theta_max_deg,
                                        int count) {
  std::vector<PatternPoint> points(static_cast<std::size_t>(std::max(count, 2)));
  const double axis = std::norm(pattern.Field(0.0));
  const std::size_t n = points.size();
  // The pattern is even in θ: each angle at or beyond the middle is computed
  // once and mirrored
  for (std::size_t i = n / 2; i < n; ++i) {
    const double t =
        -theta_max_deg + 2.0 * theta_max_deg * static_cast<double>(i) / static_cast<double>(n - 1);
    const double level = std::norm(pattern.Field(t * std::numbers::pi / 180.0));
    const double db = axis > 0.0 ? 10.0 * std::log10(std::max(level / axis, 1e-30)) : -300.0;
    points[i] = {t, db};
    points[n - 1 - i] = {-t, db};
  }
  return points;
}

}  // namespace optics
