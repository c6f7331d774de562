#include "kernels/solvers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

namespace kernels {
namespace {

// Feed-side point on a flat face, path 30 to the plane z = 20: the solver's
// answers, to the precision the tolerance allows. The correction contracts
// while n - V(1) lies between 0 and 2. Results start at T = t0, ZRS = RRS = 0.
struct FeedSideCase {
  const char* name;
  float zfs, rfs, rn, t0;
  int32_t ist;
  int evaluations;
  float t, zrs, rrs;  // NaN: not checked
};

/// Within the precision the tolerance allows, unless no value is expected.
void ExpectNear(float actual, float want) {
  if (!std::isnan(want)) {
    EXPECT_NEAR(actual, want, 1e-3f);
  }
}

TEST(Ls2xyTest, KnownRays) {
  const std::vector<FeedSideCase> cases = {
      {"n = 1.5", 10, 3, 1.5f, 1, 1, 17, 18.436f, 28.095f, 6.532f},
      {"start within tolerance", 10, 3, 1.5f, 18.4364f, 1, 1, 18.4364f, NAN, NAN},
      {"n = 2.9 converges slowly", 10, 3, 2.9f, 1, 1, 114, NAN, NAN, NAN},
      {"n = 3.5 diverges", 10, 3, 3.5f, 1, -1, 162, NAN, NAN, NAN},
      {"point at the feed", 0, 0, 1.5f, 5, -1, 0, 5, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    float zfs = c.zfs, rfs = c.rfs, t = c.t0, zrs = 0.0f, rrs = 0.0f;
    int32_t ist = 0;
    const int n = LS2XY(zfs, rfs, 30.0f, 20.0f, c.rn, {1.0f, 0.0f, 0.0f}, t, zrs, rrs, ist);
    EXPECT_EQ(ist, c.ist);
    EXPECT_EQ(n, c.evaluations);
    ExpectNear(t, c.t);
    ExpectNear(zrs, c.zrs);
    ExpectNear(rrs, c.rrs);
  }
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
double PathError(float zfs, float rfs, float p, float zref, float rn, float t, float zrs) {
  const auto w = [](float v) { return static_cast<double>(v); };
  return std::hypot(w(zfs), w(rfs)) + w(rn) * w(t) + w(zref) - w(zrs) - w(p);
}

/// Distance between two points, in double.
double Distance(float za, float ra, float zb, float rb) {
  const auto w = [](float v) { return static_cast<double>(v); };
  return std::hypot(w(zb) - w(za), w(rb) - w(ra));
}
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
        EXPECT_NEAR(Distance(zfs, rfs, zrs, rrs), static_cast<double>(t), 1e-4);

        const Vec3 back{-normal[0], -normal[1], 0.0f};
        zrs = 25.0f;
        rrs = r;
        t = 1.0f;
        LS1XY(zfs, rfs, p, zref, rn, back, t, zrs, rrs, ist);
        ASSERT_EQ(ist, 1);
        EXPECT_LE(std::fabs(PathError(zfs, rfs, p, zref, rn, t, zrs)), kPathSlack);
        EXPECT_NEAR(Distance(zfs, rfs, zrs, rrs), static_cast<double>(t), 1e-4);
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
