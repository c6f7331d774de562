// Whole-program tests at a terminal: a wrong answer typed at the keyboard is
// explained in one line and asked again, so that the run ends with the same
// report and tor file as a run without the typo.

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "driver/kevrano.h"
#include "tests/process.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::RunOnTerminal;
using testing_support::RunResult;

// One whole typed run: keyboard, report, a flat-feed-face design exported in mm.
const std::vector<std::string> kAnswers = {"0",   "report.txt", "1",   "2.25", "10,20", "0",
                                           "1",   "1",          "1",   "0.5",  "0.5",   "1",
                                           "lens.tor", "3",     "0",   "0"};

std::string Typed(const std::vector<std::string>& answers) {
  std::string text;
  for (const std::string& a : answers) text += a + "\n";
  return text;
}

struct Typo {
  const char* name;
  std::size_t before;  // the answer the typo is typed in place of, then typed right
  std::string typo;
  std::string line;  // what the terminal shows about it
};

class TypoTest : public testing::Test {
 protected:
  void SetUp() override { dir_ = testing_support::MakeTempDir("kevrano-typo"); }
  void TearDown() override { testing_support::RemoveTree(dir_); }
  fs::path dir_;
};

TEST_F(TypoTest, TypoThenRightAnswerGivesTheCleanRunsFiles) {
  const fs::path clean = dir_ / "clean";
  fs::create_directory(clean);
  const RunResult good = RunOnTerminal(KEVRANO_BINARY, clean, Typed(kAnswers));
  ASSERT_EQ(0, good.status) << good.out;
  const std::string report = ReadFile(clean / "report.txt");
  const std::string tor = ReadFile(clean / "lens.tor");
  ASSERT_FALSE(tor.empty());

  const std::string again = "; answer again";
  const std::string not_number = "That answer is not the number asked for" + again;
  const Typo kTypos[] = {
      {"n at the first question", 0, "n", not_number},
      {"empty Enter at the report name", 1, "", "A file name is needed" + again},
      {"report in a missing folder", 1, "no/such/report.txt",
       "Cannot open no/such/report.txt: No such file or directory" + again},
      {"a word for a number", 3, "fifty", not_number},
      {"second value wrong", 4, "10 x", not_number},
      {"a unit after the number", 6, "5mm", not_number},
      {"a number beyond range", 7, "1e39",
       "That number lies beyond the range of the answer" + again},
      {"tor file named like the report", 12, "report.txt",
       "Cannot write report.txt: it is the report file" + again},
      {"tor file in a missing folder", 12, "no/dir/lens.tor",
       "Cannot open no/dir/lens.tor: No such file or directory" + again},
      {"y for another design", 15, "y", not_number},
  };
  for (const Typo& t : kTypos) {
    SCOPED_TRACE(t.name);
    std::vector<std::string> answers = kAnswers;
    answers.insert(answers.begin() + static_cast<std::ptrdiff_t>(t.before), t.typo);
    const fs::path work = dir_ / std::to_string(&t - kTypos);
    fs::create_directory(work);
    const RunResult run = RunOnTerminal(KEVRANO_BINARY, work, Typed(answers));
    EXPECT_EQ(0, run.status) << run.out;
    EXPECT_EQ(report, ReadFile(work / "report.txt"));
    EXPECT_EQ(tor, ReadFile(work / "lens.tor"));
    EXPECT_NE(std::string::npos, run.out.find(t.line + "\r\n")) << run.out;
  }

  // A mistyped script name is asked again and leaves no file behind.
  const fs::path scripted = dir_ / "scripted";
  fs::create_directory(scripted);
  testing_support::WriteFile(scripted / "answers.txt",
                             Typed(std::vector<std::string>(kAnswers.begin() + 1, kAnswers.end())));
  const RunResult run = RunOnTerminal(KEVRANO_BINARY, scripted, "1\nanswerz.txt\nanswers.txt\n");
  EXPECT_EQ(0, run.status) << run.out;
  EXPECT_FALSE(fs::exists(scripted / "answerz.txt"));
  EXPECT_EQ(report, ReadFile(scripted / "report.txt"));
  EXPECT_EQ(tor, ReadFile(scripted / "lens.tor"));
}

// End of input where another design is offered: every design is saved, so a
// terminal ends the run normally; answers fed from a file or pipe stop there
// as a script out of step does.
TEST_F(TypoTest, EndOfInputAtAnotherDesign) {
  struct Case {
    const char* name;
    textio::ConsoleSetup setup;
    int status;
  };
  const Case kCases[] = {
      {"terminal", textio::ConsoleSetup{true, true}, 0},
      {"redirected", textio::ConsoleSetup{false, false}, 1},
  };
  // The run answers short names inside the scratch folder, whose own path may
  // be longer than a file name answer holds.
  struct WorkingFolder {
    explicit WorkingFolder(const fs::path& to) : from(fs::current_path()) { fs::current_path(to); }
    ~WorkingFolder() { fs::current_path(from); }
    fs::path from;
  } here(dir_);
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const fs::path report = dir_ / (std::string(c.name) + ".txt");
    std::vector<std::string> answers(kAnswers.begin(), kAnswers.end() - 1);
    answers[1] = std::string(c.name) + ".txt";
    answers[12] = std::string(c.name) + ".tor";
    std::istringstream keyboard(Typed(answers));
    std::ostringstream screen;
    std::ostringstream err;
    EXPECT_EQ(c.status, driver::RunProgram(keyboard, screen, err, c.setup)) << err.str();
    EXPECT_NE(std::string::npos, ReadFile(report).find(" ZONE: "));
  }
}

}  // namespace
