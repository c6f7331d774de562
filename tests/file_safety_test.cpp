// Hostile command lines against the files of a run: each row is a command,
// the files before it, its exit status and the files after it. No file is
// lost, no output replaces another or an input, a failed write leaves the old
// file, and every argument is used or refused.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/process.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ReadFile;

struct Row {
  const char* fact;
  // The program and its arguments, split at blanks: "kevrano design L S ..."
  // or "kevrano-tor A ...", where L stands for a lens's options, S for its
  // radial step and unit, and A for analyse with its options.
  const char* command;
  // Files before, split at blanks: "name=text", "name->target" (symbolic
  // link), "name=>file" (hard link), "name<lens" (a tor file), "d.toml" (a
  // design file of one lens, with `toml` after it).
  const char* before;
  int status;
  const char* err_begins;
  // Files after, split at blanks: "name~" present and changed, "name!" absent;
  // the rest as before, and nothing else (no temporary file left).
  const char* after;
  const char* toml = "";
  const char* shell = "";  // "ulimit -f 2;" before the command, or "< file" after it
};

std::vector<std::string> Words(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> words;
  for (std::string w; in >> w;) {
    if (w == "L") {
      for (const char* a : {"--inner", "flat", "--eps", "2.25", "--radius", "10", "--edge", "20",
                            "--wavelength", "1"}) {
        words.push_back(a);
      }
    } else if (w == "S") {
      for (const char* a : {"--radial-step", "1", "--units", "mm"}) words.push_back(a);
    } else if (w == "A") {
      for (const char* a : {"analyse", "--wavelength", "1", "--rays", "11"}) words.push_back(a);
    } else {
      words.push_back(w);
    }
  }
  return words;
}

std::map<std::string, std::string> Files(const fs::path& work) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::directory_iterator(work)) {
    files[entry.path().filename().string()] = ReadFile(entry.path());
  }
  return files;
}

