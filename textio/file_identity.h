#ifndef KEVRANO_TEXTIO_FILE_IDENTITY_H_
#define KEVRANO_TEXTIO_FILE_IDENTITY_H_

// Which names reach one file. A run that writes a report, tor files, tables or
// drawings must never write one of them over another, nor over a file it
// reads (the design file, the lens, standard input): that would lose the
// file. The checks of both programs go through this one place.
//
// A file that exists is known by its device and inode, whatever name or link
// reaches it (other spellings, symbolic links, hard links). A file that does
// not exist yet is known by the folder it will be created in, resolved, and
// its name there; a dangling link is followed to the name it will create.
// Only files that hold data can be lost: devices, pipes and sockets (such as
// /dev/null given twice) have no identity and never clash.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace textio {

/// The file a name reaches, as the system tells files apart.
struct FileIdentity {
  uint64_t device = 0;  // of an existing file
  uint64_t inode = 0;
  std::string new_path;  // of a file yet to be created: resolved folder + name
  bool operator==(const FileIdentity&) const = default;
};

/// The name a chain of symbolic links ends at: `path` itself when it is no
/// link. Each link's target is taken relative to the link's folder; a chain
/// of more than 40 links (a loop) ends where it stands.
std::string FollowLinks(const std::string& path);

/// The identity of the file `path` reaches; nothing for a device, pipe,
/// socket or folder, or a name in a folder that cannot be resolved.
std::optional<FileIdentity> IdentifyName(const std::string& path);

/// The identity of the file open on descriptor `fd` (standard input is 0);
/// nothing when it is not a regular file.
std::optional<FileIdentity> IdentifyDescriptor(int fd);

/// The files of one run, read and written, checked before anything is
/// written.
class RunFiles {
 public:
  /// A file the run reads; `label` names it in a clash ("the design file").
  void AddInput(std::string label, const std::string& path);
  /// Standard input, read by the run.
  void AddStandardInput(std::string label);
  /// A file the run writes; `label` names it ("--report 'r.txt'").
  void AddOutput(std::string label, const std::string& path);

  /// The first clash in the order the files were added: an output that is the
  /// same file as an earlier output or as any input. Returns the one-line
  /// message "LABEL and LABEL are the same file: name another file".
  std::optional<std::string> Clash() const;

 private:
  struct Entry {
    std::string label;
    std::optional<FileIdentity> id;
    bool output = false;
  };
  std::vector<Entry> entries_;
};

}  // namespace textio

#endif  // KEVRANO_TEXTIO_FILE_IDENTITY_H_
