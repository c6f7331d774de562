#ifndef KEVRANO_TORTOOL_REGIME_NOTE_H_
#define KEVRANO_TORTOOL_REGIME_NOTE_H_

// Where a ray trace of a lens is likely to be off, and which way: below ten
// wavelengths across, diffraction (which rays leave out) adds directivity to
// an unzoned lens; zone step walls diffract, so a zoned lens has less
// directivity and higher sidelobes than traced.

#include <cstdint>
#include <string>

#include "torfile/mesh.h"
#include "torfile/outline.h"

namespace tortool {

/// One summary row naming the likely error of the trace of a lens of
/// `diameter_wavelengths` with `zone_steps` steps, and the full-wave check
/// when `fullwave_built`; empty when the trace can be trusted.
std::string RegimeNote(double diameter_wavelengths, int32_t zone_steps, bool fullwave_built);

/// The same row for a checked lens at `wavelength` (in the mesh's unit),
/// naming the full-wave check when this build has it.
std::string RegimeNote(const torfile::Mesh& mesh, const torfile::Outline& outline,
                       double wavelength);

}  // namespace tortool

#endif  // KEVRANO_TORTOOL_REGIME_NOTE_H_
