#include "tortool/analyse_command.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <optional>
#include <utility>

#include "optics/analysis.h"
#include "optics/aperture.h"
#include "textio/checked.h"
#include "torfile/outline.h"
#include "torfile/reader.h"
#include "tortool/analyse_report.h"
#include "tortool/analysis_svg.h"
#include "tortool/arguments.h"
#include "tortool/cli_support.h"
#include "tortool/exit_status.h"
#include "tortool/output_files.h"
#include "tortool/regime_note.h"
#include "tortool/response_options.h"
#include "tortool/sweep_report.h"

namespace tortool {

using optics::AnalysisOptions;
using optics::ApertureFigures;
using optics::ComputeApertureFigures;
using optics::Trace;
using optics::TraceLens;
using torfile::Mesh;
using torfile::Outline;
namespace {

constexpr std::string_view kConventions =
    "Conventions: the feed's phase centre is at the origin of the stored\n"
    "coordinates (before the ZLOFF offset) and radiates towards +z; n = sqrt(eps)\n"
    "with eps from the region row; lengths and the wavelength are in the file's\n"
    "unit (a frequency in GHz is turned into a wavelength in that unit). The\n"
    "lens is the region the outline encloses with the axis, revolved about the\n"
    "axis: a linear segment is a straight line between its nodes, a cubic\n"
    "segment the cubic through its four nodes at parameters 0, 1/3, 2/3 and 1.\n"
    "The feed's power pattern is cos^(2Q) theta for theta < 90 degrees, nothing\n"
    "behind; --edge-taper picks Q so that the power towards the lens edge lies\n"
    "DB below the axis. Rays run in equal steps of theta from the axis to the\n"
    "lens edge; the aperture plane touches the lens at its largest z.\n"
    "\n"
    "--feed-z moves the feed along the axis keeping its Q (an edge taper sets Q\n"
    "with the feed at the origin). --feed-pattern replaces cos^(2Q) by a file's\n"
    "E- and H-plane cuts: their mean (E+H)/2 forms the beam, the rest is the\n"
    "cross-polar term; E meets the TM, H the TE transmission. --coating puts a\n"
    "layer on both faces, met by each ray at its own angle. A sweep traces the\n"
    "lens once and computes the figures at each frequency.\n"
    "\n"
    "Aperture model: each ray tube radiates from where it leaves the lens. Its\n"
    "field there is the tube's power spread over the annulus between its\n"
    "neighbours' exit radii, with the phase of the optical path from the feed\n"
    "to the exit point; the far-field integral carries each exit point's z.\n"
    "Exit radii and exit angles are smoothed over half a wavelength within each\n"
    "zone, and paths to the aperture plane follow the smoothed exit direction.\n"
    "The phase error is that path in the aperture plane, modulo the wavelength,\n"
    "about the power-weighted mean phase.\n"
    "\n"
    "Gain counts every loss: spillover, blockage, reflection at each face,\n"
    "dielectric loss along each path, taper and phase; it is the aperture\n"
    "efficiency times (pi D / wavelength)^2. Directivity is the gain divided by\n"
    "the dielectric-loss efficiency: reflected and spilled power radiate\n"
    "elsewhere, absorbed power does not. A warning names the ray count that\n"
    "would do when a zone gets fewer than 5 rays.\n"
    "\n"
    "Exit status: 0 done, 1 the file is unreadable, not a lens, or no ray gets\n"
    "through, 2 a bad command line.\n";

int FileError(std::ostream& err, const std::string& path, int line, const std::string& message) {
  Diagnose(err, path, line, message);
  return kExitBadFile;
}

/// The first option of `names` given more than once in `args`, as either
/// "--name VALUE" or "--name=VALUE".
std::optional<std::string> Repeated(const std::vector<std::string>& args,
                                    const std::vector<std::string>& names) {
  for (const std::string& name : names) {
    int count = 0;
    for (const std::string& a : args) {
      if (a == name || a.rfind(name + "=", 0) == 0) ++count;
    }
    if (count > 1) return name;
  }
  return std::nullopt;
}

/// The sweep: its table and figures on `out` (or as JSON), the table to
/// `csv_path` and the gain against frequency to `svg_path` when named.
int AnalyseSweep(const Trace& trace, const AnalysisOptions& options, const Response& response,
                 const Mesh& file, const std::string& shown, const std::string& csv_path,
                 const std::string& svg_path, bool json, std::ostream& out, std::ostream& err) {
  std::string error;
  const std::optional<SweepResult> sweep = SweepLens(
      trace, options, response.frequencies_ghz, torfile::MillimetresPer(file.unit), &error);
  if (!sweep) return FileError(err, shown, 0, error);
  for (const std::string& warning : sweep->warnings) Diagnose(err, shown, 0, warning);
  const std::string unit(torfile::UnitName(file.unit));
  if (!csv_path.empty()) {
    if (auto failed = WriteOutput(csv_path, SweepCsv(*sweep, unit))) {
      return FileError(err, csv_path, 0, *failed);
    }
  }
  if (!svg_path.empty()) {
    if (auto failed = WriteOutput(svg_path, RenderSweepSvg(*sweep, DrawingTitle(shown)))) {
      return FileError(err, svg_path, 0, *failed);
    }
  }
  out << (json ? SweepJson(*sweep, shown, unit) : SweepText(*sweep, shown, unit));
  out.flush();
  if (!out) {
    err << "kevrano-tor: error writing standard output\n";
    return kExitBadFile;
  }
  return kExitOk;
}

}  // namespace

int RunAnalyse(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
               std::ostream& err) {
  CLI::App app(
      "Traces rays from the feed through the lens of a tor file and prints its phase error,\n"
      "collimation, efficiency budget, gain, directivity and beam.",
      "kevrano-tor analyse");
  app.set_help_flag("-h,--help", "shows this text");
  app.footer(std::string(kConventions));
  std::string path;
  AnalysisOptions options;
  double frequency = 0.0;
  double feed_q = 0.0;
  int32_t rays = 2001;
  std::string svg_path;
  std::string csv_path;
  bool json = false;
  app.add_option("LENS.tor", path, "the tor file, or - for standard input")
      ->required()
      ->type_name("");
  CLI::Option* wavelength =
      app.add_option("--wavelength", options.wavelength, "wavelength in the file's unit")
          ->type_name("L");
  CLI::Option* ghz =
      app.add_option("--frequency", frequency, "frequency in GHz, instead of --wavelength")
          ->type_name("F");
  wavelength->excludes(ghz);
  CLI::Option* taper = app.add_option("--edge-taper", options.edge_taper_db,
                                      "feed power at the lens edge, dB below the axis (10)")
                           ->type_name("DB");
  CLI::Option* q =
      app.add_option("--feed-q", feed_q, "Q of the feed pattern cos^(2Q) theta")->type_name("Q");
  taper->excludes(q);
  app.add_option("--tan-delta", options.tan_delta, "loss tangent of the dielectric (0)")
      ->type_name("T");
  app.add_option("--rays", rays, "rays traced, 2 to 100001 (2001)")
      ->check(CLI::Range(2, 100001).description(""))
      ->type_name("N");
  app.add_option("--svg", svg_path, "writes the drawings to FILE")->type_name("FILE");
  app.add_option("--csv", csv_path, "writes the per-ray table to FILE")->type_name("FILE");
  app.add_flag("--json", json, "prints the figures as one JSON object instead of the summary");
  ResponseOptions response_options;
  AddResponseOptions(app, &response_options, wavelength, q, taper);
  ghz->excludes(response_options.sweep_option);
  ghz->excludes(response_options.sweep_wavelength_option);

  auto bad = [&err](const std::string& what) {
    err << kProgram << ": analyse: " << OneLine(what) << " (see " << kProgram
        << " analyse --help)\n";
    return kExitUsage;
  };
  if (const auto twice = Repeated(args, {"--wavelength", "--frequency", "--edge-taper", "--feed-q",
                                         "--tan-delta", "--rays", "--svg", "--csv", "--json",
                                         "--sweep", "--sweep-wavelength", "--feed-z",
                                         "--feed-pattern", "--coating"})) {
    return bad(*twice + " is given more than once: give it once");
  }
  if (const auto status = ParseCommand(app, args, out, bad)) return *status;
  std::string response_error;
  if (!CheckResponseOptions(response_options, &response_error)) return bad(response_error);
  if (wavelength->count() == 0 && ghz->count() == 0 && !Sweeping(response_options)) {
    return bad("--wavelength or --frequency is required");
  }
  if (wavelength->count() > 0 &&
      (!(options.wavelength > 0.0) || !std::isfinite(options.wavelength))) {
    return bad("--wavelength must be a positive number");
  }
  if (ghz->count() > 0 && (!(frequency > 0.0) || !std::isfinite(frequency))) {
    return bad("--frequency must be a positive number of GHz");
  }
  if (!(options.edge_taper_db >= 0.0) || !std::isfinite(options.edge_taper_db)) {
    return bad("--edge-taper must be a number of dB, 0 or more");
  }
  if (q->count() > 0) {
    if (!(feed_q >= 0.0) || !std::isfinite(feed_q)) return bad("--feed-q must be 0 or more");
    options.feed_q = feed_q;
  }
  if (!(options.tan_delta >= 0.0) || !std::isfinite(options.tan_delta)) {
    return bad("--tan-delta must be 0 or more");
  }
  // The table and the drawing never replace the lens they describe, nor each other
  if (auto clash = OutputClash(path, {{"--csv", csv_path}, {"--svg", svg_path}},
                               {{"--feed-pattern", response_options.feed_pattern}})) {
    return bad(*clash);
  }

  // The file, read strictly and checked as a lens
  const std::string shown = ShownName(path);
  const LoadedLens lens = LoadLens(path, shown, in, false, "not a lens: ", err);
  if (!lens.check.outline) return kExitBadFile;
  const Mesh& file = lens.file;
  const Outline& outline = *lens.check.outline;
  if (ghz->count() > 0) {
    const std::optional<double> from_frequency = WavelengthOfFrequency(frequency, file.unit);
    if (!from_frequency) return bad("--frequency gives no wavelength in the file's unit");
    options.wavelength = *from_frequency;
  }

  // Trace, figures, and what was asked for
  std::string error;
  const std::optional<Response> response =
      ApplyResponseOptions(response_options, file, &options, &error);
  if (!response) {
    err << kProgram << ": " << error << "\n";
    return kExitBadFile;
  }
  const std::optional<Trace> trace =
      TraceLens(file, outline, rays, &error, response_options.feed_z);
  if (!trace) return FileError(err, shown, 0, error);
  if (!response->frequencies_ghz.empty()) {
    for (const double f : response->frequencies_ghz) {
      const double at = WavelengthOf(f, torfile::MillimetresPer(file.unit));
      if (const auto problem = WavelengthProblem(*trace, at)) {
        return bad(std::string(response_options.sweep.empty() ? "--sweep-wavelength"
                                                              : "--sweep") +
                   ": at " + Fixed(f, 3) + " GHz: " + *problem);
      }
    }
    return AnalyseSweep(*trace, options, *response, file, shown, csv_path, svg_path, json, out,
                        err);
  }
  if (const auto problem = WavelengthProblem(*trace, options.wavelength)) {
    return bad((ghz->count() > 0 ? "--frequency: " : "--wavelength: ") + *problem);
  }
  const std::optional<ApertureFigures> figures = ComputeApertureFigures(*trace, options, &error);
  if (!figures) return FileError(err, shown, 0, error);
  if (!csv_path.empty()) {
    if (auto failed = WriteOutput(csv_path, CsvText(*trace, *figures))) {
      return FileError(err, csv_path, 0, *failed);
    }
  }
  if (!svg_path.empty()) {
    const std::string svg =
        RenderAnalysisSvg(file, outline, *trace, *figures, options.wavelength, DrawingTitle(path));
    if (auto failed = WriteOutput(svg_path, svg)) return FileError(err, svg_path, 0, *failed);
  }
  const AnalyseSetting setting{shown, file.unit, options};
  for (const std::string& warning : Warnings(*trace, *figures)) Diagnose(err, shown, 0, warning);
  out << (json ? JsonText(setting, *trace, *figures)
               : SummaryText(setting, *trace, *figures) +
                     ResponseRows(response_options, *response, options, file) +
                     RegimeNote(file, outline, options.wavelength));
  out.flush();
  if (!out) {
    err << "kevrano-tor: error writing standard output\n";
    return kExitBadFile;
  }
  return kExitOk;
}

}  // namespace tortool
