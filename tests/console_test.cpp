// Whole-program tests of the console: the screen under a terminal, and the
// failures that end a run, each with its one diagnostic line.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/process.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::RunOnTerminal;
using testing_support::RunProgram;
using testing_support::WriteFile;

// Answers of one flat-feed-face design: dialogue, radial step, zoning, no tor file.
constexpr const char* kDesign = "1\n2.25\n10,20\n0\n1\n1\n1\n0.5\n0.5\n0\n";

class ConsoleTest : public testing::Test {
 protected:
  void SetUp() override { dir_ = testing_support::MakeTempDir("kevrano-console"); }
  void TearDown() override { testing_support::RemoveTree(dir_); }
  fs::path dir_;
};

// Deletes every CR, so that terminal output can be compared line by line.
std::string WithoutCr(std::string s) {
  std::erase(s, '\r');
  return s;
}

TEST_F(ConsoleTest, TerminalShowsRecordsWithoutControlColumn) {
  const auto run = RunOnTerminal(KEVRANO_BINARY, dir_, std::string("0\nreport.txt\n") + kDesign + "0\n");
  ASSERT_EQ(0, run.status) << run.out;
  // The terminal echoes each typed answer after its prompt; every record is
  // shown from its second column on.
  const std::string want =
      "Zoned Lens design; Enter 1 for file input 0\n"
      "Enter output file name report.txt\n"
      "Spherical or Flat Surface Lens Design\n"
      "Enter specify 1 inner, 2 outer surface 1\n"
      "Enter Lens Dielectric Constant 2.25\n"
      "Enter Lens Radius, Edge Dist. from Feed 10,20\n"
      "Enter edge thickness along ray 0\n"
      "Enter Specified Surface: 1)Flat, 2)Spherical 1\n";
  EXPECT_EQ(want, WithoutCr(run.out).substr(0, want.size()));
  EXPECT_NE(std::string::npos, WithoutCr(run.out).find("Enter 1 for another Design 0\n"));
}

TEST_F(ConsoleTest, TerminalAsksAgainForADecimalComma) {
  // 2,54 typed for the dielectric constant and 0,5 for the radial step: each
  // is explained and asked again; the report holds the corrected answers.
  const auto run =
      RunOnTerminal(KEVRANO_BINARY, dir_,
                    "0\nreport.txt\n1\n2,54\n2.54\n10,20\n0\n1\n0,5\n0.5\n1\n0.5\n0.5\n0\n0\n");
  ASSERT_EQ(0, run.status) << run.out;
  const std::string shown = WithoutCr(run.out);
  EXPECT_NE(std::string::npos,
            shown.find("Enter Lens Dielectric Constant 2,54\n"
                       "2,54 holds two values; a decimal point, not a comma, separates the "
                       "decimals\nEnter Lens Dielectric Constant 2.54\n"))
      << shown;
  EXPECT_NE(
      std::string::npos,
      shown.find("0,5 holds two values; a decimal point, not a comma, separates the decimals\n"
                 "Enter Design Radial Step Size 0.5\n"))
      << shown;
  EXPECT_NE(std::string::npos, ReadFile(dir_ / "report.txt").find("2.540"));
}

TEST_F(ConsoleTest, TerminalPutsScriptEchoesOnTheirOwnLines) {
  WriteFile(dir_ / "answers.txt", std::string("report.txt\n") + kDesign + "0\n");
  const auto run = RunOnTerminal(
      KEVRANO_BINARY, dir_,
      {{"Zoned Lens design; Enter 1 for file input ", "1"}, {"Enter file name ", "answers.txt"}});
  ASSERT_EQ(0, run.status) << run.out;
  const std::string shown = WithoutCr(run.out);
  EXPECT_EQ(
      "Zoned Lens design; Enter 1 for file input 1\n"
      "Enter file name answers.txt\n"
      "Enter output file name \n"
      "report.txt" + std::string(60, ' ') + "\n"
      "Spherical or Flat Surface Lens Design\n"
      "Enter specify 1 inner, 2 outer surface \n"
      "          1\n"
      "Enter Lens Dielectric Constant \n"
      "       2.250000\n",
      shown.substr(0, shown.find("Enter Lens Radius")));
  EXPECT_EQ(ReadFile(dir_ / "report.txt").substr(0, 2), "\r\n");
}

TEST_F(ConsoleTest, OnlyOneAtAnotherDesignStartsAnother) {
  // Anything but 1 ends the run normally; a run that went on would find the
  // end of the typed answers and fail.
  const char* const kEnds[] = {"0", "2", "-1", "11", "0.9"};
  for (const char* answer : kEnds) {
    SCOPED_TRACE(answer);
    const auto run =
        RunProgram(KEVRANO_BINARY, dir_, std::string("0\nreport.txt\n") + kDesign + answer + "\n");
    EXPECT_EQ(0, run.status) << run.err;
  }
  // 1.9 is cut to 1: a second design is asked for, and the answers end.
  const auto more =
      RunProgram(KEVRANO_BINARY, dir_, std::string("0\nreport.txt\n") + kDesign + "1.9\n");
  EXPECT_EQ("KEVRANO: severe (1): end-of-file during read, unit 5, file stdin\n", more.err);
}

