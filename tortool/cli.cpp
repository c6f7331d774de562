#include "tortool/cli.h"

#include <kevrano_version.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string_view>

#include "cad/facets.h"
#include "cad/materials.h"
#include "torfile/outline.h"
#include "torfile/reader.h"
#include "tortool/analyse_command.h"
#include "tortool/arguments.h"
#ifdef KEVRANO_HAVE_FULLWAVE
#include "tortool/fullwave_command.h"
#endif
#include "tortool/cli_support.h"
#include "tortool/output_files.h"
#include "tortool/stl.h"
#include "tortool/svg.h"
#include "tortool/workshop.h"

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

/// A positive finite real written whole ("0.01", "2e-3").
std::optional<double> ParsePositive(const std::string& text) {
  double value = 0.0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size()) {
    return std::nullopt;
  }
  if (!std::isfinite(value) || !(value > 0.0)) return std::nullopt;
  return value;
}

/// The options that take a value, and the commands they belong to.
struct ValueOption {
  const char* name;
  const char* commands;  // as the message names them
};
constexpr ValueOption kValueOptions[] = {
    {"--segments", "stl"},   {"--chord-tolerance", "stl"}, {"--density", "check"},
    {"--material", "check"}, {"-o", "step and dxf"},       {"--output", "step and dxf"},
};

/// The value option that `arg` names ("--density" or "--density=1"), if any.
const ValueOption* ValueOptionOf(const std::string& arg) {
  for (const ValueOption& option : kValueOptions) {
    const std::string_view name = option.name;
    if (arg == name ||
        (arg.starts_with(name) && arg.size() > name.size() && arg[name.size()] == '=')) {
      return &option;
    }
  }
  return nullptr;
}

/// The STL of a lens with the facets chosen for a chord tolerance, and its
/// summary line on `err`.
int WriteStlForTolerance(const LoadedLens& loaded, const std::string& shown, double tolerance,
                         std::ostream& out, std::ostream& err) {
  std::string error;
  const std::optional<cad::FacetPlan> plan =
      cad::PlanFacets(loaded.file, *loaded.check.outline, tolerance, &error);
  int64_t facets = 0;
  if (!plan ||
      !WriteStlPolygon(plan->polygon, loaded.file.unit, plan->steps_around, out, &error, &facets)) {
    Diagnose(err, shown, 0, error);
    return kExitBadFile;
  }
  const std::string unit(UnitName(loaded.file.unit));
  err << kProgram << ": " << OneLine(shown) << ": " << facets << " facets within "
      << Number(tolerance) << " " << unit << " of the lens surface (" << plan->steps_around
      << " steps around the axis)\n";
  return kExitOk;
}

}  // namespace

