// The command line as a user meets it: designs from named options and design
// files give the report and tor files of the equivalent script of answers,
// byte for byte, and bad options stop before any file is touched.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/process.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::RunProgram;
using testing_support::RunWithArguments;
using testing_support::WriteFile;

class CommandLineTest : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = testing_support::MakeTempDir("kevrano-cli"); }
  void TearDown() override { testing_support::RemoveTree(dir_); }
  fs::path Fresh(const std::string& name) {
    const fs::path d = dir_ / name;
    fs::create_directories(d);
    return d;
  }
  fs::path dir_;
};

// The lens every case varies: eps 2.25, radius 10, edge at 20.
#define LENS "--eps", "2.25", "--radius", "10", "--edge", "20"

struct Equivalent {
  const char* name;
  std::vector<std::string> args;   // after `kevrano design`; empty for a design file
  const char* toml;                // the design file, or nullptr
  const char* answers;             // the script a user would write
  std::vector<std::string> files;  // report and tor files to compare
};

TEST_F(CommandLineTest, DesignsWriteTheFilesOfTheEquivalentScript) {
  const Equivalent kCases[] = {
      {"inner flat, the bundled example",
       {"--inner", "flat",         LENS,        "--edge-thickness", "0",   "--radial-step",
        "1",       "--wavelength", "1",         "--feed-share",     "0.5", "--min-path",
        "0.5",     "--tor",        "lens.tor",  "--units",          "mm",  "--offset",
        "0",       "--report",     "report.txt"},
       nullptr,
       "report.txt\n1\n2.25\n10 20\n0\n1\n1\n1\n0.5\n0.5\n1\nlens.tor\n3\n0\n0\n",
       {"report.txt", "lens.tor"}},
      {"inner sphere, centre before the edge plane",
       {"--inner", "sphere", "--sphere-centre", "5", LENS, "--radial-step", "1", "--wavelength",
        "1", "--feed-share", "0", "--tor", "a.tor", "--units", "in", "--report", "report.txt"},
       nullptr,
       "report.txt\n1\n2.25\n10 20\n0\n2\n5\n1\n1\n0\n0\n1\na.tor\n1\n0\n0\n",
       {"report.txt", "a.tor"}},
      {"inner sphere beyond the edge plane, edge thickness",
       {"--inner",
        "sphere",
        "--sphere-centre",
        "30",
        LENS,
        "--edge-thickness",
        "1",
        "--radial-step",
        "0.5",
        "--wavelength",
        "1",
        "--feed-share",
        "1",
        "--tor",
        "b.tor",
        "--units",
        "ft",
        "--offset",
        "2.5",
        "--report",
        "report.txt"},
       nullptr,
       "report.txt\n1\n2.25\n10 20\n1\n2\n30\n0.5\n1\n1\n0\n1\nb.tor\n2\n2.5\n0\n",
       {"report.txt", "b.tor"}},
      {"outer flat, no tor file",
       {"--outer", "flat", LENS, "--radial-step", "1", "--wavelength", "0.7", "--feed-share", "0.3",
        "--min-path", "0.2", "--report", "report.txt"},
       nullptr,
       "report.txt\n2\n2.25\n10 20\n0\n1\n1\n0.7\n0.3\n0.2\n0\n0\n",
       {"report.txt"}},
      {"outer sphere both sides of the edge plane, from a design file",
       {},
       "report = \"report.txt\"\neps = 2.25\nradius = 10\nedge = 20\nradial-step = 1\n"
       "wavelength = 1\nunits = \"m\"\n"
       "[[design]]\nouter = \"sphere\"\nsphere-centre = 30\nfeed-share = 0\ntor = \"c.tor\"\n"
       "[[design]]\nouter = \"sphere\"\nsphere-centre = 5\nfeed-share = 1\ntor = \"d.tor\"\n",
       "report.txt\n2\n2.25\n10 20\n0\n2\n30\n1\n1\n0\n0\n1\nc.tor\n4\n0\n1\n"
       "2\n2.25\n10 20\n0\n2\n5\n1\n1\n1\n0\n1\nd.tor\n4\n0\n0\n",
       {"report.txt", "c.tor", "d.tor"}},
      {"a design ended early asks no zoning, the next design follows",
       {},
       "report = \"report.txt\"\neps = 2.25\nradius = 10\nedge = 20\nwavelength = 1\n"
       "sphere-centre = 20\noffset = 3\n"
       "[[design]]\ninner = \"sphere\"\nradial-step = 1.3\n"
       "[[design]]\ninner = \"flat\"\nradial-step = 2\n",
       "report.txt\n1\n2.25\n10 20\n0\n2\n20\n1.3\n1\n1\n2.25\n10 20\n0\n1\n2\n1\n0.5\n0\n0\n0\n",
       {"report.txt"}},
      {"a frequency in GHz gives the wavelength in the lens unit",
       {"--inner", "flat", LENS, "--radial-step", "1", "--frequency", "299.792458", "--units", "mm",
        "--report", "report.txt"},
       nullptr,
       "report.txt\n1\n2.25\n10 20\n0\n1\n1\n1\n0.5\n0\n0\n0\n",
       {"report.txt"}},
  };
  for (const Equivalent& c : kCases) {
    SCOPED_TRACE(c.name);
    const fs::path by_script = Fresh(std::string("script-") + c.name);
    const fs::path by_design = Fresh(std::string("design-") + c.name);
    WriteFile(by_script / "answers.txt", c.answers);
    const auto script_run = RunProgram(KEVRANO_BINARY, by_script, "1\nanswers.txt\n");
    ASSERT_EQ(0, script_run.status) << script_run.err;
    std::vector<std::string> args = {"design"};
    if (c.toml != nullptr) {
      WriteFile(by_design / "lenses.toml", c.toml);
      args.insert(args.end(), {"--file", "lenses.toml"});
    }
    args.insert(args.end(), c.args.begin(), c.args.end());
    const auto design_run = RunWithArguments(KEVRANO_BINARY, args, by_design, "");
    ASSERT_EQ(0, design_run.status) << design_run.err;
    for (const std::string& file : c.files) {
      const std::string want = ReadFile(by_script / file);
      ASSERT_FALSE(want.empty()) << file;
      EXPECT_EQ(want, ReadFile(by_design / file)) << file;
    }
  }
}

