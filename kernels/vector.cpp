#include "kernels/vector.h"

#include <cmath>
#include <cstddef>

namespace kernels {

float DOT(const Vec3& U, const Vec3& V) {
  float sum = 0.0f;
  for (std::size_t i = 0; i < 3; ++i) sum = sum + U[i] * V[i];
  return sum;
}

void VLINC(float S1, const Vec3& U, float S2, const Vec3& V, Vec3& W) {
  for (std::size_t i = 0; i < 3; ++i) W[i] = S1 * U[i] + S2 * V[i];
}

void RRDIR(const Vec3& DIN, const Vec3& SN, float RN1, float RN2, Vec3& DOUT, int32_t& IOK) {
  // Cosine of the angle of incidence, and Q = (RN2 cos(refraction angle))^2.
  const float gamma = DOT(DIN, SN);
  const float q = RN2 * RN2 - (RN1 * RN1) * (1.0f - gamma * gamma);

  // Total internal reflection, or a ray bent exactly along the surface (and a
  // NaN, which is not greater than 0 either): no refracted ray.
  if (!(q > 0.0f)) {
    DOUT = SN;
    IOK = 0;
    return;
  }

  // Bent ray G = RN1·DIN + s·SN, of length RN2 for unit inputs.
  const float s = std::sqrt(q) - RN1 * gamma;
  Vec3 g{};
  VLINC(RN1, DIN, s, SN, g);

  // Normalise by the computed length rather than by RN2, so that DOUT is a
  // unit vector to rounding even when the inputs are not quite unit.
  const float length = std::sqrt(DOT(g, g));
  if (length > 0.0f) {
    for (std::size_t i = 0; i < 3; ++i) DOUT[i] = g[i] / length;
    IOK = 1;
  } else {
    IOK = 0;
  }
}

}  // namespace kernels
