#ifndef KEVRANO_OPTICS_APERTURE_H_
#define KEVRANO_OPTICS_APERTURE_H_

// The figures of a traced lens: where the feed's power goes, the phase of
// each ray tube, the far field radiated from the lens's exit face, gain and
// directivity. Records in, numbers out; a trace can serve many wavelengths
// and feeds.
//
// Conventions (those of the trace): the feed's phase centre at the origin,
// z along the lens axis towards the aperture, ρ the distance from it, angles
// from the axis positive away from it (radians unless a name says degrees),
// lengths and the wavelength in the file's unit, powers as fractions of the
// feed's total power.
//
// The aperture model: each ray tube radiates from where it leaves the lens.
// Its field there has the tube's power spread over the annulus between the
// smoothed exit radii of its neighbours, and the phase of the optical path
// from the feed to its exit point; the far-field kernel carries the exit
// point's z. On the axis a tube therefore counts the path from the feed along
// the ray to the exit point and on along the axis to the aperture plane.
//
// The reported phase error is the wavefront error in the aperture plane: the
// optical path to the plane along the smoothed exit direction, reduced modulo
// the wavelength, about the power-weighted mean phase of the rays through.
//
// Gain and directivity have their IEEE meanings: gain counts every loss
// (spillover, blockage, reflection, dielectric loss, taper and phase) and is
// the aperture efficiency times (πD/λ)²; directivity is the gain divided by
// the dielectric-loss efficiency, since reflected and spilled power radiate
// elsewhere while absorbed power does not.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "optics/analysis.h"
#include "optics/far_field.h"

namespace optics {

/// A zone should get at least this many rays for its tubes to be sized.
inline constexpr int32_t kRaysPerZone = 5;

/// Figures of one ray and its tube.
struct TubeFigures {
  double feed_power = 0.0;    // fraction of the feed's power in the tube
  double loss_factor = 1.0;   // power kept along the path in the dielectric
  double copolar = 1.0;       // a measured feed's co-polar share of the tube's power
  double feed_phase_deg = 0.0;  // a measured feed's phase relative to the axis
  double exit_power = 0.0;    // of it, what leaves the exit face towards the aperture
  double path_to_exit = 0.0;  // optical path, feed to exit point: air + n · dielectric
  double exit_angle = 0.0;    // smoothed, of the ray leaving the lens
  double exit_radius = 0.0;   // smoothed radius of the exit point
  double path_to_plane = 0.0;  // on to the aperture plane along the smoothed direction
  double plane_radius = 0.0;   // where that direction crosses the aperture plane
  double phase_error_deg = 0.0;  // path to the plane, mod λ, about the mean phase
  double tube_inner = 0.0;  // the annulus of the exit face the tube radiates from
  double tube_outer = 0.0;
};

/// How well the rays sample the zones of the lens.
struct ZoneSampling {
  int32_t zones = 0;        // zones that rays reach the aperture through, or skip
  int32_t fewest_rays = 0;  // in any one of them (0 when a zone gets none)
  int32_t sparse_zone = 0;  // the first zone with the fewest, counted from the axis
  int32_t rays_needed = 0;  // a ray count that would give each zone kRaysPerZone; 0 when enough
};

/// Every figure of a traced lens at one wavelength and feed.
struct ApertureFigures {
  double feed_q = 0.0;
  int32_t transmitted_rays = 0;
  double rms_phase_error_deg = 0.0;  // weighted by the power leaving the exit face
  double peak_phase_error_deg = 0.0;  // largest magnitude, with its sign
  double peak_phase_radius = 0.0;     // in the aperture plane
  double max_exit_angle_deg = 0.0;      // smoothed ray tubes
  double max_raw_exit_angle_deg = 0.0;  // single rays, as traced
  int32_t folded_tubes = 0;             // tubes that still fold after smoothing
  double smoothing_width = 0.0;         // across the exit face
  PowerShares power;
  double copolar_power = 0.0;  // of the transmitted power, what forms the beam
  Efficiencies efficiency;
  double aperture_radius = 0.0;  // of the uniform aperture compared with
  double gain = 0.0;             // power ratio on the axis, every loss counted
  double directivity = 0.0;      // gain / dielectric-loss efficiency
  double uniform_gain = 0.0;     // (πD/λ)², the uniform aperture of the same diameter
  ZoneSampling sampling;
  Beam beam;
  std::vector<TubeFigures> rays;  // one for each traced ray
  std::vector<PatternPoint> pattern;
};

/// The figures of `trace` for the wavelength, feed and loss of `options`.
/// Returns nothing and sets `error` when fewer than two rays reach the
/// aperture or an option is out of range.
std::optional<ApertureFigures> ComputeApertureFigures(const Trace& trace,
                                                      const AnalysisOptions& options,
                                                      std::string* error);

}  // namespace optics

#endif  // KEVRANO_OPTICS_APERTURE_H_