TEST_F(CommandLineTest, ScriptArgumentRunsAsIfAnsweredAtTheFirstPrompt) {
  const fs::path piped = Fresh("piped");
  const fs::path argument = Fresh("argument");
  const std::string script = std::string(KEVRANO_SOURCE_DIR) + "/examples/first_lens.txt";
  const auto want = RunProgram(KEVRANO_BINARY, piped, "1\n" + script + "\n");
  const auto got = RunWithArguments(KEVRANO_BINARY, {script}, argument, "");
  EXPECT_EQ(0, got.status);
  EXPECT_EQ(want.out, got.out);
  EXPECT_EQ(ReadFile(piped / "report.txt"), ReadFile(argument / "report.txt"));
  EXPECT_EQ(ReadFile(piped / "lens.tor"), ReadFile(argument / "lens.tor"));
}

struct Refusal {
  const char* name;
  std::vector<std::string> args;
  int status;
  const char* err_begins;  // the start of the first line on standard error
};

TEST_F(CommandLineTest, HelpVersionAndBadOptions) {
  const Refusal kCases[] = {
      {"help", {"--help"}, 0, ""},
      {"version", {"--version"}, 0, ""},
      {"unknown option", {"--fast"}, 2, "kevrano: unknown option or argument: --fast"},
      {"bad zoning", {"--zoning", "rough"}, 2, "kevrano: --zoning: expected standard or exact"},
      {"unknown design option",
       {"design", "--inner", "flat", "--colour", "red"},
       2,
       "kevrano design: unknown option or argument: --colour"},
      {"value missing",
       {"design", "--inner", "flat", "--eps"},
       2,
       "kevrano design: --eps needs a value"},
      {"option twice",
       {"design", "--inner", "flat", LENS, "--eps", "2"},
       2,
       "kevrano design: --eps is given more than once"},
      {"dielectric constant too small",
       {"design", "--inner", "flat", "--eps", "0.9", "--radius", "10", "--edge", "20",
        "--radial-step", "1", "--wavelength", "1", "--report", "r.txt"},
       2,
       "kevrano design: --eps: expected a dielectric constant greater than 1, got '0.9'"},
      {"not a number",
       {"design", "--inner", "flat", "--eps", "2,25", "--radius", "10", "--edge", "20",
        "--radial-step", "1", "--wavelength", "1", "--report", "r.txt"},
       2,
       "kevrano design: --eps: expected"},
      {"too many rays",
       {"design", "--inner", "flat", LENS, "--radial-step", "0.001", "--wavelength", "1",
        "--report", "r.txt"},
       2,
       "kevrano design: --radial-step: expected"},
      {"sphere without centre",
       {"design", "--outer", "sphere", LENS, "--radial-step", "1", "--wavelength", "1", "--report",
        "r.txt"},
       2,
       "kevrano design: --sphere-centre is missing"},
      {"tor without units",
       {"design", "--inner", "flat", LENS, "--radial-step", "1", "--wavelength", "1", "--tor",
        "t.tor", "--report", "r.txt"},
       2,
       "kevrano design: --tor needs --units"},
      {"frequency without units",
       {"design", "--inner", "flat", LENS, "--radial-step", "1", "--frequency", "30", "--report",
        "r.txt"},
       2,
       "kevrano design: --frequency needs --units"},
      {"report in a missing folder",
       {"design", "--inner", "flat", LENS, "--radial-step", "1", "--wavelength", "1", "--report",
        "no/r.txt"},
       2,
       "kevrano design: --report: the folder 'no'"},
      {"feed share above 1",
       {"design", "--inner", "flat", LENS, "--radial-step", "1", "--wavelength", "1",
        "--feed-share", "1.5", "--report", "r.txt"},
       2,
       "kevrano design: --feed-share:"},
  };
  for (const Refusal& c : kCases) {
    SCOPED_TRACE(c.name);
    const fs::path work = Fresh(c.name);
    const auto run = RunWithArguments(KEVRANO_BINARY, c.args, work, "");
    EXPECT_EQ(c.status, run.status);
    EXPECT_EQ(0u, run.err.rfind(c.err_begins, 0)) << run.err;
    if (c.status == 0) {
      EXPECT_FALSE(run.out.empty());
    }
    EXPECT_TRUE(fs::is_empty(work)) << "a refused command touched a file";
  }
}

