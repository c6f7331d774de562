#include "kernels/vector.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kernels {
namespace {

TEST(VectorTest, DotAndLinearCombination) {
  EXPECT_EQ(DOT({1.0f, 2.0f, 3.0f}, {4.0f, 5.0f, 6.0f}), 32.0f);
  Vec3 w{};
  VLINC(2.0f, {1.0f, 2.0f, 3.0f}, 10.0f, {1.0f, 1.0f, 1.0f}, w);
  EXPECT_EQ(w, (Vec3{12.0f, 14.0f, 16.0f}));
}

struct RefractionCase {
  const char* name;
  Vec3 din, sn;
  float rn1, rn2;
  int32_t iok;
  Vec3 dout;
};

TEST(RrdirTest, KnownRays) {
  const float c5 = std::cos(0.5f), s5 = std::sin(0.5f);
  const float c12 = std::cos(1.2f), s12 = std::sin(1.2f);
  const std::vector<RefractionCase> cases = {
      {"normal incidence", {1, 0, 0}, {1, 0, 0}, 1.0f, 1.5f, 1, {1, 0, 0}},
      {"oblique into lens", {c5, s5, 0}, {1, 0, 0}, 1.0f, 1.5f, 1, {0.947547f, 0.319617f, 0}},
      {"reversed ray at aperture face", {-1, 0, 0}, {-0.8f, 0.6f, 0}, 1.0f, 1.6f, 1,
       {-0.966620f, 0.256215f, 0}},
      {"total internal reflection", {c12, s12, 0}, {1, 0, 0}, 1.5f, 1.0f, 0, {1, 0, 0}},
      {"grazing, Q exactly 0", {0.0f, 1.0f, 0}, {1, 0, 0}, 1.0f, 1.0f, 0, {1, 0, 0}},
      {"zero-length ray keeps DOUT", {0, 0, 0}, {0, 0, 0}, 1.0f, 1.5f, 0, {7, 8, 9}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Vec3 dout{7.0f, 8.0f, 9.0f};
    int32_t iok = -5;
    RRDIR(c.din, c.sn, c.rn1, c.rn2, dout, iok);
    EXPECT_EQ(iok, c.iok);
    for (std::size_t i = 0; i < 3; ++i) EXPECT_NEAR(dout[i], c.dout[i], 2e-6f) << i;
  }
}

using D3 = std::array<double, 3>;

D3 Wide(const Vec3& v) {
  return {static_cast<double>(v[0]), static_cast<double>(v[1]), static_cast<double>(v[2])};
}
double Dot(const D3& a, const D3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
D3 Cross(const D3& a, const D3& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

// Snell's law in vector form, checked in double for normals out of the
// meridional plane, into denser and into rarer media (below the critical angle).
TEST(RrdirTest, ObeysSnellsLaw) {
  const double pairs[][2] = {{1.0, 1.5}, {1.0, 3.2}, {1.5, 1.0}, {1.6, 1.2}};
  const Vec3 sn{0.6f, 0.0f, 0.8f};
  const D3 n = Wide(sn);
  for (const auto& p : pairs) {
    const double n1 = p[0], n2 = p[1];
    const double max_angle = n1 > n2 ? std::asin(n2 / n1) - 0.01 : 1.55;
    for (int step = 0; step <= 10; ++step) {
      const double a = max_angle * step / 10.0;
      const Vec3 din{static_cast<float>(0.6 * std::cos(a)), static_cast<float>(std::sin(a)),
                     static_cast<float>(0.8 * std::cos(a))};
      Vec3 dout{};
      int32_t iok = 0;
      RRDIR(din, sn, static_cast<float>(n1), static_cast<float>(n2), dout, iok);
      ASSERT_EQ(iok, 1) << n1 << " " << n2 << " " << a;
      const D3 i = Wide(din), t = Wide(dout);
      const D3 ci = Cross(i, n), ct = Cross(t, n);
      EXPECT_NEAR(Dot(t, t), 1.0, 1e-6);
      EXPECT_NEAR(n1 * std::sqrt(Dot(ci, ci)), n2 * std::sqrt(Dot(ct, ct)), 2e-6 * n2);
      EXPECT_NEAR(Dot(ci, t), 0.0, 1e-6);  // in the plane of DIN and SN
      EXPECT_GT(Dot(t, n), 0.0);           // onto the far side
    }
  }
}

}  // namespace
}  // namespace kernels