std::string UsageText() {
  std::string materials;
  for (const cad::Material& m : cad::Materials()) {
    std::array<char, 96> row{};
    std::snprintf(row.data(), row.size(), "    %-9s eps %-5.2f %4.2f g/cm^3  %s\n",
                  std::string(m.name).c_str(), m.dielectric_constant, m.density,
                  std::string(m.description).c_str());
    materials += row.data();
  }
  return "usage: kevrano-tor check [--density RHO | --material NAME] FILE.tor\n"
         "       kevrano-tor svg FILE.tor > lens.svg\n"
         "       kevrano-tor stl [--segments N | --chord-tolerance T] FILE.tor > lens.stl\n"
         "       kevrano-tor step FILE.tor -o lens.step\n"
         "       kevrano-tor dxf FILE.tor -o lens.dxf\n"
         "       kevrano-tor analyse FILE.tor (--wavelength L | --frequency F) [options]\n"
         "       kevrano-tor analyse FILE.tor (--sweep F1:F2:N | --sweep-wavelength L1:L2:N)\n"
         "                   [options]\n"
#ifdef KEVRANO_HAVE_FULLWAVE
         "       kevrano-tor fullwave FILE.tor (--wavelength L | --frequency F) [options]\n"
#endif
         "       kevrano-tor --version\n"
         "\n"
         "Checks, draws and meshes the zoned lens of a tor file, and writes it for the\n"
         "workshop.\n"
         "\n"
         "  check   reads the file strictly, checks the lens outline and prints a summary\n"
         "          (nodes, segments, lens radius, axial extent, thickness on the axis,\n"
         "          zone steps, volume of the solid of revolution, length unit; the mass\n"
         "          with --density or --material)\n"
         "  svg     writes a drawing of the lens cross-section, both halves, as SVG;\n"
         "          an outline that fails the checks is drawn with each problem\n"
         "          marked and numbered, and the exit status is 1\n"
         "  stl     writes the solid of revolution as binary STL in millimetres\n"
         "          (to a file or a pipe, never to a terminal)\n"
         "  step    writes the solid of revolution as a STEP file (AP214) in the\n"
         "          file's unit: straight edges and the exact cubic curves, revolved\n"
         "  dxf     writes the half-profile (z along x, r along y) as a DXF file in\n"
         "          the file's unit: polylines and splines on the layers faces, rim, axis\n"
         "  analyse traces rays through the lens: phase error, efficiency, beam\n"
         "          (kevrano-tor analyse --help for its options)\n"
#ifdef KEVRANO_HAVE_FULLWAVE
         "  fullwave simulates lens and feed on an FDTD grid and sets its directivity\n"
         "          and beam beside analyse's (kevrano-tor fullwave --help)\n"
#endif
         "\n"
         "  --segments N          steps around the axis in the STL, 3 to 65536 (default 256)\n"
         "  --chord-tolerance T   facets chosen so that no point of the lens surface lies\n"
         "                        further than T (in the file's unit) from the STL mesh;\n"
         "                        the facet count goes to standard error\n"
         "  --density RHO         density in g/cm^3: check prints the mass\n"
         "  --material NAME       density (and dielectric constant) of a material:\n" +
         materials +
         "                        (common datasheet values near 10 GHz; lots vary)\n"
         "  -o, --output FILE     the file step or dxf writes (replaced if it exists)\n"
         "  -h, --help            shows this text\n"
         "  --version             prints the version\n"
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
#ifdef KEVRANO_HAVE_FULLWAVE
  if (!args.empty() && args[0] == "fullwave") {
    return RunFullwave({args.begin() + 1, args.end()}, in, out, err);
  }
#endif

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
  std::string tolerance_text;
  std::string density_text;
  std::string material_text;
  std::string output;
  std::vector<CLI::App*> commands;
  auto add_value = [](CLI::App* command, const std::string& name, std::string* value) {
    command->add_option(name, *value)->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  };
  for (const char* name : {"check", "svg", "stl", "step", "dxf"}) {
    CLI::App* command = app.add_subcommand(name);
    command->set_help_flag();
    command->allow_extras();
    command->add_option("file", path);
    const std::string command_name = command->get_name();
    if (command_name == "stl") {
      add_value(command, "--segments", &segments_text);
      add_value(command, "--chord-tolerance", &tolerance_text);
    } else if (command_name == "check") {
      add_value(command, "--density", &density_text);
      add_value(command, "--material", &material_text);
    } else if (command_name == "step" || command_name == "dxf") {
      add_value(command, "-o,--output", &output);
    }
    commands.push_back(command);
  }
  // The command's own arguments, checked before the parser takes them.
  std::vector<std::string> checked(args.begin() + 1, args.end());
  std::vector<std::string> value_options;
  for (const CLI::App* c : commands) {
    for (std::string& o : ValueOptions(*c)) value_options.push_back(std::move(o));
  }
  if (auto fault = CheckArguments(checked, value_options)) return UsageError(err, *fault);
  checked.insert(checked.begin(), args[0]);
  std::vector<std::string> reversed(checked.rbegin(), checked.rend());  // the parser's order
  try {
    app.parse(reversed);
  } catch (const CLI::ArgumentMismatch& e) {
    // The option given without its value: last on the line, or before another option
    for (std::size_t i = 0; i < args.size(); ++i) {
      const ValueOption* option = ValueOptionOf(args[i]);
      const bool bare = i + 1 == args.size() || (args[i + 1].size() > 1 && args[i + 1][0] == '-');
      if (option && args[i] == option->name && bare) {
        return UsageError(err, std::string(option->name) + " needs a value");
      }
    }
    return UsageError(err, e.what());
  } catch (const CLI::ParseError& e) {
    return UsageError(err, e.what());
  }
  const auto chosen =
      std::find_if(commands.begin(), commands.end(), [](const CLI::App* c) { return c->parsed(); });
  if (chosen == commands.end()) return UsageError(err, "unknown command '" + args[0] + "'");
  const CLI::App& command = **chosen;
  const std::string name = command.get_name();
  for (const std::string& a : command.remaining()) {
    if (const ValueOption* option = ValueOptionOf(a)) {
      return UsageError(err,
                        std::string(option->name) + " applies to " + option->commands + " only");
    }
    if (a.size() > 1 && a[0] == '-') return UsageError(err, "unknown option '" + a + "'");
    return UsageError(err, "one tor file at a time");
  }
  // Options of other commands were refused above; each command has its own
  auto given = [&command](const char* option) {
    const CLI::Option* o = command.get_option_no_throw(option);
    return o != nullptr && o->count() > 0;
  };
  int32_t segments = kDefaultStlSegments;
  if (given("--segments") && given("--chord-tolerance")) {
    return UsageError(err, "--segments and --chord-tolerance exclude each other");
  }
  std::optional<double> tolerance;
  if (given("--chord-tolerance")) {
    tolerance = ParsePositive(tolerance_text);
    if (!tolerance) {
      return UsageError(err, "--chord-tolerance '" + tolerance_text +
                                 "' is not a positive length in the file's unit");
    }
  }
  MassOptions mass;
  if (given("--density") && given("--material")) {
    return UsageError(err, "--density and --material exclude each other");
  }
  if (given("--density")) {
    mass.density = ParsePositive(density_text);
    if (!mass.density) {
      return UsageError(err,
                        "--density '" + density_text + "' is not a positive density in g/cm^3");
    }
  }
  if (given("--material")) {
    mass.material = cad::FindMaterial(material_text);
    if (!mass.material) {
      return UsageError(err,
                        "--material '" + material_text + "' is not one of " + cad::MaterialNames());
    }
  }
  std::optional<WorkshopFile> workshop;
  if (name == "step" || name == "dxf") {
    workshop = name == "step" ? WorkshopFile::kStep : WorkshopFile::kDxf;
    if (const std::optional<std::string> missing = MissingWriter(*workshop)) {
      return UsageError(err, *missing);
    }
    if (!given("--output")) return UsageError(err, name + " needs -o FILE");
    if (output.empty() || output == kStandardInput) {
      return UsageError(err, name + " writes a file: -o needs a file name");
    }
  }
  if (given("--segments")) {
    const std::optional<int32_t> n = ParseSegments(segments_text);
    if (!n) {
      return UsageError(err, "--segments '" + segments_text + "' is not a whole number from " +
                                 std::to_string(kMinStlSegments) + " to " +
                                 std::to_string(kMaxStlSegments));
    }
    segments = *n;
  }
  if (command.count("file") == 0) return UsageError(err, "missing tor file");
  if (workshop) {
    if (auto clash = OutputClash(path, {{"-o", output}})) return UsageError(err, *clash);
  }
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
    if (outline) {
      out << SummaryText(shown, loaded.file, *outline, loaded.check.warnings.size())
          << MassRows(loaded.file, Summarize(loaded.file, *outline).volume, mass);
    }
  } else if (name == "svg") {
    out << (outline ? RenderSvg(loaded.file, *outline, title)
                    : RenderProblemSvg(loaded.file, loaded.check.errors, title));
  } else if (workshop && outline) {
    const auto failed =
        WriteOutputByName(output, [&](const std::string& written, std::string* error) {
          return WriteWorkshopFile(*workshop, loaded.file, *outline, written, error);
        });
    if (!failed) {
      out << WrittenLine(*workshop, shown, loaded.file, output);
    } else {
      Diagnose(err, output, 0, *failed);
      status = kExitBadFile;
    }
  } else if (tolerance && outline) {
    status = WriteStlForTolerance(loaded, shown, *tolerance, out, err);
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
