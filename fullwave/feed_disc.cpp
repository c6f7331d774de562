#include "fullwave/feed_disc.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>

#include "textio/checked.h"

namespace fullwave {
namespace {

constexpr double kPi = std::numbers::pi;

// Table points per wavelength of the disc field, and Simpson intervals of
// the transform over θ (the integrand is smooth; 4000 give 1e-10).
constexpr double kTablePerWavelength = 64.0;
constexpr int kThetaIntervals = 4000;

}  // namespace

std::optional<double> FeedQForTaper(double taper_db, double edge_angle) {
  if (!(taper_db > 0.0) || !(edge_angle > 0.0) || !(edge_angle < 0.5 * kPi)) return std::nullopt;
  return taper_db / (20.0 * std::log10(1.0 / std::cos(edge_angle)));
}

double FeedTaperDb(double q, double theta) { return 20.0 * q * std::log10(std::cos(theta)); }

double FeedDirectivity(double q) { return 2.0 * (2.0 * q + 1.0); }

DiscField DiscField::CosineFeed(double q, double wavenumber, double max_radius, double cut) {
  DiscField d;
  d.step_ = 2.0 * kPi / wavenumber / kTablePerWavelength;
  const double dt = 0.5 * kPi / kThetaIntervals;
  // The spectrum times the Jacobian, sampled once for every radius.
  std::vector<double> w(kThetaIntervals + 1);
  for (int i = 0; i <= kThetaIntervals; ++i) {
    const double t = i * dt;
    const double c = std::cos(t);
    const double simpson = (i == 0 || i == kThetaIntervals) ? 1.0 : (i % 2 ? 4.0 : 2.0);
    w[static_cast<std::size_t>(i)] = simpson * dt / 3.0 * std::pow(c, q) * 2.0 / (1.0 + c) *
                                     std::sin(t) * c * wavenumber * wavenumber / (2.0 * kPi);
  }
  double peak = 0.0;
  for (double rho = 0.0; rho <= max_radius + 1e-12; rho += d.step_) {
    double e = 0.0;
    for (int i = 0; i <= kThetaIntervals; ++i) {
      const double u = wavenumber * rho * std::sin(i * dt);
      e += w[static_cast<std::size_t>(i)] * std::cyl_bessel_j(0.0, u);
    }
    if (d.table_.empty()) peak = std::fabs(e);
    d.table_.push_back(e);
  }
  // The disc ends after the last point whose field reaches `cut` of the centre.
  std::size_t last = 0;
  for (std::size_t i = 0; i < d.table_.size(); ++i) {
    if (std::fabs(d.table_[i]) >= cut * peak) last = i;
  }
  d.table_.resize(std::min(d.table_.size(), last + 2));
  d.radius_ = static_cast<double>(d.table_.size() - 1) * d.step_;
  return d;
}

DiscField DiscField::Gaussian(double waist, double wavenumber) {
  DiscField d;
  d.step_ = 2.0 * kPi / wavenumber / kTablePerWavelength;
  const double radius = 3.5 * waist;
  for (double rho = 0.0; rho <= radius + d.step_; rho += d.step_) {
    d.table_.push_back(std::exp(-(rho * rho) / (waist * waist)));
  }
  d.radius_ = static_cast<double>(d.table_.size() - 1) * d.step_;
  return d;
}

double DiscField::operator()(double rho) const {
  if (!(rho >= 0.0) || rho > radius_ || table_.size() < 2) return 0.0;
  const double x = rho / step_;
  const auto last = static_cast<int32_t>(table_.size() - 2);
  const std::size_t i =
      static_cast<std::size_t>(std::min(textio::TruncToInt32(x).value_or(0), last));
  const double f = x - static_cast<double>(i);
  return table_[i] + f * (table_[i + 1] - table_[i]);
}

double GaussianDiscDirectivity(double waist, double wavenumber) {
  // ∫ over cos θ = c from −1 to 1 by Simpson's rule; the integrand is smooth.
  const double a = 0.5 * wavenumber * wavenumber * waist * waist;
  const int n = 20000;
  const double h = 2.0 / n;
  double sum = 0.0;
  for (int i = 0; i <= n; ++i) {
    const double c = -1.0 + i * h;
    const double simpson = (i == 0 || i == n) ? 1.0 : (i % 2 ? 4.0 : 2.0);
    const double o = 0.5 * (1.0 + c);
    sum += simpson * o * o * std::exp(-a * (1.0 - c * c));
  }
  const double integral = 2.0 * kPi * sum * h / 3.0;
  return 4.0 * kPi / integral;
}

}  // namespace fullwave
