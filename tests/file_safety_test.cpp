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

// One lens the rows vary: every key but the report and the tor file.
#define LENS \
  "--inner", "flat", "--eps", "2.25", "--radius", "10", "--edge", "20", "--wavelength", "1"
#define STEP "--radial-step", "1", "--units", "mm"
#define ANALYSE "analyse", "--wavelength", "1", "--rays", "11"

const std::string kDesignFile =
    "d.toml=report = \"r.txt\"\ninner = \"flat\"\neps = 2.25\nradius = 10\nedge = 20\n"
    "radial-step = 1\nwavelength = 1\nunits = \"mm\"\n";

struct Row {
  const char* fact;
  bool tor_tool;  // kevrano-tor, else kevrano
  std::vector<std::string> args;
  // Files before: "name=text", "name->target" (symbolic link), "name=>file"
  // (hard link), "name<lens" (the lens of kevrano-tor), made in this order.
  std::vector<std::string> before;
  int status;
  const char* err_begins;
  // Files after: "name~" present and changed, "name!" absent; the rest as
  // before, and nothing else (no temporary file left).
  std::vector<std::string> after;
  const char* shell = "";  // before the command: "ulimit -f 2;", or a redirection after it
};

class FileSafetyTest : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = testing_support::MakeTempDir("kevrano-file-safety"); }
  void TearDown() override { testing_support::RemoveTree(dir_); }

  static std::map<std::string, std::string> Files(const fs::path& work) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(work)) {
      files[entry.path().filename().string()] = ReadFile(entry.path());
    }
    return files;
  }

  void Check(const Row& row) {
    SCOPED_TRACE(row.fact);
    const fs::path work = dir_ / std::to_string(++runs_);
    fs::create_directories(work);
    for (const std::string& spec : row.before) {
      const auto at = spec.find_first_of("=-<");
      const fs::path name = work / spec.substr(0, at);
      if (spec.compare(at, 2, "=>") == 0) {
        fs::create_hard_link(work / spec.substr(at + 2), name);
      } else if (spec.compare(at, 2, "->") == 0) {
        fs::create_symlink(spec.substr(at + 2), name);
      } else if (spec[at] == '<') {
        fs::copy_file(KEVRANO_TORFILE_TESTDATA "/first_lens.tor", name);
      } else {
        testing_support::WriteFile(name, spec.substr(at + 1));
      }
    }
    const auto before = Files(work);

    // Through the shell, for a file size limit or a redirection.
    const std::string shell = row.shell;
    const bool redirect = shell.starts_with("<");
    const std::string script =
        (redirect ? "" : shell) + " exec \"$0\" \"$@\"" + (redirect ? " " + shell : "");
    std::vector<std::string> args = {"-c", script,
                                     row.tor_tool ? KEVRANO_TOR_BINARY : KEVRANO_BINARY};
    args.insert(args.end(), row.args.begin(), row.args.end());
    const auto run = testing_support::RunWithArguments("/bin/sh", args, work, "");
    EXPECT_EQ(row.status, run.status) << run.err;
    EXPECT_EQ(0u, run.err.rfind(row.err_begins, 0)) << run.err;

    auto want = before;
    const auto got = Files(work);
    for (const std::string& spec : row.after) {
      const std::string name = spec.substr(0, spec.size() - 1);
      if (spec.back() == '!') {
        want.erase(name);
      } else if (got.count(name) != 0) {
        EXPECT_NE(before.count(name) != 0 ? before.at(name) : "", got.at(name)) << name;
        want[name] = got.at(name);
      }
    }
    EXPECT_EQ(want, got);
  }

  fs::path dir_;
  int runs_ = 0;
};

