#ifndef KEVRANO_CAD_STEP_WRITER_H_
#define KEVRANO_CAD_STEP_WRITER_H_

// The lens as a solid for mechanical CAD: the closed outline of a checked
// lens (see cad/outline_path.h) made one plane face, revolved a full turn
// about the lens axis, and written as a STEP file (application protocol 214)
// in the file's unit. Linear segments become straight edges; each cubic
// segment becomes the Bezier curve of degree 3 that is the same polynomial,
// so the solid passes through every node exactly as the outline defines it.
// The outline's r runs along the solid's x axis, its z (as stored, before
// ZLOFF) along the solid's z axis.

#include <string>

#include "torfile/mesh.h"
#include "torfile/outline.h"

namespace cad {

/// Writes the solid of a checked outline to `path`. Returns false and sets
/// `error` when the solid cannot be made or the file cannot be written (a
/// file cut short is removed).
bool WriteStep(const torfile::Mesh& mesh, const torfile::Outline& outline, const std::string& path,
               std::string* error);

}  // namespace cad

#endif  // KEVRANO_CAD_STEP_WRITER_H_
