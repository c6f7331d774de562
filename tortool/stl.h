#ifndef KEVRANO_TORTOOL_STL_H_
#define KEVRANO_TORTOOL_STL_H_

// The lens as a solid of revolution for machining or printing: a closed,
// consistently oriented triangle mesh (outward normals) in binary STL, in
// millimetres. The outline is swept around the axis in equal angular steps;
// the two axis nodes become single poles, so every edge is shared by exactly
// two triangles. The lens keeps the file's coordinates: the feed at the
// origin, the axis along z.

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "torfile/outline.h"
#include "torfile/reader.h"

namespace tortool {

inline constexpr int32_t kDefaultStlSegments = 256;
inline constexpr int32_t kMinStlSegments = 3;
inline constexpr int32_t kMaxStlSegments = 65536;
/// Chords that stand for one cubic segment of the outline.
inline constexpr int kStlChordsPerCubic = 16;
/// Largest mesh written (about 500 MB of STL).
inline constexpr int64_t kMaxStlTriangles = 10000000;

/// Writes the binary STL of the lens with `segments` steps around the axis.
/// Returns false, writing nothing, when the mesh would exceed kMaxStlTriangles.
bool WriteStl(const torfile::Mesh& file, const torfile::Outline& outline, int32_t segments,
              std::ostream& out, std::string* error);

/// The same for the outline as a polygon in the file's unit, from the feed
/// face's axis node to the radiation face's (cad::PlanFacets chooses one for a
/// chord tolerance); the number of triangles written goes to `facets`.
bool WriteStlPolygon(const std::vector<torfile::Point>& outline_points, torfile::LengthUnit unit,
                     int32_t segments, std::ostream& out, std::string* error, int64_t* facets);

}  // namespace tortool

#endif  // KEVRANO_TORTOOL_STL_H_
