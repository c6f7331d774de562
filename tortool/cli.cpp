#include "tortool/cli.h"

#include <array>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string_view>

#include "tortool/analyse_command.h"
#include "tortool/outline.h"
#include "tortool/stl.h"
#include "tortool/svg.h"
#include "tortool/tor_file.h"

namespace tortool {
namespace {

constexpr std::string_view kProgram = "kevrano-tor";
/// Errors listed by check before the rest are only counted.
constexpr std::size_t kListedErrors = 20;

/// Control characters (from a file name, say) shown as '?' to keep one line.
std::string OneLine(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  }
  return out;
}

void Diagnose(std::ostream& err, const std::string& path, int line, const std::string& message) {
  err << kProgram << ": " << OneLine(path);
  if (line > 0) err << ':' << line;
  err << ": " << OneLine(message) << '\n';
}

int UsageError(std::ostream& err, const std::string& message) {
  err << kProgram << ": " << OneLine(message) << " (see " << kProgram << " --help)\n";
  return kExitUsage;
}

/// The whole file, refused when it is a folder or larger than kMaxFileBytes.
bool ReadWholeFile(const std::string& path, std::string* text, std::string* error) {
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

std::string Number(double x) {
  std::array<char, 32> buffer{};
  std::snprintf(buffer.data(), buffer.size(), "%.6g", x);
  return buffer.data();
}

/// Lengths to the five significant digits that the file holds.
std::string Length(double x) {
  std::array<char, 32> buffer{};
  std::snprintf(buffer.data(), buffer.size(), "%.5g", x);
  return buffer.data();
}

/// Reads, parses and checks a file. Returns the outline of a sound lens, or
/// nothing after reporting the problems (all of them when `list_all`,
/// otherwise the first).
std::optional<Outline> Load(const std::string& path, bool list_all, TorFile* file,
                            std::ostream& err, std::size_t* warnings) {
  std::string text;
  std::string error;
  if (!ReadWholeFile(path, &text, &error)) {
    Diagnose(err, path, 0, error);
    return std::nullopt;
  }
  Problem problem;
  if (!ParseTor(text, file, &problem)) {
    Diagnose(err, path, problem.line, problem.message);
    return std::nullopt;
  }
  CheckResult check = CheckOutline(*file);
  *warnings = check.warnings.size();
  if (list_all) {
    for (const Problem& w : check.warnings) Diagnose(err, path, w.line, "warning: " + w.message);
  }
  const std::size_t shown = list_all ? kListedErrors : 1;
  for (std::size_t i = 0; i < check.errors.size() && i < shown; ++i) {
    Diagnose(err, path, check.errors[i].line, check.errors[i].message);
  }
  if (list_all && check.errors.size() > shown) {
    Diagnose(err, path, 0, "and " + std::to_string(check.errors.size() - shown) + " more problems");
  }
  return std::move(check.outline);
}

std::string SummaryText(const std::string& path, const TorFile& file, const Outline& outline,
                        std::size_t warnings) {
  const Summary s = Summarize(file, outline);
  const std::string unit(UnitName(file.unit));
  auto length = [&unit](double x) { return Length(x) + " " + unit; };
  auto row = [](std::string_view label, const std::string& value) {
    std::string line = "  " + std::string(label);
    line.resize(24, ' ');
    return line + value + "\n";
  };
  std::string rim;
  if (outline.rim) {
    rim = outline.rim->Name() + ", nodes " + std::to_string(outline.feed.edge_node) + " to " +
          std::to_string(outline.radiation.edge_node) +
          (s.knife_edge ? ", of zero length: a knife edge" : "");
  } else {
    rim = "knife edge, nodes " + std::to_string(outline.feed.edge_node) + " and " +
          std::to_string(outline.radiation.edge_node);
  }
  auto face = [&](const Side& side) {
    return "from node " + std::to_string(side.axis_node) + " on the axis to node " +
           std::to_string(side.edge_node) + ", " + std::to_string(side.pieces.size()) +
           (side.pieces.size() == 1 ? " segment" : " segments");
  };
  std::string text =
      OneLine(path) + ": lens outline checked, " +
      (warnings == 0 ? std::string("no problems")
                     : std::to_string(warnings) + (warnings == 1 ? " warning" : " warnings")) +
      "\n";
  text += row("mesh", file.mesh_name + ", dielectric constant " + Number(file.dielectric));
  text += row("length unit", unit);
  text += row("lens axis offset", "ZLOFF = " + length(file.zloff));
  text += row("nodes", std::to_string(s.nodes));
  text +=
      row("segments", std::to_string(s.linear) + " linear, " + std::to_string(s.cubic) + " cubic");
  text += row("feed face", face(outline.feed));
  text += row("radiation face", face(outline.radiation));
  text += row("rim", rim);
  text += row("lens radius", length(s.lens_radius));
  text += row("axial extent", "z from " + Length(s.z_min) + " to " + length(s.z_max) + " (" +
                                  length(s.z_max - s.z_min) + ")");
  text += row("thickness on axis", length(s.axis_thickness));
  text += row("zone steps", std::to_string(s.feed_steps + s.radiation_steps) + " (" +
                                std::to_string(s.feed_steps) + " on the feed face, " +
                                std::to_string(s.radiation_steps) + " on the radiation face)");
  text += row("volume", Number(s.volume) + " " + unit + "^3");
  return text;
}

/// A whole number from 3 to kMaxStlSegments.
std::optional<int32_t> ParseSegments(std::string_view text) {
  if (text.empty() || text.size() > 9) return std::nullopt;
  int32_t value = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec != std::errc() || result.ptr != text.data() + text.size()) return std::nullopt;
  if (value < kMinStlSegments || value > kMaxStlSegments) return std::nullopt;
  return value;
}

}  // namespace

