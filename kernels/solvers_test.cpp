#include "kernels/solvers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

namespace kernels {
namespace {

// Feed-side point (10, 3) on a flat face, path 30 to the plane z = 20: the
// solver's answers, to the precision the tolerance allows, for several lens
// materials. The correction contracts while n - V(1) lies between 0 and 2.
struct FeedSideCase {
  const char* name;
  float rn;
  int32_t ist;
  int evaluations;
  float t, zrs, rrs;  // NaN: not checked
};

TEST(Ls2xyTest, KnownRays) {
  const std::vector<FeedSideCase> cases = {
      {"n = 1.5", 1.5f, 1, 17, 18.436f, 28.095f, 6.532f},
      {"n = 2.9 converges slowly", 2.9f, 1, 114, NAN, NAN, NAN},
      {"n = 3.5 diverges", 3.5f, -1, 162, NAN, NAN, NAN},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    float zfs = 10.0f, rfs = 3.0f, t = 1.0f, zrs = 0.0f, rrs = 0.0f;
    int32_t ist = 0;
    const int n = LS2XY(zfs, rfs, 30.0f, 20.0f, c.rn, {1.0f, 0.0f, 0.0f}, t, zrs, rrs, ist);
    EXPECT_EQ(ist, c.ist);
    EXPECT_EQ(n, c.evaluations);
    if (!std::isnan(c.t)) {
      EXPECT_NEAR(t, c.t, 1e-3f);
      EXPECT_NEAR(zrs, c.zrs, 1e-3f);
      EXPECT_NEAR(rrs, c.rrs, 1e-3f);
    }
  }
}

TEST(Ls2xyTest, ConvergedStartReturnsAtOnce) {
  float zfs = 10.0f, rfs = 3.0f, t = 1.0f, zrs = 0.0f, rrs = 0.0f;
  int32_t ist = 0;
  LS2XY(zfs, rfs, 30.0f, 20.0f, 1.5f, {1.0f, 0.0f, 0.0f}, t, zrs, rrs, ist);
  const float converged = t;
  ist = -7;
  EXPECT_EQ(LS2XY(zfs, rfs, 30.0f, 20.0f, 1.5f, {1.0f, 0.0f, 0.0f}, t, zrs, rrs, ist), 1);
  EXPECT_EQ(ist, 1);
  EXPECT_EQ(t, converged);
}

TEST(Ls2xyTest, PointAtFeedFailsWithoutTouchingResults) {
  float zfs = 0.0f, rfs = 0.0f, t = 5.0f, zrs = 1.0f, rrs = 2.0f;
  int32_t ist = 1;
  EXPECT_EQ(LS2XY(zfs, rfs, 30.0f, 20.0f, 1.5f, {1.0f, 0.0f, 0.0f}, t, zrs, rrs, ist), 0);
  EXPECT_EQ(ist, -1);
  EXPECT_EQ(t, 5.0f);
  EXPECT_EQ(zrs, 1.0f);
  EXPECT_EQ(rrs, 2.0f);
}

TEST(Ls1xyTest, FlatApertureFaceKeepsRayOnItsRadius) {
  float zfs = 0.0f, rfs = 0.0f, t = 1.0f, zrs = 25.0f, rrs = 3.0f;
  int32_t ist = 0;
  LS1XY(zfs, rfs, 40.0f, 30.0f, 1.5f, {-1.0f, 0.0f, 0.0f}, t, zrs, rrs, ist);
  EXPECT_EQ(ist, 1);
  EXPECT_NEAR(t, 18.653f, 1e-3f);
  EXPECT_NEAR(zfs, 6.347f, 1e-3f);
  EXPECT_EQ(rfs, 3.0f);
}

// Optical path of a solved ray, recomputed in double from the returned
// points. The solver tests its error in single precision, so allow a few
// float roundings of the path (about 40 units long) beyond the tolerance.
double PathError(double zfs, double rfs, double p, double zref, double rn, double t, double zrs) {
  return std::hypot(zfs, rfs) + rn * t + zref - zrs - p;
}

/// Distance between two points, in double.
double Distance(double za, double ra, double zb, double rb) { return std::hypot(zb - za, rb - ra); }
constexpr double kPathSlack = 1.0e-4 + 1.0e-5;

// Rays through flat and tilted faces, as the lens synthesis traces them, with
// a path that makes the axial ray about 10 long inside the lens.
TEST(SolversTest, ConvergedRaysHaveTheRequiredPath) {
  const float zref = 30.0f;
  for (const float rn : {1.2f, 1.5f, 2.0f}) {
    const float p = 30.0f + (rn - 1.0f) * 10.0f;
    for (const float r : {0.0f, 1.0f, 3.0f, 5.0f}) {
      for (const float tilt : {0.0f, 0.3f}) {  // normal's angle to the axis
        SCOPED_TRACE(::testing::Message() << "n " << rn << " r " << r << " tilt " << tilt);
        const Vec3 normal{std::cos(tilt), -std::sin(tilt), 0.0f};

        float zfs = 10.0f, rfs = r, t = 1.0f, zrs = 0.0f, rrs = 0.0f;
        int32_t ist = 0;
        LS2XY(zfs, rfs, p, zref, rn, normal, t, zrs, rrs, ist);
        ASSERT_EQ(ist, 1);
        EXPECT_LE(std::fabs(PathError(zfs, rfs, p, zref, rn, t, zrs)), kPathSlack);
        EXPECT_NEAR(Distance(zfs, rfs, zrs, rrs), t, 1e-4);

        const Vec3 back{-normal[0], -normal[1], 0.0f};
        zrs = 25.0f, rrs = r, t = 1.0f;
        LS1XY(zfs, rfs, p, zref, rn, back, t, zrs, rrs, ist);
        ASSERT_EQ(ist, 1);
        EXPECT_LE(std::fabs(PathError(zfs, rfs, p, zref, rn, t, zrs)), kPathSlack);
        EXPECT_NEAR(Distance(zfs, rfs, zrs, rrs), t, 1e-4);
      }
    }
  }
}

struct LineCase {
  const char* name;
  float s, za, ra, zb, rb, zp, rp;
};

TEST(LnposTest, PointsOnLine) {
  const std::vector<LineCase> cases = {
      {"inside", 2.0f, 1.0f, 1.0f, 4.0f, 5.0f, 2.2f, 2.6f},
      {"at A", 0.0f, 1.0f, 1.0f, 4.0f, 5.0f, 1.0f, 1.0f},
      {"at B", 5.0f, 1.0f, 1.0f, 4.0f, 5.0f, 4.0f, 5.0f},
      {"beyond B", 10.0f, 1.0f, 1.0f, 4.0f, 5.0f, 7.0f, 9.0f},
      {"behind A", -5.0f, 1.0f, 1.0f, 4.0f, 5.0f, -2.0f, -3.0f},
      {"coincident points give A", 3.0f, 1.5f, -2.0f, 1.5f, -2.0f, 1.5f, -2.0f},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    float zp = NAN, rp = NAN;
    LNPOS(c.s, c.za, c.ra, c.zb, c.rb, zp, rp);
    EXPECT_FLOAT_EQ(zp, c.zp);
    EXPECT_FLOAT_EQ(rp, c.rp);
  }
}

}  // namespace
}  // namespace kernels