struct FailureCase {
  const char* name;
  std::string typed;
  std::string script;  // written as answers.txt when not empty
  std::string diagnostic;
};

TEST_F(ConsoleTest, FailuresEndTheRunWithOneLine) {
  const std::string script_path = "answers.txt";
  const FailureCase kCases[] = {
      {"keyboard ends at once", "", "", "KEVRANO: severe (1): end-of-file during read, unit 5, file stdin"},
      {"script ends one answer early", "1\nanswers.txt\n", "report.txt\n1\n2.25\n10 20\n0\n",
       "KEVRANO: severe (1): end-of-file during read, unit 50, file answers.txt"},
      {"missing script", "1\nnew.txt\n", "",
       "KEVRANO: severe (4): open failure, unit 50, file new.txt: No such file or directory"},
      {"report named like the script", "1\nanswers.txt\n", "answers.txt\n",
       "KEVRANO: severe (4): open failure, unit 66, file answers.txt: the same file as the "
       "script of answers, unit 50"},
      {"tor file named like the report", "0\nreport.txt\n1\n2.25\n10,20\n0\n1\n1\n1\n0.5\n0.5\n1\nreport.txt\n",
       "",
       "KEVRANO: severe (4): open failure, unit 43, file report.txt: the same file as the "
       "report file, unit 66"},
      {"script ends at the another-design question", "1\nanswers.txt\n",
       std::string("report.txt\n") + kDesign,
       "KEVRANO: severe (1): end-of-file during read, unit 50, file answers.txt"},
      {"letters", "0\nreport.txt\nyes\n", "",
       "KEVRANO: severe (2): list-directed I/O syntax error, unit 5, file stdin"},
      {"letters in the script", "1\nanswers.txt\n", "report.txt\n1\nabc\n",
       "KEVRANO: severe (2): list-directed I/O syntax error, unit 50, file answers.txt"},
      {"real beyond range", "0\nreport.txt\n1\n1e39\n", "",
       "KEVRANO: severe (3): input conversion error, unit 5, file stdin"},
      {"integer beyond range", "0\nreport.txt\n99999999999\n", "",
       "KEVRANO: severe (3): input conversion error, unit 5, file stdin"},
      {"report in a missing folder", "0\nno/such/report.txt\n", "",
       "KEVRANO: severe (4): open failure, unit 66, file no/such/report.txt: No such file or directory"},
      {"report named after a folder", "0\n.\n", "",
       "KEVRANO: severe (4): open failure, unit 66, file .: Is a directory"},
      {"script that is a folder", "1\n.\n", "",
       "KEVRANO: severe (4): open failure, unit 50, file .: Is a directory"},
      {"blank report name", "0\n   \n", "",
       "KEVRANO: severe (6): file name specification error, unit 66, file "},
      {"report on a full device", "0\n/dev/full\n1\n2.25\n10 20\n", "",
       "KEVRANO: severe (7): error during write, unit 66, file /dev/full"},
      {"negative dielectric constant", "0\nreport.txt\n1\n-2\n", "",
       "KEVRANO: severe (8): negative dielectric constant -2.000000 has no real refractive index"},
  };
  for (const FailureCase& c : kCases) {
    SCOPED_TRACE(c.name);
    const fs::path work = dir_ / c.name;
    fs::create_directory(work);
    if (!c.script.empty()) WriteFile(work / script_path, c.script);
    const auto run = RunProgram(KEVRANO_BINARY, work, c.typed);
    EXPECT_EQ(1, run.status);
    EXPECT_EQ(c.diagnostic + "\n", run.err);
  }
}

TEST_F(ConsoleTest, ReportKeepsWhatWasFinishedBeforeAFailure) {
  // The run ends at the surface question; the parameter lines written before
  // it are in the report.
  const auto run = RunProgram(KEVRANO_BINARY, dir_, "0\nreport.txt\n1\n2.25\n");
  EXPECT_EQ(1, run.status);
  EXPECT_EQ(
      "\r\n Spherical or Flat Surface Lens Design\r\n Lens Dielectric Constant:         2.250\r\n"
      "\r\n Inner (Feed) Side Specified\r\n",
      ReadFile(dir_ / "report.txt"));
  // The open prompt is ended before the diagnostic.
  EXPECT_EQ("\r\n", run.out.substr(run.out.size() - 2));
}

TEST_F(ConsoleTest, UnwritableFolderGivesPermissionDenied) {
  // The program runs without root rights, so the folder's permissions bind it.
  fs::permissions(dir_, fs::perms::all);
  fs::create_directory(dir_ / "locked");
  fs::permissions(dir_ / "locked", fs::perms::owner_read | fs::perms::owner_exec |
                                       fs::perms::others_read | fs::perms::others_exec);
  if (auto why = testing_support::UnprivilegedCannotRun(KEVRANO_BINARY, dir_)) {
    GTEST_SKIP() << *why;
  }
  const auto run =
      testing_support::RunProgramUnprivileged(KEVRANO_BINARY, dir_, "0\nlocked/report.txt\n");
  EXPECT_EQ("KEVRANO: severe (5): permission to access file denied, unit 66, file "
            "locked/report.txt: Permission denied\n",
            run.err);
  fs::permissions(dir_ / "locked", fs::perms::owner_all);
}

}  // namespace
