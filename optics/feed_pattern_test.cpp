#include "optics/feed_pattern.h"

#include <gtest/gtest.h>

#include <array>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <numbers>
#include <optional>
#include <sstream>
#include <string>

namespace optics {
namespace {

constexpr double kDegree = std::numbers::pi / 180.0;

/// A feed file sampled every `step` degrees up to `last` from the two
/// planes' levels (dB) and, when given, phases (degrees).
std::string SampledFile(const std::function<double(double)>& e_db,
                        const std::function<double(double)>& h_db, double step, double last,
                        const std::function<double(double)>& e_phase = nullptr,
                        const std::function<double(double)>& h_phase = nullptr) {
  std::string text = "theta_deg,e_plane_db,h_plane_db";
  if (e_phase) text += ",e_plane_phase_deg,h_plane_phase_deg";
  text += "\n";
  for (double deg = 0.0; deg <= last + 1e-9; deg += step) {
    const double t = deg * kDegree;
    std::array<char, 160> row{};
    if (e_phase) {
      std::snprintf(row.data(), row.size(), "%.4f,%.9f,%.9f,%.9f,%.9f\n", deg, e_db(t), h_db(t),
                    e_phase(t), h_phase(t));
    } else {
      std::snprintf(row.data(), row.size(), "%.4f,%.9f,%.9f\n", deg, e_db(t), h_db(t));
    }
    text += row.data();
  }
  return text;
}

/// The level of a cos^Q field in dB, floored at -300 where it vanishes.
std::function<double(double)> CosineDb(double q) {
  return [q](double t) { return std::max(-300.0, 20.0 * q * std::log10(std::cos(t))); };
}

FeedPattern Read(const std::string& text) {
  std::istringstream in(text);
  std::string error;
  const std::optional<FeedPattern> feed = ReadFeedPattern(in, "feed.csv", &error);
  EXPECT_TRUE(feed) << error;
  return feed ? *feed : FeedPattern::Cosine(0.0);
}

/// ∫0^θe cos^a θ sin θ dθ.
double CosineIntegral(double a, double edge) {
  return (1.0 - std::pow(std::cos(edge), a + 1.0)) / (a + 1.0);
}

TEST(ReadFeedPatternTest, RefusesBadFilesWithFileAndLine) {
  struct Case {
    const char* name;
    const char* text;
    const char* want;
  };
  const Case kCases[] = {
      {"empty file", "", "feed.csv:1: no header line (want "
                         "theta_deg,e_plane_db,h_plane_db[,e_plane_phase_deg,h_plane_phase_deg])"},
      {"unknown column", "# horn\ntheta_deg,e_db,h_plane_db\n",
       "feed.csv:2: unknown column 'e_db' in the header (want "
       "theta_deg,e_plane_db,h_plane_db[,e_plane_phase_deg,h_plane_phase_deg])"},
      {"missing column", "theta_deg,e_plane_db\n",
       "feed.csv:1: no column 'h_plane_db' in the header (want "
       "theta_deg,e_plane_db,h_plane_db[,e_plane_phase_deg,h_plane_phase_deg])"},
      {"column twice", "theta_deg,e_plane_db,e_plane_db\n", "feed.csv:1: column 'e_plane_db' twice"},
      {"one phase column", "theta_deg,e_plane_db,h_plane_db,h_plane_phase_deg\n",
       "feed.csv:1: a phase column for one plane only; give both or neither"},
      {"short row", "theta_deg,e_plane_db,h_plane_db\n0,0,0\n\n1,0\n",
       "feed.csv:4: 2 fields where the header has 3"},
      {"not a number", "theta_deg,e_plane_db,h_plane_db\n0,0,0\n1,-0.1,x\n",
       "feed.csv:3: h_plane_db 'x' is not a finite number"},
      {"infinite level", "theta_deg,e_plane_db,h_plane_db\n0,0,0\n1,-inf,0\n",
       "feed.csv:3: e_plane_db '-inf' is not a finite number"},
      {"sign twice", "theta_deg,e_plane_db,h_plane_db\n0,0,0\n1,+-1,0\n",
       "feed.csv:3: e_plane_db '+-1' is not a finite number"},
      {"off the axis", "theta_deg,e_plane_db,h_plane_db\n2,0,0\n3,0,0\n",
       "feed.csv:2: the first angle is 2, not 0: the pattern must start on the axis"},
      {"angle repeated", "theta_deg,e_plane_db,h_plane_db\n0,0,0\n5,0,0\n5,-1,-1\n",
       "feed.csv:4: angle 5 does not follow the one before it (angles must increase)"},
      {"behind the feed", "theta_deg,e_plane_db,h_plane_db\n0,0,0\n181,0,0\n",
       "feed.csv:3: angle 181 beyond 180"},
      {"one angle", "theta_deg,e_plane_db,h_plane_db\n0,0,0\n",
       "feed.csv:2: a single angle; a pattern needs at least two"},
      {"header only", "theta_deg,e_plane_db,h_plane_db\n",
       "feed.csv:1: no rows after the header"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    std::istringstream in(c.text);
    std::string error;
    EXPECT_FALSE(ReadFeedPattern(in, "feed.csv", &error));
    EXPECT_EQ(c.want, error);
  }
}

// A cos^(2Q) feed sampled every degree: power beyond θ is cos^(2Q+1) θ, the
// level between samples follows 20 Q log10 cos θ, and equal planes lose
// nothing to cross-polarisation.
TEST(FeedPatternTest, SampledCosineFeedFollowsTheClosedForms) {
  struct Case {
    const char* name;
    double q;
    double theta_deg;
  };
  const Case kCases[] = {
      {"Q 3.5 at 10.5°", 3.5, 10.5}, {"Q 3.5 at 33.3°", 3.5, 33.3}, {"Q 3.5 at 60.7°", 3.5, 60.7},
      {"Q 12 at 7.25°", 12.0, 7.25}, {"Q 12 at 24.6°", 12.0, 24.6},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const FeedPattern feed = Read(SampledFile(CosineDb(c.q), CosineDb(c.q), 1.0, 90.0));
    const double t = c.theta_deg * kDegree;
    EXPECT_NEAR(std::pow(std::cos(t), 2.0 * c.q + 1.0), feed.PowerBeyond(t), 2e-4);
    EXPECT_NEAR(20.0 * c.q * std::log10(std::cos(t)),
                20.0 * std::log10(std::abs(feed.Fields(t).CoPolar())), 0.005);
    EXPECT_NEAR(0.0, feed.CrossPolarShare(t), 1e-15);
    EXPECT_FALSE(feed.FindPhaseCentre().co_polar) << "no phase columns";
  }
}

// Unequal planes lose ∫|A − B|²/4 sin θ / ∫(|A|² + |B|²)/2 sin θ over the
// lens: in closed form for A = cos^Q1, B = cos^Q2; equal levels in
// quadrature lose half.
TEST(FeedPatternTest, CrossPolarShareMatchesTheClosedForm) {
  struct Case {
    const char* name;
    double q_e, q_h, edge_deg, h_phase_deg, want;  // want < 0: from cos powers
  };
  const Case kCases[] = {
      {"Q 2 and 6, edge 40°", 2.0, 6.0, 40.0, 0.0, -1.0},
      {"Q 2 and 6, edge 65°", 2.0, 6.0, 65.0, 0.0, -1.0},
      {"Q 5 and 4, edge 25°", 5.0, 4.0, 25.0, 0.0, -1.0},
      {"equal planes in quadrature", 4.0, 4.0, 30.0, 90.0, 0.5},
      {"equal planes in opposition", 4.0, 4.0, 30.0, 180.0, 1.0},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const double ph = c.h_phase_deg;
    const FeedPattern feed =
        Read(SampledFile(CosineDb(c.q_e), CosineDb(c.q_h), 0.5, 90.0, [](double) { return 0.0; },
                         [ph](double) { return ph; }));
    const double edge = c.edge_deg * kDegree;
    double want = c.want;
    if (want < 0.0) {
      const double lost = (CosineIntegral(2.0 * c.q_e, edge) -
                           2.0 * CosineIntegral(c.q_e + c.q_h, edge) +
                           CosineIntegral(2.0 * c.q_h, edge)) / 4.0;
      want = lost / ((CosineIntegral(2.0 * c.q_e, edge) + CosineIntegral(2.0 * c.q_h, edge)) / 2.0);
    }
    EXPECT_NEAR(want, feed.CrossPolarShare(edge), 2e-5);
  }
}

// Phases of a feed whose phase centre sits d wavelengths in front of the
// reference point, 360° d cos θ plus a constant, wrapped into ±180°.
TEST(FeedPatternTest, PhaseCentreFromTheMainBeam) {
  struct Case {
    const char* name;
    double d_e, d_h, offset_deg;
  };
  const Case kCases[] = {
      {"both planes 0.25 λ in front", 0.25, 0.25, 10.0},
      {"E 0.3 λ in front, H 0.1 λ behind", 0.3, -0.1, 170.0},
      {"2 λ behind: the phase wraps", -2.0, -2.0, -175.0},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    auto phase = [&c](double d) {
      return [d, &c](double t) {
        const double p = 360.0 * d * std::cos(t) + c.offset_deg;
        return p - 360.0 * std::round(p / 360.0);
      };
    };
    const FeedPattern feed =
        Read(SampledFile(CosineDb(6.0), CosineDb(6.0), 1.0, 90.0, phase(c.d_e), phase(c.d_h)));
    const PhaseCentre centre = feed.FindPhaseCentre();
    ASSERT_TRUE(centre.e_plane && centre.h_plane && centre.co_polar);
    EXPECT_NEAR(c.d_e, *centre.e_plane, 1e-3);
    EXPECT_NEAR(c.d_h, *centre.h_plane, 1e-3);
    if (c.d_e == c.d_h) {
      EXPECT_NEAR(c.d_e, *centre.co_polar, 1e-3);
    }
    EXPECT_GT(*centre.co_polar, std::min(c.d_e, c.d_h) - 1e-3);
    EXPECT_LT(*centre.co_polar, std::max(c.d_e, c.d_h) + 1e-3);
  }
}

// Nothing beyond the last angle: all the power lies within it, and
// columns may come in any order, with comments and CRLF line ends.
TEST(FeedPatternTest, NothingBeyondTheLastAngle) {
  const FeedPattern feed = Read(
      "# measured horn\r\nh_plane_db, theta_deg ,e_plane_db\r\n0,0,0\r\n-3,30,-4\r\n-10,60,-12\r\n");
  struct Case {
    const char* name;
    double theta_deg;
    double want_beyond;  // < 0: strictly between 0 and 1
    double want_e_db;    // ignored where the beyond share is checked only
  };
  const Case kCases[] = {
      {"on the axis", 0.0, 1.0, 0.0},
      {"between samples, in dB", 45.0, -1.0, -8.0},
      {"at the last angle", 60.0, 0.0, -12.0},
      {"beyond it", 61.0, 0.0, -HUGE_VAL},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const double t = c.theta_deg * kDegree;
    if (c.want_beyond < 0.0) {
      EXPECT_GT(feed.PowerBeyond(t), 0.0);
      EXPECT_LT(feed.PowerBeyond(t), 1.0);
    } else {
      EXPECT_EQ(c.want_beyond, feed.PowerBeyond(t));
    }
    const double e = std::abs(feed.Fields(t).e_plane);
    if (std::isfinite(c.want_e_db)) {
      EXPECT_NEAR(c.want_e_db, 20.0 * std::log10(e), 1e-9);
    } else {
      EXPECT_EQ(0.0, e);
    }
  }
}

}  // namespace
}  // namespace optics
