// Whole-program tests with hostile answers and failing files. Whatever the
// input, a run ends normally (status 0) or with exactly one diagnostic line
// on standard error and status 1; and a failure never loses a finished
// record of the report, nor leaves a tor file that looks complete.

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tests/process.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::RunProgram;
using testing_support::RunResult;
using testing_support::WriteFile;

// Answers of a whole run, one per record: two designs, each exported. The
// first export answers the units question with a code outside the table
// first, so that its re-ask is read too.
const std::vector<std::string> kRun = {
    "report.txt",
    // Flat feed face, eleven rays, two zones, tor file in mm.
    "1", "2.25", "10,20", "0", "1", "1", "1", "0.5", "0.5", "1", "first.tor", "9", "3", "0",
    "1",
    // Spherical radiation face beyond the edge plane, six rays, in inches.
    "2", "2.25", "10 20", "1", "2", "30", "2", "1", "1", "0.5", "1", "second.tor", "1", "-2.5",
    "0"};
const std::vector<std::size_t> kNamePositions = {0, 11, 27};

std::string Join(const std::vector<std::string>& answers, std::size_t count) {
  std::string text;
  for (std::size_t i = 0; i < count && i < answers.size(); ++i) text += answers[i] + "\n";
  return text;
}

class HostileTest : public testing::Test {
 protected:
  void SetUp() override { dir_ = testing_support::MakeTempDir("kevrano-hostile"); }
  void TearDown() override { testing_support::RemoveTree(dir_); }

  // Runs with `script` as the script of answers in a fresh folder `name`.
  RunResult RunScript(const std::string& name, const std::string& script) {
    const fs::path work = dir_ / name;
    fs::create_directories(work);
    WriteFile(work / "answers.txt", script);
    return RunProgram(KEVRANO_BINARY, work, "1\nanswers.txt\n");
  }

  fs::path dir_;
};

// A run ended normally, or with one diagnostic line and status 1.
void ExpectCleanOutcome(const RunResult& run) {
  if (run.status == 0) {
    EXPECT_EQ("", run.err);
    return;
  }
  EXPECT_EQ(1, run.status);
  EXPECT_EQ(0u, run.err.rfind("KEVRANO: severe (", 0)) << run.err;
  ASSERT_FALSE(run.err.empty());
  EXPECT_EQ(run.err.size() - 1, run.err.find('\n')) << "more than one line: " << run.err;
}

TEST_F(HostileTest, FailureAtEveryReadKeepsEveryFinishedRecord) {
  const RunResult full = RunScript("full", Join(kRun, kRun.size()));
  ASSERT_EQ(0, full.status) << full.err;
  const std::string full_report = ReadFile(dir_ / "full" / "report.txt");
  const std::string full_first = ReadFile(dir_ / "full" / "first.tor");
  const std::string full_second = ReadFile(dir_ / "full" / "second.tor");
  ASSERT_FALSE(full_first.empty());
  ASSERT_FALSE(full_second.empty());

  std::size_t previous_length = 0;
  for (std::size_t k = 0; k < kRun.size(); ++k) {
    // Two ways to fail at read k: the script ends there, or the answer there
    // is not a number.
    std::vector<std::pair<std::string, std::string>> variants = {
        {"eof", Join(kRun, k)}};
    const bool is_name =
        std::find(kNamePositions.begin(), kNamePositions.end(), k) != kNamePositions.end();
    if (!is_name) {
      std::vector<std::string> bad = kRun;
      bad[k] = "x";
      variants.emplace_back("syntax", Join(bad, k + 1));
    }
    for (const auto& [kind, script] : variants) {
      SCOPED_TRACE("read " + std::to_string(k) + " fails by " + kind);
      const std::string name = "cut" + std::to_string(k) + kind;
      const RunResult run = RunScript(name, script);
      EXPECT_EQ(1, run.status);
      const std::string want = kind == "eof"
                                   ? "KEVRANO: severe (1): end-of-file during read, unit 50, file answers.txt\n"
                                   : "KEVRANO: severe (2): list-directed I/O syntax error, unit 50, file answers.txt\n";
      EXPECT_EQ(want, run.err);
      // The report is the good run's report up to a record boundary.
      const std::string report = ReadFile(dir_ / name / "report.txt");
      EXPECT_EQ(0u, full_report.rfind(report, 0)) << "report is not a prefix of the good run's";
      if (!report.empty()) {
        EXPECT_EQ("\r\n", report.substr(report.size() - 2));
      }
      // A later failure keeps at least as much; at the last read everything
      // the good run wrote is there.
      EXPECT_GE(report.size(), previous_length);
      if (kind == "eof") previous_length = report.size();
      if (k + 1 == kRun.size()) {
        EXPECT_EQ(full_report, report);
      }
      // The console shows what the good run showed up to the failure, the
      // open prompt ended.
      std::string shown = run.out;
      if (shown.size() >= 2 && shown.substr(shown.size() - 2) == "\r\n") shown.resize(shown.size() - 2);
      EXPECT_EQ(0u, full.out.rfind(shown, 0)) << "console is not a prefix of the good run's";
      // A tor file is absent, empty (opened, nothing written yet) or whole.
      for (const auto& [tor, whole] : {std::pair{"first.tor", full_first}, {"second.tor", full_second}}) {
        const fs::path path = dir_ / name / tor;
        if (!fs::exists(path)) continue;
        const std::string content = ReadFile(path);
        EXPECT_TRUE(content.empty() || content == whole) << tor << " left incomplete";
      }
    }
  }
}

