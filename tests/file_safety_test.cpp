// Hostile command lines against the files of a run: each row is a command,
// the files before it, its exit status and the files after it. No file is
// lost, no output replaces another or an input, a failed write leaves the old
// file, and every argument is used or refused.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/process.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::RunWithArguments;
using testing_support::WriteFile;

// One lens the rows vary: every key but the report and the tor file.
#define LENS                                                                                  \
  "--inner", "flat", "--eps", "2.25", "--radius", "10", "--edge", "20", "--radial-step", "1", \
      "--wavelength", "1", "--units", "mm"

constexpr const char* kDesignFile =
    "report = \"r.txt\"\ninner = \"flat\"\neps = 2.25\nradius = 10\nedge = 20\n"
    "radial-step = 1\nwavelength = 1\nunits = \"mm\"\n";

enum class Program { kKevrano, kTor };

struct Row {
  const char* fact;
  Program program;
  std::vector<std::string> args;
  // Files before: "name=text", "name->target" (symbolic link) or
  // "name=>file" (hard link), made in this order.
  std::vector<std::string> before;
  int status;
  const char* err_begins;
  // Files after: "name=text" exactly, "name~" present and changed from
  // before, "name!" absent; nothing else may appear (no temporary file).
  std::vector<std::string> after;
  const char* standard_input = nullptr;  // a file of the folder, or none
  int size_limit_blocks = 0;             // ulimit -f for the run, 0 for none
};

class FileSafetyTest : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = testing_support::MakeTempDir("kevrano-file-safety"); }
  void TearDown() override { testing_support::RemoveTree(dir_); }

  void Check(const Row& row) {
    SCOPED_TRACE(row.fact);
    const fs::path work = dir_ / std::to_string(++runs_);
    fs::create_directories(work);
    std::map<std::string, std::string> before;
    for (const std::string& spec : row.before) {
      if (const auto at = spec.find("=>"); at != std::string::npos) {
        fs::create_hard_link(work / spec.substr(at + 2), work / spec.substr(0, at));
      } else if (const auto arrow = spec.find("->"); arrow != std::string::npos) {
        fs::create_symlink(spec.substr(arrow + 2), work / spec.substr(0, arrow));
      } else {
        const auto eq = spec.find('=');
        WriteFile(work / spec.substr(0, eq), spec.substr(eq + 1));
      }
    }
    for (const auto& entry : fs::directory_iterator(work)) {
      before[entry.path().filename().string()] = ReadFile(entry.path());
    }

    // The program, under a file size limit or reading a file as standard
    // input when the row asks for it, through the shell.
    const std::string program = row.program == Program::kKevrano ? KEVRANO_BINARY : KEVRANO_TOR_BINARY;
    std::string script = "exec \"$0\" \"$@\"";
    if (row.standard_input != nullptr) script += std::string(" < ") + row.standard_input;
    if (row.size_limit_blocks > 0) {
      script = "ulimit -f " + std::to_string(row.size_limit_blocks) + "; " + script;
    }
    std::vector<std::string> args = {"-c", script, program};
    args.insert(args.end(), row.args.begin(), row.args.end());
    const auto run = RunWithArguments("/bin/sh", args, work, "");

    EXPECT_EQ(row.status, run.status) << run.err;
    EXPECT_EQ(0u, run.err.rfind(row.err_begins, 0)) << run.err;
    std::map<std::string, std::string> want = before;
    for (const std::string& spec : row.after) {
      if (spec.ends_with("!")) {
        want.erase(spec.substr(0, spec.size() - 1));
        EXPECT_FALSE(fs::exists(fs::symlink_status(work / spec.substr(0, spec.size() - 1))));
      } else if (spec.ends_with("~")) {
        const std::string name = spec.substr(0, spec.size() - 1);
        EXPECT_NE(before[name], ReadFile(work / name)) << name << " unchanged";
        want[name] = ReadFile(work / name);
      } else {
        const auto eq = spec.find('=');
        want[spec.substr(0, eq)] = spec.substr(eq + 1);
      }
    }
    std::map<std::string, std::string> got;
    for (const auto& entry : fs::directory_iterator(work)) {
      got[entry.path().filename().string()] = ReadFile(entry.path());
    }
    EXPECT_EQ(want, got);
  }

  fs::path dir_;
  int runs_ = 0;
};

