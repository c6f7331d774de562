#ifndef KEVRANO_DESIGN_SHAPED_LENS_H_
#define KEVRANO_DESIGN_SHAPED_LENS_H_

// Shaped lenses: both faces synthesised from a ray mapping.
//
// Conventions:
// - The feed's phase centre is at the origin, z runs along the lens axis
//   towards the aperture, ρ is the distance from the axis. A feed ray leaves
//   at θ from the axis (tan θ = ρ/z), θ ≥ 0; angles are in radians.
// - n = sqrt(ε). The inner face (turned to the feed) meets the axis at
//   z = F (the feed distance), the outer face at z = F + T (T the thickness
//   on the axis). All lengths in one unit, whichever the caller uses.
// - The mapping g(θ) prescribes the exit height: the ray leaves the outer face
//   at ρ = g(θ), parallel to the axis.
//
// For each θ the inner point is P1 = r(θ)·(sin θ, cos θ) and the outer point
// P2 = (g(θ), z2). Equal optical path to a plane z = Z,
//   r + n·|P2 − P1| + Z − z2 = C,  C − Z = (n − 1)·T (the axial ray),
// fixes z2 by a quadratic: with V = C − Z − r + z1 and Δρ = g − ρ1,
//   z2 − z1 = [V + n·sqrt(V² − (n² − 1)·Δρ²)] / (n² − 1),
// which has no solution when V ≤ 0 (the outer face would lie at or behind the
// inner one) or V² < (n² − 1)·Δρ² (the ray inside the lens would be totally
// reflected at the outer face). Snell's law at the inner face then gives the
// inner face as the solution of
//   dr/dθ = r·n·(t·θ̂) / (1 − n·t·û),  r(0) = F,
// with û = (sin θ, cos θ), θ̂ = (cos θ, −sin θ) and t the unit vector from P1 to
// P2; a denominator reaching 0 asks for grazing incidence. The equation is
// integrated by the Dormand–Prince 5(4) pair, each step's local error in r
// held below the requested tolerance times F. The outer face then refracts every
// ray along the axis by itself.

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace design {

/// Exit height g(θ) of the feed ray leaving at θ (radians).
using ExitHeight = std::function<double(double theta)>;

/// The sine condition: g(θ) = R·sin θ / sin θm, the edge ray at height R.
ExitHeight SineMapping(double aperture_radius, double edge_angle);

/// A uniformly lit aperture of radius R for a feed whose power pattern is
/// cos^(2Q) θ: g(θ) = R·sqrt[(1 − cos^(2Q+1) θ) / (1 − cos^(2Q+1) θm)].
ExitHeight UniformMapping(double aperture_radius, double edge_angle, double feed_q);

/// The feed's Q for an edge taper of `taper_db` at `edge_angle`:
/// Q = taper / (20·log10(1/cos θe)). Nothing when the edge is not in front of
/// the feed (0 < θe < 90° needed) or the taper is negative.
std::optional<double> ShapedFeedQ(double taper_db, double edge_angle);

/// What is asked of a shaped lens.
struct ShapedLensRequest {
  double eps = 0.0;               // dielectric constant, greater than 1
  double feed_distance = 0.0;     // F: feed to the inner face on the axis
  double centre_thickness = 0.0;  // T: thickness on the axis
  double edge_angle = 0.0;        // θm: the feed angle of the lens edge, radians
  ExitHeight exit_height;         // g(θ)
  /// Largest local error of r allowed in one integration step, as a fraction of F.
  double tolerance = 1e-12;
};

/// One ray of the lens: its points on both faces and its length inside.
struct ShapedRay {
  double theta = 0.0;
  double inner_rho = 0.0, inner_z = 0.0;
  double outer_rho = 0.0, outer_z = 0.0;
  double path_in_lens = 0.0;  // |P2 − P1|
};

/// Whether a lens was found, and why not.
enum class ShapedStatus {
  kOk,
  kBadInput,              // a value out of range (see ShapedInputProblem)
  kExitTotallyReflected,  // the outer face cannot send the ray along the axis
  kGrazingEntry,          // the inner face would have to bend a ray beyond grazing
  kFacesMeet,             // the two faces touch or cross
  kFaceTurnsBack,         // a face's radius stops growing towards the edge
  kStepFailed,            // the step control could not meet its tolerance
};

/// The faces at given angles, or where the synthesis stopped.
struct ShapedFaces {
  ShapedStatus status = ShapedStatus::kBadInput;
  double failed_theta = 0.0;    // where it stopped, when status is not kOk
  std::vector<ShapedRay> rays;  // one per angle asked for (all of them when kOk)
  int steps = 0;                // integration steps taken
};

/// Where and why an outline fails its check.
struct OutlineFault {
  ShapedStatus status = ShapedStatus::kOk;
  double theta = 0.0;
};

/// Checks rays in θ order (the first on the axis) as the outline of a lens:
/// kFaceTurnsBack where the radius of a face stops growing; kFacesMeet where a
/// point of one face is not strictly on its side of the other face, or of the
/// rim beyond that face's edge. At the edge the faces may touch (a knife edge)
/// or overlap by `slack`. Nothing when the outline holds.
std::optional<OutlineFault> CheckShapedOutline(const std::vector<ShapedRay>& rays, double slack);

/// Synthesises both faces and returns them at `angles` (ascending, from 0 to
/// the edge angle). Checks the outline between the asked angles too: the
/// faces may neither meet nor turn back towards the axis anywhere.
ShapedFaces TraceShapedFaces(const ShapedLensRequest& request, const std::vector<double>& angles);

/// A designed shaped lens and its figures.
struct ShapedLens {
  ShapedStatus status = ShapedStatus::kBadInput;
  std::string problem;                 // kBadInput: what is wrong
  double failed_theta = 0.0;           // where the synthesis stopped
  std::vector<ShapedRay> rays;         // equal steps of θ from the axis to the edge
  double paraxial_focal_length = 0.0;  // f = lim g(θ)/θ as θ → 0
  double sine_deviation = 0.0;         // g(θm) / (f·sin θm) − 1
  double edge_thickness = 0.0;         // z of the outer edge point less the inner's
  /// For a lens refused for its geometry: the nearest centre thicknesses on
  /// either side that give a lens (within a relative 1e-7), when the search
  /// finds one (thicker: up to 100·(F + T), for every such refusal; thinner:
  /// down to F/1000, only for grazing entry and a face turning back).
  std::optional<double> thinner, thicker;
  int steps = 0;
};

/// Fewest and most rays of a profile.
inline constexpr int kShapedMinRays = 2;
inline constexpr int kShapedMaxRays = 3501;

/// What is out of range in `request` with `rays` rows, or an empty string.
std::string ShapedInputProblem(const ShapedLensRequest& request, int rays);

/// Designs the lens with `rays` rows in equal steps of θ. A lens that does
/// not exist comes back with its status and the nearest thicknesses that
/// would give one.
ShapedLens DesignShapedLens(const ShapedLensRequest& request, int rays);

/// One line saying why `lens` was refused (empty for a lens that exists);
/// angles in degrees, lengths in the unit the lens was asked in.
std::string ShapedRefusal(const ShapedLens& lens);

}  // namespace design

#endif  // KEVRANO_DESIGN_SHAPED_LENS_H_
