#include "kernels/solvers.h"

#include <cmath>

namespace kernels {

namespace {

/// Path error, in the unit of length, at which a ray counts as converged.
constexpr float kPathTolerance = 1.0E-4f;

/// Corrections of T beyond which a ray counts as not converging: the path is
/// evaluated at most kMaxCorrections + 1 times.
constexpr int32_t kMaxCorrections = 161;

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
  int32_t k = 0;
  IST = 1;
  int evaluations = 0;
  for (;;) {
    ZRS = v[0] * T + ZFS;
    RRS = v[1] * T + RFS;
    const float path = RN * T + ell + ZREF - ZRS;
    ++evaluations;
    const float e = P - path;
    if (std::fabs(e) <= kPathTolerance) return evaluations;
    if (k >= kMaxCorrections) {
      IST = -1;
      return evaluations;
    }
    k = k + 1;
    T = T + e;
  }
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
  int32_t k = 0;
  IST = 1;
  int evaluations = 0;
  for (;;) {
    ZFS = v[0] * T + ZRS;
    RFS = v[1] * T + RRS;
    const float ell = std::sqrt(ZFS * ZFS + RFS * RFS);
    const float path = RN * T + ell + ZREF - ZRS;
    ++evaluations;
    const float e = P - path;
    if (std::fabs(e) <= kPathTolerance) return evaluations;
    if (k >= kMaxCorrections) {
      IST = -1;
      return evaluations;
    }
    k = k + 1;
    T = T + e;
  }
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