TEST_F(FileSafetyTest, KevranoDesign) {
  const Row kRows[] = {
      {"a new report and its ./ spelling as the tor file",
       Program::kKevrano,
       {"design", LENS, "--report", "r.txt", "--tor", "./r.txt"},
       {},
       2,
       "kevrano design: --report 'r.txt' and --tor './r.txt' are the same file",
       {"r.txt!"}},
      {"a tor file hard-linked to the report",
       Program::kKevrano,
       {"design", LENS, "--report", "r.txt", "--tor", "hard.tor"},
       {"r.txt=old", "hard.tor=>r.txt"},
       2,
       "kevrano design: --report 'r.txt' and --tor 'hard.tor' are the same file",
       {}},
      {"a dangling link to the report's name",
       Program::kKevrano,
       {"design", LENS, "--report", "new.txt", "--tor", "dl.tor"},
       {"dl.tor->new.txt"},
       2,
       "kevrano design: --report 'new.txt' and --tor 'dl.tor' are the same file",
       {"new.txt!"}},
      {"two designs naming one tor file in two spellings",
       Program::kKevrano,
       {"design", "--file", "d.toml"},
       {std::string("d.toml=") + kDesignFile + "[[design]]\ntor = \"a.tor\"\n[[design]]\ntor = \"./a.tor\"\n"},
       2,
       "kevrano design: d.toml: the tor file 'a.tor' of design 1 and the tor file './a.tor' of "
       "design 2 are the same file",
       {"a.tor!", "r.txt!"}},
      {"a report hard-linked to the design file",
       Program::kKevrano,
       {"design", "--file", "d.toml"},
       {std::string("d.toml=") + kDesignFile, "r.txt=>d.toml"},
       2,
       "kevrano design: d.toml: the design file 'd.toml' and the report 'r.txt' are the same file",
       {}},
      {"a complete run replaces the old report",
       Program::kKevrano,
       {"design", LENS, "--report", "r.txt", "--tor", "l.tor"},
       {"r.txt=old"},
       0,
       "",
       {"r.txt~", "l.tor~"}},
      {"a write beyond the file size limit leaves the old report",
       Program::kKevrano,
       {"design", "--inner", "flat", "--eps", "2.25", "--radius", "10", "--edge", "20",
        "--radial-step", "0.01", "--wavelength", "1", "--report", "r.txt"},
       {"r.txt=old"},
       1,
       "KEVRANO: severe (7): error during write, unit 66, file r.txt: File too large",
       {},
       nullptr,
       2},
      {"a tor file without its option",
       Program::kKevrano,
       {"design", LENS, "--report", "r.txt", "lens.tor"},
       {},
       2,
       "kevrano design: unexpected argument 'lens.tor'",
       {}},
      {"a script before design",
       Program::kKevrano,
       {"lens.tor", "design", LENS, "--report", "r.txt"},
       {},
       2,
       "kevrano design: unexpected argument 'lens.tor'",
       {}},
      {"design twice",
       Program::kKevrano,
       {"design", "design", LENS, "--report", "r.txt"},
       {},
       2,
       "kevrano design: unexpected argument 'design'",
       {}},
      {"an option as the tor file's name",
       Program::kKevrano,
       {"design", LENS, "--tor", "--report", "r.txt"},
       {},
       2,
       "kevrano design: --tor needs a value: write the zoned lens to this tor file (none without "
       "it); '--report' is an option, not its value",
       {}},
      {"an option as the report's name",
       Program::kKevrano,
       {"design", LENS, "--report", "--json"},
       {},
       2,
       "kevrano design: --report needs a file name; '--json' is an option, not its value",
       {}},
      {"operands after --, in the order given",
       Program::kKevrano,
       {"design", "--", "--inner", "flat"},
       {},
       2,
       "kevrano design: unexpected arguments '--inner' 'flat'",
       {}},
      {"a file name JSON cannot hold",
       Program::kKevrano,
       {"design", "--json", LENS, "--report", "r\xff.txt"},
       {},
       2,
       "kevrano design: --json: the file name 'r\xff.txt' is not UTF-8 text",
       {}},
      {"control characters in a name shown as ?",
       Program::kKevrano,
       {"design", LENS, "--report", "r\x1b[2J.txt"},
       {},
       2,
       "kevrano design: --report: expected a file name of 1 to 70 characters, without control "
       "characters or trailing blanks, got 'r?[2J.txt'",
       {}},
      {"a number in quotes",
       Program::kKevrano,
       {"design", "--file", "d.toml"},
       {std::string("d.toml=") + kDesignFile + "[[design]]\neps = \"2.5\"\n"},
       2,
       "kevrano design: d.toml:10: eps: expected a dielectric constant greater than 1, got the "
       "string \"2.5\": write the number without quotes",
       {}},
      {"a number beyond a 32-bit real",
       Program::kKevrano,
       {"design", "--file", "d.toml"},
       {std::string("d.toml=") + kDesignFile + "[[design]]\neps = 1e-400\n"},
       2,
       "kevrano design: d.toml:10: eps: 1e-400 lies beyond the range of a 32-bit real",
       {}},
      {"a unit after a number",
       Program::kKevrano,
       {"design", "--file", "d.toml"},
       {std::string("d.toml=") + kDesignFile + "[[design]]\nedge = 20 \xC2\xB5m\n"},
       2,
       "kevrano design: d.toml:10: a character outside ASCII stands outside quotes and comments",
       {}},
      {"a folder as design file",
       Program::kKevrano,
       {"design", "--file", "."},
       {},
       2,
       "kevrano design: .: is a folder, not a design file",
       {}},
      {"the design file on standard input",
       Program::kKevrano,
       {"design", "--file", "/dev/stdin"},
       {std::string("d.toml=") + kDesignFile},
       0,
       "",
       {"r.txt~"},
       "d.toml"},
  };
  for (const Row& row : kRows) Check(row);
}

}  // namespace
