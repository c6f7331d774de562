#include "design/exact_zoning.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "design/design_fixture.h"
#include "design/splenz.h"
#include "optics/analysis.h"
#include "optics/aperture.h"
#include "torfile/outline.h"
#include "torfile/reader.h"

namespace design {
namespace {

using testing_support::DesignRun;
using testing_support::Lines;

constexpr DesignOptions kExact{ZoningMode::kExact};

// The zone step of single rays against the closed forms of refraction at a
// flat face: the flat feed face at 20 (n = 1.5, rays at heights 0, 3 and 7),
// and the flat radiation face, behind which every ray inside the lens runs
// along the axis and meets the feed face at the angle of its feed ray.
TEST(ExactZoningTest, StepAlongOneRayMatchesTheClosedForms) {
  struct Case {
    const char* name;
    const char* side;  // 1 feed face flat, 2 radiation face flat
    const char* share;
    int ray;     // at height ray - 1
    float step;  // 0: wavelength / (n - cos) of the feed ray's angle
  };
  const Case kCases[] = {
      {"axial ray", "1", "0.5", 1, 2.0f},
      {"y = 3, cut at the feed face", "1", "1", 4, 1.99505f},
      {"y = 3, cut at the radiation face", "1", "0", 4, 1.98058f},
      {"y = 7, cut at the feed face", "1", "1", 8, 1.97409f},
      {"y = 7, cut at the radiation face", "1", "0", 8, 1.90639f},
      {"flat radiation face, cut there", "2", "0", 8, 2.0f},
      {"flat radiation face, cut at the feed face", "2", "1", 8, 0.0f},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    DesignRun run(std::string(c.side) + "\n2.25\n10 20\n0\n1\n1\n1\n" + c.share + "\n0\n0\n",
                  kExact);
    run.Design();
    const SPLENZ& s = run.splenz();
    const auto at = static_cast<std::size_t>(c.ray - 1);
    float want = c.step;
    if (want == 0.0f) want = 1.0f / (1.5f - s.ZF()[at] / std::hypot(s.ZF()[at], s.RF()[at]));
    const float step =
        ExactStep(1.0f, s.RefractiveIndex(), s.FR(), {s.CutCosFeed()[at], s.CutCosRadiation()[at]});
    EXPECT_NEAR(want, step, 2e-4f);
  }
}

// The report of an exact zoning is the standard report with the mode on a
// line of its own after the heading, and the same zone count.
TEST(ExactZoningTest, ReportStatesTheMode) {
  const std::string answers = "1\n2.25\n10 20\n0\n1\n1\n1\n0.5\n0.5\n0\n";
  DesignRun standard(answers);
  DesignRun exact(answers, kExact);
  standard.Design();
  exact.Design();
  EXPECT_EQ(standard.splenz().NZ(), exact.splenz().NZ());
  std::vector<std::string> want = Lines(standard.Report());
  const std::vector<std::string> got = Lines(exact.Report());
  const auto heading = std::find(want.begin(), want.end(), " Lens zoning");
  ASSERT_NE(want.end(), heading);
  want.insert(heading + 1, " Zoning mode:          exact, one wavelength along each ray");
  ASSERT_EQ(want.size(), got.size());
  // Everything but the radii of the zone rows at the end
  const auto rows = static_cast<std::size_t>(exact.splenz().NZ());
  EXPECT_TRUE(
      std::equal(want.begin(), want.end() - static_cast<std::ptrdiff_t>(rows), got.begin()));
}

// A share outside 0..1 would add material to a face: the lens is not zoned.
TEST(ExactZoningTest, RefusesAShareOutsideZeroToOne) {
  for (const char* share : {"-0.5", "1.5"}) {
    SCOPED_TRACE(share);
    DesignRun run(std::string("1\n2.25\n10 20\n0\n1\n1\n1\n") + share + "\n0\n0\n", kExact);
    run.Design();
    EXPECT_EQ(0, run.splenz().ZonesStored());
    EXPECT_EQ(" Exact zoning needs a feed side zone ratio from 0 to 1: lens not zoned",
              Lines(run.Report()).back());
  }
}

// The tor file of an exact zoning is a valid lens outline in every side and
// face case, and each zone removes one wavelength's lens path on the axis (to
// the five digits the file holds).
TEST(ExactZoningTest, TorFileIsAValidLensInEveryCase) {
  struct Case {
    const char* name;
    const char* design;  // answers up to the radial step
    const char* zoning;  // wavelength, feed share, base
  };
  const Case kCases[] = {
      {"flat feed face, half shares", "1\n2.25\n10 20\n0\n1\n1\n", "1\n0.5\n0.5\n"},
      {"flat feed face kept", "1\n2.25\n10 20\n0\n1\n1\n", "1\n0\n0.5\n"},
      {"wide lens, flat feed face kept", "1\n2.54\n50 100\n0\n1\n0.5\n", "5\n0\n0\n"},
      {"wide lens, flat radiation face", "2\n2.54\n50 100\n0\n1\n0.5\n", "5\n0.5\n0\n"},
      {"wide lens, short focus", "1\n2.54\n50 50\n0\n1\n0.5\n", "5\n0.5\n0\n"},
      {"wide lens, sphere about the feed", "1\n2.54\n50 100\n0\n2\n0\n0.5\n", "5\n0.5\n0\n"},
      {"flat feed face, all on it", "1\n2.25\n10 20\n0\n1\n0.5\n", "0.5\n1\n0\n"},
      {"flat radiation face, all on the feed", "2\n2.25\n10 20\n0\n1\n1\n", "1\n1\n0.5\n"},
      {"flat radiation face, all on it", "2\n2.25\n10 20\n0\n1\n1\n", "1\n0\n0.5\n"},
      {"flat radiation face, wide lens", "2\n2.54\n50 50\n0\n1\n0.5\n", "5\n0.5\n0\n"},
      {"spherical feed face", "1\n2.25\n10 20\n0\n2\n5\n1\n", "1\n0\n0.5\n"},
      {"spherical feed face beyond", "1\n2.25\n10 20\n0\n2\n30\n1\n", "1\n1\n0.5\n"},
      {"spherical radiation face", "2\n2.25\n10 20\n0\n2\n30\n1\n", "1\n0.25\n0.5\n"},
      {"spherical radiation face before", "2\n2.25\n10 20\n0\n2\n5\n1\n", "1\n0.5\n0.5\n"},
      {"cuts deeper than the feed is near", "1\n4\n50 10\n0\n1\n0.5\n", "1\n0.5\n0.5\n"},
      {"feed face seen at 84 degrees", "1\n2.25\n50 5\n0\n1\n0.5\n", "1\n1\n0.5\n"},
      {"no zone", "1\n2.25\n10 20\n0\n1\n1\n", "1\n0.5\n7\n"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    DesignRun run(std::string(c.design) + c.zoning + "1\n@DIR@/lens.tor\n3\n0\n", kExact);
    run.Design();
    torfile::Mesh file;
    torfile::Problem error;
    ASSERT_TRUE(torfile::ParseTor(run.File("lens.tor"), &file, &error)) << error.message;
    const torfile::CheckResult check = torfile::CheckOutline(file);
    ASSERT_TRUE(check.errors.empty()) << check.errors[0].message;
    EXPECT_TRUE(check.warnings.empty()) << check.warnings[0].message;
    const SPLENZ& s = run.splenz();
    const double removed = s.ZonesStored() * static_cast<double>(s.STEP());
    EXPECT_NEAR(static_cast<double>(s.TPATH()[static_cast<std::size_t>(run.npt() - 1)]) - removed,
                torfile::Summarize(file, *check.outline).axis_thickness,
                1e-3 + 1e-4 * static_cast<double>(run.edge()));
  }
}

// What kevrano-tor analyse finds on the exported lens of a design.
struct Analysed {
  double rms_degrees = 0.0;
  double blocked = 0.0;      // share of the feed power
  double directivity = 0.0;  // on the axis, as a power ratio
};

Analysed AnalyseDesign(const std::string& answers, ZoningMode mode) {
  DesignRun run(answers + "1\n@DIR@/lens.tor\n3\n0\n", DesignOptions{mode});
  run.Design();
  torfile::Mesh file;
  torfile::Problem problem;
  EXPECT_TRUE(torfile::ParseTor(run.File("lens.tor"), &file, &problem)) << problem.message;
  const torfile::CheckResult check = torfile::CheckOutline(file);
  if (!check.outline) {
    ADD_FAILURE() << check.errors.at(0).message;
    return {};
  }
  std::string error;
  const std::optional<optics::Trace> trace = optics::TraceLens(file, *check.outline, 1001, &error);
  optics::AnalysisOptions options;
  const SPLENZ& s = run.splenz();
  options.wavelength =
      static_cast<double>(s.STEP()) * (static_cast<double>(s.RefractiveIndex()) - 1.0);
  const std::optional<optics::ApertureFigures> figures =
      trace ? optics::ComputeApertureFigures(*trace, options, &error) : std::nullopt;
  if (!figures) {
    ADD_FAILURE() << error;
    return {};
  }
  return {figures->rms_phase_error_deg, figures->power.blocked, figures->directivity};
}

// kevrano-tor analyse on the exported lenses (10 dB edge taper): the exact
// zoning keeps the phase within 5 degrees RMS, at least four times better
// than the standard zoning; its steps block no more (to 0.2 % of the power),
// and the lens loses no directivity against the standard zoning.
TEST(ExactZoningTest, KeepsThePhaseOfEveryRay) {
  struct Case {
    const char* name;
    const char* answers;
  };
  const Case kCases[] = {
      {"(a) flat feed face kept", "1\n2.54\n50 100\n0\n1\n0.5\n5\n0\n0\n"},
      {"(b) flat radiation face, half shares", "2\n2.54\n50 100\n0\n1\n0.5\n5\n0.5\n0\n"},
      {"(c) flat feed face, short focus", "1\n2.54\n50 50\n0\n1\n0.5\n5\n0.5\n0\n"},
      {"(d) feed face a sphere about the feed", "1\n2.54\n50 100\n0\n2\n0\n0.5\n5\n0.5\n0\n"},
      {"flat radiation face, short focus", "2\n2.54\n50 50\n0\n1\n0.5\n5\n0.5\n0\n"},
      {"edge thickness, all on the feed face", "1\n2.54\n50 40\n2\n1\n0.5\n3\n1\n1\n"},
      {"denser material, base above zero", "1\n4\n50 60\n0\n1\n0.5\n2\n0.5\n0.5\n"},
      {"radiation face a sphere", "2\n2.54\n50 100\n0\n2\n200\n0.5\n5\n0.5\n0\n"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const Analysed standard = AnalyseDesign(c.answers, ZoningMode::kStandard);
    const Analysed exact = AnalyseDesign(c.answers, ZoningMode::kExact);
    EXPECT_LE(exact.rms_degrees, 5.0);
    EXPECT_LE(4.0 * exact.rms_degrees, standard.rms_degrees);
    EXPECT_LE(exact.blocked, standard.blocked + 2e-3);
    EXPECT_GE(exact.directivity, standard.directivity);
  }
}

}  // namespace
}  // namespace design
