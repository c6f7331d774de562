#include "tortool/cli.h"

#include <gtest/gtest.h>
#include <kevrano_version.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "torfile/test_support.h"
#include "tortool/workshop.h"

namespace tortool {

namespace testing = torfile::testing;
namespace {

struct ToolRun {
  int status = -1;
  std::string out;
  std::string err;
};

/// Runs the tool with `input` on standard input and `out` not a terminal,
/// unless said otherwise.
ToolRun Tool(const std::vector<std::string>& args, const std::string& input = "",
             bool out_is_terminal = false) {
  std::istringstream in(input);
  std::ostringstream out;
  std::ostringstream err;
  ToolRun run;
  run.status = RunTool(args, in, out, err, out_is_terminal);
  run.out = out.str();
  run.err = err.str();
  return run;
}

TEST(Cli, CheckPrintsTheSummary) {
  const std::string path = testing::TestDataPath("plano_convex.tor");
  const ToolRun run = Tool({"check", path});
  EXPECT_EQ(kExitOk, run.status);
  EXPECT_EQ("", run.err);
  EXPECT_EQ(path +
                ": lens outline checked, no problems\n"
                "  mesh                  horn_bor_mesh_lens, dielectric constant 2.56\n"
                "  length unit           mm\n"
                "  lens axis offset      ZLOFF = 0 mm\n"
                "  nodes                 9\n"
                "  segments              2 linear, 2 cubic\n"
                "  feed face             from node 1 on the axis to node 2, 1 segment\n"
                "  radiation face        from node 3 on the axis to node 9, 2 segments\n"
                "  rim                   linear segment 2, nodes 2 to 9\n"
                "  lens radius           3 mm\n"
                "  axial extent          z from 2 to 3 mm (1 mm)\n"
                "  thickness on axis     1 mm\n"
                "  zone steps            0 (0 on the feed face, 0 on the radiation face)\n"
                "  volume                21.2059 mm^3\n",
            run.out);
}

TEST(Cli, RefusesBadCommandLines) {
  const std::string lens = testing::TestDataPath("plano_convex.tor");
  const std::string see = " (see kevrano-tor --help)\n";
  const struct {
    std::vector<std::string> args;
    std::string err;
  } kCases[] = {
      {{}, "kevrano-tor: missing command" + see},
      {{"draw", lens}, "kevrano-tor: unknown command 'draw'" + see},
      {{"check"}, "kevrano-tor: missing tor file" + see},
      {{"check", lens, lens},
       "kevrano-tor: unexpected argument '" + lens + "': one tor file at a time" + see},
      {{"svg", lens, "--", "x"},
       "kevrano-tor: unexpected argument 'x': one tor file at a time" + see},
      {{"check", "--verbose", lens}, "kevrano-tor: unknown option '--verbose'" + see},
      {{"svg", "--segments", "8", lens}, "kevrano-tor: --segments applies to stl only" + see},
      {{"stl", lens, "--segments"}, "kevrano-tor: --segments needs a value" + see},
      {{"stl", "--segments", "0", lens},
       "kevrano-tor: --segments '0' is not a whole number from 3 to 65536" + see},
      {{"stl", "--segments=1000000000", lens},
       "kevrano-tor: --segments '1000000000' is not a whole number from 3 to 65536" + see},
      {{"stl", "--segments", "65537", lens},
       "kevrano-tor: --segments '65537' is not a whole number from 3 to 65536" + see},
      {{"stl", "--segments", "12x", lens},
       "kevrano-tor: --segments '12x' is not a whole number from 3 to 65536" + see},
      {{"stl", "--segments", "-5", lens},
       "kevrano-tor: --segments '-5' is not a whole number from 3 to 65536" + see},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.err);
    const ToolRun run = Tool(c.args);
    EXPECT_EQ(kExitUsage, run.status);
    EXPECT_EQ("", run.out);
    EXPECT_EQ(c.err, run.err);
  }
}

TEST(Cli, HelpWinsAndNamesTheCubicRule) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--help"}, {"stl", "--segments", "0", "-h"}}) {
    const ToolRun run = Tool(args);
    EXPECT_EQ(kExitOk, run.status);
    EXPECT_EQ(UsageText(), run.out);
    EXPECT_EQ("", run.err);
  }
  EXPECT_NE(std::string::npos,
            UsageText().find("cubic through its four nodes at parameters 0, 1/3,\n2/3 and 1"));
}