TEST_F(CommandLineTest, DesignFileErrorsNameFileLineAndKey) {
  const struct {
    const char* name;
    const char* toml;
    const char* err;
  } kCases[] = {
      {"value out of range", "report = \"r.txt\"\n[[design]]\ninner = \"flat\"\neps = 0.5\n",
       "kevrano design: d.toml:4: eps: expected a dielectric constant greater than 1, got '0.5'\n"},
      {"unknown key", "report = \"r.txt\"\n[[design]]\nepsilon = 2\n",
       "kevrano design: d.toml:3: epsilon: unknown key\n"},
      {"missing key", "report = \"r.txt\"\n\n[[design]]\ninner = \"flat\"\n",
       "kevrano design: d.toml:3: design 1: eps is missing: give a dielectric constant greater "
       "than 1\n"},
      {"number as a string", "report = \"r.txt\"\n[[design]]\ninner = \"flat\"\neps = \"2.25\"\n",
       "kevrano design: d.toml:4: eps: expected a dielectric constant greater than 1, got the "
       "string \"2.25\": write the number without quotes\n"},
      {"report inside a design", "[[design]]\nreport = \"r.txt\"\n",
       "kevrano design: d.toml:2: report: belongs at the top level: it holds for every design "
       "of the file\n"},
      {"side missing", "report = \"r.txt\"\n[[design]]\neps = 2\n",
       "kevrano design: d.toml:2: design 1: inner or outer is missing: give the prescribed face, "
       "flat or sphere\n"},
      {"a centre given to a flat face",
       "report = \"r.txt\"\ninner = \"flat\"\nsphere-centre = 5\neps = 2.25\nradius = 10\n"
       "edge = 20\nradial-step = 1\nwavelength = 1\n",
       "kevrano design: d.toml:3: sphere-centre: only a sphere face has a centre; the face given "
       "is flat\n"},
      {"report over the design file",
       "report = \"d.toml\"\ninner = \"flat\"\neps = 2.25\nradius = 10\nedge = 20\n"
       "radial-step = 1\nwavelength = 1\n",
       "kevrano design: d.toml: the design file 'd.toml' and the report 'd.toml' are the same "
       "file: name another file\n"},
      {"two designs, one tor file",
       "report = \"r.txt\"\neps = 2.25\nradius = 10\nedge = 20\nradial-step = 1\n"
       "wavelength = 1\nunits = \"mm\"\ninner = \"flat\"\ntor = "
       "\"t.tor\"\n[[design]]\n[[design]]\n",
       "kevrano design: d.toml: the tor file 't.tor' of design 1 and the tor file 't.tor' of "
       "design 2 are the same file: name another file\n"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    const fs::path work = Fresh(c.name);
    WriteFile(work / "d.toml", c.toml);
    const auto run = RunWithArguments(KEVRANO_BINARY, {"design", "--file", "d.toml"}, work, "");
    EXPECT_EQ(2, run.status);
    EXPECT_EQ(c.err, run.err);
    EXPECT_FALSE(fs::exists(work / "r.txt"));
  }
}

// The zoning mode is taken wherever it may be given; what it changes in the
// lens is the design code's affair.
TEST_F(CommandLineTest, ZoningModeIsAcceptedWhereverItIsGiven) {
  const std::string example = std::string(KEVRANO_SOURCE_DIR) + "/examples/first_lens.txt";
  // The report of an exactly zoned lens says so in its zoning block; the
  // standard zoning's block is as it always was.
  const std::string kExactLine = " Zoning mode:          exact, one wavelength along each ray";
  const struct {
    const char* name;
    std::vector<std::string> args;
    const char* toml;
    int status;
    const char* report;  // the report written, where the run succeeds
    bool exact;
  } kCases[] = {
      {"dialogue", {"--zoning", "exact", example}, nullptr, 0, "report.txt", true},
      {"dialogue, standard", {"--zoning", "standard", example}, nullptr, 0, "report.txt", false},
      {"design options",
       {"design", "--zoning", "exact", "--inner", "flat", LENS, "--radial-step", "1",
        "--wavelength", "1", "--report", "r.txt"},
       nullptr,
       0,
       "r.txt",
       true},
      {"design file",
       {"design", "--file", "d.toml"},
       "report = \"r.txt\"\nzoning = \"exact\"\ninner = \"flat\"\neps = 2.25\nradius = 10\n"
       "edge = 20\nradial-step = 1\nwavelength = 1\n",
       0,
       "r.txt",
       true},
      {"unknown mode in a design file",
       {"design", "--file", "d.toml"},
       "report = \"r.txt\"\nzoning = \"rough\"\n",
       2,
       nullptr,
       false},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    const fs::path work = Fresh(c.name);
    if (c.toml != nullptr) WriteFile(work / "d.toml", c.toml);
    const auto run = RunWithArguments(KEVRANO_BINARY, c.args, work, "");
    EXPECT_EQ(c.status, run.status) << run.err;
    if (c.report != nullptr) {
      EXPECT_EQ(c.exact, ReadFile(work / c.report).find(kExactLine) != std::string::npos);
    }
  }
}

TEST_F(CommandLineTest, JsonSummaryPerDesign) {
  const auto run = RunWithArguments(
      KEVRANO_BINARY,
      {"design", "--json", "--inner", "flat", LENS, "--radial-step", "1", "--wavelength", "1",
       "--min-path", "0.5", "--tor", "lens.tor", "--units", "mm", "--report", "report.txt"},
      dir_, "");
  EXPECT_EQ(0, run.status) << run.err;
  EXPECT_EQ(
      "{\"design\":1,\"completed\":true,\"rays\":11,\"centre_thickness\":4.7214,"
      "\"outer_radius\":10.0,\"zones\":2,\"units\":\"mm\","
      "\"files_written\":[\"report.txt\",\"lens.tor\"],\"notes\":[],\"warnings\":[],"
      "\"zoning\":\"standard\",\"feed_share\":0.5,"
      // Two zone steps of lambda/(n - 1) = 2 off the axial 4.7213593: 0.7213593
      // as 32-bit reals subtract; the radiation face's nodes reach 23.493.
      "\"axial_thickness\":0.72135925,\"axial_extent\":3.4932842,"
      "\"zone_radii\":{\"feed\":[6.582643,2.0052881],\"radiation\":[7.103606,2.3045297]},"
      "\"profile\":[[20.0,0.0,24.72136,0.0,4.7213593],[20.0,1.0,24.663738,1.1553501,4.6663246],"
      "[20.0,2.0,24.492262,2.2986557,4.502178],[20.0,3.0,24.211739,3.418566,4.2324867],"
      "[20.0,4.0,23.829878,4.5050693,3.863037],[20.0,5.0,23.356218,5.5499043,3.4009705],"
      "[20.0,6.0,22.801714,6.5468388,2.8545818],[20.0,7.0,22.177845,7.491708,2.232664],"
      "[20.0,8.0,21.495989,8.382301,1.5440655],[20.0,9.0,20.766853,9.218114,0.7972679],"
      "[20.0,10.0,20.00013,10.00004,0.00013542175]]}\n",
      run.out);
}

}  // namespace

