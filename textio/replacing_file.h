#ifndef KEVRANO_TEXTIO_REPLACING_FILE_H_
#define KEVRANO_TEXTIO_REPLACING_FILE_H_

// An output written whole or not at all. The text goes to a temporary file in
// the folder of the file it replaces, and only a complete write is renamed
// over the old file; a write that fails (a full disk, the file size limit)
// leaves the old file as it was and removes the temporary one.
//
// A name that is a symbolic link replaces the file the link reaches, so the
// link stays. The new file keeps the old one's permissions (a file yet to be
// created gets 0666 less the umask); a file the user may not write is refused
// as an ordinary open would refuse it. A device, pipe or anything under /dev
// or /proc (/dev/null, /dev/stdout) is written directly, as there is nothing
// to replace; so is a file whose folder takes no new files.

#include <memory>
#include <ostream>
#include <streambuf>
#include <string>

namespace textio {

class ReplacingFile {
 public:
  /// Opens the output for `path`. Returns nothing, with the system's error
  /// number in `error`, when it cannot be written.
  static std::unique_ptr<ReplacingFile> Open(const std::string& path, int* error);

  ~ReplacingFile();  // an output never committed is removed
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;

  /// Where the text goes; it turns bad at the first failed write.
  std::ostream& stream() { return stream_; }

  /// Writes out the rest and puts the new file in place of the old. Returns
  /// false with the system's error number in `error` when any write failed:
  /// the old file is then as it was and the temporary file gone.
  bool Commit(int* error);

  /// The system's error number of the first failed write, or 0.
  int error() const { return buffer_.error(); }

  /// The name the text is being written under: the temporary file, or the
  /// output itself when it is written directly. For writers that take a
  /// file name rather than a stream.
  const std::string& writing_path() const { return temporary_.empty() ? path_ : temporary_; }

  /// The name the output was opened under.
  const std::string& path() const { return path_; }

 private:
  // Buffered writes to a file descriptor that keep the first error.
  class Buffer : public std::streambuf {
   public:
    explicit Buffer(int fd);
    int error() const { return error_; }
    bool Drain();

   protected:
    int_type overflow(int_type c) override;
    int sync() override;

   private:
    int fd_;
    int error_ = 0;
    std::string data_;
  };

  ReplacingFile(std::string path, std::string target, std::string temporary, int fd);
  void Abandon();

  std::string path_;       // as given
  std::string target_;     // the file replaced, links followed
  std::string temporary_;  // empty when written directly
  int fd_ = -1;
  Buffer buffer_;
  std::ostream stream_;
  bool done_ = false;
};

}  // namespace textio

#endif  // KEVRANO_TEXTIO_REPLACING_FILE_H_
