#include "design/shaped_lens.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace design {
namespace {

constexpr double kDeg = std::numbers::pi / 180.0;
const double kEdge = std::atan(0.5);  // edge point (10, 20) seen from the feed

// n = 1.5, the lens of the worked examples: inner vertex at 20.
ShapedLensRequest Request(double thickness, double edge_angle, ExitHeight g, double feed = 20.0) {
  ShapedLensRequest request;
  request.eps = 2.25;
  request.feed_distance = feed;
  request.centre_thickness = thickness;
  request.edge_angle = edge_angle;
  request.exit_height = std::move(g);
  return request;
}

// Closed forms for n = 1.5: the hyperbola r = (n−1)F/(n cos θ − 1) behind a
// flat outer face, and the feed-centred sphere r0 before the ellipse
// R(θ) = (n−1)(r0 + T)/(n − cos θ). Each as the mapping g it makes.
constexpr double kHyperbolaF = 15.278640;  // zero edge thickness at (10, 20)
double Hyperbola(double t) { return 0.5 * kHyperbolaF / (1.5 * std::cos(t) - 1.0); }
double Ellipse(double t) { return 0.5 * 25.0 / (1.5 - std::cos(t)); }  // r0 20, T 5

const ExitHeight kSine24 = [](double t) { return 24.0 * std::sin(t); };
const ExitHeight kHyperbolic = [](double t) { return Hyperbola(t) * std::sin(t); };
const ExitHeight kElliptic = [](double t) { return Ellipse(t) * std::sin(t); };

// The worked examples of the shaped lens to the fifth decimal; θ of the middle
// rows from the direction of their inner point.
TEST(ShapedLensTest, WorkedExamples) {
  struct Case {
    const char* name;
    double thickness, theta;
    ExitHeight g;
    double rho1, z1, rho2, z2;
  };
  const double uniform_edge = 26.565 * kDeg;
  const Case kCases[] = {
      {"sine, g = 24 sin, middle ray", 7.0, std::atan2(3.54157, 20.08852), kSine24, 3.54157,
       20.08852, 4.16690, 26.37586},
      {"sine, ray near 20 deg", 7.0, std::atan2(7.42449, 20.39849), kSine24, 7.42449, 20.39849,
       8.20853, 24.56059},
      {"sine, edge at 26.565 deg", 7.0, 26.565 * kDeg, kSine24, 10.60001, 21.20007, 10.73311,
       23.18204},
      {"uniform, Q 6, R 11, T 10.7, edge", 10.7, uniform_edge,
       UniformMapping(11.0, uniform_edge, 6.0), 8.81304, 17.62613, 11.00000, 22.84642},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const ShapedFaces faces = TraceShapedFaces(Request(c.thickness, c.theta, c.g), {0.0, c.theta});
    ASSERT_EQ(ShapedStatus::kOk, faces.status);
    const ShapedRay& ray = faces.rays.back();
    EXPECT_NEAR(c.rho1, ray.inner_rho, 6e-6);
    EXPECT_NEAR(c.z1, ray.inner_z, 6e-6);
    EXPECT_NEAR(c.rho2, ray.outer_rho, 6e-6);
    EXPECT_NEAR(c.z2, ray.outer_z, 6e-6);
    EXPECT_NEAR(std::hypot(c.rho2 - c.rho1, c.z2 - c.z1), ray.path_in_lens, 2e-5);
  }
}

// The hyperbolic lens and the feed-centred sphere with its ellipse, as special
// mappings, against their closed forms at every row.
TEST(ShapedLensTest, SpecialMappingsGiveTheClosedForms) {
  struct Case {
    const char* name;
    ShapedLensRequest request;
    double (*inner_r)(double);  // distance of the inner point from the feed
    double (*outer_r)(double);  // of the outer point; 0: the flat face z = F + T
  };
  const Case kCases[] = {
      {"hyperbola, flat outer face at 20.27864", Request(5.0, kEdge, kHyperbolic, kHyperbolaF),
       Hyperbola, nullptr},
      {"sphere r0 20 and ellipse", Request(5.0, kEdge, kElliptic), [](double) { return 20.0; },
       Ellipse},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const ShapedLens lens = DesignShapedLens(c.request, 41);
    ASSERT_EQ(ShapedStatus::kOk, lens.status);
    for (const ShapedRay& ray : lens.rays) {
      const double s = std::sin(ray.theta), k = std::cos(ray.theta);
      EXPECT_NEAR(c.inner_r(ray.theta) * s, ray.inner_rho, 1e-9);
      EXPECT_NEAR(c.inner_r(ray.theta) * k, ray.inner_z, 1e-9);
      const double z2 = c.outer_r ? c.outer_r(ray.theta) * k : kHyperbolaF + 5.0;
      EXPECT_NEAR(z2, ray.outer_z, 1e-9);
      EXPECT_NEAR(std::hypot(ray.outer_rho - ray.inner_rho, z2 - ray.inner_z), ray.path_in_lens,
                  1e-9);
    }
  }
}

// Paraxial focal length, sine-condition deviation at the edge and the edge
// thickness. Hyperbola: f = F, deviation (n−1)/(n cos θm − 1) − 1 = +46.35 %;
// sphere and ellipse: f = r0 + T, (n−1)/(n − cos θm) − 1 = −17.43 %; uniform:
// f = R·sqrt[(Q + 1/2) / (1 − cos^(2Q+1) θm)].
TEST(ShapedLensTest, FiguresOfTheLens) {
  struct Case {
    const char* name;
    ShapedLensRequest request;
    double focal_length, deviation, edge_thickness;
  };
  const double edge = 26.565 * kDeg;
  const double c13 = std::pow(std::cos(edge), 13.0);
  const Case kCases[] = {
      {"sine", Request(7.0, edge, SineMapping(10.73311, edge)), 10.73311 / std::sin(edge), 0.0,
       23.18200 - 21.20002},
      {"hyperbola", Request(5.0, kEdge, kHyperbolic, kHyperbolaF), kHyperbolaF,
       0.5 / (1.5 * std::cos(kEdge) - 1.0) - 1.0, 0.278640},
      {"sphere and ellipse", Request(5.0, kEdge, kElliptic), 25.0,
       0.5 / (1.5 - std::cos(kEdge)) - 1.0, (Ellipse(kEdge) - 20.0) * std::cos(kEdge)},
      {"uniform, Q 6", Request(10.7, edge, UniformMapping(11.0, edge, 6.0)),
       11.0 * std::sqrt(6.5 / (1.0 - c13)),
       1.0 / (std::sqrt(6.5 / (1.0 - c13)) * std::sin(edge)) - 1.0, 22.84642 - 17.62613},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const ShapedLens lens = DesignShapedLens(c.request, 11);
    ASSERT_EQ(ShapedStatus::kOk, lens.status);
    EXPECT_NEAR(c.focal_length, lens.paraxial_focal_length, 1e-6);
    EXPECT_NEAR(c.deviation, lens.sine_deviation, 1e-6);
    EXPECT_NEAR(c.edge_thickness, lens.edge_thickness, 2e-5);
  }
}

// Lenses that do not exist: which failure, where, and the thicknesses that
// would do. The hyperbola with T = 4 puts its flat face into the inner face
// where z1 = F + T; the synthesis keeps F/10000 of path in the lens, so the
// faces meet where z1 = F + T − F/10000 (cos θ = z1 / (1.5 z1 − F/2)), and the
// least thickness is the knife edge's 4.72136 plus F/10000.
TEST(ShapedLensTest, RefusalsNameTheFailureAndTheThicknessThatDoes) {
  struct Case {
    const char* name;
    ShapedLensRequest request;
    ShapedStatus status;
    double failed_deg;          // < 0: not checked
    double thinner;             // 0: none; < 0: one, value not checked
    double thicker, tolerance;  // the same for thicker
  };
  const double edge = 26.565 * kDeg;
  const double kMeet = kHyperbolaF + 4.0 - 1e-4 * kHyperbolaF;
  const Case kCases[] = {
      {"sine, too thin (6.64 needed)", Request(6.0, edge, kSine24),
       ShapedStatus::kExitTotallyReflected, -1.0, 0.0, 6.64, 5e-3},
      {"uniform Q 6, too thin (10.16 needed)", Request(10.0, edge, UniformMapping(11.0, edge, 6.0)),
       ShapedStatus::kExitTotallyReflected, -1.0, 0.0, 10.16, 5e-3},
      {"hyperbola, flat face behind the inner face", Request(4.0, kEdge, kHyperbolic, kHyperbolaF),
       ShapedStatus::kFacesMeet, std::acos(kMeet / (1.5 * kMeet - 0.5 * kHyperbolaF)) / kDeg, 0.0,
       4.72136 + 1e-4 * kHyperbolaF, 1e-4},
      {"sine at 10: grazing entry between two working ranges", Request(10.0, edge, kSine24),
       ShapedStatus::kGrazingEntry, -1.0, -1.0, -1.0, 0.0},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const ShapedLens lens = DesignShapedLens(c.request, 11);
    EXPECT_EQ(c.status, lens.status);
    EXPECT_TRUE(lens.rays.empty());
    if (c.failed_deg >= 0.0) {
      EXPECT_NEAR(c.failed_deg, lens.failed_theta / kDeg, 1e-3);
    }
    EXPECT_EQ(c.thinner != 0.0, lens.thinner.has_value());
    EXPECT_EQ(c.thicker != 0.0, lens.thicker.has_value());
    if (c.thicker > 0.0) {
      EXPECT_NEAR(c.thicker, lens.thicker.value_or(0.0), c.tolerance);
    }
    // Each thickness named gives a lens, one a step of 1e-3 nearer does not
    const auto gives = [&c](double thickness) {
      ShapedLensRequest request = c.request;
      request.centre_thickness = thickness;
      return DesignShapedLens(request, 11).status == ShapedStatus::kOk;
    };
    EXPECT_TRUE(!lens.thinner || (gives(*lens.thinner) && !gives(*lens.thinner * 1.001)));
    EXPECT_TRUE(!lens.thicker || (gives(*lens.thicker) && !gives(*lens.thicker * 0.999)));
  }
  EXPECT_EQ(
      "no lens: the centre is too thin for the mapping, the ray at 24.644 deg would be totally "
      "reflected at the outer face; a thickness of at least 10.1590 would do",
      ShapedRefusal(DesignShapedLens(Request(10.0, edge, UniformMapping(11.0, edge, 6.0)), 11)));
}

// The outline check on hand-made rays (θ, ρ1, z1, ρ2, z2): the axis ray first.
TEST(ShapedLensTest, OutlineCheck) {
  struct Case {
    const char* name;
    std::vector<ShapedRay> rays;
    std::optional<ShapedStatus> fault;
  };
  const Case kCases[] = {
      {"a lens", {{0, 0, 20, 0, 27, 0}, {1, 4, 20, 5, 26, 0}, {2, 8, 21, 9, 23, 0}}, {}},
      {"knife edge", {{0, 0, 20, 0, 27, 0}, {1, 4, 20, 5, 26, 0}, {2, 8, 21, 8, 21, 0}}, {}},
      {"outer face under the inner face",
       {{0, 0, 20, 0, 27, 0}, {1, 4, 20, 5, 19, 0}, {2, 8, 21, 9, 23, 0}},
       ShapedStatus::kFacesMeet},
      {"outer face under the rim beyond the inner edge",
       {{0, 0, 20, 0, 27, 0}, {1, 4, 20, 7, 18.5, 0}, {2, 6, 18, 11, 23, 0}},
       ShapedStatus::kFacesMeet},
      {"inner face turning back",
       {{0, 0, 20, 0, 27, 0}, {1, 4, 20, 5, 26, 0}, {2, 3.9, 21, 9, 23, 0}},
       ShapedStatus::kFaceTurnsBack},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const auto fault = CheckShapedOutline(c.rays, 1e-9);
    ASSERT_EQ(c.fault.has_value(), fault.has_value());
    if (fault) {
      EXPECT_EQ(*c.fault, fault->status);
    }
  }
}

}  // namespace
}  // namespace design