std::string UsageText() {
  return "usage: kevrano-tor check FILE.tor\n"
         "       kevrano-tor svg FILE.tor > lens.svg\n"
         "       kevrano-tor stl [--segments N] FILE.tor > lens.stl\n"
         "       kevrano-tor analyse FILE.tor --wavelength L [options]\n"
         "\n"
         "Checks, draws and meshes the zoned lens of a tor file.\n"
         "\n"
         "  check   reads the file strictly, checks the lens outline and prints a summary\n"
         "          (nodes, segments, lens radius, axial extent, thickness on the axis,\n"
         "          zone steps, volume of the solid of revolution, length unit)\n"
         "  svg     writes a drawing of the lens cross-section, both halves, as SVG\n"
         "  stl     writes the solid of revolution as binary STL in millimetres\n"
         "  analyse traces rays through the lens: phase error, efficiency, beam\n"
         "          (kevrano-tor analyse --help for its options)\n"
         "\n"
         "  --segments N   steps around the axis in the STL, 3 to 65536 (default 256)\n"
         "  -h, --help     shows this text\n"
         "\n"
         "A cubic segment is the cubic through its four nodes at parameters 0, 1/3,\n"
         "2/3 and 1. Problems are reported as 'kevrano-tor: FILE:LINE: message'.\n"
         "Exit status: 0 done, 1 the file is unreadable or not a sound lens,\n"
         "2 a bad command line.\n";
}

int RunTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (!args.empty() && args[0] == "analyse") {
    return RunAnalyse(std::vector<std::string>(args.begin() + 1, args.end()), out, err);
  }
  // Help wins over everything else on the line
  for (const std::string& a : args) {
    if (a == "-h" || a == "--help") {
      out << UsageText();
      return kExitOk;
    }
  }
  if (args.empty()) return UsageError(err, "missing command");
  const std::string& command = args[0];
  if (command != "check" && command != "svg" && command != "stl") {
    return UsageError(err, "unknown command '" + command + "'");
  }

  // Options and the one file
  int32_t segments = kDefaultStlSegments;
  std::optional<std::string> path;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--segments" || a.starts_with("--segments=")) {
      if (command != "stl") return UsageError(err, "--segments applies to stl only");
      std::string value;
      if (a == "--segments") {
        if (i + 1 >= args.size()) return UsageError(err, "--segments needs a value");
        value = args[++i];
      } else {
        value = a.substr(std::string_view("--segments=").size());
      }
      const std::optional<int32_t> n = ParseSegments(value);
      if (!n) {
        return UsageError(err, "--segments '" + value + "' is not a whole number from " +
                                   std::to_string(kMinStlSegments) + " to " +
                                   std::to_string(kMaxStlSegments));
      }
      segments = *n;
    } else if (a.size() > 1 && a[0] == '-') {
      return UsageError(err, "unknown option '" + a + "'");
    } else if (path) {
      return UsageError(err, "one tor file at a time");
    } else {
      path = a;
    }
  }
  if (!path) return UsageError(err, "missing tor file");

  TorFile file;
  std::size_t warnings = 0;
  const std::optional<Outline> outline = Load(*path, command == "check", &file, err, &warnings);
  if (!outline) return kExitBadFile;
  if (command == "check") {
    out << SummaryText(*path, file, *outline, warnings);
  } else if (command == "svg") {
    out << RenderSvg(file, *outline, std::filesystem::path(*path).filename().string());
  } else {
    std::string error;
    if (!WriteStl(file, *outline, segments, out, &error)) {
      Diagnose(err, *path, 0, error);
      return kExitBadFile;
    }
  }
  out.flush();
  if (!out) {
    err << kProgram << ": error writing standard output\n";
    return kExitBadFile;
  }
  return kExitOk;
}

}  // namespace tortool
