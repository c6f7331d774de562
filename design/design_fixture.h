#ifndef KEVRANO_DESIGN_DESIGN_FIXTURE_H_
#define KEVRANO_DESIGN_DESIGN_FIXTURE_H_

// Test support: runs whole designs of SPLENZ from typed answers held in
// memory, with the report and every file the answers name written in a fresh
// temporary folder.

#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "design/splenz.h"
#include "textio/units.h"

namespace design::testing_support {

/// Lines of a text, without their CR LF or LF ends.
inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

/// A fresh empty folder of its own under the system's temporary folder.
inline std::filesystem::path MakeTempDir() {
  std::string templ = (std::filesystem::temp_directory_path() / "kevrano-design-XXXXXX").string();
  if (mkdtemp(templ.data()) == nullptr) throw std::runtime_error("mkdtemp");
  return templ;
}

/// `text` with every "@DIR@/" dropped: a name in the answers is taken in the
/// run's folder anyway.
inline std::string WithDir(std::string text) {
  for (std::size_t at = text.find("@DIR@/"); at != std::string::npos; at = text.find("@DIR@/")) {
    text.erase(at, 6);
  }
  return text;
}

/// One program run in memory: answers typed on the keyboard, the screen
/// captured, the report in a temporary folder. Designs are run one by one.
/// A file named in the answers (such as "lens.tor") is written in that folder
/// whatever the path of the folder, since a name answer holds 70 characters;
/// "@DIR@/" before it may stand for the folder.
/// The options are those the command line would give.
class DesignRun {
 public:
  explicit DesignRun(const std::string& answers, DesignOptions options = {})
      : dir_(MakeTempDir()),
        keyboard_(WithDir(answers)),
        io_(keyboard_, screen_, textio::ConsoleSetup{}) {
    io_.ConfineFilesTo(dir_.string());
    io_.open_text_unit(textio::kReport, "report.txt");
    splenz_ = std::make_unique<SPLENZ>(io_, inputl_, options);
  }
  ~DesignRun() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  DesignRun(const DesignRun&) = delete;
  DesignRun& operator=(const DesignRun&) = delete;

  /// Runs one design; textio::Failure passes through.
  void Design() { (*splenz_)(eps_, npt_, rlens_, edge_); }

  /// The report, closed first.
  std::string Report() {
    io_.close_unit(textio::kReport);
    return File("report.txt");
  }

  /// Whole content of a file of the run's folder.
  std::string File(const std::string& name) const {
    std::ifstream in(dir_ / name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }

  std::string Screen() const { return screen_.str(); }
  const SPLENZ& splenz() const { return *splenz_; }
  float eps() const { return eps_; }
  int32_t npt() const { return npt_; }
  float rlens() const { return rlens_; }
  float edge() const { return edge_; }

 private:
  std::filesystem::path dir_;
  std::istringstream keyboard_;
  std::ostringstream screen_;
  textio::Units io_;
  textio::INPUTL inputl_;
  std::unique_ptr<SPLENZ> splenz_;
  float eps_ = 0.0f;
  int32_t npt_ = 0;
  float rlens_ = 0.0f;
  float edge_ = 0.0f;
};

}  // namespace design::testing_support

#endif  // KEVRANO_DESIGN_DESIGN_FIXTURE_H_