TEST(Cli, VersionStandardInputAndTheTerminal) {
  const std::string lens = testing::TestData("plano_convex.tor");
  const struct {
    const char* name;
    std::vector<std::string> args;
    std::string input;
    bool terminal;
    int status;
    std::string out_start;
    std::string err;
  } kCases[] = {
      {"version", {"--version"}, "", false, kExitOk, "kevrano-tor " KEVRANO_VERSION "\n", ""},
      {"check of standard input",
       {"check", "-"},
       lens,
       false,
       kExitOk,
       "standard input: lens outline checked, no problems\n",
       ""},
      {"bad standard input",
       {"svg", "-"},
       "%PDF-1.4\n",
       false,
       kExitBadFile,
       "",
       "kevrano-tor: standard input:1: not a tor file: the first record must be 'ZLOFF "
       "real_variable'\n"},
      {"stl to a terminal",
       {"stl", "-"},
       lens,
       true,
       kExitUsage,
       "",
       "kevrano-tor: stl writes a binary mesh, not for a terminal: send it to a file (kevrano-tor "
       "stl FILE.tor > lens.stl)\n"},
      {"stl to a pipe", {"stl", "-"}, lens, false, kExitOk, "kevrano-tor solid", ""},
      {"svg to a terminal", {"svg", "-"}, lens, true, kExitOk, "<?xml", ""},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    const ToolRun run = Tool(c.args, c.input, c.terminal);
    EXPECT_EQ(c.status, run.status);
    EXPECT_EQ(c.out_start, run.out.substr(0, c.out_start.size()));
    EXPECT_EQ(c.out_start.empty(), run.out.empty());
    EXPECT_EQ(c.err, run.err);
  }
}

TEST(Cli, BadFilesGiveOneLineWithTheirLine) {
  const std::string good = testing::TestData("plano_convex.tor");
  const struct {
    const char* name;
    std::string bytes;
    std::string err;  // after "kevrano-tor: FILE"
    bool drawn;       // a file that parses is drawn by svg, its problems marked
  } kCases[] = {
      {"not a tor file", "%PDF-1.4\n",
       ":1: not a tor file: the first record must be 'ZLOFF real_variable'", false},
      {"truncated", good.substr(0, good.find("\r\n  ),\r\n") + 2),
       ":23: the file ends where a node row or '),' was expected", false},
      {"binary",
       std::string("\x7f"
                   "ELF\x02\x01\x01\0",
                   8),
       ":1: control byte 0x7F: not a text file", false},
      {"missing node",
       good.substr(0, good.find("        9  \"")) + good.substr(good.find("  ),\r\n  linear")),
       ":26: linear segment 2 refers to node 9, but the file has 8 nodes", true},
      {"open outline",
       good.substr(0, good.find("          2     2     9")) +
           good.substr(good.find("  ),\r\n  cubic")),
       ":22: the outline is open at the rim: the faces end at node 2 (z 2, r 3) and node 9 (z 2.5, "
       "r 3), 0.5 apart, and no segment joins them",
       true},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    const testing::ScratchFolder folder;
    const std::string path = folder.Write("lens.tor", c.bytes);
    const std::string line = "kevrano-tor: " + path + c.err + "\n";
    for (const char* command : {"check", "svg", "stl"}) {
      const ToolRun run = Tool({command, path});
      EXPECT_EQ(kExitBadFile, run.status);
      EXPECT_EQ(c.drawn && std::string(command) == "svg" ? "<?xml" : "", run.out.substr(0, 5));
      // check goes on to list every problem; the others stop at the first
      EXPECT_EQ(line, std::string(command) == "check" ? run.err.substr(0, line.size()) : run.err);
    }
  }
  const ToolRun missing = Tool({"check", "/nonexistent/lens.tor"});
  EXPECT_EQ(kExitBadFile, missing.status);
  EXPECT_EQ("kevrano-tor: /nonexistent/lens.tor: cannot open: No such file or directory\n",
            missing.err);
  const testing::ScratchFolder scratch;
  const ToolRun folder = Tool({"svg", scratch.path().string()});
  EXPECT_EQ(kExitBadFile, folder.status);
  EXPECT_EQ("kevrano-tor: " + scratch.path().string() + ": is a folder, not a tor file\n",
            folder.err);
}

