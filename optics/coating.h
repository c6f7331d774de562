#ifndef KEVRANO_OPTICS_COATING_H_
#define KEVRANO_OPTICS_COATING_H_

// Power transmission of a lens face through thin loss-free layers, by the
// characteristic matrix of each layer.
//
// Conventions:
// - Plane waves meet plane-parallel layers; each ray meets its face at its
//   own angle, the layers are taken as flat there.
// - The incidence medium, the layers in the order the wave crosses them and
//   the medium beyond all have real refractive indices (loss-free).
// - Angles are measured from the face normal; the incidence angle is given
//   by its cosine in the first medium.
// - Thicknesses and the wavelength (in free space) share one unit.
// - TE: electric field normal to the plane of incidence; TM: in it.
// - With no layer the result is the Fresnel transmission of the bare face.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace optics {

/// One homogeneous layer.
struct Layer {
  double index = 1.0;      // refractive index, sqrt of the dielectric constant
  double thickness = 0.0;  // in the unit of the wavelength
};

/// Power transmission for the two polarisations; reflection is 1 - each,
/// since the layers take nothing.
struct Transmission {
  double te = 1.0;
  double tm = 1.0;
  /// The figure for a wave of both polarisations in equal parts.
  double Mean() const { return 0.5 * (te + tm); }
};

/// Transmission from a medium of index `n_in`, through `layers`, into a
/// medium of index `n_out`, at the angle of incidence whose cosine (in the
/// first medium) is `cos_incidence`, for the free-space `wavelength`. Zero
/// for both polarisations when the wave is reflected whole (the angle in the
/// last medium beyond grazing). Returns nothing for an index, thickness or
/// wavelength that is not a positive finite number (thickness zero allowed),
/// or a cosine outside [0, 1].
std::optional<Transmission> StackTransmission(double n_in, const std::vector<Layer>& layers,
                                              double n_out, double cos_incidence,
                                              double wavelength);

/// The ideal single anti-reflection layer between air and a dielectric of
/// constant `dielectric`: index ε^(1/4) (dielectric constant √ε), a quarter
/// wave thick inside the layer at the free-space wavelength `design_wavelength`:
/// λ0 / (4 ε^(1/4)).
Layer QuarterWaveLayer(double dielectric, double design_wavelength);

/// Full fractional bandwidth Δf/f0 over which the quarter-wave layer keeps the
/// amplitude reflection at normal incidence below `max_reflection` (|Γ|, so
/// 0.1 for R below 1 %), from the transformer's closed form
/// 2 − (4/π)·acos(Γm/√(1−Γm²) · 2√n/|n−1|), n = √ε. Returns nothing when the
/// bare face already reflects less than the bound (the band is unlimited),
/// for ε = 1, or a bound outside (0, 1).
std::optional<double> QuarterWaveBandwidth(double dielectric, double max_reflection);

/// A layer as the command line names it: "quarter-wave" (the ideal layer for
/// the lens, a quarter wave at a design frequency in GHz, or at the frequency
/// analysed when none is given) or "EPS:THICKNESS" (its dielectric constant
/// and thickness in the lens file's unit).
struct CoatingSpec {
  bool quarter_wave = false;
  std::optional<double> design_frequency_ghz;  // quarter-wave only
  double dielectric = 1.0;                     // EPS:THICKNESS only
  double thickness = 0.0;

  /// The layer on a lens of constant `lens_dielectric`, for the free-space
  /// wavelength `design_wavelength` of the quarter-wave layer (unused for an
  /// explicit layer).
  Layer ForLens(double lens_dielectric, double design_wavelength) const;
};

/// Parses a CoatingSpec; returns nothing and sets `error` for anything else,
/// a dielectric constant below 1, or a thickness or frequency that is not a
/// positive finite number.
std::optional<CoatingSpec> ParseCoating(std::string_view text, std::string* error);

}  // namespace optics

#endif  // KEVRANO_OPTICS_COATING_H_
