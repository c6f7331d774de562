// The fullwave command line: its exit statuses, one-line diagnostics, and one
// coarse run of a lens three wavelengths across in text and JSON.

#include "tortool/fullwave_command.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <sstream>

#include "torfile/test_support.h"

namespace tortool {

namespace testing = torfile::testing;
namespace {

#ifdef KEVRANO_SANITIZED_BUILD
constexpr bool kSanitized = true;  // full-wave runs are skipped there (see below)
#else
constexpr bool kSanitized = false;
#endif

TEST(FullwaveCommand, BadCommandLinesStopBeforeAnythingIsRead) {
  const testing::ScratchFolder folder;
  const std::string lens = folder.Write("lens.tor", testing::TestData("plano_convex.tor"));
  const std::string out = folder.File("out");
  const struct {
    const char* name;
    std::vector<std::string> args;
    std::string err;
  } kCases[] = {
      {"no wavelength nor frequency", {lens}, "give --wavelength or --frequency"},
      {"both",
       {lens, "--wavelength", "1", "--frequency", "60"},
       "--wavelength excludes --frequency"},
      {"zero frequency",
       {lens, "--frequency", "0"},
       "--frequency must be a positive number of GHz"},
      {"negative taper",
       {lens, "--wavelength", "1", "--edge-taper", "-3"},
       "--edge-taper must be a positive number of dB"},
      {"taper and Q",
       {lens, "--wavelength", "1", "--edge-taper", "8", "--feed-q", "2"},
       "--edge-taper excludes --feed-q"},
      {"resolution too coarse", {lens, "--wavelength", "1", "--resolution", "4"}, "--resolution"},
      {"csv over the lens",
       {lens, "--wavelength", "1", "--csv", lens},
       "the tor file '" + lens + "' and --csv '" + lens + "' are the same file"},
      {"svg and csv one file",
       {lens, "--wavelength", "1", "--csv", out, "--svg", out},
       "--csv '" + out + "' and --svg '" + out + "' are the same file"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    std::istringstream in;
    std::ostringstream sink, err;
    EXPECT_EQ(2, RunFullwave(c.args, in, sink, err));
    const std::string diagnostic = err.str();
    EXPECT_EQ(0u, diagnostic.find("kevrano-tor: fullwave: " + c.err)) << diagnostic;
    EXPECT_EQ(1, std::count(diagnostic.begin(), diagnostic.end(), '\n'));
  }
}

// The plano-convex test lens (radius 3 mm, ε 2.56) at λ = 2 mm on 12 cells
// per wavelength: the report names both methods and their difference, the
// lens gains on the feed (a cos^(2Q) feed of directivity 2(2Q + 1)), and the
// power through the surface is the feed's (no loss in the lens).
TEST(FullwaveCommand, CoarseRunReportsBothMethods) {
  if (kSanitized) GTEST_SKIP() << "full-wave runs are skipped under the sanitizers";
  const testing::ScratchFolder folder;
  const std::string lens = folder.Write("lens.tor", testing::TestData("plano_convex.tor"));
  const std::string csv = folder.File("pattern.csv");
  std::istringstream in;
  std::ostringstream out, err;
  ASSERT_EQ(0, RunFullwave({lens, "--wavelength", "2", "--feed-q", "4", "--resolution", "12",
                            "--json", "--csv", csv},
                           in, out, err))
      << err.str();
  const nlohmann::json j = nlohmann::json::parse(out.str());
  EXPECT_EQ(12, j["resolution"].get<int>());
  EXPECT_DOUBLE_EQ(4.0, j["feed_q"].get<double>());
  const double full = j["full_wave"]["directivity_dbi"].get<double>();
  const double trace = j["ray_trace"]["directivity_dbi"].get<double>();
  EXPECT_NEAR(full - trace, j["difference"]["directivity_db"].get<double>(), 1e-9);
  EXPECT_GT(full, 10.0 * std::log10(2.0 * (2.0 * 4.0 + 1.0)) + 1.0);
  EXPECT_NEAR(1.0, j["full_wave"]["surface_power"].get<double>(), 0.03);
  EXPECT_NE(std::string::npos, err.str().find("kevrano-tor: fullwave: lens and feed, "));
  std::ifstream table(csv);
  const std::string text((std::istreambuf_iterator<char>(table)), std::istreambuf_iterator<char>());
  EXPECT_EQ(0u, text.find("theta_deg,e_plane_dbi,h_plane_dbi,mean_dbi\n0.00,"));
}

}  // namespace
}  // namespace tortool
