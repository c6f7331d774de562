#ifndef KEVRANO_TESTS_PROCESS_H_
#define KEVRANO_TESTS_PROCESS_H_

// Runs the program as a separate process for the whole-program tests.

#include <filesystem>
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

/// Runs `program` in `dir` on a pseudo-terminal, typing `input`; returns what
/// the terminal showed (with the terminal's own CR LF line ends).
RunResult RunOnTerminal(const std::filesystem::path& program, const std::filesystem::path& dir,
                        const std::string& input, int timeout_seconds = 60);

/// Whole content of a file; empty when it cannot be read.
std::string ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::string& content);

/// A fresh empty folder under the system's temporary folder.
std::filesystem::path MakeTempDir(const std::string& stem);

}  // namespace testing_support

#endif  // KEVRANO_TESTS_PROCESS_H_
