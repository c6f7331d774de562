#include "optics/coating.h"

#include <cmath>
#include <complex>
#include <numbers>

#include "optics/parse_number.h"

namespace optics {
namespace {

using Complex = std::complex<double>;

constexpr double kPi = std::numbers::pi;

/// A cosine this close to zero (grazing inside a layer) is nudged off it, so
/// that the TM admittance n / cos θ stays finite; the layer's matrix tends to
/// a finite limit there.
constexpr double kGrazing = 1e-12;

bool PositiveFinite(double x) { return x > 0.0 && std::isfinite(x); }

/// cos θ in a medium of index n for the invariant s = n sin θ; imaginary
/// where the wave is evanescent. Either root serves a layer: its matrix does
/// not change when cos θ changes sign.
Complex CosineIn(double n, double s) {
  const Complex c = std::sqrt(Complex(1.0 - (s / n) * (s / n), 0.0));
  return std::abs(c) < kGrazing ? Complex(kGrazing, 0.0) : c;
}

/// Power transmission for one polarisation; `admittance` gives the tilted
/// admittance of a medium from its index and cos θ.
template <typename Admittance>
double Transmit(double n_in, const std::vector<Layer>& layers, double n_out, double s,
                double cos_in, double wavelength, Admittance admittance) {
  const Complex y_in = admittance(n_in, Complex(cos_in, 0.0));
  const Complex y_out = admittance(n_out, CosineIn(n_out, s));
  // [B; C] = M1 M2 ... Mk [1; Y_out], multiplied from the last layer
  Complex b(1.0, 0.0);
  Complex c = y_out;
  const Complex j(0.0, 1.0);
  for (auto it = layers.rbegin(); it != layers.rend(); ++it) {
    const Complex cos_layer = CosineIn(it->index, s);
    const Complex delta = 2.0 * kPi * it->index * it->thickness * cos_layer / wavelength;
    const Complex y = admittance(it->index, cos_layer);
    const Complex cd = std::cos(delta);
    const Complex sd = std::sin(delta);
    const Complex next_b = cd * b + j * sd / y * c;
    const Complex next_c = j * y * sd * b + cd * c;
    b = next_b;
    c = next_c;
  }
  const double denominator = std::norm(y_in * b + c);
  return 4.0 * y_in.real() * y_out.real() / denominator;
}

}  // namespace

std::optional<Transmission> StackTransmission(double n_in, const std::vector<Layer>& layers,
                                              double n_out, double cos_incidence,
                                              double wavelength) {
  if (!PositiveFinite(n_in) || !PositiveFinite(n_out) || !PositiveFinite(wavelength) ||
      !(cos_incidence >= 0.0 && cos_incidence <= 1.0)) {
    return std::nullopt;
  }
  for (const Layer& layer : layers) {
    if (!PositiveFinite(layer.index) || !(layer.thickness >= 0.0) ||
        !std::isfinite(layer.thickness)) {
      return std::nullopt;
    }
  }
  // Grazing incidence, or no travelling wave in the last medium: all reflected
  const double s = n_in * std::sqrt(1.0 - cos_incidence * cos_incidence);
  if (cos_incidence == 0.0 || s >= n_out) return Transmission{0.0, 0.0};

  auto te = [](double n, Complex cos_theta) { return n * cos_theta; };
  auto tm = [](double n, Complex cos_theta) { return n / cos_theta; };
  return Transmission{Transmit(n_in, layers, n_out, s, cos_incidence, wavelength, te),
                      Transmit(n_in, layers, n_out, s, cos_incidence, wavelength, tm)};
}

Layer QuarterWaveLayer(double dielectric, double design_wavelength) {
  const double index = std::sqrt(std::sqrt(dielectric));
  return {index, design_wavelength / (4.0 * index)};
}

std::optional<double> QuarterWaveBandwidth(double dielectric, double max_reflection) {
  if (!(max_reflection > 0.0 && max_reflection < 1.0) || !PositiveFinite(dielectric)) {
    return std::nullopt;
  }
  const double n = std::sqrt(dielectric);
  if (n == 1.0) return std::nullopt;
  const double argument = max_reflection / std::sqrt(1.0 - max_reflection * max_reflection) *
                          2.0 * std::sqrt(n) / std::fabs(n - 1.0);
  if (argument >= 1.0) return std::nullopt;
  return 2.0 - 4.0 / kPi * std::acos(argument);
}

Layer CoatingSpec::ForLens(double lens_dielectric, double design_wavelength) const {
  if (quarter_wave) return QuarterWaveLayer(lens_dielectric, design_wavelength);
  return {std::sqrt(dielectric), thickness};
}

std::optional<CoatingSpec> ParseCoating(std::string_view text, std::string* error) {
  constexpr std::string_view kQuarterWave = "quarter-wave";
  const std::string shown = "'" + std::string(text) + "'";
  CoatingSpec spec;
  if (text.substr(0, kQuarterWave.size()) == kQuarterWave) {
    spec.quarter_wave = true;
    text.remove_prefix(kQuarterWave.size());
    if (text.empty()) return spec;
    const std::optional<double> f0 =
        text.front() == ':' ? detail::ParseNumber(text.substr(1)) : std::nullopt;
    if (!f0 || !(*f0 > 0.0)) {
      *error = shown + ": the design frequency after quarter-wave: is not a positive number of GHz";
      return std::nullopt;
    }
    spec.design_frequency_ghz = *f0;
    return spec;
  }
  const std::size_t colon = text.find(':');
  const std::optional<double> eps =
      colon == std::string_view::npos ? std::nullopt : detail::ParseNumber(text.substr(0, colon));
  const std::optional<double> thickness =
      colon == std::string_view::npos ? std::nullopt : detail::ParseNumber(text.substr(colon + 1));
  if (!eps || !thickness) {
    *error = shown + " is neither quarter-wave[:F0] nor EPS:THICKNESS";
    return std::nullopt;
  }
  if (!(*eps >= 1.0) || !(*thickness > 0.0)) {
    *error = shown + ": the layer needs a dielectric constant of 1 or more and a positive thickness";
    return std::nullopt;
  }
  spec.dielectric = *eps;
  spec.thickness = *thickness;
  return spec;
}

}  // namespace optics