TEST_F(FileSafetyTest, KevranoDesign) {
  const Row kRows[] = {
      {"a new report and its ./ spelling as the tor file",
       false,
       {"design", LENS, STEP, "--report", "r.txt", "--tor", "./r.txt"},
       {},
       2,
       "kevrano design: --report 'r.txt' and --tor './r.txt' are the same file",
       {"r.txt!"}},
      {"a tor file hard-linked to the report",
       false,
       {"design", LENS, STEP, "--report", "r.txt", "--tor", "h.tor"},
       {"r.txt=old", "h.tor=>r.txt"},
       2,
       "kevrano design: --report 'r.txt' and --tor 'h.tor' are the same file",
       {}},
      {"a dangling link to the report's name",
       false,
       {"design", LENS, STEP, "--report", "new.txt", "--tor", "dl.tor"},
       {"dl.tor->new.txt"},
       2,
       "kevrano design: --report 'new.txt' and --tor 'dl.tor' are the same file",
       {"new.txt!"}},
      {"two designs naming one tor file in two spellings",
       false,
       {"design", "--file", "d.toml"},
       {kDesignFile + "[[design]]\ntor = \"a.tor\"\n[[design]]\ntor = \"./a.tor\"\n"},
       2,
       "kevrano design: d.toml: the tor file 'a.tor' of design 1 and the tor file './a.tor' of "
       "design 2 are the same file",
       {}},
      {"a report hard-linked to the design file",
       false,
       {"design", "--file", "d.toml"},
       {kDesignFile, "r.txt=>d.toml"},
       2,
       "kevrano design: d.toml: the design file 'd.toml' and the report 'r.txt' are the same file",
       {}},
      {"a complete run replaces the old report",
       false,
       {"design", LENS, STEP, "--report", "r.txt", "--tor", "l.tor"},
       {"r.txt=old"},
       0,
       "",
       {"r.txt~", "l.tor~"}},
      {"a write beyond the file size limit leaves the old report",
       false,
       {"design", LENS, "--radial-step", "0.01", "--report", "r.txt"},
       {"r.txt=old"},
       1,
       "KEVRANO: severe (7): error during write, unit 66, file r.txt: File too large",
       {},
       "ulimit -f 2;"},
      {"a tor file without its option",
       false,
       {"design", LENS, STEP, "--report", "r.txt", "lens.tor"},
       {},
       2,
       "kevrano design: unexpected argument 'lens.tor'",
       {}},
      {"a script before design",
       false,
       {"lens.tor", "design", LENS, STEP, "--report", "r.txt"},
       {},
       2,
       "kevrano design: unexpected argument 'lens.tor'",
       {}},
      {"design twice",
       false,
       {"design", "design", LENS, STEP, "--report", "r.txt"},
       {},
       2,
       "kevrano design: unexpected argument 'design'",
       {}},
      {"an option as the tor file's name",
       false,
       {"design", LENS, STEP, "--tor", "--report", "r.txt"},
       {},
       2,
       "kevrano design: --tor needs a value: write the zoned lens to this tor file (none without "
       "it); '--report' is an option, not its value",
       {}},
      {"an option as the report's name",
       false,
       {"design", LENS, STEP, "--report", "--json"},
       {},
       2,
       "kevrano design: --report needs a file name; '--json' is an option, not its value",
       {}},
      {"operands after --, in the order given",
       false,
       {"design", "--", "--inner", "flat"},
       {},
       2,
       "kevrano design: unexpected arguments '--inner' 'flat'",
       {}},
      {"a file name JSON cannot hold",
       false,
       {"design", "--json", LENS, STEP, "--report", "r\xff.txt"},
       {},
       2,
       "kevrano design: --json: the file name 'r\xff.txt' is not UTF-8 text",
       {}},
      {"control characters in a name shown as ?",
       false,
       {"design", LENS, STEP, "--report", "r\x1b[2J.txt"},
       {},
       2,
       "kevrano design: --report: expected a file name of 1 to 70 characters, without control "
       "characters or trailing blanks, got 'r?[2J.txt'",
       {}},
      {"a number in quotes",
       false,
       {"design", "--file", "d.toml"},
       {kDesignFile + "[[design]]\neps = \"2.5\"\n"},
       2,
       "kevrano design: d.toml:10: eps: expected a dielectric constant greater than 1, got the "
       "string \"2.5\": write the number without quotes",
       {}},
      {"a number beyond a 32-bit real",
       false,
       {"design", "--file", "d.toml"},
       {kDesignFile + "[[design]]\neps = 1e-400\n"},
       2,
       "kevrano design: d.toml:10: eps: 1e-400 lies beyond the range of a 32-bit real",
       {}},
      {"a unit after a number",
       false,
       {"design", "--file", "d.toml"},
       {kDesignFile + "[[design]]\nedge = 20 \xC2\xB5m\n"},
       2,
       "kevrano design: d.toml:10: a character outside ASCII stands outside quotes and comments",
       {}},
      {"a folder as design file",
       false,
       {"design", "--file", "."},
       {},
       2,
       "kevrano design: .: is a folder, not a design file",
       {}},
      {"the design file on standard input",
       false,
       {"design", "--file", "/dev/stdin"},
       {kDesignFile},
       0,
       "",
       {"r.txt~"},
       "< d.toml"},
  };
  for (const Row& row : kRows) Check(row);
}

TEST_F(FileSafetyTest, KevranoTor) {
  const Row kRows[] = {
      {"the table over the lens read from standard input",
       true,
       {ANALYSE, "-", "--csv", "l.tor"},
       {"l.tor<lens"},
       2,
       "kevrano-tor: analyse: the tor file on standard input and --csv 'l.tor' are the same file",
       {},
       "< l.tor"},
      {"the table hard-linked to the lens",
       true,
       {ANALYSE, "l.tor", "--csv", "h.csv"},
       {"l.tor<lens", "h.csv=>l.tor"},
       2,
       "kevrano-tor: analyse: the tor file 'l.tor' and --csv 'h.csv' are the same file",
       {}},
      {"table and drawing under two spellings of a new name",
       true,
       {ANALYSE, "l.tor", "--csv", "o.x", "--svg", "./o.x"},
       {"l.tor<lens"},
       2,
       "kevrano-tor: analyse: --csv 'o.x' and --svg './o.x' are the same file",
       {"o.x!"}},
      {"a table beyond the file size limit leaves the old table",
       true,
       {"analyse", "--wavelength", "1", "--rays", "101", "l.tor", "--csv", "t.csv"},
       {"l.tor<lens", "t.csv=old"},
       1,
       "kevrano-tor: t.csv: cannot write: File too large",
       {},
       "ulimit -f 2;"},
      {"a complete run replaces the old table",
       true,
       {ANALYSE, "l.tor", "--csv", "t.csv"},
       {"l.tor<lens", "t.csv=old"},
       0,
       "",
       {"t.csv~"}},
      {"an option as the table's name",
       true,
       {ANALYSE, "l.tor", "--csv", "--svg", "x.svg"},
       {"l.tor<lens"},
       2,
       "kevrano-tor: analyse: --csv needs a value; '--svg' is an option, not its value",
       {}},
      {"an operand after --",
       true,
       {"svg", "l.tor", "--", "x"},
       {"l.tor<lens"},
       2,
       "kevrano-tor: unexpected argument 'x': one tor file at a time",
       {}},
      {"the tor file after --", true, {"check", "--", "l.tor"}, {"l.tor<lens"}, 0, "", {}},
  };
  for (const Row& row : kRows) Check(row);
}

}  // namespace
