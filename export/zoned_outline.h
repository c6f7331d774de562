#ifndef KEVRANO_EXPORT_ZONED_OUTLINE_H_
#define KEVRANO_EXPORT_ZONED_OUTLINE_H_

// The outline of a zoned lens as the tor file's mesh of nodes, linear segments
// and cubic segments, in the meridional plane (z along the axis from the
// feed, r from the axis). Node coordinates are the design's 32-bit values.
//
// Each face is walked from the axis to the edge. Inside zone boundary k (k = 1
// the outermost, NZ the innermost) the lens is k zone steps thinner; the feed
// face gives up the share FR of each step and the radiation face 1 - FR, both
// measured along the straight line that joins the two faces' corresponding
// points, which stands in for the ray inside the lens. A flat prescribed face
// becomes linear segments only; every other face becomes chained cubic
// segments, with linear segments for its zone steps. A rim segment joins the
// two edge nodes when the edge z values differ.
//
// In exact zoning each design ray is cut on its own: the depth of zone k at a
// point of a face is the face's share of the length whose cut removes k
// wavelengths of optical path from the ray through that point, measured along
// that ray (kernels/ray_cut.h). The depth then varies across a zone and the
// zone's face follows it, so a flat prescribed face that gives up a share of
// the steps becomes chained cubic segments within its zones; its outermost
// zone, not cut, stays one linear segment, and a flat face that gives up
// nothing stays a single linear segment. The ray through a point of a face is
// found by splines over the design rays against that face's radius.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "torfile/mesh.h"

namespace tor {

/// Entries each segment list holds. An outline that needs more is refused
/// rather than cut short, so a written file is always the whole lens.
inline constexpr std::size_t kSegmentCapacity = 15001;

/// The outline in file order: node n is mesh.nodes[n - 1]; segments are
/// numbered by their position in their list. The mesh's offset, dielectric
/// and unit are left to the export, which asks for them.
struct ZonedOutline {
  torfile::Mesh mesh;
  /// Cubic segments planned for the radiation face's outermost zone (the zone
  /// outside boundary 1), when that face is curved; the " ZONE: " line shows it.
  std::optional<int32_t> radiation_last_zone;
};

/// The design rays of an exact zoning, ray i at i - 1 (rays 1..NPT): the
/// feed's distance from the feed face point and the cosines of the angles
/// between the ray inside the lens and in air at each face; with the
/// refractive index and the wavelength. No rays for the standard zoning.
struct ExactCuts {
  std::span<const float> feed_distance, cos_feed, cos_radiation;
  float n = 0.0f;
  float wavelength = 0.0f;
};

/// The design data the outline is built from, named as the design routine
/// names them. Profiles hold rays 1..NPT (axial ray first), zone radii the
/// boundaries 1..NZ (outermost first).
struct ZonedLens {
  std::span<const float> ZF, RF, ZR, RR;
  int32_t NPT = 0;
  int32_t ISIDE = 0;  // prescribed face: 1 feed, 2 radiation
  int32_t ISURF = 0;  // prescribed shape: 1 flat, 2 and 3 spherical
  std::span<const float> RZF, RZR;
  int32_t NZ = 0;
  float STEP = 0.0f;
  float FR = 0.0f;  // feed face share of each zone step
  /// Exact zoning, when its rays are given; STEP is then not used.
  ExactCuts exact = {};
};

/// Why an outline could not be built.
enum class OutlineStatus {
  kBuilt,
  kTooFewPoints,        // NPT < 2: a face needs two points for its spline
  kShortProfile,        // NPT exceeds a profile table or the exact zoning's rays
  kUnknownSide,         // ISIDE is neither 1 nor 2
  kUnknownSurface,      // ISURF is not 1, 2 or 3
  kRadiiNotIncreasing,  // RF or RR does not increase strictly (or holds NaN)
  kTooManySegments,     // a segment list would exceed kSegmentCapacity
};

/// Builds the outline of the zoned lens. NZ below 0 counts as 0 (no zones) and
/// NZ beyond the zone tables as the number of boundaries they hold. On any
/// status but kBuilt the outline is left empty.
OutlineStatus BuildOutline(const ZonedLens& lens, ZonedOutline& outline);

/// The number M of cubic segments of a zone from radius `start` out to radius
/// `boundary`, on a face of mean radial profile spacing `spacing`: about one
/// per three spacings, trunc(((boundary - start) / spacing) / 3 + 1) formed in
/// double precision. Zero or negative means no segment (a boundary inside the
/// start). A quotient that is not a number (a zero spacing on a zero width, a
/// NaN radius) gives 0; one beyond the 32-bit range gives INT32_MAX upward,
/// more than any list holds, and INT32_MIN downward.
int32_t ZoneSegmentCount(float start, float boundary, float spacing);

}  // namespace tor

#endif  // KEVRANO_EXPORT_ZONED_OUTLINE_H_
