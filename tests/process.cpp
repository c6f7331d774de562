#include "tests/process.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace testing_support {
namespace {

int Status(int raw) {
  if (WIFEXITED(raw)) return WEXITSTATUS(raw);
  if (WIFSIGNALED(raw)) return 128 + WTERMSIG(raw);
  return -1;
}

constexpr unsigned kNobody = 65534;

[[noreturn]] void ExecIn(const std::filesystem::path& program, const std::filesystem::path& dir,
                         bool unprivileged = false, const std::vector<std::string>& args = {}) {
  if (unprivileged && geteuid() == 0) {
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

std::optional<std::string> UnprivilegedCannotRun(const std::filesystem::path& program,
                                                 const std::filesystem::path& dir) {
  if (geteuid() != 0) return std::nullopt;
  const pid_t child = fork();
  if (child < 0) throw std::runtime_error("fork");
  if (child == 0) {
    if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0) _exit(1);
    if (access(program.c_str(), X_OK) != 0) _exit(2);
    if (chdir(dir.c_str()) != 0) _exit(3);
    _exit(0);
  }
  int raw = 0;
  waitpid(child, &raw, 0);
  switch (WIFEXITED(raw) ? WEXITSTATUS(raw) : 1) {
    case 0:
      return std::nullopt;
    case 2:
      return "user nobody (65534) cannot reach " + program.string() +
             ": a folder on its path is closed to that user";
    case 3:
      return "user nobody (65534) cannot enter " + dir.string();
    default:
      return std::string("the tests cannot drop to user nobody (65534)");
  }
}

namespace {

// Every prompt of the dialogue, as the terminal shows it while the program
// waits for the answer.
constexpr const char* kPrompts[] = {
    "Zoned Lens design; Enter 1 for file input ",
    "Enter file name ",
    "Enter output file name ",
    "Enter specify 1 inner, 2 outer surface ",
    "Enter Lens Dielectric Constant ",
    "Enter Lens Radius, Edge Dist. from Feed ",
    "Enter edge thickness along ray ",
    "Enter Specified Surface: 1)Flat, 2)Spherical ",
    "Enter Distance from Feed to Sphere Center ",
    "Enter Design Radial Step Size ",
    "Enter operating wavelength ",
    "Enter zoning on feed surface (0 to 1, 1 all on feed side) ",
    "Enter minimum path length in zoning ",
    "Enter 1 to write CHAMP tor file of design ",
    "CHAMP tor file of lens design; Enter file ",
    "Enter units: 1 in., 2 ft., 3 mm, 4 m ",
    "Enter Lens axis offset ",
    "Enter 1 for another Design ",
};

// A prompt the list above does not know is taken as shown when the terminal
// has shown an open line and nothing else for this long.
constexpr auto kUnknownPromptQuiet = std::chrono::seconds(3);

// Whether `shown` ends with one of the program's prompts.
bool EndsWithPrompt(const std::string& shown) {
  for (const char* prompt : kPrompts) {
    if (std::string_view(shown).ends_with(prompt)) return true;
  }
  return false;
}

// Types `lines` (each with its line end, if any) one by one:
// `ready(i, shown, quiet)` tells whether line i may be typed, `shown` being
// what the terminal showed since the previous line was typed and `quiet`
// whether it has shown nothing for a while.
RunResult Converse(const std::filesystem::path& program, const std::filesystem::path& dir,
                   const std::vector<std::string>& lines,
                   const std::function<bool(std::size_t, const std::string&, bool)>& ready,
                   int timeout_seconds) {
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
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeout_seconds);
  auto last_output = std::chrono::steady_clock::now();
  std::size_t typed = 0;
  std::string shown;  // since the last line was typed
  bool killed = false;
  for (;;) {
    const auto now = std::chrono::steady_clock::now();
    if (now > deadline) {
      kill(child, SIGKILL);
      killed = true;
      break;
    }
    if (typed < lines.size() && ready(typed, shown, now - last_output > kUnknownPromptQuiet)) {
      const std::string& line = lines[typed];
      if (write(master, line.data(), line.size()) < 0) break;
      ++typed;
      shown.clear();
      continue;
    }
    pollfd p{master, POLLIN, 0};
    const int ready_fds = poll(&p, 1, 100);
    if (ready_fds < 0 && errno != EINTR) break;
    if (ready_fds <= 0) continue;
    char buf[4096];
    const ssize_t n = read(master, buf, sizeof buf);
    if (n <= 0) break;  // the program has ended and closed the terminal
    result.out.append(buf, static_cast<std::size_t>(n));
    shown.append(buf, static_cast<std::size_t>(n));
    last_output = std::chrono::steady_clock::now();
  }
  close(master);
  int raw = 0;
  waitpid(child, &raw, 0);
  result.status = killed ? 128 + SIGKILL : Status(raw);
  return result;
}

}  // namespace

RunResult RunOnTerminal(const std::filesystem::path& program, const std::filesystem::path& dir,
                        const std::vector<TypedLine>& lines, int timeout_seconds) {
  std::vector<std::string> text;
  for (const TypedLine& l : lines) text.push_back(l.line + "\n");
  return Converse(
      program, dir, text,
      [&lines](std::size_t i, const std::string& shown, bool) {
        return shown.find(lines[i].prompt) != std::string::npos;
      },
      timeout_seconds);
}

RunResult RunOnTerminal(const std::filesystem::path& program, const std::filesystem::path& dir,
                        const std::string& input, int timeout_seconds) {
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < input.size();) {
    const std::size_t end = std::min(input.find('\n', at), input.size() - 1) + 1;
    lines.push_back(input.substr(at, end - at));
    at = end;
  }
  return Converse(
      program, dir, lines,
      [](std::size_t, const std::string& shown, bool quiet) {
        return EndsWithPrompt(shown) || (quiet && !shown.empty() && shown.back() != '\n');
      },
      timeout_seconds);
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

namespace {

// Gives the owner every right on `dir` and the folders below it.
void OpenUp(const std::filesystem::path& dir) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add, ec);
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    if (it->is_directory(ec) && !it->is_symlink(ec)) OpenUp(it->path());
  }
}

}  // namespace

void RemoveTree(const std::filesystem::path& dir) {
  OpenUp(dir);
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
}

ScratchDir::~ScratchDir() { RemoveTree(path_); }

}  // namespace testing_support