class FileSafetyTest : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = testing_support::MakeTempDir("kevrano-file-safety"); }
  void TearDown() override { testing_support::RemoveTree(dir_); }

  void Check(const Row& row) {
    SCOPED_TRACE(row.fact);
    const fs::path work = dir_ / std::to_string(++runs_);
    fs::create_directories(work);
    for (const std::string& spec : Words(row.before)) {
      const auto at = spec.find_first_of("=-<");
      const fs::path name = work / spec.substr(0, at);
      if (at == std::string::npos) {
        testing_support::WriteFile(name, std::string("report = \"r.txt\"\ninner = \"flat\"\n") +
                                             "eps = 2.25\nradius = 10\nedge = 20\nradial-step = "
                                             "1\nwavelength = 1\nunits = \"mm\"\n" +
                                             row.toml);
      } else if (spec.compare(at, 2, "=>") == 0) {
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
    std::vector<std::string> args = Words(row.command);
    args[0] = args[0] == "kevrano" ? KEVRANO_BINARY : KEVRANO_TOR_BINARY;
    const std::string shell = row.shell;
    const bool redirect = shell.starts_with("<");
    args.insert(args.begin(),
                {"-c", (redirect ? "" : shell) + " exec \"$0\" \"$@\" " + (redirect ? shell : "")});
    const auto run = testing_support::RunWithArguments("/bin/sh", args, work, "");
    EXPECT_EQ(row.status, run.status) << run.err;
    EXPECT_EQ(0u, run.err.rfind(row.err_begins, 0)) << run.err;

    auto want = before;
    const auto got = Files(work);
    for (const std::string& spec : Words(row.after)) {
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
       "kevrano design L S --report r.txt --tor ./r.txt", "", 2,
       "kevrano design: --report 'r.txt' and --tor './r.txt' are the same file", "r.txt!"},
      {"a tor file hard-linked to the report", "kevrano design L S --report r.txt --tor h.tor",
       "r.txt=old h.tor=>r.txt", 2,
       "kevrano design: --report 'r.txt' and --tor 'h.tor' are the same file", ""},
      {"a dangling link to the report's name", "kevrano design L S --report new.txt --tor dl.tor",
       "dl.tor->new.txt", 2,
       "kevrano design: --report 'new.txt' and --tor 'dl.tor' are the same file", "new.txt!"},
      {"two designs naming one tor file in two spellings", "kevrano design --file d.toml", "d.toml",
       2,
       "kevrano design: d.toml: the tor file 'a.tor' of design 1 and the tor file './a.tor' of "
       "design 2 are the same file",
       "", "[[design]]\ntor = \"a.tor\"\n[[design]]\ntor = \"./a.tor\"\n"},
      {"a report hard-linked to the design file", "kevrano design --file d.toml",
       "d.toml r.txt=>d.toml", 2,
       "kevrano design: d.toml: the design file 'd.toml' and the report 'r.txt' are the same file",
       ""},
      {"a complete run replaces the old report", "kevrano design L S --report r.txt --tor l.tor",
       "r.txt=old", 0, "", "r.txt~ l.tor~"},
      {"a write beyond the file size limit leaves the old report",
       "kevrano design L --radial-step 0.01 --report r.txt", "r.txt=old", 1,
       "KEVRANO: severe (7): error during write, unit 66, file r.txt: File too large", "", "",
       "ulimit -f 2;"},
      {"a tor file without its option", "kevrano design L S --report r.txt lens.tor", "", 2,
       "kevrano design: unexpected argument 'lens.tor'", ""},
      {"a script before design", "kevrano lens.tor design L S --report r.txt", "", 2,
       "kevrano design: unexpected argument 'lens.tor'", ""},
      {"design twice", "kevrano design design L S --report r.txt", "", 2,
       "kevrano design: unexpected argument 'design'", ""},
      {"an option as the tor file's name", "kevrano design L S --tor --report r.txt", "", 2,
       "kevrano design: --tor needs a value: write the zoned lens to this tor file (none without "
       "it); '--report' is an option, not its value",
       ""},
      {"an option as the report's name", "kevrano design L S --report --json", "", 2,
       "kevrano design: --report needs a file name; '--json' is an option, not its value", ""},
      {"operands after --, in the order given", "kevrano design -- --inner flat", "", 2,
       "kevrano design: unexpected arguments '--inner' 'flat'", ""},
      {"a file name JSON cannot hold", "kevrano design --json L S --report r\xff.txt", "", 2,
       "kevrano design: --json: the file name 'r\xff.txt' is not UTF-8 text", ""},
      {"control characters in a name shown as ?", "kevrano design L S --report r\x1b[2J.txt", "", 2,
       "kevrano design: --report: expected a file name of 1 to 70 characters, without control "
       "characters or trailing blanks, got 'r?[2J.txt'",
       ""},
      {"a number in quotes", "kevrano design --file d.toml", "d.toml", 2,
       "kevrano design: d.toml:10: eps: expected a dielectric constant greater than 1, got the "
       "string \"2.5\": write the number without quotes",
       "", "[[design]]\neps = \"2.5\"\n"},
      {"a number beyond a 32-bit real", "kevrano design --file d.toml", "d.toml", 2,
       "kevrano design: d.toml:10: eps: 1e-400 lies beyond the range of a 32-bit real", "",
       "[[design]]\neps = 1e-400\n"},
      {"a unit after a number", "kevrano design --file d.toml", "d.toml", 2,
       "kevrano design: d.toml:10: a character outside ASCII stands outside quotes and comments",
       "", "[[design]]\nedge = 20 \xC2\xB5m\n"},
      {"a folder as design file", "kevrano design --file .", "", 2,
       "kevrano design: .: is a folder, not a design file", ""},
      {"the design file on standard input", "kevrano design --file /dev/stdin", "d.toml", 0, "",
       "r.txt~", "", "< d.toml"},
  };
  for (const Row& row : kRows) Check(row);
}

TEST_F(FileSafetyTest, KevranoTor) {
  const Row kRows[] = {
      {"the table over the lens read from standard input", "kevrano-tor A - --csv l.tor",
       "l.tor<lens", 2,
       "kevrano-tor: analyse: the tor file on standard input and --csv 'l.tor' are the same file",
       "", "", "< l.tor"},
      {"the table hard-linked to the lens", "kevrano-tor A l.tor --csv h.csv",
       "l.tor<lens h.csv=>l.tor", 2,
       "kevrano-tor: analyse: the tor file 'l.tor' and --csv 'h.csv' are the same file", ""},
      {"table and drawing under two spellings of a new name",
       "kevrano-tor A l.tor --csv o.x --svg ./o.x", "l.tor<lens", 2,
       "kevrano-tor: analyse: --csv 'o.x' and --svg './o.x' are the same file", "o.x!"},
      {"a table beyond the file size limit leaves the old table",
       "kevrano-tor analyse --wavelength 1 l.tor --csv t.csv", "l.tor<lens t.csv=old", 1,
       "kevrano-tor: t.csv: cannot write: File too large", "", "", "ulimit -f 2;"},
      {"an option as the table's name", "kevrano-tor A l.tor --csv --svg x.svg", "l.tor<lens", 2,
       "kevrano-tor: analyse: --csv needs a value; '--svg' is an option, not its value", ""},
      {"an operand after --", "kevrano-tor svg l.tor -- x", "l.tor<lens", 2,
       "kevrano-tor: unexpected argument 'x': one tor file at a time", ""},
      {"the table over the feed pattern read",
       "kevrano-tor A l.tor --feed-pattern f.csv --csv ./f.csv",
       "l.tor<lens f.csv=theta_deg,e_plane_db,h_plane_db", 2,
       "kevrano-tor: analyse: --feed-pattern 'f.csv' and --csv './f.csv' are the same file", ""},
      {"the tor file after --", "kevrano-tor check -- l.tor", "l.tor<lens", 0, "", ""},
      {"a flag before an option takes no value", "kevrano-tor analyse --json --wavelength 1 l.tor",
       "l.tor<lens", 0, "", ""},
  };
  for (const Row& row : kRows) Check(row);
}

}  // namespace
