#ifndef KEVRANO_CAD_STEP_WRITER_H_
#define KEVRANO_CAD_STEP_WRITER_H_

// The lens as a solid for mechanical CAD: the closed half-profile (see
// cad/profile.h) made one plane face, revolved a full turn about the lens
// axis, and written as a STEP file (application protocol 214) in the
// profile's unit. Linear pieces become straight edges; each cubic piece
// becomes the Bezier curve of degree 3 that is the same polynomial, so the
// solid passes through every node exactly as the outline defines it. The
// profile's r runs along the solid's x axis, its z along the solid's z axis.

#include <string>

#include "cad/profile.h"

namespace cad {

/// Writes the solid of a profile to `path`. Returns false and sets `error`
/// when the profile is not sound (ProfileProblem), the solid cannot be made,
/// or the file cannot be written.
bool WriteStep(const Profile& profile, const std::string& path, std::string* error);

}  // namespace cad

#endif  // KEVRANO_CAD_STEP_WRITER_H_
