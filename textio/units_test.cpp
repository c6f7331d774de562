#include "textio/units.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "textio/failure.h"

namespace textio {
namespace {

namespace fs = std::filesystem;

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

class UnitsTest : public testing::Test {
 protected:
  void SetUp() override {
    std::string templ = (fs::temp_directory_path() / "kevrano-units-XXXXXX").string();
    ASSERT_NE(nullptr, mkdtemp(templ.data()));
    dir_ = templ;
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Path(const char* name) const { return (dir_ / name).string(); }

  // The message of the failure that `action` throws, or "" when none.
  template <typename F>
  static std::string FailureOf(F action) {
    try {
      action();
    } catch (const Failure& f) {
      return f.what();
    }
    return "";
  }

  fs::path dir_;
};

TEST_F(UnitsTest, RedirectedScreenKeepsPromptAndEchoOnOneLine) {
  std::istringstream keyboard("2.5\n");
  std::ostringstream screen;
  Units io(keyboard, screen, ConsoleSetup{});
  float value = 0.0f;
  io.write_laid_out(kScreen, "(' Enter Lens Dielectric Constant ',$)");
  io.read_free(kKeyboard, {&value});
  io.write_free(kScreen, {value});
  io.write_laid_out(kScreen, "(' Enter edge thickness along ray ',$)");
  io.write_laid_out(kScreen, "(' next')");
  EXPECT_EQ(2.5f, value);
  EXPECT_EQ(
      " Enter Lens Dielectric Constant         2.500000\r\n"
      " Enter edge thickness along ray  next\r\n",
      screen.str());
}

TEST_F(UnitsTest, TerminalHidesControlColumnAndBreaksAfterOpenPrompt) {
  std::istringstream keyboard("1\n");
  std::ostringstream screen;
  Units io(keyboard, screen, ConsoleSetup{true, true});
  int32_t answer = 0;
  io.write_laid_out(kScreen, "(' Enter 1 for file input ',$)");
  io.read_free(kKeyboard, {&answer});  // the user's Enter ends the line
  io.write_laid_out(kScreen, "(' Enter output file name ',$)");
  // An answer from the script is echoed on a line of its own, shown whole.
  io.write_laid_out(kScreen, "(A70)", {std::string("report.txt") + std::string(60, ' ')});
  io.write_laid_out(kScreen, "(' Enter units ',$)");
  io.write_free(kScreen, {int32_t{3}});
  io.write_laid_out(kScreen, "(/,' Lens zoning')");
  EXPECT_EQ(
      "Enter 1 for file input "
      "Enter output file name \n"
      "report.txt" + std::string(60, ' ') + "\n"
      "Enter units \n"
      "          3\n"
      "\n"
      "Lens zoning\n",
      screen.str());
}

TEST_F(UnitsTest, TextFieldIsSeventyCharacters) {
  const std::string long_name(80, 'x');
  std::istringstream keyboard("  lens.tor\r\n" + long_name + "\n\n");
  std::ostringstream screen;
  Units io(keyboard, screen, ConsoleSetup{});
  std::string field;
  io.read_text_field(kKeyboard, field);
  EXPECT_EQ("  lens.tor" + std::string(60, ' '), field);
  io.read_text_field(kKeyboard, field);
  EXPECT_EQ(std::string(70, 'x'), field);
  io.read_text_field(kKeyboard, field);
  EXPECT_EQ(std::string(70, ' '), field);
}

TEST_F(UnitsTest, ScriptWithCrLfReadsLikeLf) {
  {
    std::ofstream script(Path("answers.txt"), std::ios::binary);
    script << "report.txt\r\n2.5,3\r\n/\r\n7\r\n";
  }
  std::istringstream keyboard;
  std::ostringstream screen;
  Units io(keyboard, screen, ConsoleSetup{});
  io.open_text_unit(kScript, Path("answers.txt") + "   ");
  std::string name;
  io.read_text_field(kScript, name);
  EXPECT_EQ("report.txt" + std::string(60, ' '), name);
  float a = 0.0f, b = 0.0f;
  io.read_free(kScript, {&a, &b});
  EXPECT_EQ(2.5f, a);
  EXPECT_EQ(3.0f, b);
  int32_t kept = 4;
  io.read_free(kScript, {&kept});
  EXPECT_EQ(4, kept);
  io.read_free(kScript, {&kept});
  EXPECT_EQ(7, kept);
  EXPECT_EQ("end-of-file during read, unit 50, file " + Path("answers.txt"),
            FailureOf([&] { io.read_free(kScript, {&kept}); }));
}

TEST_F(UnitsTest, ReadFailuresNameUnitAndFile) {
  std::istringstream keyboard("yes\n1e39\n");
  std::ostringstream screen;
  Units io(keyboard, screen, ConsoleSetup{});
  float value = 0.0f;
  EXPECT_EQ("list-directed I/O syntax error, unit 5, file stdin",
            FailureOf([&] { io.read_free(kKeyboard, {&value}); }));
  EXPECT_EQ("input conversion error, unit 5, file stdin",
            FailureOf([&] { io.read_free(kKeyboard, {&value}); }));
  EXPECT_EQ("end-of-file during read, unit 5, file stdin",
            FailureOf([&] { io.read_free(kKeyboard, {&value}); }));
}

TEST_F(UnitsTest, MissingScriptIsReportedNotCreated) {
  std::istringstream keyboard;
  std::ostringstream screen;
  Units io(keyboard, screen, ConsoleSetup{});
  EXPECT_EQ("open failure, unit 50, file " + Path("new.txt") + ": No such file or directory",
            FailureOf([&] { io.open_text_unit(kScript, Path("new.txt")); }));
  EXPECT_FALSE(fs::exists(Path("new.txt")));
}

TEST_F(UnitsTest, OpenFailures) {
  std::istringstream keyboard;
  std::ostringstream screen;
  Units io(keyboard, screen, ConsoleSetup{});
  const std::string missing_dir = Path("no/such/report.txt");
  EXPECT_EQ("open failure, unit 66, file " + missing_dir + ": No such file or directory",
            FailureOf([&] { io.open_text_unit(kReport, missing_dir); }));
  EXPECT_EQ("open failure, unit 66, file " + dir_.string() + ": Is a directory",
            FailureOf([&] { io.open_text_unit(kReport, dir_.string()); }));
  EXPECT_EQ("open failure, unit 50, file " + dir_.string() + ": Is a directory",
            FailureOf([&] { io.open_text_unit(kScript, dir_.string()); }));
  EXPECT_EQ("file name specification error, unit 66, file ",
            FailureOf([&] { io.open_text_unit(kReport, std::string(70, ' ')); }));
  if (geteuid() != 0) {
    const fs::path locked = dir_ / "locked";
    fs::create_directory(locked);
    fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_EQ("permission to access file denied, unit 43, file " + (locked / "a.tor").string() +
                  ": Permission denied",
              FailureOf([&] { io.open_text_unit(kTorFile, (locked / "a.tor").string()); }));
    fs::permissions(locked, fs::perms::owner_all);
  }
}

// One write to several units lays the records out once; each unit still ends
// them its own way: a file with CR LF, the terminal without its control column.
TEST_F(UnitsTest, OneWriteToScreenAndReport) {
  const struct {
    const char* name;
    bool terminal;
    const char* screen;
  } kCases[] = {
      {"redirected screen", false, "\r\n Zone 1\r\n Enter  next\r\n"},
      {"terminal", true, "\nZone 1\nEnter \nnext\n"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    std::istringstream keyboard;
    std::ostringstream screen;
    {
      Units io(keyboard, screen, ConsoleSetup{c.terminal, false});
      io.open_text_unit(kReport, Path("both.txt"));
      io.write_laid_out({kScreen, kReport}, "(/,' Zone',I2)", {1});
      io.write_laid_out({kScreen, kReport}, "(' Enter ',$)");
      io.write_laid_out(kScreen, "(' next')");
      io.CloseAll();
    }
    EXPECT_EQ(c.screen, screen.str());
    EXPECT_EQ("\r\n Zone 1\r\n Enter \r\n", Slurp(Path("both.txt")));
  }
}

TEST_F(UnitsTest, ReportIsReplacedAndFlushedBeforeEachRead) {
  {
    std::ofstream old(Path("report.txt"));
    old << std::string(1000, 'o') << "\n";
  }
  std::istringstream keyboard("1\n");
  std::ostringstream screen;
  Units io(keyboard, screen, ConsoleSetup{});
  io.open_text_unit(kReport, Path("report.txt"));
  io.write_laid_out(kReport, "(/,' Lens zoning')");
  int32_t answer = 0;
  io.read_free(kKeyboard, {&answer});
  // Finished records are on disk while the program waits for an answer.
  EXPECT_EQ("\r\n Lens zoning\r\n", Slurp(Path("report.txt")));
  io.write_laid_out(kReport, "(' Enter ',$)");
  io.CloseAll();
  EXPECT_EQ("\r\n Lens zoning\r\n Enter \r\n", Slurp(Path("report.txt")));
}

TEST_F(UnitsTest, WriteToFullDeviceFails) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
  std::istringstream keyboard("1\n");
  std::ostringstream screen;
  Units io(keyboard, screen, ConsoleSetup{});
  io.open_text_unit(kReport, "/dev/full");
  io.write_laid_out(kReport, "(' Spherical or Flat Surface Lens Design')");
  int32_t answer = 0;
  EXPECT_EQ("error during write, unit 66, file /dev/full",
            FailureOf([&] { io.read_free(kKeyboard, {&answer}); }));
}

TEST_F(UnitsTest, SecondExportReplacesTheFile) {
  std::istringstream keyboard;
  std::ostringstream screen;
  Units io(keyboard, screen, ConsoleSetup{});
  io.open_text_unit(kTorFile, Path("lens.tor"));
  io.write_laid_out(kTorFile, "('first design, a longer record')");
  io.close_unit(kTorFile);
  io.open_text_unit(kTorFile, Path("lens.tor"));
  io.write_laid_out(kTorFile, "('second')");
  io.close_unit(kTorFile);
  EXPECT_EQ("second\r\n", Slurp(Path("lens.tor")));
}

TEST_F(UnitsTest, OutputNeverEmptiesAFileAnotherUnitHasOpen) {
  // The script and the report are open; each case opens `unit` on `path`.
  struct Case {
    const char* name;
    int unit;
    std::string path;
    std::string failure;  // "" when the open succeeds
  };
  fs::create_directory(dir_ / "sub");
  {
    std::ofstream script(Path("answers.txt"));
    script << "first answer\n";
  }
  fs::create_hard_link(dir_ / "answers.txt", dir_ / "hard.txt");
  fs::create_symlink(dir_ / "report.txt", dir_ / "soft.txt");
  const Case kCases[] = {
      {"tor file on a hard link to the script", kTorFile, Path("hard.txt"),
       "open failure, unit 43, file " + Path("hard.txt") +
           ": the same file as the script of answers, unit 50"},
      {"tor file through another path to the report", kTorFile, Path("sub/../report.txt"),
       "open failure, unit 43, file " + Path("sub/../report.txt") +
           ": the same file as the report file, unit 66"},
      {"tor file on a symbolic link to the report", kTorFile, Path("soft.txt"),
       "open failure, unit 43, file " + Path("soft.txt") +
           ": the same file as the report file, unit 66"},
      {"a device may be shared", kTorFile, "/dev/null", ""},
      {"another file", kTorFile, Path("lens.tor"), ""},
      // Last: opening the report unit closes the report first.
      {"report named like the script", kReport, Path("answers.txt"),
       "open failure, unit 66, file " + Path("answers.txt") +
           ": the same file as the script of answers, unit 50"},
  };
  std::istringstream keyboard;
  std::ostringstream screen;
  Units io(keyboard, screen, ConsoleSetup{});
  io.open_text_unit(kScript, Path("answers.txt"));
  io.open_text_unit(kReport, "/dev/null");
  io.close_unit(kReport);
  io.open_text_unit(kReport, Path("report.txt"));
  io.write_laid_out(kReport, "(' kept')");
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.failure, FailureOf([&] { io.open_text_unit(c.unit, c.path); }));
    io.close_unit(kTorFile);
  }
  io.CloseAll();
  EXPECT_EQ("first answer\n", Slurp(Path("answers.txt")));
  EXPECT_EQ(" kept\r\n", Slurp(Path("report.txt")));
}

TEST_F(UnitsTest, TerminalAsksAgainAfterAWrongAnswer) {
  // Each wrong answer gets its line and the prompt again; the variables end
  // as the right answer alone leaves them.
  struct Case {
    const char* name;
    std::string typed;
    std::string shown_after_prompt;
  };
  const Case kCases[] = {
      {"first value read, second wrong", "9 x\n,7\n",
       "That answer is not the number asked for; answer again\n"},
      {"a number beyond range", "1e39\n,7\n",
       "That number lies beyond the range of the answer; answer again\n"},
      {"decimal commas give three values", " 1,5, 2,5 \n,7\n",
       "1,5, 2,5 holds four values; a decimal point, not a comma, separates the decimals\n"},
      {"blanks give three values", "1 2 3\n,7\n",
       "1 2 3 holds three values; the question asks for two\n"},
      {"the extra value on a second line", "4\n5 6\n,7\n",
       "5 6 holds two values; the question asks for one\n"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    std::istringstream keyboard(c.typed);
    std::ostringstream screen;
    Units io(keyboard, screen, ConsoleSetup{true, true});
    float first = 2.5f;
    float second = 0.0f;
    io.write_laid_out(kScreen, "(' Heading',/,' Enter two ',$)");
    io.read_free(kKeyboard, {&first, &second});
    EXPECT_EQ("Heading\nEnter two " + c.shown_after_prompt + "Enter two ", screen.str());
    EXPECT_EQ(2.5f, first);
    EXPECT_EQ(7.0f, second);
  }
}

TEST(FailureTest, DiagnosticIsOneLine) {
  const Failure f(FailureNumber::kOpen, "open failure, unit 66, file a\nb\rc");
  EXPECT_EQ("KEVRANO: severe (4): open failure, unit 66, file a?b?c", f.Diagnostic());
}

}  // namespace
}  // namespace textio
