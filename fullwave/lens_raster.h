#ifndef KEVRANO_FULLWAVE_LENS_RASTER_H_
#define KEVRANO_FULLWAVE_LENS_RASTER_H_

// The lens as a permittivity on the (r, z) grid of a full-wave simulation.
//
// Conventions: z runs along the lens axis, r is the distance from it (r >= 0);
// lengths in any one unit. The lens section is a closed polygon in the
// (z, r) half-plane (the body of revolution's meridian, the axis part
// included); the last vertex joins the first. A grid cell of side `cell`
// centred on a point of the half-cell lattice (r = i·cell/2, z = z0 +
// j·cell/2) takes ε = 1 + f(ε_lens − 1), f the fraction of the cell's area
// inside the section (the part of a cell at r < 0 is the mirror image).

#include <optional>
#include <string>
#include <vector>

#include "torfile/geometry.h"
#include "torfile/mesh.h"
#include "torfile/outline.h"

namespace fullwave {

/// The lens to simulate: its section and material.
struct LensSection {
  std::vector<torfile::Point> outline;  // closed polygon, either orientation
  double permittivity = 1.0;            // relative, of the lens material
};

/// The section of a checked lens (cubic segments as short chords) and its
/// dielectric, in the mesh's unit.
LensSection SectionOf(const torfile::Mesh& mesh, const torfile::Outline& outline);

/// Area fractions of a lens section on the half-cell lattice of a grid.
class PermittivityMap {
 public:
  /// Rasterises `lens` for cells of side `cell` whose centres lie on the
  /// lattice through z = `z0` and r = 0. Fails (with a message) when the
  /// section has fewer than three vertices, a vertex is not finite or has
  /// r < 0, the permittivity is below 1 or the cell is not positive.
  static std::optional<PermittivityMap> Build(const LensSection& lens, double cell, double z0,
                                              std::string* error);

  /// Permittivity of the cell centred on the lattice point nearest (r, z).
  double At(double r, double z) const;
  /// Area fraction of the lens in the same cell.
  double FillFraction(double r, double z) const;

 private:
  PermittivityMap() = default;
  // Fraction of the quarter cell [ir·h, (ir+1)·h] × [zlo + iz·h, ...] inside
  // the section, h = cell / 2; row-major in z.
  double Quarter(long ir, long iz) const;

  double half_ = 0.0;     // h, half the cell
  double z_first_ = 0.0;  // z of the first quarter-cell row's lower edge
  long first_row_ = 0;    // lattice index of that row relative to z0
  long rows_ = 0;
  long columns_ = 0;
  double z0_ = 0.0;
  double permittivity_ = 1.0;
  std::vector<double> quarter_;
};

}  // namespace fullwave

#endif  // KEVRANO_FULLWAVE_LENS_RASTER_H_