TEST(Cli, CheckListsEveryProblemAndWarning) {
  testing::MeshSpec mesh = testing::Cylinder();
  mesh.nodes.push_back({3.0, 1.0});    // node 5, in no segment
  mesh.linear.push_back({1, 7});       // linear segment 4
  mesh.cubic.push_back({1, 2, 3, 8});  // cubic segment 1
  const testing::ScratchFolder folder;
  const std::string path = folder.Write("lens.tor", testing::TorText(mesh));
  const ToolRun run = Tool({"check", path});
  EXPECT_EQ(kExitBadFile, run.status);
  EXPECT_EQ("", run.out);
  const std::string p = "kevrano-tor: " + path;
  EXPECT_EQ(p + ":25: linear segment 4 refers to node 7, but the file has 5 nodes\n" + p +
                ":29: cubic segment 1 refers to node 8, but the file has 5 nodes\n",
            run.err);
}

TEST(Cli, CheckListsTwentyProblemsAndCountsTheRest) {
  // Each extra segment refers to a node the file lacks: one problem each
  const struct {
    int32_t problems;
    std::string tail;
  } kCases[] = {{20, ""}, {21, ": and 1 more problem\n"}, {23, ": and 3 more problems\n"}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.problems);
    const testing::ScratchFolder folder;
    const std::string p = "kevrano-tor: " + (folder.path() / "lens.tor").string();
    testing::MeshSpec mesh = testing::Cylinder();
    std::string want;
    for (int32_t k = 1; k <= c.problems; ++k) {
      mesh.linear.push_back({1, 100 + k});
      if (k <= 20) {
        want += p + ":" + std::to_string(23 + k) + ": linear segment " + std::to_string(3 + k) +
                " refers to node " + std::to_string(100 + k) + ", but the file has 4 nodes\n";
      }
    }
    if (!c.tail.empty()) want += p + c.tail;
    EXPECT_EQ(want, Tool({"check", folder.Write("lens.tor", testing::TorText(mesh))}).err);
  }
}

TEST(Cli, CheckCountsWarnings) {
  testing::MeshSpec mesh = testing::Cylinder();
  mesh.nodes.push_back({3.0, 1.0});  // node 5, in no segment
  const testing::ScratchFolder folder;
  const std::string path = folder.Write("lens.tor", testing::TorText(mesh));
  const ToolRun run = Tool({"check", path});
  EXPECT_EQ(kExitOk, run.status);
  EXPECT_EQ("kevrano-tor: " + path + ":18: warning: node 5 belongs to no segment\n", run.err);
  EXPECT_EQ(0u, run.out.find(path + ": lens outline checked, 1 warning\n"));
}

TEST(Cli, SvgAndStlGoToStandardOutput) {
  const std::string lens = testing::TestDataPath("plano_convex.tor");
  const ToolRun svg = Tool({"svg", lens});
  EXPECT_EQ(kExitOk, svg.status);
  EXPECT_EQ(testing::TestData("plano_convex.svg"), svg.out);
  const ToolRun stl = Tool({"stl", "--segments=16", lens});
  EXPECT_EQ(kExitOk, stl.status);
  testing::StlMesh mesh;
  ASSERT_TRUE(testing::ReadStl(stl.out, &mesh));
  EXPECT_EQ(0u, mesh.triangles.size() % 16);
  EXPECT_TRUE(testing::EdgeFaults(mesh).empty());
}

TEST(CliWorkshop, RefusesBadCommandLines) {
  const std::string lens = testing::TestDataPath("plano_convex.tor");
  const std::string see = " (see kevrano-tor --help)\n";
  const struct {
    std::vector<std::string> args;
    std::string err;
  } kCases[] = {
      {{"stl", "--segments", "8", "--chord-tolerance", "0.1", lens},
       "--segments and --chord-tolerance exclude each other"},
      {{"stl", "--chord-tolerance", "0", lens},
       "--chord-tolerance '0' is not a positive length in the file's unit"},
      {{"check", "--density", "-1", lens}, "--density '-1' is not a positive density in g/cm^3"},
      {{"check", "--density", "1", "--material", "ptfe", lens},
       "--density and --material exclude each other"},
      {{"check", "--material", "teflon", lens},
       "--material 'teflon' is not one of rexolite, ptfe, hdpe, ldpe, pp, pmma, abs, pla, ultem, "
       "quartz, alumina, silicon"},
      {{"svg", "--material", "ptfe", lens}, "--material applies to check only"},
      {{"check", lens, "--density"}, "--density needs a value"},
      {{"step", lens}, "step needs -o FILE"},
      {{"step", lens, "-o", lens},
       "the tor file '" + lens + "' and -o '" + lens + "' are the same file: name another file"},
      {{"dxf", lens, "--output", "-"}, "dxf writes a file: -o needs a file name"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.err);
    const ToolRun run = Tool(c.args);
    EXPECT_EQ(kExitUsage, run.status);
    EXPECT_EQ("", run.out);
    EXPECT_EQ("kevrano-tor: " + c.err + see, run.err);
  }
}

