#include "kernels/ray_cut.h"

#include <gtest/gtest.h>

#include <cmath>

namespace kernels {
namespace {

// Rays through a flat feed face at z = 20 (n = 1.5) at heights 0, 3 and 7, and
// one steep ray. For each, the cut is checked against the geometry itself: the
// feed face point moved along the ray inside the lens by FR·S, its distance
// from the feed measured directly, the radiation face point moved back by
// (1 - FR)·S with the air ray leaving along the axis.
TEST(RayCutTest, RemovesThePathTheMovedFacePointsGive) {
  struct Case {
    const char* name;
    double y;  // height of the ray on the flat face z = 20
    double FR, path;
  };
  const Case kCases[] = {
      {"axial ray, feed share", 0.0, 1.0f, 1.0f},
      {"axial ray, both faces, ten wavelengths", 0.0, 0.5f, 10.0f},
      {"y = 3, feed face", 3.0, 1.0f, 1.0f},
      {"y = 3, radiation face", 3.0, 0.0f, 1.0f},
      {"y = 7, shared, four wavelengths", 7.0, 0.5f, 4.0f},
      {"steep ray, feed face, three wavelengths", 20.0, 1.0f, 3.0f},
  };
  const double n = 1.5;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    // Feed ray and the ray inside the lens (Snell at the flat face)
    const double l = std::hypot(20.0, c.y);
    const double sin_in = c.y / l / n;
    const double dz = std::sqrt(1.0 - sin_in * sin_in), dr = sin_in;
    const RayCut ray{static_cast<float>(l), static_cast<float>((20.0 * dz + c.y * dr) / l),
                     static_cast<float>(dz)};

    const auto fr = static_cast<float>(c.FR);
    const float s = CutLength(ray, 1.5f, fr, static_cast<float>(c.path));
    const double a = c.FR * static_cast<double>(s);
    const double b = (1.0 - c.FR) * static_cast<double>(s);
    const double moved = std::hypot(20.0 + a * dz, c.y + a * dr);
    const double removed = n * (a + b) - (moved - l) - b * dz;
    EXPECT_NEAR(c.path, removed, 2e-5 * c.path);
    EXPECT_NEAR(c.path, static_cast<double>(RemovedPath(ray, 1.5f, fr, s)), 2e-5 * c.path);
    if (c.y == 0.0) {
      EXPECT_NEAR(c.path / 0.5, static_cast<double>(s),
                  1e-5 * c.path);  // wavelength / (n - 1) each
    }
  }
}

}  // namespace
}  // namespace kernels
