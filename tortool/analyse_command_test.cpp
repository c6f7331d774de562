// The analyse command line: its exit statuses and one-line diagnostics.

#include "tortool/analyse_command.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "tests/process.h"
#include "torfile/test_support.h"

namespace tortool {

namespace testing = torfile::testing;
namespace {

TEST(AnalyseCommand, StatusesAndDiagnostics) {
  const std::string lens = testing::TestDataPath("first_lens.tor");
  const std::string slab = testing::TestDataPath("plano_convex.tor");
  const std::string not_lens = testing::TestDataPath("plano_convex.svg");
  testing::MeshSpec bare = testing::Cylinder();
  bare.linear.clear();
  const struct {
    const char* name;
    std::vector<std::string> args;
    int status;
    std::string err;         // the start of the diagnostic
    std::string input = {};  // what standard input holds
  } kCases[] = {
      {"done", {lens, "--wavelength", "1"}, 0, ""},
      {"done with a feed Q", {slab, "--wavelength=2", "--feed-q", "3", "--rays", "101"}, 0, ""},
      {"help", {"--help"}, 0, ""},
      {"no wavelength", {lens}, 2, "kevrano-tor: analyse: --wavelength or --frequency is required"},
      {"wavelength and frequency",
       {lens, "--wavelength", "1", "--frequency", "300"},
       2,
       "kevrano-tor: analyse: --wavelength excludes --frequency"},
      {"an option given twice",
       {lens, "--frequency", "30", "--frequency=40"},
       2,
       "kevrano-tor: analyse: --frequency is given more than once: give it once"},
      {"a wavelength the nodes cannot resolve",
       {lens, "--wavelength", "1e-300"},
       2,
       "kevrano-tor: analyse: --wavelength: the wavelength 1e-300 is below what"},
      {"zero wavelength",
       {lens, "--wavelength", "0"},
       2,
       "kevrano-tor: analyse: --wavelength must be a positive number"},
      {"wavelength not a number",
       {lens, "--wavelength", "nan"},
       2,
       "kevrano-tor: analyse: --wavelength must be a positive number"},
      {"taper and Q",
       {lens, "--wavelength", "1", "--edge-taper", "8", "--feed-q", "2"},
       2,
       "kevrano-tor: analyse: --edge-taper excludes --feed-q"},
      {"one ray", {lens, "--wavelength", "1", "--rays", "1"}, 2, "kevrano-tor: analyse: --rays"},
      {"no such file",
       {"/nonexistent/x.tor", "--wavelength", "1"},
       1,
       "kevrano-tor: /nonexistent/x.tor: cannot open"},
      {"not a tor file", {not_lens, "--wavelength", "1"}, 1, "kevrano-tor: " + not_lens + ":1:"},
      {"standard input", {"-", "--wavelength", "1"}, 0, "", testing::TestData("first_lens.tor")},
      {"not a lens",
       {"-", "--wavelength", "1"},
       1,
       "kevrano-tor: standard input: not a lens: the mesh has no segments\n",
       testing::TorText(bare)},
      {"empty standard input",
       {"-", "--wavelength", "1"},
       1,
       "kevrano-tor: standard input:1: empty file"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    std::istringstream in(c.input);
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(c.status, RunAnalyse(c.args, in, out, err));
    const std::string diagnostic = err.str();
    EXPECT_EQ(0u, diagnostic.find(c.err)) << diagnostic;
    EXPECT_EQ(c.status == 0 ? 0 : 1, std::count(diagnostic.begin(), diagnostic.end(), '\n'));
    if (c.status == 0 && c.args[0] != "--help") {
      EXPECT_NE(std::string::npos, out.str().find("aperture efficiency")) << out.str();
      const std::string shown = c.args[0] == "-" ? "standard input" : c.args[0];
      EXPECT_EQ(0u, out.str().find(shown + ": lens analysed")) << out.str();
    }
  }
}

TEST(AnalyseCommand, OutputsNeverReplaceTheLensOrEachOther) {
  const testing::ScratchFolder folder;
  const std::string lens_text = testing::TestData("first_lens.tor");
  const std::string lens = folder.Write("lens.tor", lens_text);
  const std::string other = (folder.path() / "sub" / ".." / "lens.tor").string();
  const std::string out = (folder.path() / "out").string();
  const struct {
    std::vector<std::string> outputs;
    int status;
    std::string err;
  } kCases[] = {
      {{"--csv", lens},
       2,
       "the tor file '" + lens + "' and --csv '" + lens + "' are the same file"},
      {{"--svg", other},
       2,
       "the tor file '" + lens + "' and --svg '" + other + "' are the same file"},
      {{"--csv", out, "--svg", out},
       2,
       "--csv '" + out + "' and --svg '" + out + "' are the same file"},
      {{"--csv", out + ".csv", "--svg", out + ".svg"}, 0, ""},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.err);
    std::vector<std::string> args{lens, "--wavelength", "1", "--rays", "101"};
    args.insert(args.end(), c.outputs.begin(), c.outputs.end());
    std::istringstream in;
    std::ostringstream sink;
    std::ostringstream err;
    EXPECT_EQ(c.status, RunAnalyse(args, in, sink, err));
    EXPECT_EQ(c.err.empty() ? ""
                            : "kevrano-tor: analyse: " + c.err +
                                  ": name another file (see kevrano-tor analyse --help)\n",
              err.str());
    EXPECT_EQ(lens_text, testing_support::ReadFile(lens));
  }
}

}  // namespace
}  // namespace tortool
