#ifndef KEVRANO_TORTOOL_OUTPUT_FILES_H_
#define KEVRANO_TORTOOL_OUTPUT_FILES_H_

// The files a kevrano-tor command writes besides standard output (tables,
// drawings, meshes): checked against the lens it reads and against each
// other before anything is written, then each written whole or not at all.
// Every command with output files goes through here.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tortool {

/// An output file as the command line gave it: the option and the name.
struct OutputFile {
  std::string option;  // "--csv"
  std::string path;    // empty when the option was not given
};

/// The first clash among the lens read from `lens_path` ("-" for standard
/// input), other files read (`inputs`, such as a feed pattern) and the outputs
/// given: a line naming both files. Nothing when every output is a file of
/// its own.
std::optional<std::string> OutputClash(const std::string& lens_path,
                                       const std::vector<OutputFile>& outputs,
                                       const std::vector<OutputFile>& inputs = {});

/// Writes `text` to `path`, replacing the old file only when the whole text is
/// written. Returns the message ("cannot write: File too large") when it
/// fails; the old file is then as it was.
std::optional<std::string> WriteOutput(const std::string& path, std::string_view text);

/// As WriteOutput, for a writer that takes a file name (a CAD library): it
/// writes to a temporary name beside `path`, which replaces `path` only when
/// `write` returns true. Returns the message when it fails.
std::optional<std::string> WriteOutputByName(
    const std::string& path,
    const std::function<bool(const std::string& name, std::string* error)>& write);

}  // namespace tortool

#endif  // KEVRANO_TORTOOL_OUTPUT_FILES_H_
