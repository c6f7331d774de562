#ifndef KEVRANO_KERNELS_SOLVERS_H_
#define KEVRANO_KERNELS_SOLVERS_H_

// Ray-surface solvers of the lens synthesis. For one ray from the feed (at the
// origin) and a known point and normal of the prescribed face, they find the
// point of the face being designed that gives the ray the required optical
// path to the reference plane z = ZREF:
//   path = l + RN·T + ZREF - ZRS,
// l the distance from the feed to the feed-side point (ZFS, RFS), T the length
// of the ray inside the lens, (ZRS, RRS) the radiation-side point.
//
// T is both the starting value and the result. The iteration corrects T by the
// path error until that error is within 1.0E-4 (absolute, in the unit of
// length), at most 161 times (162 path evaluations).

#include <cstdint>

#include "kernels/vector.h"

namespace kernels {

/// Feed-side face prescribed: (ZFS, RFS) and its unit normal VN (pointing into
/// the lens) are given; finds T and the radiation-side point (ZRS, RRS).
/// IST = 1 when converged, -1 when not (T, ZRS, RRS then hold the last pass)
/// and -1 at once, with T, ZRS, RRS untouched, when the prescribed point lies
/// at the feed. Returns the number of path evaluations made.
int LS2XY(float& ZFS, float& RFS, float P, float ZREF, float RN, const Vec3& VN, float& T,
          float& ZRS, float& RRS, int32_t& IST);

/// Radiation-side face prescribed: (ZRS, RRS) and its unit normal VN (pointing
/// into the lens, negative z component) are given; traces the axial ray
/// backwards into the lens and finds T and the feed-side point (ZFS, RFS).
/// IST = 1 when converged, -1 when not (T, ZFS, RFS then hold the last pass).
/// Returns the number of path evaluations made.
int LS1XY(float& ZFS, float& RFS, float P, float ZREF, float RN, const Vec3& VN, float& T,
          float& ZRS, float& RRS, int32_t& IST);

/// Point (ZP, RP) at signed distance S from A = (ZA, RA) on the line from A
/// towards B = (ZB, RB); beyond B when S exceeds |AB|, behind A when S < 0.
/// Returns A itself when A and B coincide, since the line has no direction.
void LNPOS(float S, float ZA, float RA, float ZB, float RB, float& ZP, float& RP);

}  // namespace kernels

#endif  // KEVRANO_KERNELS_SOLVERS_H_
