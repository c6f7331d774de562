#include "tortool/workshop.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "torfile/test_support.h"
#include "tortool/cli.h"

namespace tortool {
namespace {

namespace testing = torfile::testing;

struct ToolRun {
  int status = -1;
  std::string out;
  std::string err;
};

ToolRun Tool(const std::vector<std::string>& args) {
  std::istringstream in;
  std::ostringstream out, err;
  ToolRun run;
  run.status = RunTool(args, in, out, err, false);
  run.out = out.str();
  run.err = err.str();
  return run;
}

TEST(Workshop, RefusesBadCommandLines) {
  const std::string lens = testing::TestDataPath("plano_convex.tor");
  const std::string see = " (see kevrano-tor --help)\n";
  const struct {
    std::vector<std::string> args;
    std::string err;
  } kCases[] = {
      {{"stl", "--segments", "8", "--chord-tolerance", "0.1", lens},
       "--segments and --chord-tolerance exclude each other"},
      {{"stl", "--chord-tolerance", "0", lens}, "--chord-tolerance '0' is not a positive length in the file's unit"},
      {{"stl", "--chord-tolerance", "nan", lens}, "--chord-tolerance 'nan' is not a positive length in the file's unit"},
      {{"check", "--chord-tolerance", "1", lens}, "--chord-tolerance applies to stl only"},
      {{"check", "--density", "-1", lens}, "--density '-1' is not a positive density in g/cm^3"},
      {{"check", "--density", "1", "--material", "ptfe", lens}, "--density and --material exclude each other"},
      {{"check", "--material", "teflon", lens},
       "--material 'teflon' is not one of rexolite, ptfe, hdpe, ldpe, pp, pmma, abs, pla, ultem, "
       "quartz, alumina, silicon"},
      {{"svg", "--material", "ptfe", lens}, "--material applies to check only"},
      {{"check", lens, "--density"}, "--density needs a value"},
      {{"step", lens}, "step needs -o FILE"},
      {{"dxf", lens, "-o"}, "-o needs a value"},
      {{"step", lens, "-o", lens}, "-o names the tor file being read"},
      {{"dxf", lens, "--output", "-"}, "dxf writes a file: -o needs a file name"},
      {{"stl", "-o", "x.stl", lens}, "-o applies to step and dxf only"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.err);
    const ToolRun run = Tool(c.args);
    EXPECT_EQ(kExitUsage, run.status);
    EXPECT_EQ("", run.out);
    EXPECT_EQ("kevrano-tor: " + c.err + see, run.err);
  }
}

TEST(Workshop, CheckPrintsTheMassBesideTheVolume) {
  // plano_convex.tor: 21.2059 mm^3 = 0.0212059 cm^3, dielectric constant 2.56
  const std::string lens = testing::TestDataPath("plano_convex.tor");
  const struct {
    std::vector<std::string> options;
    std::string rows;
  } kCases[] = {
      {{"--density", "1"}, "  mass                  0.0212059 g at 1 g/cm^3\n"},
      {{"--material", "ptfe"},
       "  material              ptfe, dielectric constant 2.05 (the file's: 2.56), density 2.2 g/cm^3\n"
       "  mass                  0.046653 g at 2.2 g/cm^3\n"},
      {{"--material", "Rexolite"},
       "  material              rexolite, dielectric constant 2.53 (the file's: 2.56), density 1.05 g/cm^3\n"
       "  mass                  0.0222662 g at 1.05 g/cm^3\n"},
      {{}, ""},
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

TEST(Workshop, StepAndDxfWriteTheFileOrLeaveNone) {
  const testing::ScratchFolder folder;
  const std::string lens = testing::TestDataPath("plano_convex.tor");
  const std::string missing = folder.File("no/such/folder/lens");
  const struct {
    std::string command, output;
    int status;
    std::string out, err;
  } kCases[] = {
      {"step", folder.File("lens.step"), kExitOk,
       lens + ": solid of revolution written to " + folder.File("lens.step") + " (STEP AP214, unit mm)\n", ""},
      {"dxf", folder.File("lens.dxf"), kExitOk,
       lens + ": half-profile written to " + folder.File("lens.dxf") +
           " (DXF, layers faces, rim and axis, unit mm)\n",
       ""},
      {"step", missing, kExitBadFile, "", "kevrano-tor: " + missing + ": cannot write the STEP file\n"},
      {"dxf", missing, kExitBadFile, "", "kevrano-tor: " + missing + ": cannot write the DXF file\n"},
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

TEST(Workshop, StlForAChordToleranceCountsItsFacets) {
  const std::string lens = testing::TestDataPath("plano_convex.tor");
  const ToolRun run = Tool({"stl", "--chord-tolerance", "0.001", lens});
  ASSERT_EQ(kExitOk, run.status) << run.err;
  testing::StlMesh mesh;
  ASSERT_TRUE(testing::ReadStl(run.out, &mesh));
  EXPECT_TRUE(testing::EdgeFaults(mesh).empty());
  EXPECT_GT(testing::SignedVolume(mesh), 0.0);
  // Radius 3 mm, sagitta 0.0005: pi / acos(1 - 0.0005/3) = 172.1, so 173 steps
  EXPECT_EQ("kevrano-tor: " + lens + ": " + std::to_string(mesh.triangles.size()) +
                " facets within 0.001 mm of the lens surface (173 steps around the axis)\n",
            run.err);
}

}  // namespace
}  // namespace tortool
