#include "kernels/spline.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "textio/checked.h"

namespace kernels {
namespace {

// A fitted spline with tables sized exactly to its points.
struct Spline {
  std::vector<float> x, y, b1, b2, b3;
  int status = -1;

  Spline(std::vector<float> xs, std::vector<float> ys)
      : x(std::move(xs)), y(std::move(ys)), b1(x.size()), b2(x.size()), b3(x.size()) {
    status = SPLIN(x, y, Np(), b1, b2, b3);
  }
  int32_t Np() const { return static_cast<int32_t>(x.size()); }

  struct Point {
    float yv, yp, cv;
  };
  Point At(float xv) const {
    Point p{NAN, NAN, NAN};
    SPEVL(x, y, b1, b2, b3, Np(), xv, p.yv, p.yp, p.cv);
    return p;
  }
};

struct Sample {
  float xv, yv, yp, cv;  // NaN: not checked
};

void ExpectSamples(const Spline& s, const std::vector<Sample>& samples) {
  for (const auto& e : samples) {
    SCOPED_TRACE(::testing::Message() << "at " << e.xv);
    const auto p = s.At(e.xv);
    EXPECT_NEAR(p.yv, e.yv, 1e-5f);
    if (!std::isnan(e.yp)) {
      EXPECT_NEAR(p.yp, e.yp, 1e-5f);
    }
    if (!std::isnan(e.cv)) {
      EXPECT_NEAR(p.cv, e.cv, 1e-5f);
    }
  }
}

TEST(SplineTest, ThreePoints) {
  const Spline s({0, 1, 2}, {0, 1, 0});
  ASSERT_EQ(s.status, 1);
  const float b1[] = {1.5f, 0.0f, -1.5f};
  for (std::size_t k = 0; k < 3; ++k) EXPECT_NEAR(s.b1[k], b1[k], 1e-6f) << k;
  EXPECT_NEAR(s.b2[0], 0.0f, 1e-6f);
  EXPECT_NEAR(s.b3[0], -0.5f, 1e-6f);
  EXPECT_NEAR(s.b2[1], -1.5f, 1e-6f);
  EXPECT_NEAR(s.b3[1], 0.5f, 1e-6f);
  ExpectSamples(s, {{0.5f, 0.6875f, 1.125f, -0.439855f},
                    {1.0f, 1.0f, 0.0f, -3.0f},
                    {2.0f, 0.0f, -1.5f, 0.0f},
                    {2.5f, -0.6875f, NAN, NAN},
                    {-0.5f, -0.6875f, NAN, NAN}});
}

TEST(SplineTest, TwoPointsMakeAStraightLine) {
  const Spline s({1, 3}, {2, 7});
  ASSERT_EQ(s.status, 1);
  EXPECT_EQ(s.b1[0], 2.5f);
  EXPECT_EQ(s.b1[1], 2.5f);
  EXPECT_EQ(s.b2[0], 0.0f);
  EXPECT_EQ(s.b3[0], 0.0f);
}

TEST(SplineTest, SixPoints) {
  const Spline s({0, 1, 2.5f, 3, 4.5f, 6}, {1, 2, 0.5f, 1.5f, 3, 2});
  ASSERT_EQ(s.status, 1);
  const float b1[] = {1.71719f, -0.43437f, 1.09609f, 2.22189f, -0.06340f, -0.96830f};
  for (std::size_t k = 0; k < 6; ++k) EXPECT_NEAR(s.b1[k], b1[k], 1e-5f) << k;
  ExpectSamples(s, {{0.7f, 1.95604f, 0.66292f, -1.74413f}, {7.0f, 1.16576f, NAN, NAN}});
}

// Natural ends, and value, slope and second derivative continuous at every
// interior node: evaluated from the cubic of the interval on the left.
TEST(SplineTest, NaturalAndSmooth) {
  const Spline s({-2, -1.5f, 0, 0.25f, 3, 4, 7.5f}, {3, -1, 0.5f, 0.75f, 2, -4, 1});
  ASSERT_EQ(s.status, 1);
  const std::size_t last = s.x.size() - 2;
  EXPECT_EQ(2.0f * s.b2[0], 0.0f);
  const float h_last = s.x[last + 1] - s.x[last];
  EXPECT_NEAR(2.0f * s.b2[last] + 6.0f * s.b3[last] * h_last, 0.0f, 1e-5f);
  for (std::size_t k = 0; k + 2 < s.x.size(); ++k) {
    SCOPED_TRACE(::testing::Message() << "node " << k + 2);
    const float h = s.x[k + 1] - s.x[k];
    EXPECT_NEAR(s.y[k] + h * (s.b1[k] + h * (s.b2[k] + h * s.b3[k])), s.y[k + 1], 1e-4f);
    EXPECT_NEAR(s.b1[k] + 2.0f * s.b2[k] * h + 3.0f * s.b3[k] * h * h, s.b1[k + 1], 1e-4f);
    EXPECT_NEAR(2.0f * s.b2[k] + 6.0f * s.b3[k] * h, 2.0f * s.b2[k + 1], 1e-4f);
  }
}

/// n units in the last place of v.
float Ulps(float v, int n) {
  return static_cast<float>(n) * (std::nextafter(std::fabs(v), INFINITY) - std::fabs(v));
}

// The spline passes through its knots and reproduces a straight line to
// within a few units in the last place, on an uneven table.
TEST(SplineTest, HitsKnotsAndFollowsLines) {
  const std::vector<float> xs = {0.5f, 0.75f, 2, 2.125f, 5, 9.5f, 10};
  std::vector<float> ys;
  for (const float x : xs) ys.push_back(3.0f - 0.25f * x);
  const Spline line(xs, ys);
  ASSERT_EQ(line.status, 1);
  for (float x = 0.0f; x <= 11.0f; x += 0.125f) {
    const auto p = line.At(x);
    const float exact = 3.0f - 0.25f * x;
    EXPECT_NEAR(p.yv, exact, Ulps(exact, 4)) << x;
    EXPECT_NEAR(p.yp, -0.25f, 1e-6f) << x;
  }

  const Spline wavy(xs, {1, -2, 4, 4.5f, 0, 3, 2});
  for (std::size_t k = 0; k < xs.size(); ++k) {
    EXPECT_NEAR(wavy.At(xs[k]).yv, wavy.y[k], 4e-6f) << k;
  }
}

// Tables the fit refuses: status 0 and coefficients zeroed over 1..NP, as far
// as each table reaches; entries beyond NP keep their values.
struct RefusedCase {
  const char* name;
  std::vector<float> x;
  int32_t np;
  std::size_t b_size;
};

TEST(SplineTest, RefusesUnusableTables) {
  const std::vector<RefusedCase> cases = {
      {"one point", {1, 2, 3}, 1, 3},
      {"no points", {1, 2, 3}, 0, 3},
      {"negative count", {1, 2, 3}, -4, 3},
      {"repeated abscissa", {1, 2, 2, 3}, 4, 5},
      {"decreasing abscissa", {1, 3, 2, 4}, 4, 5},
      {"NaN abscissa", {1, NAN, 3}, 3, 3},
      {"count beyond the abscissae", {1, 2, 3}, 4, 5},
      {"count beyond the coefficients", {1, 2, 3, 4}, 4, 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<float> y(c.x.size(), 1.0f);
    std::vector<float> b1(c.b_size, 9.0f), b2(c.b_size, 9.0f), b3(c.b_size, 9.0f);
    EXPECT_EQ(SPLIN(c.x, y, c.np, b1, b2, b3), 0);
    for (std::size_t i = 0; i < c.b_size; ++i) {
      const float want = static_cast<int32_t>(i) < c.np ? 0.0f : 9.0f;
      EXPECT_EQ(b1[i], want) << i;
      EXPECT_EQ(b2[i], want) << i;
      EXPECT_EQ(b3[i], want) << i;
    }
  }
}

TEST(SplineTest, EvaluatesDegenerateSplines) {
  const std::vector<float> one = {4.0f}, none;
  const auto eval = [](const std::vector<float>& t, int32_t np) {
    std::array<float, 3> out{NAN, NAN, NAN};
    SPEVL(t, t, t, t, t, np, 7.0f, out[0], out[1], out[2]);
    return out;
  };
  EXPECT_EQ(eval(one, 1), (std::array<float, 3>{4, 0, 0}));  // a constant
  EXPECT_EQ(eval(none, 0), (std::array<float, 3>{0, 0, 0}));
  EXPECT_THROW(eval(one, 2), textio::IndexError);  // tables too short
}

TEST(SplineTest, NanAbscissaEndsTheSearch) {
  const Spline s({0, 1, 2, 3, 4}, {0, 1, 0, 1, 0});
  EXPECT_TRUE(std::isnan(s.At(NAN).yv));
}

}  // namespace
}  // namespace kernels
