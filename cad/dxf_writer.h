#ifndef KEVRANO_CAD_DXF_WRITER_H_
#define KEVRANO_CAD_DXF_WRITER_H_

// The lens's half-profile as a drawing for a lathe program: a DXF file
// (AutoCAD 2000 format) in the profile's unit, the drawing's x along the lens
// axis (the profile's z) and its y the radius (the profile's r).
//
// Layers: "faces" holds both faces with their zone steps, "rim" the rim,
// "axis" the line along the axis that closes the profile. Each run of
// consecutive linear pieces of one layer is one polyline; each run of
// consecutive cubic pieces is one spline of degree 3 made of the pieces'
// Bezier curves, joined at knots of multiplicity 3, so that it passes through
// every node exactly as the outline defines it. The header names the unit
// ($INSUNITS) and the exact extents of the curves ($EXTMIN, $EXTMAX).

#include <string>

#include "cad/profile.h"

namespace cad {

inline constexpr const char* kFacesLayer = "faces";
inline constexpr const char* kRimLayer = "rim";
inline constexpr const char* kAxisLayer = "axis";

/// Writes the drawing of a profile to `path`. Returns false and sets `error`
/// when the profile is not sound (ProfileProblem) or the file cannot be
/// written in full.
bool WriteDxf(const Profile& profile, const std::string& path, std::string* error);

}  // namespace cad

#endif  // KEVRANO_CAD_DXF_WRITER_H_
