#ifndef KEVRANO_DESIGN_PROFILE_H_
#define KEVRANO_DESIGN_PROFILE_H_

// Pieces of the lens profile synthesis that stand on their own: the ray count
// of a radial step and the point and normal of the prescribed face at a ray.

#include <cstdint>
#include <optional>

#include "kernels/vector.h"
#include "textio/layout.h"

namespace design {

/// The profile table of a report: its heading, and a row of both faces'
/// axial coordinates and radii and the lens path length.
extern const textio::Layout kProfileHeading;
extern const textio::Layout kProfileRow;

/// Number of rays N = trunc(R/dr + 1.4) for lens radius R and radial step dr.
/// The quotient and the sum are formed in double from the 32-bit values, with
/// 1.4 held as the 32-bit 1.39999998, so that R = 8 with dr = 5 gives 2.
/// Returns nothing when the sum is not finite or leaves the 32-bit range.
std::optional<int32_t> RayCount(float R, float dr);

/// What PlacePrescribedPoint found at a ray.
enum class FacePoint {
  kPlaced,         // z and VN hold the point's axial coordinate and normal
  kUnknownFace,    // ISURF names no face: z and VN keep what they held
  kOutsideSphere,  // the ray radius exceeds the sphere radius: z and VN kept
};

/// Axial coordinate z and unit normal VN of the prescribed face at radius r.
/// ISURF 1 is the plane z = E; 2 the sphere of radius rhos centred at (D, 0)
/// on its far side (z = D + h), 3 on its near side (z = D - h), with
/// h = sqrt(rhos^2 - r^2). The normal points into the lens along the ray:
/// towards +z for the feed face (odd ISIDE), towards -z for the radiation face
/// (even ISIDE). The third component of VN is left as it is.
FacePoint PlacePrescribedPoint(int32_t ISIDE, int32_t ISURF, float r, float E, float D,
                               float rhos, float& z, kernels::Vec3& VN);

}  // namespace design

#endif  // KEVRANO_DESIGN_PROFILE_H_
