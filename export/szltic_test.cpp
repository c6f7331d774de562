#include "export/szltic.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <limits>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "export/zoned_outline.h"
#include "kernels/spline.h"
#include "textio/failure.h"
#include "textio/units.h"
#include "torfile/test_support.h"

namespace tor {
namespace {

using torfile::testing::ReadBytes;
using torfile::testing::ReadTor;
using torfile::testing::ScratchFolder;

/// Reads the tor file as its columns hold it.
::testing::AssertionResult ParseTor(const std::string& bytes, ReadTor& tor) {
  return torfile::testing::ReadColumns(bytes, tor);
}

using LinearSegment = std::array<int32_t, 2>;
using CubicSegment = std::array<int32_t, 4>;

/// The built outline as the checks below read it: the design's 32-bit node
/// coordinates and bare node numbers.
struct Outline {
  struct Node {
    float z = 0.0f;
    float r = 0.0f;
  };
  std::vector<Node> nodes;
  std::vector<LinearSegment> linear;
  std::vector<CubicSegment> cubic;
  std::optional<int32_t> radiation_last_zone;
};
using Node = Outline::Node;

Outline Built(const ZonedOutline& zoned) {
  Outline o;
  for (const torfile::Node& n : zoned.mesh.nodes) {
    o.nodes.push_back({static_cast<float>(n.z), static_cast<float>(n.r)});
  }
  for (const torfile::LinearSegment& l : zoned.mesh.linear) o.linear.push_back(l.nodes);
  for (const torfile::CubicSegment& c : zoned.mesh.cubic) o.cubic.push_back(c.nodes);
  o.radiation_last_zone = zoned.radiation_last_zone;
  return o;
}

/// A zoned lens as the design routine hands it over.
using LensCase = torfile::testing::LensData;

ZonedLens Zoned(const LensCase& c) {
  return {c.ZF, c.RF, c.ZR, c.RR, c.NPT, c.ISIDE, c.ISURF, c.RZF, c.RZR, c.NZ, c.STEP, c.FR};
}

/// Ten rays; the feed face z = 2 + 0.05 r², the radiation face z = 4 - 0.08 r²;
/// two zones, the feed face prescribed spherical.
LensCase WorkedExample() { return torfile::testing::CrossingFacesLens(); }

/// The same lens with a flat prescribed radiation face at z = 4.
LensCase FlatRadiationExample() {
  LensCase c = WorkedExample();
  c.ISIDE = 2;
  c.ISURF = 1;
  std::fill(c.ZR.begin(), c.ZR.end(), 4.0f);
  return c;
}

/// The same lens with a flat prescribed feed face at z = 2.
LensCase FlatFeedExample() {
  LensCase c = WorkedExample();
  c.ISURF = 1;
  std::fill(c.ZF.begin(), c.ZF.end(), 2.0f);
  return c;
}

// ---------------------------------------------------------------------------
// Geometric check of an outline.

/// What the lens data says about the outline's two sides.
struct Shape {
  int32_t first_side_nodes = 0;
  bool radiation_first = false;  // flat prescribed radiation face
  bool first_flat = false;
  float first_share = 0.0f;
  float second_share = 0.0f;
  int32_t nz = 0;
  float step = 0.0f;
  bool rim = false;
};

Shape ShapeOf(const LensCase& c, int32_t first_side_nodes) {
  Shape s;
  s.first_side_nodes = first_side_nodes;
  s.radiation_first = c.ISIDE == 2 && c.ISURF == 1;
  s.first_flat = c.ISURF == 1;
  s.first_share = s.radiation_first ? 1.0f - c.FR : c.FR;
  s.second_share = s.radiation_first ? c.FR : 1.0f - c.FR;
  s.nz = std::clamp<int32_t>(c.NZ, 0, static_cast<int32_t>(std::min(c.RZF.size(), c.RZR.size())));
  s.step = c.STEP;
  s.rim =
      c.ZF.at(static_cast<std::size_t>(c.NPT - 1)) != c.ZR.at(static_cast<std::size_t>(c.NPT - 1));
  return s;
}

/// Each side is one chain from its axis node to its edge node: every node but
/// the two axis nodes is reached from the node before it by exactly one
/// segment (a linear one, or one step inside a cubic one), so each cubic
/// segment starts where the previous segment or step ended; every node is
/// referenced; the zone steps have the length of the side's share of STEP;
/// radii never decrease along a side except across a zone step, which
/// follows the ray inside the lens; the rim, if any, joins the two edge nodes.
::testing::AssertionResult CheckOutline(const Outline& o, const Shape& s) {
  using ::testing::AssertionFailure;
  const auto n = static_cast<int32_t>(o.nodes.size());
  if (s.first_side_nodes < 1 || s.first_side_nodes >= n) {
    return AssertionFailure() << n << " nodes, first side " << s.first_side_nodes;
  }
  const int32_t second_start = s.first_side_nodes + 1;
  auto side = [&](int32_t node) { return node < second_start ? 0 : 1; };
  auto node = [&](int32_t number) { return o.nodes[static_cast<std::size_t>(number - 1)]; };
  const bool flat[2] = {s.first_flat, false};
  const float share[2] = {s.first_share, s.second_share};
  const int32_t feed_edge = s.radiation_first ? n : s.first_side_nodes;
  const int32_t radiation_edge = s.radiation_first ? s.first_side_nodes : n;

  std::vector<int> reached(static_cast<std::size_t>(n) + 1, 0);
  std::vector<bool> referenced(static_cast<std::size_t>(n) + 1, false);
  std::vector<bool> step_into(static_cast<std::size_t>(n) + 1, false);
  int linear_on_side[2] = {0, 0};
  int steps[2] = {0, 0};
  bool rim_seen = false;
  auto valid = [&](int32_t number) { return number >= 1 && number <= n; };

  for (const LinearSegment& seg : o.linear) {
    const auto [a, b] = seg;
    if (!valid(a) || !valid(b)) return AssertionFailure() << "linear " << a << "," << b;
    referenced[static_cast<std::size_t>(a)] = referenced[static_cast<std::size_t>(b)] = true;
    if (b == a + 1 && side(a) == side(b)) {
      const int on = side(a);
      const bool is_step = flat[on] ? ++linear_on_side[on] % 2 == 0 : true;
      ++reached[static_cast<std::size_t>(b)];
      if (is_step) {
        ++steps[on];
        step_into[static_cast<std::size_t>(b)] = true;
        const float length = std::hypot(node(b).z - node(a).z, node(b).r - node(a).r);
        if (std::fabs(length - s.step * share[on]) > 1e-4f) {
          return AssertionFailure() << "step " << a << "," << b << " of length " << length;
        }
      }
    } else if (s.rim && !rim_seen && a == feed_edge && b == radiation_edge) {
      rim_seen = true;
    } else {
      return AssertionFailure() << "linear segment " << a << "," << b << " joins no chain";
    }
  }
  for (const CubicSegment& seg : o.cubic) {
    for (int j = 0; j < 4; ++j) {
      const int32_t m = seg[static_cast<std::size_t>(j)];
      if (m != seg[0] + j || !valid(m) || side(m) != side(seg[0])) {
        return AssertionFailure() << "cubic segment from " << seg[0] << " not consecutive";
      }
      referenced[static_cast<std::size_t>(m)] = true;
      if (j > 0) ++reached[static_cast<std::size_t>(m)];
    }
  }
  for (int32_t m = 1; m <= n; ++m) {
    const int want = (m == 1 || m == second_start) ? 0 : 1;
    if (reached[static_cast<std::size_t>(m)] != want) {
      return AssertionFailure() << "node " << m << " reached "
                                << reached[static_cast<std::size_t>(m)] << " times";
    }
    if (!referenced[static_cast<std::size_t>(m)])
      return AssertionFailure() << "node " << m << " unused";
    if (m != 1 && m != second_start && !step_into[static_cast<std::size_t>(m)] &&
        node(m).r < node(m - 1).r) {
      return AssertionFailure() << "radius falls from node " << m - 1 << " to " << m;
    }
  }
  for (int on = 0; on < 2; ++on) {
    const int want = flat[on] || share[on] > 0.0f ? s.nz : 0;
    if (steps[on] != want) {
      return AssertionFailure() << "side " << on + 1 << " has " << steps[on] << " zone steps";
    }
  }
  if (rim_seen != s.rim) return AssertionFailure() << "rim " << (s.rim ? "missing" : "made");
  return ::testing::AssertionSuccess();
}

/// The file holds the outline: the same lists, and every coordinate to the
/// five digits it is written with.
void ExpectFileHolds(const ReadTor& tor, const Outline& o) {
  EXPECT_EQ(o.linear, tor.linear);
  EXPECT_EQ(o.cubic, tor.cubic);
  ASSERT_EQ(o.nodes.size(), tor.nodes.size());
  for (std::size_t i = 0; i < o.nodes.size(); ++i) {
    SCOPED_TRACE("node " + std::to_string(i + 1));
    EXPECT_NEAR(o.nodes[i].z, tor.nodes[i].z, 6e-5f * std::fabs(o.nodes[i].z));
    EXPECT_NEAR(o.nodes[i].r, tor.nodes[i].r, 6e-5f * std::fabs(o.nodes[i].r));
  }
}

// ---------------------------------------------------------------------------

const std::string kAskFile = " CHAMP tor file of lens design; Enter file ";
const std::string kAskUnits = " Enter units: 1 in., 2 ft., 3 mm, 4 m ";
const std::string kAskOffset = " Enter Lens axis offset ";
// The worked example's faces cross near its rim (the radiation face bends
// below the feed face), which the export names before it writes the file.
const std::string kCrossing =
    " Warning, tor file written as designed: the outline crosses itself: cubic segment 4 "
    "crosses cubic segment 9 near (z 2.68501, r 3.83874)\r\n";

/// The export on a text unit set whose screen is a redirected stream; the
/// report is a scratch file on unit 66. Every file is named by its short name
/// and lies in the scratch folder, however long the folder's path.
class SzlticTest : public ::testing::Test {
 protected:
  SzlticTest() : io_(keyboard_, screen_, {}) {
    io_.ConfineFilesTo(folder_.path().string());
    io_.open_text_unit(textio::kReport, "report.txt");
  }

