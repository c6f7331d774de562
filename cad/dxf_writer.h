#ifndef KEVRANO_CAD_DXF_WRITER_H_
#define KEVRANO_CAD_DXF_WRITER_H_

// The lens's half-profile as a drawing for a lathe program: the closed
// outline of a checked lens (see cad/outline_path.h) as a DXF file (AutoCAD
// 2000 format) in the file's unit, the drawing's x along the lens axis (the
// outline's z, as stored before ZLOFF) and its y the radius (the outline's r).
//
// Layers: "faces" holds both faces with their zone steps, "rim" the rim,
// "axis" the line along the axis that closes the profile. Each run of
// consecutive linear segments of one layer is one polyline; each run of
// consecutive cubic segments is one spline of degree 3 made of the pieces'
// Bezier curves, joined at knots of multiplicity 3, so that it passes through
// every node exactly as the outline defines it. The header names the unit
// ($INSUNITS) and the exact extents of the curves ($EXTMIN, $EXTMAX).

#include <string>

#include "torfile/mesh.h"
#include "torfile/outline.h"

namespace cad {

inline constexpr const char* kFacesLayer = "faces";
inline constexpr const char* kRimLayer = "rim";
inline constexpr const char* kAxisLayer = "axis";

/// Writes the drawing of a checked outline to `path`. Returns false and sets
/// `error` when the file cannot be written in full (a file cut short is
/// removed).
bool WriteDxf(const torfile::Mesh& mesh, const torfile::Outline& outline, const std::string& path,
              std::string* error);

}  // namespace cad

#endif  // KEVRANO_CAD_DXF_WRITER_H_
