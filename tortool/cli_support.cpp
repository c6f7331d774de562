#include "tortool/cli_support.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "textio/printable.h"

namespace tortool {

using torfile::CheckOutline;
using torfile::CheckResult;
using torfile::kListedProblems;
using torfile::kMaxFileBytes;
using torfile::ParseTor;
using torfile::Problem;

std::string OneLine(std::string_view text) { return textio::Printable(text); }

void Diagnose(std::ostream& err, const std::string& path, int line, const std::string& message) {
  err << kProgram << ": " << OneLine(path);
  if (line > 0) err << ':' << line;
  err << ": " << OneLine(message) << '\n';
}

bool ReadAll(std::istream& in, std::string* text, std::string* error) {
  std::array<char, 65536> chunk{};
  text->clear();
  while (in) {
    in.read(chunk.data(), chunk.size());
    text->append(chunk.data(), static_cast<std::size_t>(in.gcount()));
    if (text->size() > static_cast<std::size_t>(kMaxFileBytes)) {
      *error =
          "larger than " + std::to_string(kMaxFileBytes / (1024 * 1024)) + " MiB: not a tor file";
      return false;
    }
  }
  if (in.bad()) {
    *error = "read error";
    return false;
  }
  return true;
}

bool ReadWholeFile(const std::string& path, std::istream& standard_input, std::string* text,
                   std::string* error) {
  if (path == kStandardInput) return ReadAll(standard_input, text, error);
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    *error = "is a folder, not a tor file";
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = std::string("cannot open: ") + std::strerror(errno);
    return false;
  }
  return ReadAll(in, text, error);
}

LoadedLens LoadLens(const std::string& path, const std::string& shown, std::istream& standard_input,
                    bool list_all, std::string_view problem_prefix, std::ostream& err) {
  LoadedLens loaded;
  std::string text;
  std::string error;
  if (!ReadWholeFile(path, standard_input, &text, &error)) {
    Diagnose(err, shown, 0, error);
    return loaded;
  }
  Problem problem;
  if (!ParseTor(text, &loaded.file, &problem)) {
    Diagnose(err, shown, problem.line, problem.message);
    return loaded;
  }
  loaded.parsed = true;
  loaded.check = CheckOutline(loaded.file);
  const CheckResult& check = loaded.check;
  if (list_all) {
    for (const Problem& w : check.warnings) Diagnose(err, shown, w.line, "warning: " + w.message);
  }
  const std::size_t listed = list_all ? kListedProblems : 1;
  for (std::size_t i = 0; i < check.errors.size() && i < listed; ++i) {
    Diagnose(err, shown, check.errors[i].line,
             std::string(problem_prefix) + check.errors[i].message);
  }
  if (list_all && check.errors.size() > listed) {
    const std::size_t more = check.errors.size() - listed;
    Diagnose(err, shown, 0,
             "and " + std::to_string(more) + (more == 1 ? " more problem" : " more problems"));
  }
  return loaded;
}

std::string ShownName(const std::string& path) {
  return path == kStandardInput ? std::string(kStandardInputName) : path;
}

std::string DrawingTitle(const std::string& path) {
  return path == kStandardInput ? std::string(kStandardInputName)
                                : std::filesystem::path(path).filename().string();
}

std::string SummaryRow(std::string_view label, const std::string& value) {
  std::string line = "  " + std::string(label);
  line.resize(24, ' ');
  return line + value + "\n";
}

}  // namespace tortool
