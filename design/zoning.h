#ifndef KEVRANO_DESIGN_ZONING_H_
#define KEVRANO_DESIGN_ZONING_H_

// Pieces of the lens zoning that stand on their own: the knots of the splines
// that give a face radius for a lens path length, the zone count, and the note
// on zone boundaries the splines reach only by extrapolation.

#include <cstdint>
#include <span>
#include <string>

namespace design {

/// How the zone steps are cut. kStandard cuts every step to the same length
/// along the line joining the two faces' corresponding points (one wavelength
/// of optical path for a ray crossing the lens parallel to the axis); kExact
/// cuts each step so that it removes one wavelength of optical path along the
/// ray that actually crosses the lens there.
enum class ZoningMode { kStandard, kExact };

/// Choices of a run that are made on the command line, not in the dialogue.
struct DesignOptions {
  ZoningMode zoning = ZoningMode::kStandard;
};

/// Knots of the zoning splines, from the path lengths TPATH(1..N) (edge ray
/// first) and the face radii of the same rays. The knots' path lengths
/// increase strictly. Of a run of rays with equal path lengths only the ray
/// nearest the axis is kept: the solver carried that ray's path length
/// unchanged to the rays after it while their path error stayed within its
/// tolerance, so it is the one ray of the run whose radius belongs to the
/// value. The axial ray is always kept when its path length is finite. A ray
/// whose path length does not fall below that of every ray inside it is
/// dropped as well. Returns the number of knots written to the three outputs.
int32_t ZoningKnots(std::span<const float> TPATH, std::span<const float> feed_radii,
                    std::span<const float> radiation_radii, int32_t N,
                    std::span<float> knot_paths, std::span<float> knot_feed_radii,
                    std::span<float> knot_radiation_radii);

/// Whether a lens can be zoned, and if not, why.
enum class ZoneVerdict {
  kCounted,          // NZ zones (none when NZ <= 0)
  kNoStep,           // the zone step is zero, negative or not finite
  kCountOutOfRange,  // the zone count is not finite or leaves the 32-bit range
  kTooManyZones,     // more zones than the zone tables hold
  kPathDoesNotVary,  // fewer than two distinct path lengths to interpolate
  kShareOutOfRange,  // exact zoning: the feed face's share lies outside 0..1
};

struct ZoneCount {
  ZoneVerdict verdict = ZoneVerdict::kCounted;
  int32_t NZ = 0;  // the count when kCounted, else 0
};

/// Zone count NZ = trunc((axial_path - pmin)/STEP), the quotient in 32 bits.
/// A positive count needs at least two spline knots and at most max_zones.
ZoneCount CountZones(float axial_path, float pmin, float STEP, int32_t knots,
                     int32_t max_zones);

/// The line that follows the zone rows when zone boundaries lie outside the
/// range [shortest, longest] of path lengths the zoning splines were fitted
/// to: it names them, those beyond the edge ray (a path length below the
/// shortest) and those inside the axial ray (above the longest), and says
/// their radii are extrapolated. Boundary j lies at path length j*STEP + PMIN
/// for j = 1..zones. Empty when every boundary lies within the range.
std::string ExtrapolatedBoundariesLine(int32_t zones, float STEP, float PMIN, float shortest,
                                       float longest);

}  // namespace design

#endif  // KEVRANO_DESIGN_ZONING_H_