  /// The tor file name answered, and the file's path.
  static std::string TorName() { return "lens.tor"; }
  std::string TorPath() const { return folder_.File("lens.tor"); }
  std::string ReportPath() const { return folder_.File("report.txt"); }
  std::string ScriptPath() const { return folder_.File("answers.txt"); }

  /// Runs the export with the answers typed at the keyboard.
  void Typed(const LensCase& c, const std::string& answers) {
    keyboard_.clear();
    keyboard_.str(answers);
    Run(c, textio::kKeyboard);
  }

  /// Runs the export with the answers taken from a script.
  void Scripted(const LensCase& c, const std::string& answers) {
    std::ofstream(ScriptPath(), std::ios::binary) << answers;
    io_.open_text_unit(textio::kScript, "answers.txt");
    Run(c, textio::kScript);
  }

  void Run(const LensCase& c, int unit) {
    textio::INPUTL inputl;
    inputl.IUNIT = unit;
    SZLTIC(io_, c.ZF, c.RF, c.ZR, c.RR, c.NPT, c.EPS, 0.0f, 0.0f, c.ISIDE, c.ISURF, inputl, c.RZF,
           c.RZR, c.NZ, c.STEP, c.FR);
  }

  /// The usual answers: the file, millimetres, offset 25.4.
  std::string Answers() const { return TorName() + "\n3\n25.4\n"; }