TEST(CliWorkshop, CheckPrintsTheMassBesideTheVolume) {
  // plano_convex.tor: 21.2059 mm^3 = 0.0212059 cm^3, dielectric constant 2.56
  const std::string lens = testing::TestDataPath("plano_convex.tor");
  const struct {
    std::vector<std::string> options;
    std::string rows;
  } kCases[] = {
      {{"--density", "1"}, "  mass                  0.0212059 g at 1 g/cm^3\n"},
      {{"--material", "Rexolite"},
       "  material              rexolite, dielectric constant 2.53 (the file's: 2.56), density "
       "1.05 g/cm^3\n"
       "  mass                  0.0222662 g at 1.05 g/cm^3\n"},
  };
  const std::string volume = "  volume                21.2059 mm^3\n";
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.rows);
    std::vector<std::string> args{"check"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    args.push_back(lens);
    const ToolRun run = Tool(args);
    EXPECT_EQ(kExitOk, run.status);
    ASSERT_NE(std::string::npos, run.out.find(volume));
    EXPECT_EQ(c.rows, run.out.substr(run.out.find(volume) + volume.size()));
  }
}

TEST(CliWorkshop, StepAndDxfWriteTheFileOrLeaveNone) {
  const testing::ScratchFolder folder;
  const std::string lens = testing::TestDataPath("plano_convex.tor");
  const std::string missing = folder.File("no/such/folder/lens");
  const struct {
    std::string command, output;
    int status;
    std::string out, err;
  } kCases[] = {
      {"step", folder.File("lens.step"), kExitOk,
       lens + ": solid of revolution written to " + folder.File("lens.step") +
           " (STEP AP214, unit mm)\n",
       ""},
      {"dxf", folder.File("lens.dxf"), kExitOk,
       lens + ": half-profile written to " + folder.File("lens.dxf") +
           " (DXF, layers faces, rim and axis, unit mm)\n",
       ""},
      {"step", missing, kExitBadFile, "",
       "kevrano-tor: " + missing + ": cannot write: No such file or directory\n"},
      {"dxf", missing, kExitBadFile, "",
       "kevrano-tor: " + missing + ": cannot write: No such file or directory\n"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.command + " " + c.output);
    if (MissingWriter(c.command == "step" ? WorkshopFile::kStep : WorkshopFile::kDxf)) {
      GTEST_SKIP() << c.command << " is not in this build";
    }
    const ToolRun run = Tool({c.command, lens, "-o", c.output});
    EXPECT_EQ(c.status, run.status);
    EXPECT_EQ(c.out, run.out);
    EXPECT_EQ(c.err, run.err);
    EXPECT_EQ(c.status == kExitOk, std::filesystem::exists(c.output));
  }
}

TEST(CliWorkshop, StlForAChordToleranceCountsItsFacets) {
  const std::string lens = testing::TestDataPath("plano_convex.tor");
  const ToolRun run = Tool({"stl", "--chord-tolerance", "0.001", lens});
  ASSERT_EQ(kExitOk, run.status) << run.err;
  testing::StlMesh mesh;
  ASSERT_TRUE(testing::ReadStl(run.out, &mesh));
  EXPECT_TRUE(testing::EdgeFaults(mesh).empty());
  // Radius 3 mm, sagitta 0.0005: pi / acos(1 - 0.0005/3) = 172.1, so 173 steps
  EXPECT_EQ("kevrano-tor: " + lens + ": " + std::to_string(mesh.triangles.size()) +
                " facets within 0.001 mm of the lens surface (173 steps around the axis)\n",
            run.err);
}

}  // namespace
}  // namespace tortool
