// Whole-program golden tests. Each folder under tests/golden holds one run:
//   stdin            what is typed on standard input
//   other files      copied into the run's working folder (scripts of answers)
//   expected/stdout  the console text, byte for byte
//   expected/stderr  the diagnostic line (absent: nothing)
//   expected/status  the exit status (absent: 0)
//   expected/NAME    every other file: written by the run under NAME, byte for byte
// The expected files were checked by hand against the record layouts. Setting
// KEVRANO_GOLDEN_UPDATE=1 writes the actual results into expected/ instead,
// for a new case that is then read line by line before it is committed.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/process.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ReadFile;

std::vector<std::string> CaseNames() {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(KEVRANO_GOLDEN_DIR)) {
    if (entry.is_directory()) names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// Shows where two texts part, with the line number, for a readable failure.
std::string FirstDifference(const std::string& want, const std::string& got) {
  std::size_t i = 0;
  while (i < want.size() && i < got.size() && want[i] == got[i]) ++i;
  const std::size_t line = 1 + static_cast<std::size_t>(
                                   std::count(want.begin(), want.begin() + static_cast<long>(i), '\n'));
  const std::size_t from = want.rfind('\n', i == 0 ? 0 : i - 1);
  const std::size_t start = from == std::string::npos ? 0 : from + 1;
  return "first difference at byte " + std::to_string(i) + ", line " + std::to_string(line) +
         "\n want: " + want.substr(start, 120) + "\n  got: " + got.substr(start, 120);
}

class Golden : public testing::TestWithParam<std::string> {};

TEST_P(Golden, MatchesExpectedFiles) {
  const fs::path dir = fs::path(KEVRANO_GOLDEN_DIR) / GetParam();
  const fs::path expected = dir / "expected";
  const testing_support::ScratchDir scratch("kevrano-golden");
  const fs::path& work = scratch.path();
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (entry.is_regular_file() && entry.path().filename() != "stdin") {
      fs::copy_file(entry.path(), work / entry.path().filename());
    }
  }
  const auto run = testing_support::RunProgram(KEVRANO_BINARY, work, ReadFile(dir / "stdin"));

  if (std::getenv("KEVRANO_GOLDEN_UPDATE") != nullptr) {
    fs::create_directories(expected);
    testing_support::WriteFile(expected / "stdout", run.out);
    if (!run.err.empty()) testing_support::WriteFile(expected / "stderr", run.err);
    if (run.status != 0) {
      testing_support::WriteFile(expected / "status", std::to_string(run.status) + "\n");
    }
    for (const auto& entry : fs::directory_iterator(work)) {
      if (!fs::exists(dir / entry.path().filename())) {
        fs::copy_file(entry.path(), expected / entry.path().filename(),
                      fs::copy_options::overwrite_existing);
      }
    }
    GTEST_SKIP() << "expected files written for " << GetParam();
  }

  const std::string want_out = ReadFile(expected / "stdout");
  EXPECT_EQ(want_out, run.out) << FirstDifference(want_out, run.out);
  EXPECT_EQ(ReadFile(expected / "stderr"), run.err);
  const std::string status_text = ReadFile(expected / "status");
  EXPECT_EQ(status_text.empty() ? 0 : std::stoi(status_text), run.status);
  for (const auto& entry : fs::directory_iterator(expected)) {
    const std::string name = entry.path().filename().string();
    if (name == "stdout" || name == "stderr" || name == "status") continue;
    SCOPED_TRACE(name);
    ASSERT_TRUE(fs::exists(work / name)) << name << " was not written";
    const std::string want = ReadFile(entry.path());
    const std::string got = ReadFile(work / name);
    EXPECT_EQ(want, got) << FirstDifference(want, got);
  }
}

INSTANTIATE_TEST_SUITE_P(Runs, Golden, testing::ValuesIn(CaseNames()),
                         [](const testing::TestParamInfo<std::string>& param) {
                           std::string name = param.param;
                           for (char& c : name) {
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           }
                           return name;
                         });

}  // namespace
