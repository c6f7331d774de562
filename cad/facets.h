#ifndef KEVRANO_CAD_FACETS_H_
#define KEVRANO_CAD_FACETS_H_

// Facets of a lens of revolution chosen for a chord tolerance T: no point of
// the lens surface lies further than T from the triangle mesh.
//
// Conventions as in cad/outline_path.h: the outline in the (z, r) half-plane,
// in the file's unit; the mesh sweeps it about the z axis in equal steps.
//
// The tolerance is shared in two halves. Along the outline, each cubic
// segment is cut into chords of equal parameter step h; the distance from the
// curve to its chord is at most h^2/8 times the largest length of the second
// derivative, which sets h for T/2. Around the axis, a ring of radius r cut
// into N chords leaves the sagitta r (1 - cos(pi/N)), which sets N for T/2 at
// the lens radius. The swept chord polygon lies within T/2 of the surface
// (turn the nearest chord point with the surface point), and every quad of
// the mesh is a plane trapezoid whose chords lie within T/2 of that swept
// polygon, so the two halves add up to T.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "torfile/geometry.h"
#include "torfile/mesh.h"
#include "torfile/outline.h"

namespace cad {

/// Fewest and most steps around the axis a mesh may take.
inline constexpr int32_t kMinStepsAround = 3;
inline constexpr int32_t kMaxStepsAround = 65536;
/// Most chords one cubic segment may be cut into.
inline constexpr int32_t kMaxChordsPerCubic = 65536;
/// The smallest tolerance, as a share of the lens's largest coordinate: the
/// mesh vertices are single-precision reals, good to about 1e-7 of it.
inline constexpr double kSmallestRelativeTolerance = 1e-6;

/// Steps around the axis that keep the sagitta of a ring of `radius` within
/// `sagitta` (at least kMinStepsAround). Nothing when more than
/// kMaxStepsAround would be needed or the arguments are not positive and finite.
std::optional<int32_t> StepsAroundAxis(double radius, double sagitta);

/// Chords of equal parameter step that keep a cubic within `deviation` of
/// its chord polygon. Nothing when more than kMaxChordsPerCubic would be needed.
std::optional<int32_t> ChordsAlong(const torfile::Cubic& cubic, double deviation);

/// The mesh for a tolerance: the outline as a polygon from the feed face's
/// axis node to the radiation face's (repeated points dropped, the ends on
/// the axis) and the steps around the axis.
struct FacetPlan {
  std::vector<torfile::Point> polygon;
  int32_t steps_around = 0;
};

/// Plans the facets of a checked outline for the chord tolerance, in the
/// file's unit. Returns nothing and sets `error` when the tolerance is not a
/// positive number, is finer than single precision can hold, or needs more
/// chords or steps than the limits above.
std::optional<FacetPlan> PlanFacets(const torfile::Mesh& mesh, const torfile::Outline& outline,
                                    double tolerance, std::string* error);

/// Triangles of a polygon of `points` swept `steps` times about the axis: two
/// per quad, one per step where a ring is a pole on the axis.
int64_t FacetCount(std::size_t points, int32_t steps);

}  // namespace cad

#endif  // KEVRANO_CAD_FACETS_H_