  /// Closes the report and returns its content.
  std::string Report() {
    io_.close_unit(textio::kReport);
    return ReadBytes(ReportPath());
  }

  ReadTor TorFile() const {
    ReadTor tor;
    EXPECT_TRUE(ParseTor(ReadBytes(TorPath()), tor));
    return tor;
  }

  /// Exports the lens from typed answers and checks the file against the
  /// outline and the outline's geometry; returns the outline.
  Outline ExportAndCheck(const LensCase& c, int32_t first_side_nodes) {
    Typed(c, Answers());
    ZonedOutline zoned;
    EXPECT_EQ(OutlineStatus::kBuilt, BuildOutline(Zoned(c), zoned));
    const Outline built = Built(zoned);
    ExpectFileHolds(TorFile(), built);
    EXPECT_TRUE(CheckOutline(built, ShapeOf(c, first_side_nodes)));
    return built;
  }

  ScratchFolder folder_;
  std::istringstream keyboard_;
  std::ostringstream screen_;
  textio::Units io_;
};

TEST_F(SzlticTest, WorkedExample) {
  const LensCase c = WorkedExample();
  const Outline built = ExportAndCheck(c, 18);
  const ReadTor tor = TorFile();

  ASSERT_EQ(36u, tor.nodes.size());
  EXPECT_NEAR(2.3f, tor.nodes[0].z, 1e-4f);
  EXPECT_EQ(0.0f, tor.nodes[0].r);
  EXPECT_NEAR(3.7f, tor.nodes[18].z, 1e-4f);
  EXPECT_EQ(0.0f, tor.nodes[18].r);
  EXPECT_NEAR(4.5f, tor.nodes[17].r, 1e-4f);
  EXPECT_NEAR(4.95f, tor.nodes[35].r, 1e-4f);
  const std::vector<LinearSegment> linear = {{7, 8}, {14, 15}, {25, 26}, {32, 33}, {18, 36}};
  EXPECT_EQ(linear, tor.linear);
  const std::vector<CubicSegment> cubic = {
      {1, 2, 3, 4},     {4, 5, 6, 7},     {8, 9, 10, 11},   {11, 12, 13, 14}, {15, 16, 17, 18},
      {19, 20, 21, 22}, {22, 23, 24, 25}, {26, 27, 28, 29}, {29, 30, 31, 32}, {33, 34, 35, 36}};
  EXPECT_EQ(cubic, tor.cubic);
  EXPECT_FLOAT_EQ(25.4f, tor.zloff);
  EXPECT_FLOAT_EQ(2.56f, tor.eps);
  EXPECT_EQ("mm", tor.unit);

  // Typed answers are not echoed; the ZONE line follows the open offset prompt.
  const std::string zone = kCrossing + "  ZONE:            0           1\r\n";
  EXPECT_EQ(kAskFile + kAskUnits + kAskOffset + zone, screen_.str());
  EXPECT_EQ(zone, Report());
}

TEST_F(SzlticTest, FlatRadiationFaceComesFirst) {
  const LensCase c = FlatRadiationExample();
  ExportAndCheck(c, 6);
  const ReadTor tor = TorFile();

  ASSERT_EQ(24u, tor.nodes.size());
  EXPECT_NEAR(3.7f, tor.nodes[0].z, 1e-4f);
  EXPECT_NEAR(2.3f, tor.nodes[6].z, 1e-4f);
  for (std::size_t i = 0; i < 6; ++i) EXPECT_NEAR(4.0f, tor.nodes[i].z, 0.31f) << i;
  const std::vector<LinearSegment> linear = {{1, 2}, {2, 3},   {3, 4},   {4, 5},
                                             {5, 6}, {13, 14}, {20, 21}, {24, 6}};
  EXPECT_EQ(linear, tor.linear);
  const std::vector<CubicSegment> cubic = {
      {7, 8, 9, 10}, {10, 11, 12, 13}, {14, 15, 16, 17}, {17, 18, 19, 20}, {21, 22, 23, 24}};
  EXPECT_EQ(cubic, tor.cubic);

  // No curved radiation face, so no ZONE line.
  EXPECT_EQ(kAskFile + kAskUnits + kAskOffset, screen_.str());
  EXPECT_EQ("", Report());
}

// Sides, shares and zone counts that change the outline's make-up.
TEST_F(SzlticTest, OutlineMakeUp) {
  struct Case {
    const char* name;
    LensCase lens;
    int32_t first_side_nodes;
    std::size_t nodes, linear, cubic;
    std::optional<int32_t> zone;  // the ZONE line's count, if any
    float first_z;                // node 1: the first side's axis point, moved into the lens
  };
  auto with = [](LensCase c, int32_t side, int32_t surface, int32_t nz, float fr) {
    c.ISIDE = side;
    c.ISURF = surface;
    c.NZ = nz;
    c.FR = fr;
    return c;
  };
  const LensCase worked = WorkedExample();
  const LensCase flat_feed = FlatFeedExample();
  const LensCase flat_radiation = FlatRadiationExample();
  const Case kCases[] = {
      {"FR = 1: no radiation steps", with(worked, 1, 2, 2, 1.0f), 18, 34, 3, 10, 1, 2.6f},
      {"FR = 0: no feed steps", with(worked, 1, 2, 2, 0.0f), 16, 34, 3, 10, 1, 2.0f},
      {"flat feed", with(flat_feed, 1, 1, 2, 0.5f), 6, 24, 8, 5, 1, 2.3f},
      {"flat feed, FR = 0: coincident pairs", with(flat_feed, 1, 1, 2, 0.0f), 6, 24, 8, 5, 1, 2.0f},
      {"flat radiation, FR = 0.25", with(flat_radiation, 2, 1, 2, 0.25f), 6, 24, 8, 5, std::nullopt,
       3.55f},
      {"flat radiation, FR = 1", with(flat_radiation, 2, 1, 2, 1.0f), 6, 24, 8, 5, std::nullopt,
       4.0f},
      {"radiation prescribed spherical", with(worked, 2, 3, 2, 0.5f), 18, 36, 5, 10, 1, 2.3f},
      {"NZ = 0, both curved", with(worked, 1, 2, 0, 0.5f), 13, 26, 1, 8, 4, 2.0f},
      {"NZ = 0, flat feed", with(flat_feed, 1, 1, 0, 0.5f), 2, 15, 2, 4, 4, 2.0f},
      {"NZ = 0, flat radiation", with(flat_radiation, 2, 1, 0, 0.5f), 2, 15, 2, 4, std::nullopt,
       4.0f},
      {"NZ < 0 counts as no zone", with(worked, 1, 2, -1, 0.5f), 13, 26, 1, 8, 4, 2.0f},
      {"NZ beyond the zone tables", with(worked, 1, 2, 5, 0.5f), 18, 36, 5, 10, 1, 2.3f},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    screen_.str("");
    const Outline built = ExportAndCheck(c.lens, c.first_side_nodes);
    EXPECT_EQ(c.nodes, built.nodes.size());
    EXPECT_EQ(c.linear, built.linear.size());
    EXPECT_EQ(c.cubic, built.cubic.size());
    EXPECT_EQ(c.zone, built.radiation_last_zone);
    EXPECT_NEAR(c.first_z, built.nodes.at(0).z, 1e-5f);
    EXPECT_EQ(0.0f, built.nodes.at(0).r);
    const bool zone_line = screen_.str().find(" ZONE: ") != std::string::npos;
    EXPECT_EQ(c.zone.has_value(), zone_line);
  }
}

// A face that gives up no share of the steps keeps every node on the face.
TEST(OutlineTest, ZeroShareKeepsNodesOnTheFace) {
  struct Case {
    const char* name;
    LensCase lens;
    bool feed_face;
    int32_t first, last;  // the face's nodes
  };
  LensCase fr1 = WorkedExample();
  fr1.FR = 1.0f;
  LensCase fr0 = WorkedExample();
  fr0.FR = 0.0f;
  LensCase flat0 = FlatFeedExample();
  flat0.FR = 0.0f;
  const Case kCases[] = {{"FR = 1, radiation face", fr1, false, 19, 34},
                         {"FR = 0, feed face", fr0, true, 1, 16},
                         {"FR = 0, flat feed face", flat0, true, 1, 6}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    ZonedOutline zoned;
    ASSERT_EQ(OutlineStatus::kBuilt, BuildOutline(Zoned(c.lens), zoned));
    const Outline built = Built(zoned);
    ASSERT_EQ(static_cast<std::size_t>(c.last), built.nodes.size() - (c.feed_face ? 18u : 0u));
    const std::vector<float>& r = c.feed_face ? c.lens.RF : c.lens.RR;
    const std::vector<float>& z = c.feed_face ? c.lens.ZF : c.lens.ZR;
    std::vector<float> b1(r.size()), b2(r.size()), b3(r.size());
    ASSERT_EQ(1, kernels::SPLIN(r, z, c.lens.NPT, b1, b2, b3));
    for (int32_t m = c.first; m <= c.last; ++m) {
      const Node& node = built.nodes[static_cast<std::size_t>(m - 1)];
      float face = 0.0f, slope = 0.0f, curvature = 0.0f;
      kernels::SPEVL(r, z, b1, b2, b3, c.lens.NPT, node.r, face, slope, curvature);
      EXPECT_FLOAT_EQ(face, node.z) << "node " << m;
    }
  }
}

// The rim is made exactly when the stored edge z values differ, by any amount.
TEST_F(SzlticTest, RimExactlyWhenEdgesDiffer) {
  struct Case {
    const char* name;
    LensCase lens;
    bool rim;
  };
  LensCase equal = WorkedExample();
  equal.ZR.back() = equal.ZF.back();
  LensCase one_ulp = equal;
  one_ulp.ZR.back() = std::nextafter(one_ulp.ZF.back(), 10.0f);
  LensCase flat_equal = FlatRadiationExample();
  flat_equal.ZF.back() = 4.0f;
  const Case kCases[] = {{"equal", equal, false},
                         {"one ulp apart", one_ulp, true},
                         {"flat radiation face, equal", flat_equal, false}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const int32_t first = c.lens.ISIDE == 2 ? 6 : 18;
    const Outline built = ExportAndCheck(c.lens, first);
    const bool rim = !built.linear.empty() && built.linear.back()[1] != built.linear.back()[0] + 1;
    EXPECT_EQ(c.rim, rim);
  }
}

TEST_F(SzlticTest, ScriptAnswersAreEchoed) {
  Scripted(WorkedExample(), Answers());
  std::string name = TorName();
  name.resize(70, ' ');
  EXPECT_EQ(kAskFile + "\r\n" + name + "\r\n" + kAskUnits + "           3\r\n" + kAskOffset +
                "       25.400000\r\n" + kCrossing + "  ZONE:            0           1\r\n",
            screen_.str());
}

// A units code the file cannot name is asked again until one it can.
TEST_F(SzlticTest, NullAnswersKeepTheEarlierExport) {
  const LensCase c = WorkedExample();
  TorAnswers kept;
  textio::INPUTL inputl;
  // A second export that answers units and offset with null values writes
  // what the first one was told.
  for (const std::string& answers : {TorName() + "\n4\n-2.5\n", TorName() + "\n/\n,\n"}) {
    keyboard_.clear();
    keyboard_.str(answers);
    SZLTIC(io_, c.ZF, c.RF, c.ZR, c.RR, c.NPT, c.EPS, 0.0f, 0.0f, c.ISIDE, c.ISURF, inputl, c.RZF,
           c.RZR, c.NZ, c.STEP, c.FR, kept);
    const ReadTor tor = TorFile();
    EXPECT_EQ("m ", tor.unit);
    EXPECT_FLOAT_EQ(-2.5f, tor.zloff);
  }
}

TEST_F(SzlticTest, UnitsCodeAskedAgain) {
  Scripted(WorkedExample(), TorName() + "\n0\n7\n4\n-1.5\n");
  std::string name = TorName();
  name.resize(70, ' ');
  EXPECT_EQ(kAskFile + "\r\n" + name + "\r\n" + kAskUnits + "           0\r\n" + kAskUnits +
                "           7\r\n" + kAskUnits + "           4\r\n" + kAskOffset +
                "       -1.500000\r\n" + kCrossing + "  ZONE:            0           1\r\n",
            screen_.str());
  const ReadTor tor = TorFile();
  EXPECT_EQ("m ", tor.unit);
  EXPECT_EQ(-1.5f, tor.zloff);

  screen_.str("");
  Typed(WorkedExample(), TorName() + "\n9\n-2\n2\n0.5\n");
  EXPECT_EQ(kAskFile + kAskUnits + kAskUnits + kAskUnits + kAskOffset + kCrossing +
                "  ZONE:            0           1\r\n",
            screen_.str());
  EXPECT_EQ("ft", TorFile().unit);
}

TEST_F(SzlticTest, ScriptEndingWhileUnitsAskedAgain) {
  try {
    Scripted(WorkedExample(), TorName() + "\n5\n");
    FAIL() << "the export went on without a units code";
  } catch (const textio::Failure& failure) {
    EXPECT_EQ(textio::FailureNumber::kEndOfFile, failure.number());
    EXPECT_EQ("end-of-file during read, unit 50, file " + ScriptPath(),
              std::string(failure.what()));
  }
}

// Data the outline cannot be built from: every answer is still read, the file
// is left alone, and the screen and the report say why.
TEST_F(SzlticTest, RefusedLenses) {
  struct Case {
    const char* name;
    LensCase lens;
    const char* message;
  };
  auto with = [](LensCase c, int32_t npt, int32_t side, int32_t surface) {
    c.NPT = npt;
    c.ISIDE = side;
    c.ISURF = surface;
    return c;
  };
  const LensCase worked = WorkedExample();
  LensCase repeated = worked;
  repeated.RF[5] = repeated.RF[4];
  LensCase backwards = worked;
  backwards.RR[9] = 1.0f;
  const std::string points = " Tor file not written: the lens profile has fewer than two points";
  const std::string side = " Tor file not written: the specified side is neither 1 nor 2";
  const std::string surface = " Tor file not written: the specified surface is neither 1, 2 nor 3";
  const std::string radii =
      " Tor file not written: the face radii do not increase from the axis to the edge";
  const Case kCases[] = {
      {"one point", with(worked, 1, 1, 2), points.c_str()},
      {"no point", with(worked, 0, 1, 2), points.c_str()},
      {"negative count", with(worked, -3, 1, 2), points.c_str()},
      {"more points than stored", with(worked, 11, 1, 2),
       " Tor file not written: the lens profile has more points than its tables hold"},
      {"side 0", with(worked, 10, 0, 2), side.c_str()},
      {"side 3", with(worked, 10, 3, 1), side.c_str()},
      {"surface 0", with(worked, 10, 1, 0), surface.c_str()},
      {"surface 4", with(worked, 10, 2, 4), surface.c_str()},
      {"feed radius repeated", repeated, radii.c_str()},
      {"radiation radius falls", backwards, radii.c_str()},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    std::ofstream(TorPath(), std::ios::binary) << "older file\n";
    io_.open_text_unit(textio::kReport, "report.txt");
    screen_.str("");
    Scripted(c.lens, Answers() + "7\n");

    const std::string line = std::string(c.message) + "\r\n";
    const std::string screen = screen_.str();
    ASSERT_GE(screen.size(), line.size());
    EXPECT_EQ(line, screen.substr(screen.size() - line.size()));
    EXPECT_NE(std::string::npos, screen.find(kAskOffset + "       25.400000\r\n"));
    EXPECT_EQ(line, Report());
    EXPECT_EQ("older file\n", ReadBytes(TorPath()));
    int32_t next = 0;
    io_.read_free(textio::kScript, {&next});
    EXPECT_EQ(7, next) << "the script is out of step";
  }
}

/// A long lens with a flat feed face at z = 2 and a curved radiation face at
/// z = 4, no zones: its radiation face alone makes (NPT - 1) / 3 + 1 cubic
/// segments.
LensCase LongLens(int32_t npt) {
  LensCase c;
  c.NPT = npt;
  c.ISIDE = 1;
  c.ISURF = 1;
  c.STEP = 0.3f;
  c.FR = 0.5f;
  for (int32_t i = 1; i <= npt; ++i) {
    const float r = 0.5f * static_cast<float>(i - 1);
    c.RF.push_back(r);
    c.RR.push_back(r);
    c.ZF.push_back(2.0f);
    c.ZR.push_back(4.0f);
  }
  return c;
}

/// The flat-feed lens with NZ thin zones and no step on the radiation face:
/// its feed face makes 2 NZ + 1 linear segments, then the rim if any.
LensCase ManyZones(int32_t nz, bool rim) {
  LensCase c = FlatFeedExample();
  c.FR = 1.0f;
  c.STEP = 1e-4f;
  c.NZ = nz;
  c.RZF.clear();
  c.RZR.clear();
  for (int32_t k = 1; k <= nz; ++k) {
    const float outside = static_cast<float>(nz + 1 - k) / static_cast<float>(nz + 1);
    c.RZF.push_back(4.4f * outside);
    c.RZR.push_back(4.9f * outside);
  }
  if (!rim) c.ZR.back() = c.ZF.back();
  return c;
}

// Each segment list holds 15001 entries; an outline that needs more is refused.
TEST_F(SzlticTest, SegmentListCapacity) {
  struct Case {
    const char* name;
    LensCase lens;
    std::size_t linear, cubic;  // 0, 0: refused
  };
  const Case kCases[] = {
      {"15001 cubic segments", LongLens(45001), 2, 15001},
      {"15002 cubic segments", LongLens(45004), 0, 0},
      {"15001 linear segments", ManyZones(7500, false), 15001, 7501},
      {"15002 linear segments", ManyZones(7500, true), 0, 0},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(TorPath());
    screen_.str("");
    Typed(c.lens, Answers());
    if (c.linear == 0) {
      EXPECT_FALSE(std::filesystem::exists(TorPath()));
      EXPECT_NE(std::string::npos,
                screen_.str().find(" Tor file not written: the outline needs more than 15001 "
                                   "segments of one kind\r\n"));
      continue;
    }
    const ReadTor tor = TorFile();
    EXPECT_EQ(c.linear, tor.linear.size());
    EXPECT_EQ(c.cubic, tor.cubic.size());
  }
}

// A boundary radius that is not a number makes no cubic segment in the zones
// it bounds, and the export still ends with a complete file.
TEST_F(SzlticTest, NotANumberBoundary) {
  LensCase c = WorkedExample();
  c.RZF[0] = std::numeric_limits<float>::quiet_NaN();
  Typed(c, Answers());
  const ReadTor tor = TorFile();
  EXPECT_EQ(2u + 5u, tor.cubic.size());
  EXPECT_EQ("mm", tor.unit);
}

TEST(ZoneSegmentCountTest, Cases) {
  const float kNan = std::numeric_limits<float>::quiet_NaN();
  const int32_t kMax = std::numeric_limits<int32_t>::max();
  const int32_t kMin = std::numeric_limits<int32_t>::min();
  struct Case {
    const char* name;
    float start, boundary, spacing;
    int32_t want;
  };
  const Case kCases[] = {
      {"inner zone", 0.0f, 2.2f, 0.5f, 2},
      {"one per three spacings", 0.0f, 4.5f, 0.5f, 4},
      {"formed in double, not float", 0.0f, 0.9f, 0.3f, 1},
      {"zero width", 1.0f, 1.0f, 0.5f, 1},
      {"shortfall under six spacings", 3.0f, 0.1f, 0.5f, 0},
      {"shortfall beyond six spacings", 4.0f, 0.5f, 0.5f, -1},
      {"zero spacing and width", 1.0f, 1.0f, 0.0f, 0},
      {"zero spacing", 0.0f, 1.0f, 0.0f, kMax},
      {"zero spacing, boundary inside", 1.0f, 0.0f, 0.0f, kMin},
      {"boundary not a number", 0.0f, kNan, 0.5f, 0},
      {"spacing not a number", 0.0f, 1.0f, kNan, 0},
      {"beyond the integers", 0.0f, 1e30f, 1e-30f, kMax},
      {"beyond the integers inward", 1e30f, 0.0f, 1e-30f, kMin},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.want, ZoneSegmentCount(c.start, c.boundary, c.spacing));
  }
}

}  // namespace
}  // namespace tor
