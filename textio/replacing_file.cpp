#include "textio/replacing_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>

#include "textio/file_identity.h"

namespace textio {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kBufferBytes = 1 << 16;

// Names under these folders are devices or views of open files: written
// directly, never renamed over.
bool IsSystemName(const std::string& path) {
  std::error_code ec;
  const std::string full = fs::absolute(path, ec).lexically_normal().string();
  return full.starts_with("/dev/") || full.starts_with("/proc/");
}

// Writes all of `data`; returns 0 or the system's error number.
int WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return 0;
}

// Creates a hidden temporary file beside `target`, of a short name of its
// own (so that a long target name cannot make it too long) from the process
// and the clock, tried again if it is taken.
int CreateTemporary(const std::string& target, std::string* name) {
  const fs::path t(target);
  const fs::path folder = t.has_parent_path() ? t.parent_path() : fs::path(".");
  const auto seed =
      static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  for (uint64_t attempt = 0; attempt < 100; ++attempt) {
    const uint64_t tag = (seed + attempt * 7919u) % 1000000000u;
    *name =
        (folder / (".kevrano-" + std::to_string(::getpid()) + "-" + std::to_string(tag) + ".tmp"))
            .string();
    const int fd = ::open(name->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

}  // namespace

ReplacingFile::Buffer::Buffer(int fd) : fd_(fd), data_(kBufferBytes, '\0') {
  setp(data_.data(), data_.data() + data_.size());
}

bool ReplacingFile::Buffer::Drain() {
  const auto pending = static_cast<std::size_t>(pptr() - pbase());
  if (error_ == 0 && pending > 0) error_ = WriteAll(fd_, pbase(), pending);
  setp(data_.data(), data_.data() + data_.size());
  return error_ == 0;
}

ReplacingFile::Buffer::int_type ReplacingFile::Buffer::overflow(int_type c) {
  if (!Drain()) return traits_type::eof();
  if (!traits_type::eq_int_type(c, traits_type::eof())) {
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
  }
  return traits_type::not_eof(c);
}

int ReplacingFile::Buffer::sync() { return Drain() ? 0 : -1; }

std::unique_ptr<ReplacingFile> ReplacingFile::Open(const std::string& path, int* error) {
  const std::string target = FollowLinks(path);
  struct stat status {};
  const bool exists = ::stat(target.c_str(), &status) == 0;
  const bool regular_or_new = exists ? S_ISREG(status.st_mode) : errno == ENOENT;
  if (exists && S_ISDIR(status.st_mode)) {
    *error = EISDIR;
    return nullptr;
  }
  // A file the user may not write stays refused, as an open would refuse it.
  if (exists && ::access(target.c_str(), W_OK) != 0) {
    *error = errno;
    return nullptr;
  }

  std::string temporary;
  int fd = -1;
  if (regular_or_new && !IsSystemName(path) && !IsSystemName(target)) {
    fd = CreateTemporary(target, &temporary);
    if (fd >= 0 && exists) ::fchmod(fd, status.st_mode & 07777);
    if (fd < 0 && errno != EACCES && errno != EPERM) {
      *error = errno;
      return nullptr;
    }
  }
  if (fd < 0) {
    // Nothing to replace, or a folder that takes no new file: written directly.
    temporary.clear();
    fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
      *error = errno;
      return nullptr;
    }
  }
  return std::unique_ptr<ReplacingFile>(new ReplacingFile(path, target, temporary, fd));
}

ReplacingFile::ReplacingFile(std::string path, std::string target, std::string temporary, int fd)
    : path_(std::move(path)),
      target_(std::move(target)),
      temporary_(std::move(temporary)),
      fd_(fd),
      buffer_(fd),
      stream_(&buffer_) {}

ReplacingFile::~ReplacingFile() {
  if (!done_) Abandon();
}

void ReplacingFile::Abandon() {
  done_ = true;
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
}

bool ReplacingFile::Commit(int* error) {
  if (done_) {
    *error = EBADF;
    return false;
  }
  stream_.flush();
  int failure = buffer_.Drain() ? 0 : buffer_.error();
  if (failure == 0 && ::close(fd_) != 0) failure = errno;
  fd_ = -1;
  if (failure == 0 && !temporary_.empty() && ::rename(temporary_.c_str(), target_.c_str()) != 0) {
    failure = errno;
  }
  if (failure != 0) {
    Abandon();
    *error = failure;
    return false;
  }
  done_ = true;
  return true;
}

}  // namespace textio