struct HostileCase {
  const char* name;
  std::vector<std::string> answers;     // the script
  std::optional<std::string> diagnostic;  // the exact line, or any clean outcome
};

// kRun with answer `at` replaced by `with`.
std::vector<std::string> Replace(std::size_t at, const std::string& with) {
  std::vector<std::string> answers = kRun;
  answers[at] = with;
  return answers;
}

TEST_F(HostileTest, HostileAnswersEndCleanly) {
  const std::string megabyte_line = "1" + std::string(4 << 20, ' ') + "ignored";
  const std::string eof = "KEVRANO: severe (1): end-of-file during read, unit 50, file answers.txt";
  const std::string syntax = "KEVRANO: severe (2): list-directed I/O syntax error, unit 50, file answers.txt";
  const std::string conversion = "KEVRANO: severe (3): input conversion error, unit 50, file answers.txt";
  const HostileCase kCases[] = {
      {"binary bytes", Replace(1, std::string("\x01\x02\xff\xfe", 4)), syntax},
      {"NUL byte after a digit", Replace(1, std::string("1\0", 2)), syntax},
      {"NUL byte alone", Replace(2, std::string("\0", 1)), syntax},
      {"line of megabytes", Replace(1, megabyte_line), ""},
      {"real beyond range", Replace(2, "1e39"), conversion},
      {"negative zero constant", Replace(2, "-0"), std::nullopt},
      {"NaN", Replace(2, "NaN"), syntax},
      {"Inf", Replace(3, "Inf,20"), syntax},
      {"integer beyond range", Replace(1, "99999999999"), conversion},
      {"huge repeat count", Replace(1, "2147483648*1"), ""},
      {"huge radius", Replace(3, "3e38,20"), std::nullopt},
      // Every later answer is read as another step, up to the tor file name.
      {"zero radius asks the step again and again", Replace(3, "0,20"), syntax},
      {"zero step asks again", Replace(6, "0"), std::nullopt},
      {"constant of one", Replace(2, "1"), std::nullopt},
      {"constant between zero and one", Replace(2, "0.5"), std::nullopt},
      {"zero wavelength", Replace(7, "0"), ""},
      {"tiny wavelength", Replace(7, "1e-30"), ""},
      {"negative wavelength", Replace(7, "-1"), ""},
      {"huge minimum path", Replace(9, "-3e38"), ""},
      {"feed share far outside", Replace(8, "1e30"), ""},
      {"units code never valid", std::vector<std::string>(kRun.begin(), kRun.begin() + 12), eof},
      {"unknown side", Replace(1, "7"), std::nullopt},
      {"unknown surface", Replace(5, "9"), std::nullopt},
  };
  for (const HostileCase& c : kCases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> answers = c.answers;
    if (std::string(c.name) == "units code never valid") {
      for (int i = 0; i < 5; ++i) answers.push_back("5");
    }
    const RunResult run = RunScript(c.name, Join(answers, answers.size()));
    ExpectCleanOutcome(run);
    if (c.diagnostic) {
      EXPECT_EQ(c.diagnostic->empty() ? "" : *c.diagnostic + "\n", run.err);
    }
    EXPECT_EQ(std::string::npos, run.out.find("nan")) << "a NaN reached the console";
    EXPECT_EQ(std::string::npos, run.out.find("NaN")) << "a NaN reached the console";
  }
}

TEST_F(HostileTest, TorFileThatCannotBeWritten) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
  const RunResult run = RunScript("full_device", Join(Replace(11, "/dev/full"), kRun.size()));
  EXPECT_EQ(1, run.status);
  EXPECT_EQ("KEVRANO: severe (7): error during write, unit 43, file /dev/full\n", run.err);
  // The first design's report lines are all there.
  EXPECT_NE(std::string::npos, ReadFile(dir_ / "full_device" / "report.txt").find("Number of zones:"));
}

TEST_F(HostileTest, TorFileInAFolderWithoutWritePermission) {
  // The program runs without root rights, so the folder's permissions bind it.
  const fs::path work = dir_ / "locked_run";
  fs::create_directories(work / "locked");
  for (const fs::path& folder : {dir_, work}) fs::permissions(folder, fs::perms::all);
  fs::permissions(work / "locked", fs::perms::owner_read | fs::perms::owner_exec |
                                       fs::perms::others_read | fs::perms::others_exec);
  WriteFile(work / "answers.txt", Join(Replace(11, "locked/first.tor"), kRun.size()));
  fs::permissions(work / "answers.txt", fs::perms::owner_read | fs::perms::owner_write |
                                            fs::perms::others_read);
  if (auto why = testing_support::UnprivilegedCannotRun(KEVRANO_BINARY, work)) {
    GTEST_SKIP() << *why;
  }
  const RunResult run =
      testing_support::RunProgramUnprivileged(KEVRANO_BINARY, work, "1\nanswers.txt\n");
  EXPECT_EQ(1, run.status);
  EXPECT_EQ("KEVRANO: severe (5): permission to access file denied, unit 43, file "
            "locked/first.tor: Permission denied\n",
            run.err);
  // The first design's report is complete up to the export.
  EXPECT_NE(std::string::npos, ReadFile(work / "report.txt").find("Number of zones:"));
}

}  // namespace