namespace {

// The JSON of each design of one run holds that design's own values: a design
// that ends early after one that wrote a tor file shows no outline, no zoning
// and no warning of the design before it.
TEST_F(CommandLineTest, JsonHoldsEachDesignsOwnValues) {
  WriteFile(dir_ / "d.toml",
            "report = \"r.txt\"\neps = 2.25\nradius = 10\nedge = 20\nunits = \"in\"\n"
            "[[design]]\ninner = \"flat\"\nedge-thickness = 1\nradial-step = 2\nwavelength = 1\n"
            "[[design]]\ninner = \"flat\"\nradial-step = 1\nwavelength = 0.5\nfeed-share = 1\n"
            "tor = \"lens.tor\"\noffset = -2.5\n"
            "[[design]]\ninner = \"sphere\"\nsphere-centre = 20\nradial-step = 3.7\n"
            "wavelength = 1\n");
  const auto run =
      RunWithArguments(KEVRANO_BINARY, {"design", "--file", "d.toml", "--json"}, dir_, "");
  ASSERT_EQ(0, run.status) << run.err;
  const struct {
    const char* name;
    std::vector<std::string> parts;  // each found in the design's line
  } kLines[] = {
      {"boundary 1 beyond the edge ray is extrapolated; no tor file, no outline",
       {"\"warnings\":[\"Zone boundary 1 (beyond the edge ray) lies outside the lens path "
        "lengths: its radii are extrapolated; a tor file is still written as designed\"]",
        "\"feed_share\":0.5,\"axial_thickness\":null,\"axial_extent\":null",
        "\"zone_radii\":{\"feed\":[10.930183,8.452313,5.4922333],"}},
      // Step lambda/(n - 1) = 1, all on the feed face: 4.7213593 - 4 = 0.7213593
      // on the axis; the edge stays at z 20 and the radiation apex at 24.72136.
      {"the outline check's warning; zoned thickness and extent of the tor file",
       {"\"files_written\":[\"r.txt\",\"lens.tor\"]",
        "\"warnings\":[\"Warning, tor file written as designed: the outline crosses itself: "
        "linear segment 6 crosses cubic segment 5 near (z 21.8327, r 7.95792)\"]",
        "\"feed_share\":1.0,\"axial_thickness\":0.72135925,\"axial_extent\":4.7213593"}},
      {"a design ended early keeps nothing of the one before",
       {"\"notes\":[\"Ray radius beyond Sphere Radius: Design ended\"],\"warnings\":[]",
        "\"feed_share\":null,\"axial_thickness\":null,\"axial_extent\":null,"
        "\"zone_radii\":{\"feed\":[],\"radiation\":[]}",
        "\"profile\":[[30.0,0.0,34.72136,0.0,4.7213593],[29.290318,3.7,33.274895,4.5539517,"
        "4.075058],[26.726068,7.4,28.713669,8.407908,2.22855]]}"}},
  };
  std::size_t start = 0;
  for (const auto& line : kLines) {
    SCOPED_TRACE(line.name);
    const std::size_t end = run.out.find('\n', start);
    ASSERT_NE(std::string::npos, end);
    const std::string json = run.out.substr(start, end - start);
    for (const std::string& part : line.parts) {
      EXPECT_NE(std::string::npos, json.find(part)) << part << "\nnot in\n" << json;
    }
    start = end + 1;
  }
  EXPECT_EQ(run.out.size(), start);
}

}  // namespace
