#include "textio/file_identity.h"

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "textio/printable.h"

namespace textio {
namespace {

namespace fs = std::filesystem;

// Links followed before a chain is taken for a loop, as the system does.
constexpr int kMaxLinks = 40;

std::optional<FileIdentity> OfStatus(const struct stat& status) {
  if (!S_ISREG(status.st_mode)) return std::nullopt;
  FileIdentity id;
  id.device = static_cast<uint64_t>(status.st_dev);
  id.inode = static_cast<uint64_t>(status.st_ino);
  return id;
}

// The folder resolved through every link, or nothing when it cannot be.
std::optional<std::string> RealFolder(const fs::path& folder) {
  std::unique_ptr<char, decltype(&std::free)> real(::realpath(folder.c_str(), nullptr), &std::free);
  if (!real) return std::nullopt;
  return std::string(real.get());
}

}  // namespace

std::string FollowLinks(const std::string& path) {
  fs::path current(path);
  for (int hop = 0; hop < kMaxLinks; ++hop) {
    struct stat status {};
    if (::lstat(current.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) break;
    std::array<char, PATH_MAX> target{};
    const ssize_t length = ::readlink(current.c_str(), target.data(), target.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= target.size()) break;
    const fs::path next(std::string(target.data(), static_cast<std::size_t>(length)));
    current = next.is_absolute() ? next : current.parent_path() / next;
  }
  return current.string();
}

std::optional<FileIdentity> IdentifyName(const std::string& path) {
  if (path.empty()) return std::nullopt;
  struct stat status {};
  if (::stat(path.c_str(), &status) == 0) return OfStatus(status);

  // A file yet to be created, perhaps at the end of a dangling link: the
  // folder it goes into, resolved, and its name there.
  const fs::path target(FollowLinks(path));
  const fs::path name = target.filename();
  if (name.empty() || name == "." || name == "..") return std::nullopt;
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  FileIdentity id;
  if (std::optional<std::string> real = RealFolder(folder)) {
    id.new_path = (fs::path(*real) / name).string();
    return id;
  }
  // A folder that cannot be resolved (`missing/../lens.tor`): the spelling,
  // made absolute and normal, may still reach an existing file, and tells
  // "a/x" from "./a/x" apart when it does not.
  std::error_code ec;
  const fs::path absolute = fs::absolute(target, ec);
  const fs::path normal = (ec ? target : absolute).lexically_normal();
  if (::stat(normal.c_str(), &status) == 0) return OfStatus(status);
  id.new_path = normal.string();
  return id;
}

std::optional<FileIdentity> IdentifyDescriptor(int fd) {
  struct stat status {};
  if (::fstat(fd, &status) != 0) return std::nullopt;
  return OfStatus(status);
}

void RunFiles::AddInput(std::string label, const std::string& path) {
  // An input that does not exist will fail to open; it cannot be lost.
  std::optional<FileIdentity> id = IdentifyName(path);
  if (id && !id->new_path.empty()) id.reset();
  entries_.push_back(Entry{std::move(label), std::move(id), false});
}

void RunFiles::AddStandardInput(std::string label) {
  entries_.push_back(Entry{std::move(label), IdentifyDescriptor(STDIN_FILENO), false});
}

void RunFiles::AddOutput(std::string label, const std::string& path) {
  entries_.push_back(Entry{std::move(label), IdentifyName(path), true});
}

std::optional<std::string> RunFiles::Clash() const {
  for (std::size_t later = 0; later < entries_.size(); ++later) {
    for (std::size_t earlier = 0; earlier < later; ++earlier) {
      const Entry& a = entries_[earlier];
      const Entry& b = entries_[later];
      if (!a.output && !b.output) continue;  // two inputs may well be one file
      if (a.id && b.id && *a.id == *b.id) {
        return Printable(a.label + " and " + b.label + " are the same file: name another file");
      }
    }
  }
  return std::nullopt;
}

}  // namespace textio
