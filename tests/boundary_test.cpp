// Boundaries and precedence of the two programs' command lines and of design
// files, each row one fact a user relies on: which setting wins, which value
// is the first refused, which exit status a failure gets.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/process.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::RunWithArguments;
using testing_support::ScratchDir;
using testing_support::WriteFile;

// A flat-faced lens of eps 2.25, radius 10, edge at 20; two zones at wavelength 1.
#define LENS                                                                                  \
  "--inner", "flat", "--eps", "2.25", "--radius", "10", "--edge", "20", "--radial-step", "1", \
      "--wavelength", "1"
constexpr const char* kLensToml =
    "inner = \"flat\"\neps = 2.25\nradius = 10\nedge = 20\nradial-step = 1\nwavelength = 1\n";

// What a run of the exact zoning writes in its report.
constexpr const char* kExactLine = " Zoning mode:          exact, one wavelength along each ray";

enum class Program { kKevrano, kTor };

struct Case {
  const char* name;
  Program program;
  std::vector<std::string> args;
  const char* toml;     // d.toml written first, or nullptr
  int status;
  const char* err;      // what standard error begins with ("" for nothing)
  const char* out_has;  // a text standard output holds, or nullptr
  const char* report_has;    // a text r.txt holds, or nullptr
  const char* report_lacks;  // a text r.txt does not hold, or nullptr
};

TEST(BoundaryTest, SettingsPrecedenceAndStatuses) {
  ScratchDir scratch("kevrano-boundary");
  // A lens for kevrano-tor, written by kevrano
  const fs::path lens_dir = scratch.path() / "lens";
  fs::create_directories(lens_dir);
  const auto made = RunWithArguments(
      KEVRANO_BINARY,
      {"design", LENS, "--min-path", "0.5", "--tor", "lens.tor", "--units", "mm", "--report",
       "r.txt"},
      lens_dir, "");
  ASSERT_EQ(0, made.status) << made.err;
  const std::string lens = (lens_dir / "lens.tor").string();

  const std::string zoned_file = std::string("report = \"r.txt\"\nzoning = \"exact\"\n") + kLensToml;
  const Case kCases[] = {
      {"eps 1 is refused: the lens would not bend a ray", Program::kKevrano,
       {"design", "--inner", "flat", "--eps", "1", "--radius", "10", "--edge", "20",
        "--radial-step", "1", "--wavelength", "1", "--report", "r.txt"},
       nullptr, 2,
       "kevrano design: --eps: expected a dielectric constant greater than 1, got '1'", nullptr,
       nullptr, nullptr},
      {"--file and a design option are refused together", Program::kKevrano,
       {"design", "--file", "d.toml", "--eps", "2"}, zoned_file.c_str(), 2,
       "kevrano design: --file cannot be combined with --eps", nullptr, nullptr, nullptr},
      {"a zoning key inside a design table is refused", Program::kKevrano,
       {"design", "--file", "d.toml"},
       "report = \"r.txt\"\n[[design]]\nzoning = \"exact\"\n", 2,
       "kevrano design: d.toml:3: zoning: belongs at the top level", nullptr, nullptr, nullptr},
      {"the file's zoning holds when the command line gives none", Program::kKevrano,
       {"design", "--file", "d.toml"}, zoned_file.c_str(), 0, "", nullptr, kExactLine, nullptr},
      {"--zoning on the command line holds over the file's", Program::kKevrano,
       {"--zoning", "standard", "design", "--file", "d.toml"}, zoned_file.c_str(), 0, "",
       nullptr, nullptr, kExactLine},
      {"--zoning after design holds over the file's too", Program::kKevrano,
       {"design", "--file", "d.toml", "--zoning", "standard"}, zoned_file.c_str(), 0, "",
       nullptr, nullptr, kExactLine},
      {"a foot is 304.8 mm: 0.299792458 GHz is 1 m", Program::kKevrano,
       {"design", "--inner", "flat", "--eps", "2.25", "--radius", "10", "--edge", "20",
        "--radial-step", "1", "--frequency", "0.299792458", "--units", "ft", "--report",
        "r.txt"},
       nullptr, 0, "", nullptr, " Wavelength:              3.2808", nullptr},
      {"analyse: an unreadable file exits 1, not 2", Program::kTor,
       {"analyse", "missing.tor", "--wavelength", "1"}, nullptr, 1,
       "kevrano-tor: missing.tor: cannot open", nullptr, nullptr, nullptr},
      {"analyse: an edge taper of 0 dB is a uniform feed", Program::kTor,
       {"analyse", lens, "--wavelength", "1", "--edge-taper", "0"}, nullptr, 0, "", "Q = 0;",
       nullptr, nullptr},
      {"analyse: 2001 rays unless told otherwise", Program::kTor,
       {"analyse", lens, "--wavelength", "1"}, nullptr, 0, "", "2001 traced", nullptr, nullptr},
      {"analyse: a negative edge taper is refused", Program::kTor,
       {"analyse", lens, "--wavelength", "1", "--edge-taper", "-1"}, nullptr, 2,
       "kevrano-tor: analyse: --edge-taper", nullptr, nullptr, nullptr},
  };
  int index = 0;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const fs::path work = scratch.path() / std::to_string(++index);
    fs::create_directories(work);
    if (c.toml != nullptr) WriteFile(work / "d.toml", c.toml);
    const auto run = RunWithArguments(
        c.program == Program::kKevrano ? KEVRANO_BINARY : KEVRANO_TOR_BINARY, c.args, work, "");
    EXPECT_EQ(c.status, run.status) << run.err;
    EXPECT_EQ(0u, run.err.rfind(c.err, 0)) << run.err;
    if (c.out_has != nullptr) {
      EXPECT_NE(std::string::npos, run.out.find(c.out_has)) << run.out;
    }
    const std::string report = ReadFile(work / "r.txt");
    if (c.report_has != nullptr) {
      EXPECT_NE(std::string::npos, report.find(c.report_has));
    }
    if (c.report_lacks != nullptr) {
      EXPECT_FALSE(report.empty());
      EXPECT_EQ(std::string::npos, report.find(c.report_lacks));
    }
  }
}

}  // namespace
