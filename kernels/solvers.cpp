#include "kernels/solvers.h"

#include <cmath>

namespace kernels {

namespace {

/// Path error, in the unit of length, at which a ray counts as converged.
constexpr float kPathTolerance = 1.0E-4f;

/// Corrections of T beyond which a ray counts as not converging: the path is
/// evaluated at most kMaxCorrections + 1 times.
constexpr int32_t kMaxCorrections = 161;

/// The fixed-point iteration both solvers share: `path(T)` places the point
/// for the lens path length T and returns the ray's optical path; T is
/// corrected by the remaining error until it is within the tolerance or the
/// corrections run out (IST = -1). Returns the number of evaluations.
template <typename Path>
int CorrectPathLength(float P, float& T, int32_t& IST, Path path) {
  int32_t k = 0;
  IST = 1;
  int evaluations = 0;
  for (;;) {
    const float L = path(T);
    ++evaluations;
    const float e = P - L;
    if (std::fabs(e) <= kPathTolerance) return evaluations;
    if (k >= kMaxCorrections) {
      IST = -1;
      return evaluations;
    }
    k = k + 1;
    T = T + e;
  }
}

}  // namespace

int LS2XY(float& ZFS, float& RFS, float P, float ZREF, float RN, const Vec3& VN, float& T,
          float& ZRS, float& RRS, int32_t& IST) {
  // Ray from the feed to the prescribed feed-side point.
  Vec3 w{ZFS, RFS, 0.0f};
  const float ell = std::sqrt(RFS * RFS + ZFS * ZFS + w[2] * w[2]);
  if (ell == 0.0f) {
    // A point at the feed gives the ray no direction.
    IST = -1;
    return 0;
  }
  for (float& c : w) c = c / ell;

  // Bend the ray into the lens. A ray that cannot be refracted goes on along
  // the surface normal, which is what RRDIR leaves in V.
  Vec3 v = VN;
  int32_t refracted = 0;
  RRDIR(w, VN, 1.0f, RN, v, refracted);

  // Fixed-point iteration on the equal-path condition.
  return CorrectPathLength(P, T, IST, [&](float t) {
    ZRS = v[0] * t + ZFS;
    RRS = v[1] * t + RFS;
    return RN * t + ell + ZREF - ZRS;
  });
}

int LS1XY(float& ZFS, float& RFS, float P, float ZREF, float RN, const Vec3& VN, float& T,
          float& ZRS, float& RRS, int32_t& IST) {
  // The axial ray leaving the aperture, followed backwards towards the feed,
  // and bent into the lens at the prescribed radiation-side point.
  const Vec3 d{-1.0f, 0.0f, 0.0f};
  Vec3 v = VN;
  int32_t refracted = 0;
  RRDIR(d, VN, 1.0f, RN, v, refracted);

  // Fixed-point iteration on the equal-path condition.
  return CorrectPathLength(P, T, IST, [&](float t) {
    ZFS = v[0] * t + ZRS;
    RFS = v[1] * t + RRS;
    const float ell = std::sqrt(ZFS * ZFS + RFS * RFS);
    return RN * t + ell + ZREF - ZRS;
  });
}

void LNPOS(float S, float ZA, float RA, float ZB, float RB, float& ZP, float& RP) {
  const float dz = ZB - ZA;
  const float dr = RB - RA;
  const float length = std::sqrt(dz * dz + dr * dr);
  if (length == 0.0f) {
    ZP = ZA;
    RP = RA;
    return;
  }
  ZP = ZA + dz * S / length;
  RP = RA + dr * S / length;
}

}  // namespace kernels
