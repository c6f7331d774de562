#ifndef KEVRANO_OPTICS_ANALYSIS_H_
#define KEVRANO_OPTICS_ANALYSIS_H_

// Geometrical-optics analysis of the lens of a tor file: a trace of rays from
// the feed through the lens (outline in, per-ray records out), and the
// figures of merit computed from those records (records in, numbers out).
//
// Conventions:
// - The feed's phase centre is at the origin of the stored coordinates
//   (before the ZLOFF offset), or moved along the axis to z = feed_z, and
//   radiates towards +z. z runs along the lens
//   axis, r (ρ in the aperture) is the distance from it. Angles are measured
//   from the axis, positive away from it; records hold radians.
// - Lengths and the wavelength are in the file's unit.
// - The lens is the region the outline encloses with the axis, revolved
//   about the axis, of refractive index n = sqrt(ε). Linear segments are
//   straight; a cubic segment is the cubic through its four nodes at
//   parameters 0, 1/3, 2/3, 1.
// - Rays run in the meridional plane; a ray that crosses the axis goes on in
//   the mirror half of the plane (its r turns negative).
// - The aperture plane is z = the largest z of the outline.
// - Feed power pattern cos^(2Q) θ for θ < 90°, nothing behind; or a
//   measured feed's E- and H-plane cuts (optics/feed_pattern.h), of which
//   only the co-polar part (A + B)/2 forms the beam.
// - An anti-reflection layer, when given, lies on both faces; each ray meets
//   it at its own angle of incidence. Its thickness changes neither the
//   rays' paths nor their phases.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "optics/coating.h"
#include "optics/far_field.h"
#include "optics/feed_pattern.h"
#include "torfile/geometry.h"
#include "torfile/mesh.h"
#include "torfile/outline.h"

namespace optics {

/// Power transmission of a face for the two polarisations.
struct Fresnel {
  double te = 1.0;  // electric field normal to the plane of incidence
  double tm = 1.0;  // electric field in the plane of incidence
  double Mean() const { return 0.5 * (te + tm); }
};

/// Fresnel power transmission from index n1 into n2 at an angle of incidence
/// whose cosine is `cos_incidence`; zero for both under total internal
/// reflection.
Fresnel FresnelTransmission(double cos_incidence, double n1, double n2);

/// Q of the feed pattern cos^(2Q) θ whose power towards `edge_angle` lies
/// `taper_db` below the axis; nothing when the edge is not in front of the
/// feed or the taper is negative.
std::optional<double> FeedQForEdgeTaper(double taper_db, double edge_angle);

/// Fraction of the feed's total power radiated beyond θ: cos^(2Q+1) θ
/// (0 at and beyond 90°).
double FeedPowerBeyond(double q, double theta);

/// What became of a ray.
enum class RayFate {
  kTransmitted,      // through both faces and on towards the aperture plane
  kMissed,           // passed the lens by
  kBlockedByStep,    // met a zone-step wall, going in or coming out
  kBlockedByRim,     // met the rim, going in or coming out
  kMetLensAgain,     // after leaving, met the lens once more
  kTotalReflection,  // reflected whole at a face
  kTurnedBack,       // left the lens travelling away from the aperture
};

/// Short name of a fate, as the CSV writes it.
const char* FateName(RayFate fate);

/// One ray of the trace.
struct RayRecord {
  double theta = 0.0;  // angle from the axis at the feed
  RayFate fate = RayFate::kMissed;
  torfile::Point entry;          // where it meets the lens (when it does)
  torfile::Point exit;           // where it leaves (when it does)
  double exit_angle = 0.0;       // of the ray leaving the lens
  double path_to_exit = 0.0;     // optical path, feed to exit point: air + n · dielectric
  double length_in_lens = 0.0;   // geometric length in the dielectric
  Fresnel entry_face;            // transmission where it enters
  Fresnel exit_face;             // transmission where it leaves
  double entry_cos = 1.0;        // cosine of the angle of incidence where it enters
  double exit_cos = 1.0;         // the same inside the lens where it leaves
  int32_t entry_zone = -1;       // zone steps between the entry and the axis along its face
  int32_t exit_zone = -1;        // the same for the exit
};

/// The whole trace: rays at equal steps of θ from the axis to the lens edge
/// (the last a millionth inside it, so that a knife edge is not grazed).
struct Trace {
  double index = 1.0;        // n = sqrt(ε)
  double edge_angle = 0.0;   // largest angle from the axis at which the feed sees the lens
  double origin_edge_angle = 0.0;  // the same seen from the origin, where the edge taper sets Q
  double feed_z = 0.0;             // the feed's phase centre on the axis
  double lens_radius = 0.0;  // largest r of the outline
  double aperture_z = 0.0;   // the aperture plane
  std::vector<RayRecord> rays;
};

/// Traces `rays` rays (at least 2) through the lens from the feed at
/// z = `feed_z` on the axis. Returns nothing and sets `error` when the lens
/// cannot be analysed: the feed lies inside the lens or on it, or the lens is
/// not in front of the feed.
std::optional<Trace> TraceLens(const torfile::Mesh& file, const torfile::Outline& outline,
                               int32_t rays, std::string* error, double feed_z = 0.0);

struct AnalysisOptions {
  double wavelength = 1.0;
  double edge_taper_db = 10.0;  // picks Q unless feed_q is given
  std::optional<double> feed_q;
  std::optional<FeedPattern> feed_pattern;  // a measured feed: replaces Q and the edge taper
  std::optional<Layer> coating;             // on both faces
  double tan_delta = 0.0;
  int pattern_angles = 721;
  bool beam = true;  // find the beam and sample the pattern (a sweep needs neither)
};

/// Where the feed's power goes; the six shares add up to 1.
struct PowerShares {
  double spilled = 0.0;      // beyond the lens edge: cos^(2Q+1) of the edge angle
  double missed = 0.0;       // within the edge angle but past the lens (a grazing edge ray)
  double blocked = 0.0;      // zone steps, rim, turned away
  double reflected = 0.0;    // at the faces, total internal reflection included
  double absorbed = 0.0;     // in the dielectric
  double transmitted = 0.0;  // reaches the aperture
};

/// The efficiency budget: each factor a fraction, their product the aperture
/// efficiency (gain over that of the uniform aperture of the same diameter).
/// Spillover (spilled and missed), blockage, reflection and dielectric loss
/// are each taken on their own, so that none changes with another's cause.
struct Efficiencies {
  double spillover = 1.0;
  double taper = 1.0;
  double phase = 1.0;
  double blockage = 1.0;
  double reflection = 1.0;
  double dielectric = 1.0;
  double cross_polar = 1.0;  // a measured feed's co-polar share of the power leaving the lens
  double aperture = 1.0;
};

}  // namespace optics

#endif  // KEVRANO_OPTICS_ANALYSIS_H_
