#ifndef KEVRANO_KERNELS_VECTOR_H_
#define KEVRANO_KERNELS_VECTOR_H_

// Single-precision 3-vectors and the refraction of a ray at a lens surface.
// Components are (axial z, radial r, third); in a meridional trace the third
// component is 0, but the routines treat all three alike.

#include <array>
#include <cstdint>

namespace kernels {

/// A direction, normal or point: three 32-bit reals.
using Vec3 = std::array<float, 3>;

/// Scalar product U·V, summed from 0 in component order 1, 2, 3.
float DOT(const Vec3& U, const Vec3& V);

/// W = S1·U + S2·V, component by component.
void VLINC(float S1, const Vec3& U, float S2, const Vec3& V, Vec3& W);

/// Direction DOUT of the ray DIN after refraction from index RN1 into RN2 at a
/// surface with unit normal SN, oriented to the side the ray passes into
/// (DIN·SN >= 0). IOK = 1 when a refracted ray was formed. IOK = 0 with
/// DOUT = SN on total internal reflection or grazing refraction; IOK = 0 with
/// DOUT unchanged when the bent ray has no length (degenerate inputs).
void RRDIR(const Vec3& DIN, const Vec3& SN, float RN1, float RN2, Vec3& DOUT, int32_t& IOK);

}  // namespace kernels

#endif  // KEVRANO_KERNELS_VECTOR_H_
