#include "design/exact_zoning.h"

#include <cmath>

#include "design/profile.h"
#include "kernels/vector.h"
#include "textio/checked.h"

namespace design {
namespace {

using kernels::Vec3;
using textio::At;

/// Unit direction of the design ray inside the lens, from the feed face
/// towards the radiation face.
Vec3 InLensDirection(const DesignRays& rays, int32_t i) {
  const float zf = At(rays.ZF, i);
  const float rf = At(rays.RF, i);
  const float zr = At(rays.ZR, i);
  const float rr = At(rays.RR, i);

  // Refraction at the prescribed face, with its normal into the lens
  const bool feed_prescribed = rays.ISIDE == 1;
  const float radius = feed_prescribed ? rf : rr;
  float z = 0.0f;
  Vec3 normal{};
  if (PlacePrescribedPoint(rays.ISIDE, rays.ISURF, radius, rays.edge, rays.centre,
                           rays.sphere_radius, z, normal) == FacePoint::kPlaced) {
    int32_t ok = 0;
    Vec3 bent{};
    if (feed_prescribed) {
      const float l = std::sqrt(zf * zf + rf * rf);
      if (l > 0.0f) kernels::RRDIR(Vec3{zf / l, rf / l, 0.0f}, normal, 1.0f, rays.n, bent, ok);
    } else if (rays.ISIDE == 2) {
      // Traced backwards: the ray arrives along the axis towards the feed
      kernels::RRDIR(Vec3{-1.0f, 0.0f, 0.0f}, normal, 1.0f, rays.n, bent, ok);
      bent = Vec3{-bent[0], -bent[1], -bent[2]};
    }
    if (ok == 1) return bent;
  }

  // The chord between the two face points, or the axis
  const float dz = zr - zf;
  const float dr = rr - rf;
  const float t = std::sqrt(dz * dz + dr * dr);
  if (t > 0.0f && std::isfinite(t)) return Vec3{dz / t, dr / t, 0.0f};
  return Vec3{1.0f, 0.0f, 0.0f};
}

}  // namespace

RayCosines DesignRayCosines(const DesignRays& rays, int32_t i) {
  const Vec3 d = InLensDirection(rays, i);
  const float zf = At(rays.ZF, i);
  const float rf = At(rays.RF, i);
  const float l = std::sqrt(zf * zf + rf * rf);
  RayCosines cosines;
  if (l > 0.0f) cosines.feed = (zf * d[0] + rf * d[1]) / l;
  cosines.radiation = d[0];
  return cosines;
}

float ExactStep(float wavelength, float n, float FR, RayCosines cosines) {
  return kernels::FirstOrderCutLength({0.0f, cosines.feed, cosines.radiation}, n, FR, wavelength);
}

void ExactRayCuts(const DesignRays& rays, std::span<float> feed_distance, std::span<float> cos_feed,
                  std::span<float> cos_radiation) {
  for (int32_t i = 1; i <= rays.NPT; ++i) {
    const float zf = At(rays.ZF, i);
    const float rf = At(rays.RF, i);
    const RayCosines cosines = DesignRayCosines(rays, i);
    At(feed_distance, i) = std::sqrt(zf * zf + rf * rf);
    At(cos_feed, i) = cosines.feed;
    At(cos_radiation, i) = cosines.radiation;
  }
}

bool ExactStepsValid(float wavelength, float n, float FR, std::span<const float> cos_feed,
                     std::span<const float> cos_radiation, int32_t NPT) {
  for (int32_t i = 1; i <= NPT; ++i) {
    const float step = ExactStep(wavelength, n, FR, {At(cos_feed, i), At(cos_radiation, i)});
    if (!(step > 0.0f) || !std::isfinite(step)) return false;
  }
  return true;
}

void ExactZoningPaths(std::span<const float> TPATH, std::span<const float> feed_distance,
                      std::span<const float> cos_feed, std::span<const float> cos_radiation,
                      int32_t N, float n, float FR, float wavelength, float pmin, float axial_step,
                      std::span<float> paths) {
  for (int32_t k = 1; k <= N; ++k) {
    const int32_t i = N - k + 1;
    const kernels::RayCut ray{At(feed_distance, i), At(cos_feed, i), At(cos_radiation, i)};
    const float removed = kernels::RemovedPath(ray, n, FR, At(TPATH, k) - pmin);
    At(paths, k) = pmin + removed / wavelength * axial_step;
  }
}

}  // namespace design
