#include "design/zoning.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <sstream>
#include <utility>
#include <string>
#include <vector>

#include "design/design_fixture.h"
#include "design/splenz.h"

namespace design {
namespace {

using testing_support::DesignRun;
using testing_support::Lines;

TEST(ZoningKnotsTest, KeepsTheRayNearestTheAxisOfEachRunOfEqualPaths) {
  struct Case {
    const char* name;
    std::vector<float> paths;  // edge ray first
    std::vector<float> want_paths;
    std::vector<float> want_radii;
  };
  const float nan = std::numeric_limits<float>::quiet_NaN();
  // Radii of the rays: 5 at the edge ray down to 0 on the axis, for six
  // rays; shorter tables use the last entries.
  const Case kCases[] = {
      {"strictly increasing", {1, 2, 3, 4, 5, 6}, {1, 2, 3, 4, 5, 6}, {5, 4, 3, 2, 1, 0}},
      {"runs of equal paths", {1, 2, 2, 3, 3, 3}, {1, 2, 3}, {5, 3, 0}},
      {"run at the edge", {1, 1, 1, 4, 5, 6}, {1, 4, 5, 6}, {3, 2, 1, 0}},
      {"a ray longer than one inside it", {1, 3, 2, 4, 5, 6}, {1, 2, 4, 5, 6}, {5, 3, 2, 1, 0}},
      {"every path equal", {7, 7, 7, 7, 7, 7}, {7}, {0}},
      {"no finite path at the axis", {1, 2, 3, 4, 5, nan}, {1, 2, 3, 4, 5}, {5, 4, 3, 2, 1}},
  };
  const std::vector<float> feed{5, 4, 3, 2, 1, 0};
  std::vector<float> radiation(feed.size());
  for (std::size_t k = 0; k < feed.size(); ++k) radiation[k] = 2.0f * feed[k];
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    std::vector<float> paths(8, -1.0f), feed_knots(8, -1.0f), radiation_knots(8, -1.0f);
    const int32_t n = ZoningKnots(c.paths, feed, radiation, static_cast<int32_t>(c.paths.size()),
                                  paths, feed_knots, radiation_knots);
    ASSERT_EQ(static_cast<int32_t>(c.want_paths.size()), n);
    for (std::size_t k = 0; k < c.want_paths.size(); ++k) {
      EXPECT_EQ(c.want_paths[k], paths[k]);
      EXPECT_EQ(c.want_radii[k], feed_knots[k]);
      EXPECT_EQ(2.0f * c.want_radii[k], radiation_knots[k]);
    }
    EXPECT_EQ(-1.0f, paths[c.want_paths.size()]);  // nothing written beyond
  }
}

TEST(CountZonesTest, CountsOnlyWhatCanBeZoned) {
  struct Case {
    const char* name;
    float axial_path, pmin, step;
    int32_t knots;
    ZoneVerdict verdict;
    int32_t nz;
  };
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const Case kCases[] = {
      {"first example", 4.7214f, 0.5f, 2.0f, 11, ZoneVerdict::kCounted, 2},
      {"half wavelength", 4.7214f, 0.0f, 1.0f, 11, ZoneVerdict::kCounted, 4},
      {"base above the axial path", 4.7214f, 7.0f, 2.0f, 11, ZoneVerdict::kCounted, -1},
      {"base less than one step below", 4.7214f, 5.0f, 2.0f, 11, ZoneVerdict::kCounted, 0},
      {"count cut toward zero", 3.999f, 1.0f, 1.0f, 11, ZoneVerdict::kCounted, 2},
      {"no zone needs no knots", 4.7214f, 5.0f, 2.0f, 1, ZoneVerdict::kCounted, 0},
      {"as many zones as the tables hold", 4999.5f, 0.0f, 1.0f, 11, ZoneVerdict::kCounted, 4999},
      {"one zone too many", 5000.5f, 0.0f, 1.0f, 11, ZoneVerdict::kTooManyZones, 0},
      {"short wavelength on a thick lens", 4.7214f, 0.0f, 2.0e-4f, 11,
       ZoneVerdict::kTooManyZones, 0},
      {"zero wavelength", 4.7214f, 0.5f, 0.0f, 11, ZoneVerdict::kNoStep, 0},
      {"negative wavelength", 4.7214f, 7.0f, -2.0f, 11, ZoneVerdict::kNoStep, 0},
      {"material with n = 1", 4.7214f, 0.5f, inf, 11, ZoneVerdict::kNoStep, 0},
      {"no step at all", 4.7214f, 0.5f, nan, 11, ZoneVerdict::kNoStep, 0},
      {"count beyond 32 bits", 4.7214f, -1.0e30f, 1.0f, 11, ZoneVerdict::kCountOutOfRange, 0},
      {"count overflowing the quotient", 4.7214f, -3.0e38f, 1.0e-10f, 11,
       ZoneVerdict::kCountOutOfRange, 0},
      {"base far above", 4.7214f, 1.0e30f, 1.0f, 11, ZoneVerdict::kCountOutOfRange, 0},
      {"no base", 4.7214f, nan, 1.0f, 11, ZoneVerdict::kCountOutOfRange, 0},
      {"one knot only", 4.7214f, 0.5f, 2.0f, 1, ZoneVerdict::kPathDoesNotVary, 0},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const ZoneCount got = CountZones(c.axial_path, c.pmin, c.step, c.knots, kMaxZones);
    EXPECT_EQ(c.verdict, got.verdict);
    EXPECT_EQ(c.nz, got.NZ);
  }
}

// The first example lens (flat feed face, R = 10, E = 20) at radial step dr,
// zoned with the given answers (wavelength, feed share, base) and no tor file.
std::string FirstLens(const char* dr, const char* zoning) {
  return std::string("1\n2.25\n10 20\n0\n1\n") + dr + "\n" + zoning + "0\n";
}

TEST(ZoningTest, ZoneRadiiOfTheFirstExample) {
  struct Case {
    const char* name;
    const char* zoning;
    float step;
    std::vector<float> feed, radiation;  // about, outermost first
  };
  const Case kCases[] = {
      {"one wavelength, half on each face", "1\n0.5\n0.5\n", 2.0f, {6.58f, 2.01f}, {7.10f, 2.30f}},
      {"half a wavelength, all on the feed face", "0.5\n1\n0\n", 1.0f,
       {8.74f, 7.35f, 5.75f, 3.69f}, {}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    DesignRun run(FirstLens("1", c.zoning));
    run.Design();
    const SPLENZ& s = run.splenz();
    EXPECT_EQ(c.step, s.STEP());
    ASSERT_EQ(static_cast<int32_t>(c.feed.size()), s.NZ());
    ASSERT_EQ(s.NZ(), s.ZonesStored());
    for (std::size_t j = 0; j < c.feed.size(); ++j) {
      EXPECT_NEAR(c.feed[j], s.RZF()[j], 0.006f) << "zone " << j + 1;
      if (!c.radiation.empty()) {
        EXPECT_NEAR(c.radiation[j], s.RZR()[j], 0.006f);
      }
    }
  }
}

// The lens path length of a design at feed radius r, by linear interpolation
// between its rays.
double PathAtFeedRadius(const SPLENZ& s, int32_t rays, double r) {
  for (int32_t i = 1; i < rays; ++i) {
    const auto k = static_cast<std::size_t>(i - 1);
    const double r0 = s.RF()[k], r1 = s.RF()[k + 1];
    if (r >= r0 && r <= r1) {
      const double t0 = s.TPATH()[static_cast<std::size_t>(rays - i)];
      const double t1 = s.TPATH()[static_cast<std::size_t>(rays - i - 1)];
      return t0 + (t1 - t0) * (r - r0) / (r1 - r0);
    }
  }
  return std::numeric_limits<double>::quiet_NaN();
}

// Fine steps give neighbouring rays equal path lengths; the zone boundaries
// must still lie where the lens path length is the base plus whole steps.
TEST(ZoningTest, FineStepsZoneWhereThePathLengthSaysSo) {
  struct Case {
    const char* dr;
    const char* zoning;
    double pmin;
  };
  const Case kCases[] = {
      {"0.05", "1\n0.5\n0.5\n", 0.5},
      {"0.01", "0.5\n1\n0\n", 0.0},
      {"0.002857", "0.0233\n0.5\n0\n", 0.0},  // the largest design, 101 zones
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.dr);
    DesignRun run(FirstLens(c.dr, c.zoning));
    run.Design();
    const SPLENZ& s = run.splenz();
    const int32_t rays = run.npt();
    int equal_neighbours = 0;
    for (int32_t k = 1; k < rays; ++k) {
      equal_neighbours += s.TPATH()[static_cast<std::size_t>(k - 1)] ==
                          s.TPATH()[static_cast<std::size_t>(k)];
    }
    EXPECT_GT(equal_neighbours, 0) << "the step is not fine enough to test anything";
    ASSERT_GT(s.NZ(), 0);
    ASSERT_EQ(s.NZ(), s.ZonesStored());
    float outer = 11.0f;
    for (int32_t j = 1; j <= s.NZ(); ++j) {
      SCOPED_TRACE("zone " + std::to_string(j));
      const float rzf = s.RZF()[static_cast<std::size_t>(j - 1)];
      ASSERT_TRUE(std::isfinite(rzf));
      ASSERT_TRUE(std::isfinite(s.RZR()[static_cast<std::size_t>(j - 1)]));
      EXPECT_LT(rzf, outer);
      outer = rzf;
      const double want = j * static_cast<double>(s.STEP()) + c.pmin;
      EXPECT_NEAR(want, PathAtFeedRadius(s, rays, rzf), 2e-3);
    }
    EXPECT_EQ(std::string::npos, run.Report().find("NaN"));
  }
}

TEST(ZoningTest, ZoneTablesHoldFarMoreThanAHundredZones) {
  // Wavelength 0.001 on the first lens: a zone step of 0.002 and 2360 zones.
  DesignRun run(FirstLens("0.01", "0.001\n0.5\n0\n"));
  run.Design();
  const SPLENZ& s = run.splenz();
  EXPECT_EQ(2360, s.NZ());
  EXPECT_EQ(2360, s.ZonesStored());
  std::size_t rows = 0;
  for (const std::string& line : Lines(run.Report())) rows += line.size() == 33;
  EXPECT_EQ(2360u, rows);
  for (std::size_t j = 0; j < 2360; ++j) {
    ASSERT_TRUE(s.RZF()[j] > -0.5f && s.RZF()[j] < 10.5f) << "zone " << j + 1;
  }
}

// Each answer that leaves no zone count: the block shows 0 zones and one line
// says why; no row follows, and the tor question still comes.
TEST(ZoningTest, AnswersThatCannotBeZonedGiveNoZonesAndSayWhy) {
  struct Case {
    const char* name;
    std::string answers;
    const char* why;
  };
  const Case kCases[] = {
      {"zero wavelength", FirstLens("1", "0\n0.5\n0.5\n"),
       " Zone step is not a positive length: lens not zoned"},
      {"negative wavelength", FirstLens("1", "-1\n0.5\n7\n"),
       " Zone step is not a positive length: lens not zoned"},
      {"base far below", FirstLens("1", "1\n0.5\n-1e30\n"),
       " Zone count out of range: lens not zoned"},
      {"short wavelength", FirstLens("1", "1e-4\n0.5\n0\n"),
       " More than 4999 zones: lens not zoned"},
      {"no valid side", "3\n2.25\n10 20\n0\n1\n1\n1\n0.5\n0.5\n0\n",
       " Lens path length does not vary: lens not zoned"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    DesignRun run(c.answers);
    run.Design();
    EXPECT_EQ(0, run.splenz().NZ());
    EXPECT_EQ(0, run.splenz().ZonesStored());
    const std::vector<std::string> report = Lines(run.Report());
    ASSERT_GE(report.size(), 4u);
    EXPECT_EQ(" Number of zones:         0", report[report.size() - 5]);
    EXPECT_EQ(" Zone  Feed radius  Radiation radius", report[report.size() - 3]);
    EXPECT_EQ(c.why, report.back());
    const std::vector<std::string> screen = Lines(run.Screen());
    EXPECT_EQ(c.why, screen[screen.size() - 2]);
    EXPECT_EQ(" Enter 1 to write CHAMP tor file of design ", screen.back());
  }
}

// The outline of a tor file: node coordinates and both segment tables.
struct TorOutline {
  std::vector<std::pair<double, double>> nodes;  // (z, r) of node k at k - 1
  std::vector<std::vector<int>> linear, cubic;
};

TorOutline ReadTor(const std::string& text) {
  TorOutline tor;
  std::vector<std::vector<int>>* table = nullptr;
  for (const std::string& line : Lines(text)) {
    if (line.find("ref(ZLOFF)+") != std::string::npos) {
      const std::size_t plus = line.find('+');
      const std::size_t quote = line.find('"', plus);
      tor.nodes.emplace_back(std::stod(line.substr(plus + 1, quote - plus - 1)),
                             std::stod(line.substr(quote + 1)));
    } else if (line.find("linear_segments") != std::string::npos) {
      table = &tor.linear;
    } else if (line.find("cubic_segments") != std::string::npos) {
      table = &tor.cubic;
    } else if (table != nullptr && line.size() > 20 && line.find("-1.0") != std::string::npos) {
      std::istringstream row(line.substr(0, line.find("  0   1")));
      std::vector<int> numbers;
      for (int n = 0; row >> n;) numbers.push_back(n);
      table->push_back(std::vector<int>(numbers.begin() + 1, numbers.end()));
    }
  }
  return tor;
}

// Exported outlines of zoned designs, checked against the zoning: node 1 sits
// NZ zone steps' shares inside the first side's axis point, every zone step is
// a linear segment as long as its face's share of the step, the cubic
// segments chain, and every node belongs to a segment.
TEST(ZoningTest, ExportedOutlineFollowsTheZoning) {
  struct Case {
    const char* name;
    const char* design;  // answers up to the radial step
    const char* zoning;  // wavelength, feed share, base
  };
  const Case kCases[] = {
      {"flat feed face, half shares", "1\n2.25\n10 20\n0\n1\n1\n", "1\n0.5\n0.5\n"},
      {"flat feed face, all on the feed", "1\n2.25\n10 20\n0\n1\n1\n", "0.5\n1\n0\n"},
      {"flat feed face, all on the radiation", "1\n2.25\n10 20\n0\n1\n1\n", "1\n0\n0.5\n"},
      {"flat radiation face, all on the feed", "2\n2.25\n10 20\n0\n1\n1\n", "1\n1\n0.5\n"},
      {"flat radiation face, all on it", "2\n2.25\n10 20\n0\n1\n1\n", "1\n0\n0.5\n"},
      {"spherical feed face", "1\n2.25\n10 20\n0\n2\n5\n1\n", "1\n0\n0.5\n"},
      {"spherical feed face beyond", "1\n2.25\n10 20\n0\n2\n30\n1\n", "1\n1\n0.5\n"},
      {"spherical radiation face", "2\n2.25\n10 20\n0\n2\n30\n1\n", "1\n0.25\n0.5\n"},
      {"spherical radiation face before", "2\n2.25\n10 20\n0\n2\n5\n1\n", "1\n1\n0.5\n"},
      {"fine step", "1\n2.25\n10 20\n0\n1\n0.05\n", "1\n0.5\n0.5\n"},
      {"base above the axial path", "1\n2.25\n10 20\n0\n1\n1\n", "1\n0.5\n7\n"},
      {"largest design, 101 zones", "1\n2.25\n10 20\n0\n1\n0.002857\n", "0.0233\n0.5\n0\n"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    DesignRun run(std::string(c.design) + c.zoning + "1\nlens.tor\n3\n0\n");
    run.Design();
    const SPLENZ& s = run.splenz();
    const TorOutline tor = ReadTor(run.File("lens.tor"));
    ASSERT_FALSE(tor.nodes.empty());
    const int nz = s.ZonesStored();
    const double step = s.STEP();
    const double feed_share = s.FR(), radiation_share = 1.0 - feed_share;
    const bool flat_radiation_first = s.ISIDE() == 2 && s.ISURF() == 1;

    // Node 1: the first side's axis point moved into the lens.
    const double depth = nz * step * (flat_radiation_first ? radiation_share : feed_share);
    const double axis_z = flat_radiation_first ? static_cast<double>(s.ZR()[0]) - depth
                                               : static_cast<double>(s.ZF()[0]) + depth;
    EXPECT_NEAR(axis_z, tor.nodes[0].first, 2e-3);
    EXPECT_EQ(0.0, tor.nodes[0].second);

    // Linear segments: each side's in turn, then the rim.
    const auto length = [&](const std::vector<int>& seg) {
      const auto& a = tor.nodes.at(static_cast<std::size_t>(seg[0] - 1));
      const auto& b = tor.nodes.at(static_cast<std::size_t>(seg[1] - 1));
      return std::hypot(a.first - b.first, a.second - b.second);
    };
    std::size_t next = 0;
    for (const bool feed_side : {!flat_radiation_first, flat_radiation_first}) {
      const double share = feed_side ? feed_share : radiation_share;
      const bool flat = s.ISURF() == 1 && (s.ISIDE() == 1) == feed_side;
      for (int k = 0; k < (flat ? 2 * nz + 1 : share > 0 ? nz : 0); ++k) {
        ASSERT_LT(next, tor.linear.size());
        if (!flat || k % 2 == 1) {
          EXPECT_NEAR(share * step, length(tor.linear[next]), 2e-3) << "linear " << next + 1;
        }
        ++next;
      }
    }
    const std::size_t rays = static_cast<std::size_t>(run.npt());
    EXPECT_EQ(next + (s.ZF()[rays - 1] != s.ZR()[rays - 1] ? 1 : 0), tor.linear.size());

    // Cubic segments chain from a node already made; every node is used.
    std::vector<bool> used(tor.nodes.size() + 1, false);
    for (const auto& seg : tor.linear) {
      for (int n : seg) used.at(static_cast<std::size_t>(n)) = true;
    }
    for (const auto& seg : tor.cubic) {
      ASSERT_EQ(4u, seg.size());
      for (std::size_t j = 1; j < 4; ++j) EXPECT_EQ(seg[0] + static_cast<int>(j), seg[j]);
      for (int n : seg) used.at(static_cast<std::size_t>(n)) = true;
    }
    for (std::size_t n = 1; n < used.size(); ++n) EXPECT_TRUE(used[n]) << "node " << n;
  }
}

// Boundary j lies at path length j*STEP + PMIN; the splines were fitted from
// path length 2 (the edge ray) to 10 (the axial ray).
TEST(ExtrapolatedBoundariesLineTest, NamesBoundariesOutsideThePathLengths) {
  struct Case {
    const char* name;
    int32_t zones;
    float step;
    float pmin;
    std::string line;
  };
  const std::string tail = " outside the lens path lengths: ";
  const Case kCases[] = {
      {"all inside, ends included", 4, 2.0f, 0.0f, ""},
      {"boundaries exactly at the edge and the axial paths", 5, 2.0f, 0.0f, ""},
      {"no zones", 0, 2.0f, -10.0f, ""},
      {"the outermost beyond the edge ray", 4, 2.0f, -0.5f,
       "Zone boundary 1 (beyond the edge ray) lies" + tail +
           "its radii are extrapolated; a tor file is still written as designed"},
      {"two beyond the edge ray", 5, 2.0f, -3.0f,
       "Zone boundaries 1 to 2 (beyond the edge ray) lie" + tail +
           "their radii are extrapolated; a tor file is still written as designed"},
      {"both ends", 6, 2.0f, -0.5f,
       "Zone boundaries 1 (beyond the edge ray) and 6 (inside the axial ray) lie" + tail +
           "their radii are extrapolated; a tor file is still written as designed"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.line, ExtrapolatedBoundariesLine(c.zones, c.step, c.pmin, 2.0f, 10.0f));
  }
}

}  // namespace
}  // namespace design
