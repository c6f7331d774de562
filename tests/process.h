#ifndef KEVRANO_TESTS_PROCESS_H_
#define KEVRANO_TESTS_PROCESS_H_

// Runs the program as a separate process for the whole-program tests.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

struct RunResult {
  std::string out;  // standard output
  std::string err;  // standard error
  int status = -1;  // exit status; 128 + signal number when killed
};

/// Runs `program` in `dir` with `input` on standard input; standard output and
/// standard error are captured. The run is killed after `timeout_seconds`.
RunResult RunProgram(const std::filesystem::path& program, const std::filesystem::path& dir,
                     const std::string& input, int timeout_seconds = 60);

/// As RunProgram, with command-line arguments after the program name.
RunResult RunWithArguments(const std::filesystem::path& program,
                           const std::vector<std::string>& args,
                           const std::filesystem::path& dir, const std::string& input,
                           int timeout_seconds = 60);

/// As RunProgram, but the program runs without root rights (as the user and
/// group "nobody", 65534) when the tests run as root, so that file permissions
/// bind it. `dir` must be open to that user.
RunResult RunProgramUnprivileged(const std::filesystem::path& program,
                                 const std::filesystem::path& dir, const std::string& input,
                                 int timeout_seconds = 60);

/// Why RunProgramUnprivileged cannot run `program` in `dir`: the user
/// "nobody" cannot reach the program (a folder on its path is closed to that
/// user) or enter `dir`. Nothing when it can, or when the tests do not run as
/// root. A test skips with this reason instead of failing.
std::optional<std::string> UnprivilegedCannotRun(const std::filesystem::path& program,
                                                 const std::filesystem::path& dir);

/// One line typed at the terminal once the program has shown `prompt` (the
/// prompt's whole text, as the terminal shows it) since the previous line.
struct TypedLine {
  std::string prompt;
  std::string line;  // without its line end
};

/// Runs `program` in `dir` on a pseudo-terminal, typing each line when its
/// prompt has been shown; returns what the terminal showed (with the
/// terminal's own CR LF line ends). A prompt that never comes ends the run at
/// `timeout_seconds`.
RunResult RunOnTerminal(const std::filesystem::path& program, const std::filesystem::path& dir,
                        const std::vector<TypedLine>& lines, int timeout_seconds = 60);

/// As above, typing the lines of `input` one by one, each once the terminal
/// shows one of the program's prompts waiting for an answer.
RunResult RunOnTerminal(const std::filesystem::path& program, const std::filesystem::path& dir,
                        const std::string& input, int timeout_seconds = 60);

/// Whole content of a file; empty when it cannot be read.
std::string ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::string& content);

/// A fresh empty folder under the system's temporary folder.
std::filesystem::path MakeTempDir(const std::string& stem);

/// A fresh empty folder under the system's temporary folder, removed with
/// everything in it (whatever its permissions) when the object goes, also
/// when the test using it fails.
class ScratchDir {
 public:
  explicit ScratchDir(const std::string& stem) : path_(MakeTempDir(stem)) {}
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

/// Removes `dir` and everything in it, opening folders the tests locked.
void RemoveTree(const std::filesystem::path& dir);

}  // namespace testing_support

#endif  // KEVRANO_TESTS_PROCESS_H_
