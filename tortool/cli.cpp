#include "tortool/cli.h"

#include <kevrano_version.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <optional>
#include <string_view>

#include "torfile/outline.h"
#include "torfile/reader.h"
#include "tortool/analyse_command.h"
#include "tortool/cli_support.h"
#include "tortool/stl.h"
#include "tortool/svg.h"

namespace tortool {

using torfile::Mesh;
using torfile::Outline;
using torfile::Side;
using torfile::Summarize;
using torfile::Summary;
using torfile::UnitName;
namespace {

int UsageError(std::ostream& err, const std::string& message) {
  err << kProgram << ": " << OneLine(message) << " (see " << kProgram << " --help)\n";
  return kExitUsage;
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

std::string SummaryText(const std::string& path, const Mesh& file, const Outline& outline,
                        std::size_t warnings) {
  const Summary s = Summarize(file, outline);
  const std::string unit(UnitName(file.unit));
  auto length = [&unit](double x) { return Length(x) + " " + unit; };
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
  text += SummaryRow("mesh", file.mesh_name + ", dielectric constant " + Number(file.dielectric));
  text += SummaryRow("length unit", unit);
  text += SummaryRow("lens axis offset", "ZLOFF = " + length(file.zloff));
  text += SummaryRow("nodes", std::to_string(s.nodes));
  text += SummaryRow("segments",
                     std::to_string(s.linear) + " linear, " + std::to_string(s.cubic) + " cubic");
  text += SummaryRow("feed face", face(outline.feed));
  text += SummaryRow("radiation face", face(outline.radiation));
  text += SummaryRow("rim", rim);
  text += SummaryRow("lens radius", length(s.lens_radius));
  text += SummaryRow("axial extent", "z from " + Length(s.z_min) + " to " + length(s.z_max) + " (" +
                                         length(s.z_max - s.z_min) + ")");
  text += SummaryRow("thickness on axis", length(s.axis_thickness));
  text +=
      SummaryRow("zone steps", std::to_string(s.feed_steps + s.radiation_steps) + " (" +
                                   std::to_string(s.feed_steps) + " on the feed face, " +
                                   std::to_string(s.radiation_steps) + " on the radiation face)");
  text += SummaryRow("volume", Number(s.volume) + " " + unit + "^3");
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
         "       kevrano-tor --version\n"
         "\n"
         "Checks, draws and meshes the zoned lens of a tor file.\n"
         "\n"
         "  check   reads the file strictly, checks the lens outline and prints a summary\n"
         "          (nodes, segments, lens radius, axial extent, thickness on the axis,\n"
         "          zone steps, volume of the solid of revolution, length unit)\n"
         "  svg     writes a drawing of the lens cross-section, both halves, as SVG;\n"
         "          an outline that fails the checks is drawn with each problem\n"
         "          marked and numbered, and the exit status is 1\n"
         "  stl     writes the solid of revolution as binary STL in millimetres\n"
         "          (to a file or a pipe, never to a terminal)\n"
         "  analyse traces rays through the lens: phase error, efficiency, beam\n"
         "          (kevrano-tor analyse --help for its options)\n"
         "\n"
         "  --segments N   steps around the axis in the STL, 3 to 65536 (default 256)\n"
         "  -h, --help     shows this text\n"
         "  --version      prints the version\n"
         "\n"
         "A FILE.tor of '-' is read from standard input.\n"
         "A cubic segment is the cubic through its four nodes at parameters 0, 1/3,\n"
         "2/3 and 1. Problems are reported as 'kevrano-tor: FILE:LINE: message'.\n"
         "Exit status: 0 done, 1 the file is unreadable or not a sound lens,\n"
         "2 a bad command line.\n";
}

int RunTool(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
            std::ostream& err, bool out_is_terminal) {
  // analyse parses its own options: every argument after its name goes to it,
  // before the help scan below, so that `analyse --help` reaches it
  if (!args.empty() && args[0] == "analyse") {
    return RunAnalyse({args.begin() + 1, args.end()}, in, out, err);
  }

  // Help wins over everything else on the line, then the version
  for (const std::string_view flag : {"-h", "--help", "--version"}) {
    if (std::find(args.begin(), args.end(), flag) == args.end()) continue;
    out << (flag == "--version" ? std::string(kProgram) + " " + KEVRANO_VERSION + "\n"
                                : UsageText());
    return kExitOk;
  }

  if (args.empty()) return UsageError(err, "missing command");

  // The commands and their options. Help and version are handled above;
  // whatever the parser leaves over is reported below, first thing first.
  CLI::App app{std::string(kProgram)};
  app.set_help_flag();
  app.allow_extras();
  std::string path;
  std::string segments_text;
  CLI::Option* segments_option = nullptr;
  std::vector<CLI::App*> commands;
  for (const char* name : {"check", "svg", "stl"}) {
    CLI::App* command = app.add_subcommand(name);
    command->set_help_flag();
    command->allow_extras();
    command->add_option("file", path);
    if (command->get_name() == "stl") {
      segments_option = command->add_option("--segments", segments_text);
      segments_option->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    }
    commands.push_back(command);
  }
  std::vector<std::string> reversed(args.rbegin(), args.rend());  // the parser's order
  try {
    app.parse(reversed);
  } catch (const CLI::ArgumentMismatch&) {
    return UsageError(err, "--segments needs a value");  // the one option with a value
  } catch (const CLI::ParseError& e) {
    return UsageError(err, e.what());
  }
  const auto chosen =
      std::find_if(commands.begin(), commands.end(), [](const CLI::App* c) { return c->parsed(); });
  if (chosen == commands.end()) return UsageError(err, "unknown command '" + args[0] + "'");
  const CLI::App& command = **chosen;
  const std::string name = command.get_name();
  for (const std::string& a : command.remaining()) {
    if (a == "--segments" || a.starts_with("--segments=")) {
      return UsageError(err, "--segments applies to stl only");
    }
    if (a.size() > 1 && a[0] == '-') return UsageError(err, "unknown option '" + a + "'");
    return UsageError(err, "one tor file at a time");
  }
  int32_t segments = kDefaultStlSegments;
  if (segments_option->count() > 0) {
    const std::optional<int32_t> n = ParseSegments(segments_text);
    if (!n) {
      return UsageError(err, "--segments '" + segments_text + "' is not a whole number from " +
                                 std::to_string(kMinStlSegments) + " to " +
                                 std::to_string(kMaxStlSegments));
    }
    segments = *n;
  }
  if (command.count("file") == 0) return UsageError(err, "missing tor file");
  if (name == "stl" && out_is_terminal) {
    err << kProgram
        << ": stl writes a binary mesh, not for a terminal: send it to a file "
           "(kevrano-tor stl FILE.tor > lens.stl)\n";
    return kExitUsage;
  }

  const std::string shown = ShownName(path);
  const LoadedLens loaded = LoadLens(path, shown, in, name == "check", "", err);
  if (!loaded.parsed) return kExitBadFile;
  const std::optional<Outline>& outline = loaded.check.outline;
  const std::string title = DrawingTitle(path);
  int status = outline ? kExitOk : kExitBadFile;
  if (name == "check") {
    if (outline) out << SummaryText(shown, loaded.file, *outline, loaded.check.warnings.size());
  } else if (name == "svg") {
    out << (outline ? RenderSvg(loaded.file, *outline, title)
                    : RenderProblemSvg(loaded.file, loaded.check.errors, title));
  } else if (outline) {
    std::string error;
    if (!WriteStl(loaded.file, *outline, segments, out, &error)) {
      Diagnose(err, shown, 0, error);
      status = kExitBadFile;
    }
  }
  out.flush();
  if (!out) {
    err << kProgram << ": error writing standard output\n";
    return kExitBadFile;
  }
  return status;
}

}  // namespace tortool
