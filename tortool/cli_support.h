#ifndef KEVRANO_TORTOOL_CLI_SUPPORT_H_
#define KEVRANO_TORTOOL_CLI_SUPPORT_H_

// What the commands of kevrano-tor share: reading a tor file whole (or
// standard input for "-") and checking its lens, the name messages give it,
// and one-line diagnostics.

#include <istream>
#include <ostream>
#include <string>
#include <string_view>

#include "torfile/outline.h"
#include "torfile/reader.h"

namespace tortool {

inline constexpr std::string_view kProgram = "kevrano-tor";
/// The file name that stands for standard input, and how messages name it.
inline constexpr std::string_view kStandardInput = "-";
inline constexpr std::string_view kStandardInputName = "standard input";

/// Control characters (from a file name, say) shown as '?' to keep one line.
std::string OneLine(std::string_view text);

/// Writes "kevrano-tor: PATH:LINE: message" (without ":LINE" when `line` is
/// 0 or less) on one line.
void Diagnose(std::ostream& err, const std::string& path, int line, const std::string& message);

/// The whole stream; false with `error` set when it is larger than
/// kMaxFileBytes or cannot be read.
bool ReadAll(std::istream& in, std::string* text, std::string* error);

/// The whole file, or `standard_input` for "-"; a folder is refused.
bool ReadWholeFile(const std::string& path, std::istream& standard_input, std::string* text,
                   std::string* error);

/// A tor file read, parsed and its outline checked.
struct LoadedLens {
  bool parsed = false;  // false after a read or record error
  torfile::Mesh file;
  torfile::CheckResult check;
};

/// Reads, parses and checks the file at `path` (standard input for "-"),
/// reporting under the name `shown`: with `list_all` every warning and the
/// problems (up to kListedProblems, the rest counted), otherwise the first
/// problem. Each problem's message follows `problem_prefix`.
LoadedLens LoadLens(const std::string& path, const std::string& shown, std::istream& standard_input,
                    bool list_all, std::string_view problem_prefix, std::ostream& err);

/// How messages and summaries name the file: "standard input" for "-".
std::string ShownName(const std::string& path);

/// The title of a drawing: the file name without its folders, or
/// "standard input" for "-".
std::string DrawingTitle(const std::string& path);

/// One row of a summary: the label indented by two and padded to 24
/// columns, then the value and a line end.
std::string SummaryRow(std::string_view label, const std::string& value);

}  // namespace tortool

#endif  // KEVRANO_TORTOOL_CLI_SUPPORT_H_
