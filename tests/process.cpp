#include "tests/process.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace testing_support {
namespace {

int Status(int raw) {
  if (WIFEXITED(raw)) return WEXITSTATUS(raw);
  if (WIFSIGNALED(raw)) return 128 + WTERMSIG(raw);
  return -1;
}

[[noreturn]] void ExecIn(const std::filesystem::path& program, const std::filesystem::path& dir,
                         bool unprivileged = false, const std::vector<std::string>& args = {}) {
  if (unprivileged && geteuid() == 0) {
    constexpr unsigned kNobody = 65534;
    if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0) _exit(125);
  }
  if (chdir(dir.c_str()) != 0) _exit(126);
  const std::string p = program.string();
  std::vector<char*> argv = {const_cast<char*>(p.c_str())};
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  execv(p.c_str(), argv.data());
  _exit(127);
}

// Moves data between the child and us until both output pipes close.
void Pump(int in_fd, const std::string& input, const std::vector<int>& out_fds,
          std::vector<std::string*> sinks, int timeout_seconds, pid_t child) {
  std::size_t written = 0;
  if (input.empty() && in_fd >= 0) {
    close(in_fd);
    in_fd = -1;
  }
  std::vector<int> open = out_fds;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeout_seconds);
  for (;;) {
    std::vector<pollfd> fds;
    for (std::size_t i = 0; i < open.size(); ++i) {
      if (open[i] >= 0) fds.push_back({open[i], POLLIN, 0});
    }
    if (in_fd >= 0) fds.push_back({in_fd, POLLOUT, 0});
    if (fds.empty()) break;
    if (std::chrono::steady_clock::now() > deadline) {
      kill(child, SIGKILL);
      break;
    }
    if (poll(fds.data(), fds.size(), 100) < 0 && errno != EINTR) break;
    for (const pollfd& p : fds) {
      if (p.revents == 0) continue;
      if (p.fd == in_fd) {
        const ssize_t n = write(in_fd, input.data() + written, input.size() - written);
        if (n > 0) written += static_cast<std::size_t>(n);
        if (n < 0 || written == input.size()) {
          close(in_fd);
          in_fd = -1;
        }
        continue;
      }
      for (std::size_t i = 0; i < open.size(); ++i) {
        if (open[i] != p.fd) continue;
        char buf[65536];
        const ssize_t n = read(p.fd, buf, sizeof buf);
        if (n > 0) {
          sinks[i]->append(buf, static_cast<std::size_t>(n));
        } else if (n == 0 || errno != EINTR) {
          close(open[i]);
          open[i] = -1;
        }
      }
    }
  }
  if (in_fd >= 0) close(in_fd);
  for (int fd : open) {
    if (fd >= 0) close(fd);
  }
}

}  // namespace

namespace {

RunResult Run(const std::filesystem::path& program, const std::filesystem::path& dir,
              const std::string& input, int timeout_seconds, bool unprivileged,
              const std::vector<std::string>& args = {}) {
  int in[2], out[2], err[2];
  if (pipe(in) != 0 || pipe(out) != 0 || pipe(err) != 0) throw std::runtime_error("pipe");
  signal(SIGPIPE, SIG_IGN);
  const pid_t child = fork();
  if (child < 0) throw std::runtime_error("fork");
  if (child == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    dup2(err[1], 2);
    for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) close(fd);
    ExecIn(program, dir, unprivileged, args);
  }
  close(in[0]);
  close(out[1]);
  close(err[1]);
  RunResult result;
  Pump(in[1], input, {out[0], err[0]}, {&result.out, &result.err}, timeout_seconds, child);
  int raw = 0;
  waitpid(child, &raw, 0);
  result.status = Status(raw);
  return result;
}

}  // namespace

RunResult RunProgram(const std::filesystem::path& program, const std::filesystem::path& dir,
                     const std::string& input, int timeout_seconds) {
  return Run(program, dir, input, timeout_seconds, false);
}

RunResult RunWithArguments(const std::filesystem::path& program,
                           const std::vector<std::string>& args,
                           const std::filesystem::path& dir, const std::string& input,
                           int timeout_seconds) {
  return Run(program, dir, input, timeout_seconds, false, args);
}

RunResult RunProgramUnprivileged(const std::filesystem::path& program,
                                 const std::filesystem::path& dir, const std::string& input,
                                 int timeout_seconds) {
  return Run(program, dir, input, timeout_seconds, true);
}

RunResult RunOnTerminal(const std::filesystem::path& program, const std::filesystem::path& dir,
                        const std::string& input, int timeout_seconds) {
  int master = -1;
  termios tio{};
  cfmakeraw(&tio);
  // A cooked terminal as a user has it: echo, line editing, CR LF on output.
  tio.c_iflag = ICRNL;
  tio.c_oflag = OPOST | ONLCR;
  tio.c_lflag = ECHO | ICANON | ISIG;
  tio.c_cflag = CS8 | CREAD;
  cfsetispeed(&tio, B38400);
  cfsetospeed(&tio, B38400);
  winsize ws{24, 132, 0, 0};
  const pid_t child = forkpty(&master, nullptr, &tio, &ws);
  if (child < 0) throw std::runtime_error("forkpty");
  if (child == 0) ExecIn(program, dir);
  RunResult result;
  // Type the answers one line at a time, each after the program has shown
  // something new, as a user would; then read until the terminal closes.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeout_seconds);
  std::size_t typed = 0;
  for (;;) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(child, SIGKILL);
      break;
    }
    pollfd p{master, POLLIN, 0};
    const int ready = poll(&p, 1, 200);
    if (ready > 0) {
      char buf[4096];
      const ssize_t n = read(master, buf, sizeof buf);
      if (n <= 0) break;  // the program has ended and closed the terminal
      result.out.append(buf, static_cast<std::size_t>(n));
      continue;
    }
    // Quiet for a moment: the program waits for an answer.
    if (typed < input.size()) {
      std::size_t end = input.find('\n', typed);
      end = end == std::string::npos ? input.size() : end + 1;
      const std::string line = input.substr(typed, end - typed);
      if (write(master, line.data(), line.size()) < 0) break;
      typed = end;
      continue;
    }
    int raw = 0;
    if (waitpid(child, &raw, WNOHANG) == child) {
      // Collect what is still buffered on the terminal.
      for (;;) {
        pollfd q{master, POLLIN, 0};
        if (poll(&q, 1, 50) <= 0) break;
        char buf[4096];
        const ssize_t n = read(master, buf, sizeof buf);
        if (n <= 0) break;
        result.out.append(buf, static_cast<std::size_t>(n));
      }
      result.status = Status(raw);
      close(master);
      return result;
    }
  }
  close(master);
  int raw = 0;
  waitpid(child, &raw, 0);
  result.status = Status(raw);
  return result;
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteFile(const std::filesystem::path& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
}

std::filesystem::path MakeTempDir(const std::string& stem) {
  std::string templ = (std::filesystem::temp_directory_path() / (stem + "-XXXXXX")).string();
  if (mkdtemp(templ.data()) == nullptr) throw std::runtime_error("mkdtemp");
  return templ;
}

}  // namespace testing_support
