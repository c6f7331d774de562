#ifndef KEVRANO_DESIGN_EXACT_ZONING_H_
#define KEVRANO_DESIGN_EXACT_ZONING_H_

// Zoning that removes one wavelength of optical path along every design ray.
//
// Cutting a length s off the ray inside the lens at a face, along that ray,
// shortens the ray's optical path by s·(n - cos g) to first order, g the angle
// between the ray inside the lens and the ray in air on that side: the lens
// loses n·s, the air gains about s·cos g. A zone step of length d that takes
// the share FR from the feed face and 1 - FR from the radiation face therefore
// removes one wavelength when
//   d = wavelength / (FR·(n - cos gf) + (1 - FR)·(n - cos gr)),
// which is wavelength / (n - 1) for the axial ray. The zones themselves are cut
// by the exact removed path of kernels/ray_cut.h, which adds the bending of
// the feed's air ray towards a deep feed face cut. Zone boundary J lies on the
// ray whose lens path length, less the base pmin, holds J wavelengths of
// removable optical path.

#include <cstdint>
#include <span>

#include "kernels/ray_cut.h"

namespace design {

/// Cosines of the angles between a design ray inside the lens and the same
/// ray in air: at the feed face (air ray from the feed at the origin) and at
/// the radiation face (air ray along the axis).
struct RayCosines {
  float feed = 1.0f;
  float radiation = 1.0f;
};

/// The design rays of one lens, as the synthesis left them: face points of
/// rays 1..NPT (axial ray first), the prescribed face, and the material.
struct DesignRays {
  std::span<const float> ZF, RF, ZR, RR;
  int32_t NPT = 0;
  int32_t ISIDE = 0;    // prescribed face: 1 feed, 2 radiation
  int32_t ISURF = 0;    // prescribed shape: 1 flat, 2 and 3 spherical
  float edge = 0.0f;    // axial distance of the edge plane (the flat face's plane)
  float centre = 0.0f;  // feed to sphere centre
  float sphere_radius = 0.0f;
  float n = 0.0f;  // refractive index
};

/// Cosines of design ray i (1..NPT). The ray inside the lens is found by
/// refraction at the prescribed face, as the synthesis found it, so that a
/// ray of no length inside the lens (a knife edge) still has its direction;
/// should that refraction fail, the line joining the two face points serves,
/// and the axis when they coincide.
RayCosines DesignRayCosines(const DesignRays& rays, int32_t i);

/// Length along the ray inside the lens of one full zone step that removes
/// one wavelength of optical path, the share FR taken at the feed face. Not a
/// positive finite length when the material or the share allow none (n <= 1,
/// a share far outside 0..1).
float ExactStep(float wavelength, float n, float FR, RayCosines cosines);

/// Fills the cut of each design ray 1..NPT: its feed distance and cosines.
void ExactRayCuts(const DesignRays& rays, std::span<float> feed_distance, std::span<float> cos_feed,
                  std::span<float> cos_radiation);

/// Whether every design ray 1..NPT has a positive finite zone step for this
/// wavelength and share (false for n <= 1 or a share far outside 0..1).
bool ExactStepsValid(float wavelength, float n, float FR, std::span<const float> cos_feed,
                     std::span<const float> cos_radiation, int32_t NPT);

/// Path lengths that count the wavelengths of removable optical path along
/// each ray on the scale of the axial step: paths(k) = pmin + W·axial_step /
/// wavelength, W the path removed by cutting TPATH(k) - pmin off the ray, edge
/// ray first as TPATH (TPATH(k) belongs to ray N - k + 1). Zone boundary J
/// lies where this path is pmin + J·axial_step, as the lens path length does
/// in the standard zoning.
void ExactZoningPaths(std::span<const float> TPATH, std::span<const float> feed_distance,
                      std::span<const float> cos_feed, std::span<const float> cos_radiation,
                      int32_t N, float n, float FR, float wavelength, float pmin, float axial_step,
                      std::span<float> paths);

}  // namespace design

#endif  // KEVRANO_DESIGN_EXACT_ZONING_H_
