#include "design/profile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string>

#include "design/design_fixture.h"
#include "textio/failure.h"

namespace design {
namespace {

using testing_support::DesignRun;
using testing_support::Lines;

// Zoning answers that follow every profile below: wavelength 1, half of each
// step on the feed face, zones counted from path length 0.5, no tor file.
constexpr const char* kZoningAnswers = "1\n0.5\n0.5\n0\n";

TEST(RayCountTest, FollowsTheStepAndTheHeldOffset) {
  struct Case {
    const char* name;
    float r;
    float dr;
    std::optional<int32_t> want;
  };
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const Case kCases[] = {
      {"whole quotient", 10.0f, 1.0f, 11},
      {"fraction below 0.6 drops the ray beyond R", 10.0f, 1.6f, 7},
      {"fraction above 0.6 adds a ray beyond R", 10.0f, 1.5f, 8},
      {"1.6 + 1.39999998 stays below 3", 8.0f, 5.0f, 2},
      {"too fine a step", 10.0f, 0.002f, 5001},
      {"finest step of the tables", 10.0f, 0.002857f, 3501},
      {"a little coarser", 10.0f, 0.00286f, 3497},
      {"step beyond R/0.6", 10.0f, 20.0f, 1},
      {"negative step", 10.0f, -1.0f, -8},
      {"zero step", 10.0f, 0.0f, std::nullopt},
      {"NaN step", 10.0f, nan, std::nullopt},
      {"count beyond 32 bits", 1.0e30f, 1.0e-20f, std::nullopt},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.want, RayCount(c.r, c.dr));
  }
}

TEST(PlacePrescribedPointTest, KeepsStoredValuesWhenNoPointExists) {
  struct Case {
    const char* name;
    int32_t isurf;
    float r;
    FacePoint want;
  };
  const Case kCases[] = {
      {"no face kind 0", 0, 1.0f, FacePoint::kUnknownFace},
      {"no face kind 4", 4, 1.0f, FacePoint::kUnknownFace},
      {"ray beyond the sphere", 2, 10.5f, FacePoint::kOutsideSphere},
      {"ray beyond the sphere, far side", 3, 10.5f, FacePoint::kOutsideSphere},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    float z = 7.0f;
    kernels::Vec3 vn{0.25f, 0.5f, 0.0f};
    EXPECT_EQ(c.want, PlacePrescribedPoint(1, c.isurf, c.r, 20.0f, 20.0f, 10.0f, z, vn));
    EXPECT_EQ(7.0f, z);
    EXPECT_EQ(0.25f, vn[0]);
    EXPECT_EQ(0.5f, vn[1]);
  }
}

// A design answered at the keyboard, with what is known of it in advance.
struct Example {
  const char* name;
  const char* answers;  // the design's answers up to the radial step
  int iside;
  double eps, r, e, te;
  double centre;  // sphere centre on the axis; NaN for a flat face
  int rays;
};

const double kFlat = std::numeric_limits<double>::quiet_NaN();

const Example kExamples[] = {
    {"inner flat", "1\n2.25\n10 20\n0\n1\n1\n", 1, 2.25, 10, 20, 0, kFlat, 11},
    {"inner flat, edge thickness 1", "1\n2.25\n10 20\n1\n1\n2\n", 1, 2.25, 10, 20, 1, kFlat, 6},
    {"outer flat", "2\n2.25\n10 20\n0\n1\n2\n", 2, 2.25, 10, 20, 0, kFlat, 6},
    {"inner sphere, centre before edge", "1\n2.25\n10 20\n0\n2\n5\n2\n", 1, 2.25, 10, 20, 0, 5,
     6},
    {"outer sphere, centre beyond edge", "2\n2.25\n10 20\n0\n2\n30\n2\n", 2, 2.25, 10, 20, 0, 30,
     6},
    {"inner sphere, centre beyond edge", "1\n2.25\n10 20\n0.5\n2\n40\n0.25\n", 1, 2.25, 10, 20,
     0.5, 40, 41},
    {"outer sphere, centre before edge", "2\n2.56\n10 20\n0.5\n2\n2\n0.25\n", 2, 2.56, 10, 20,
     0.5, 2, 41},
    {"outer flat, fine step", "2\n2.25\n10 20\n0\n1\n0.05\n", 2, 2.25, 10, 20, 0, kFlat, 201},
};

// Every ray of every example, recomputed in double: the optical path from the
// feed to the plane z = E equals the edge ray's, the stored path length is
// the distance between the two face points, and the ray inside the lens is
// bent at the prescribed face by Snell's law.
TEST(SynthesisTest, EveryRayHasTheEdgeRaysPathAndObeysSnell) {
  for (const Example& ex : kExamples) {
    SCOPED_TRACE(ex.name);
    DesignRun run(std::string(ex.answers) + kZoningAnswers);
    run.Design();
    ASSERT_EQ(ex.rays, run.npt());
    const SPLENZ& s = run.splenz();
    const double n = std::sqrt(ex.eps);
    const double p = std::hypot(ex.r, ex.e) + n * ex.te;
    for (int i = 1; i <= ex.rays; ++i) {
      SCOPED_TRACE("ray " + std::to_string(i));
      const auto k = static_cast<std::size_t>(i - 1);
      const double zf = s.ZF()[k], rf = s.RF()[k], zr = s.ZR()[k], rr = s.RR()[k];
      const double t = s.TPATH()[static_cast<std::size_t>(ex.rays - i)];
      const double ell = std::hypot(zf, rf);
      EXPECT_NEAR(p, ell + n * t + ex.e - zr, 3e-4);
      EXPECT_NEAR(t, std::hypot(zr - zf, rr - rf), 1e-4 * (1.0 + t));

      // Ray on the prescribed face, and the face's normal oriented along it.
      const bool feed = ex.iside == 1;
      const double pz = feed ? zf : zr, pr = feed ? rf : rr;
      double nz = 1.0, nr = 0.0;
      if (!std::isnan(ex.centre)) {
        const double len = std::hypot(pz - ex.centre, pr);
        nz = (pz - ex.centre) / len;
        nr = pr / len;
      }
      const double along = feed ? 1.0 : -1.0;
      if (nz * along < 0) {
        nz = -nz;
        nr = -nr;
      }
      const double wz = feed ? zf / ell : -1.0, wr = feed ? rf / ell : 0.0;
      if (t < 0.05) continue;  // too short a ray to show its direction
      const double dz = (feed ? zr - zf : zf - zr) / t, dr = (feed ? rr - rf : rf - rr) / t;
      EXPECT_GT(dz * nz + dr * nr, 0.0);
      EXPECT_NEAR(wz * nr - wr * nz, n * (dz * nr - dr * nz), 2e-4);
    }
  }
}

// With a flat radiation face the ray runs along the axis inside the lens, so
// the feed face is the hyperbola l = n·z + c with the feed at a focus and
// eccentricity n; c is fixed by the axial point.
TEST(SynthesisTest, FlatRadiationFaceGivesThePlanoHyperbolicLens) {
  for (const char* eps : {"2.25", "4"}) {
    SCOPED_TRACE(eps);
    DesignRun run(std::string("2\n") + eps + "\n10 20\n0\n1\n0.25\n" + kZoningAnswers);
    run.Design();
    const SPLENZ& s = run.splenz();
    const double n = std::sqrt(std::stod(eps));
    const double c = static_cast<double>(s.ZF()[0]) * (1.0 - n);
    for (int i = 1; i <= run.npt(); ++i) {
      const auto k = static_cast<std::size_t>(i - 1);
      const double r = s.RF()[k];
      const double z = (-n * c + std::sqrt(c * c + (n * n - 1.0) * r * r)) / (n * n - 1.0);
      EXPECT_NEAR(z, s.ZF()[k], 1e-3 * 10.0) << "ray " << i;
      EXPECT_EQ(s.RR()[k], s.RF()[k]) << "ray " << i;
    }
  }
}

TEST(RadialStepTest, AsksAgainUntilTheStepGivesTwoToMaxRays) {
  // Zero, negative, too coarse (one ray), NaN-free but too fine, then 1.
  DesignRun run(std::string("1\n2.25\n10 20\n0\n1\n0\n-1\n20\n0.002\n1\n") + kZoningAnswers);
  run.Design();
  EXPECT_EQ(11, run.npt());
  const std::string screen = run.Screen();
  std::size_t asked = 0;
  for (std::size_t at = screen.find(" Enter Design Radial Step Size "); at != std::string::npos;
       at = screen.find(" Enter Design Radial Step Size ", at + 1)) {
    ++asked;
  }
  EXPECT_EQ(5u, asked);
  // The report holds the table once and no trace of the refused steps.
  const std::string report = run.Report();
  EXPECT_EQ(report.find(" Center Thickness:"), report.rfind(" Center Thickness:"));
  EXPECT_EQ(report.find("Feed Surface"), report.rfind("Feed Surface"));
}

TEST(RadialStepTest, ScriptThatKeepsGivingBadStepsEndsAtItsEnd) {
  DesignRun run("1\n2.25\n10 20\n0\n1\n0\n0\n0\n");
  try {
    run.Design();
    FAIL() << "the design went on past the last answer";
  } catch (const textio::Failure& failure) {
    EXPECT_EQ(textio::FailureNumber::kEndOfFile, failure.number());
  }
}

// Rows of the profile table in a report, as numbers.
std::vector<std::vector<double>> Rows(const std::string& report) {
  std::vector<std::vector<double>> rows;
  for (const std::string& line : Lines(report)) {
    if (line.size() != 61 || line.find('E') == std::string::npos) continue;
    std::vector<double> row;
    for (std::size_t at = 1; at < 61; at += 12) row.push_back(std::stod(line.substr(at, 12)));
    rows.push_back(row);
  }
  return rows;
}

TEST(SynthesisTest, EndsTheDesignWhereNoRayCanBeTraced) {
  struct Case {
    const char* name;
    const char* answers;
    std::size_t rows;
    const char* last_line;
  };
  const Case kCases[] = {
      {"material too dense, first rays", "1\n9\n10 20\n0\n1\n1\n", 1,
       " Design Does not Converge"},
      {"material too dense, thick edge", "1\n9\n10 20\n1\n1\n1\n", 0, " Design Does not Converge"},
      {"feed face through the feed", "1\n2.25\n10 0\n0\n1\n1\n", 0, " Design Does not Converge"},
      {"last ray beyond the sphere", "1\n2.25\n10 20\n0\n2\n20\n1.5\n", 7,
       " Ray radius beyond Sphere Radius: Design ended"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    DesignRun run(c.answers);
    run.Design();  // no zoning question is asked: the answers end here
    const std::string report = run.Report();
    EXPECT_EQ(c.rows, Rows(report).size());
    EXPECT_EQ(c.last_line, Lines(report).back());
    EXPECT_EQ(c.last_line, Lines(run.Screen()).back());
    EXPECT_EQ(std::string::npos, report.find("NaN"));
  }
}

TEST(SynthesisTest, RowsRepeatStoredValuesWithoutAValidSide) {
  // A first design, then the same lens with side 3: no solver runs, so the
  // rows show the first design's points with the new centre thickness.
  DesignRun run(std::string("1\n2.25\n10 20\n0\n1\n2\n") + kZoningAnswers +
                "3\n2.25\n10 20\n0\n1\n2\n" + kZoningAnswers);
  run.Design();
  const std::vector<float> zr = run.splenz().ZR();
  run.Design();
  EXPECT_EQ(zr, run.splenz().ZR());
  const auto rows = Rows(run.Report());
  ASSERT_EQ(12u, rows.size());
  for (std::size_t k = 0; k < 6; ++k) {
    for (std::size_t col = 0; col < 4; ++col) EXPECT_EQ(rows[k][col], rows[k + 6][col]);
    EXPECT_NEAR(4.7214, rows[k + 6][4], 1e-4);
  }
}

TEST(SynthesisTest, UnknownFaceKindTracesFromTheStoredPoint) {
  // Face kind 4 in a first design: the stored prescribed point is the feed
  // itself, where no ray can start.
  DesignRun run("1\n2.25\n10 20\n0\n4\n1\n");
  run.Design();
  EXPECT_EQ(" Design Does not Converge", Lines(run.Report()).back());
}

}  // namespace
}  // namespace design
