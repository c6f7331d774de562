#include "tortool/analyse_command.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <complex>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <optional>
#include <utility>

#include "optics/analysis.h"
#include "optics/sine_condition.h"
#include "textio/checked.h"
#include "torfile/outline.h"
#include "torfile/reader.h"
#include "tortool/analysis_svg.h"
#include "tortool/cli_support.h"
#include "tortool/response_options.h"
#include "tortool/sweep_report.h"
#include "tortool/exit_status.h"

namespace tortool {

using optics::AnalysisOptions;
using optics::ComputeFigures;
using optics::Efficiencies;
using optics::FateName;
using optics::Figures;
using optics::PowerShares;
using optics::RayFate;
using optics::RayFigures;
using optics::RayRecord;
using optics::Trace;
using optics::TraceLens;
using torfile::Mesh;
using torfile::Outline;
using torfile::UnitName;
namespace {

constexpr std::string_view kConventions =
    "Conventions: the feed's phase centre is at the origin of the stored\n"
    "coordinates (before the ZLOFF offset) and radiates towards +z; n = sqrt(eps)\n"
    "with eps from the region row; lengths and the wavelength are in the file's\n"
    "unit. The lens is the region the outline encloses with the axis, revolved\n"
    "about the axis: a linear segment is a straight line between its nodes, a\n"
    "cubic segment the cubic through its four nodes at parameters 0, 1/3, 2/3\n"
    "and 1. The feed's power pattern is cos^(2Q) theta for theta < 90 degrees,\n"
    "nothing behind; --edge-taper picks Q so that the power towards the lens\n"
    "edge lies DB below the axis. Rays run in equal steps of theta from the axis\n"
    "to the lens edge; the aperture plane touches the lens at its largest z.\n"
    "Phase errors are optical paths relative to the first ray through (the\n"
    "axial ray), reduced modulo the wavelength. Aperture radii and exit angles\n"
    "are smoothed over half a wavelength across the aperture within each zone.\n"
    "\n"
    "Exit status: 0 done, 1 the file is unreadable, not a lens, or no ray gets\n"
    "through, 2 a bad command line.\n";

int FileError(std::ostream& err, const std::string& path, int line, const std::string& message) {
  Diagnose(err, path, line, message);
  return kExitBadFile;
}

/// x with `digits` significant digits, or with `decimals` decimals when
/// digits is 0.
std::string Format(double x, int digits, int decimals) {
  std::array<char, 48> buffer{};
  if (digits > 0) {
    std::snprintf(buffer.data(), buffer.size(), "%.*g", digits, x);
  } else {
    std::snprintf(buffer.data(), buffer.size(), "%.*f", decimals, x);
  }
  return buffer.data();
}
std::string Num(double x) { return Format(x, 4, 0); }
std::string Fix(double x, int decimals) { return Format(x, 0, decimals); }

std::string Db(double ratio) {
  return ratio > 0.0 ? Fix(10.0 * std::log10(ratio), 2) + " dB" : "-inf dB";
}

constexpr double kDeg = 180.0 / std::numbers::pi;

std::string SummaryText(const std::string& path, const Mesh& file, const Trace& trace,
                        const Figures& fig, const AnalysisOptions& options) {
  const std::string unit(UnitName(file.unit));
  std::array<int32_t, 7> fates{};
  for (const RayRecord& r : trace.rays) ++textio::At(fates, static_cast<int64_t>(r.fate) + 1);
  std::string rays = std::to_string(trace.rays.size()) + " traced, " +
                     std::to_string(fig.transmitted_rays) + " through";
  for (std::size_t k = 1; k < fates.size(); ++k) {
    if (fates[k] > 0) {
      rays += ", " + std::to_string(fates[k]) + " " + FateName(static_cast<RayFate>(k));
    }
  }
  const Efficiencies& e = fig.efficiency;
  auto budget = [](double x) { return Fix(x, 4) + "  " + Db(x); };
  std::string text = OneLine(path) + ": lens analysed at wavelength " + Num(options.wavelength) +
                     " " + unit + ", n = " + Num(trace.index) + "\n";
  if (options.feed_pattern) {
    // The level of each plane at the lens edge, below its level on the axis
    const optics::PlaneFields axis = options.feed_pattern->Fields(0.0);
    const optics::PlaneFields edge = options.feed_pattern->Fields(trace.edge_angle);
    auto down = [](std::complex<double> at_edge, std::complex<double> on_axis) {
      const double ratio = std::norm(at_edge) / std::norm(on_axis);
      return ratio > 0.0 ? Fix(-10.0 * std::log10(ratio), 2) + " dB" : std::string("inf dB");
    };
    text += SummaryRow("feed", "E- and H-plane cuts of a feed file; lens edge at " +
                                   Fix(trace.edge_angle * kDeg, 2) + " deg, E plane " +
                                   down(edge.e_plane, axis.e_plane) + ", H plane " +
                                   down(edge.h_plane, axis.h_plane) + " down");
  } else {
    text += SummaryRow(
        "feed", "cos^(2Q) theta with Q = " + Num(fig.feed_q) + "; lens edge at " +
                    Fix(trace.edge_angle * kDeg, 2) + " deg, " +
                    Fix(-20.0 * std::log10(std::cos(trace.edge_angle)) * fig.feed_q, 2) +
                    " dB down");
  }
  text += SummaryRow("rays", rays);
  text += SummaryRow("phase error", "RMS " + Fix(fig.rms_phase_error_deg, 2) + " deg, peak " +
                                        Fix(fig.peak_phase_error_deg, 2) + " deg at radius " +
                                        Num(fig.peak_phase_radius) + " " + unit);
  text += SummaryRow("collimation", "largest exit angle " + Fix(fig.max_exit_angle_deg, 3) +
                                        " deg (single rays as traced " +
                                        Fix(fig.max_raw_exit_angle_deg, 3) + " deg)");
  if (const auto sine = SineConditionDeviation(trace)) {
    text += SummaryRow("sine condition", "deviation " + Fix(100.0 * sine->deviation, 2) + " % at " +
                                             Fix(sine->edge_theta * kDeg, 2) +
                                             " deg (paraxial focal length " +
                                             Num(sine->focal_length) + " " + unit + ")");
  }
  text += SummaryRow("spillover", budget(e.spillover));
  text += SummaryRow("taper", budget(e.taper));
  text += SummaryRow("phase", budget(e.phase));
  text += SummaryRow("blockage", budget(e.blockage));
  text += SummaryRow("reflection", budget(e.reflection));
  text += SummaryRow("dielectric loss",
                     budget(e.dielectric) + " (tan delta " + Num(options.tan_delta) + ")");
  if (options.feed_pattern) text += SummaryRow("cross-polar", budget(e.cross_polar));
  text += SummaryRow("aperture efficiency", budget(e.aperture));
  text += SummaryRow("directivity", Db(fig.directivity) + "i; uniform aperture of diameter " +
                                        Num(2.0 * fig.aperture_radius) + " " + unit + ": " +
                                        Db(fig.uniform_directivity) + "i");
  text += SummaryRow("half-power beamwidth", Fix(fig.beam.half_power_width_deg, 3) + " deg");
  text += SummaryRow("first null", fig.beam.first_null_deg
                                       ? Fix(*fig.beam.first_null_deg, 3) + " deg"
                                       : std::string("none within 12 wavelengths/diameter"));
  text += SummaryRow("first sidelobe", fig.beam.first_sidelobe_db
                                           ? Fix(*fig.beam.first_sidelobe_db, 2) + " dB"
                                           : std::string("none within 12 wavelengths/diameter"));
  const PowerShares& p = fig.power;
  text += SummaryRow("feed power", "transmitted " + Fix(p.transmitted, 4) + ", reflected " +
                                       Fix(p.reflected, 4) + ", absorbed " + Fix(p.absorbed, 4) +
                                       ", blocked " + Fix(p.blocked, 4) + ", spilled " +
                                       Fix(p.spilled, 4) +
                                       (p.missed > 0.0 ? ", missed " + Fix(p.missed, 4) : ""));
  if (fig.folded_tubes > 0) {
    text +=
        SummaryRow("ray tubes", std::to_string(fig.folded_tubes) + " still folded after smoothing");
  }
  return text;
}

std::string CsvText(const Trace& trace, const Figures& fig) {
  std::string text =
      "ray,theta_deg,fate,entry_z,entry_r,exit_z,exit_r,exit_angle_deg,"
      "smoothed_exit_angle_deg,aperture_radius,smoothed_aperture_radius,optical_path,"
      "length_in_lens,phase_error_deg,entry_te,entry_tm,entry_mean,exit_te,exit_tm,exit_mean,"
      "feed_power,aperture_power\n";
  for (std::size_t i = 0; i < trace.rays.size(); ++i) {
    const RayRecord& r = trace.rays[i];
    const RayFigures& rf = fig.rays[i];
    text += std::to_string(i + 1) + "," + Format(r.theta * kDeg, 10, 0) + "," + FateName(r.fate);
    for (const double x : {r.entry.z, r.entry.r, r.exit.z, r.exit.r, r.exit_angle * kDeg,
                           rf.smoothed_exit_angle * kDeg, r.aperture_radius, rf.smoothed_radius,
                           r.optical_path, r.length_in_lens, rf.phase_error_deg, r.entry_face.te,
                           r.entry_face.tm, r.entry_face.Mean(), r.exit_face.te, r.exit_face.tm,
                           r.exit_face.Mean(), rf.feed_power, rf.aperture_power}) {
      text += "," + Format(x, 10, 0);
    }
    text += "\n";
  }
  return text;
}

bool WriteFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.flush();
  return static_cast<bool>(out);
}

/// The sweep: its table and figures on `out`, the table to `csv_path` and
/// the gain against frequency to `svg_path` when named.
int AnalyseSweep(const Trace& trace, const AnalysisOptions& options, const Response& response,
                 const Mesh& file, const std::string& shown, const std::string& csv_path,
                 const std::string& svg_path, std::ostream& out, std::ostream& err) {
  std::string error;
  const std::optional<SweepResult> sweep = SweepLens(
      trace, options, response.frequencies_ghz, MillimetresPer(file.unit), &error);
  if (!sweep) return FileError(err, shown, 0, error);
  const std::string unit(UnitName(file.unit));
  if (!csv_path.empty() && !WriteFile(csv_path, SweepCsv(*sweep, unit))) {
    return FileError(err, csv_path, 0, std::string("cannot write: ") + std::strerror(errno));
  }
  if (!svg_path.empty() && !WriteFile(svg_path, RenderSweepSvg(*sweep, DrawingTitle(shown)))) {
    return FileError(err, svg_path, 0, std::string("cannot write: ") + std::strerror(errno));
  }
  out << SweepText(*sweep, shown, unit);
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
      "collimation, efficiency budget, directivity and beam.",
      "kevrano-tor analyse");
  app.set_help_flag("-h,--help", "shows this text");
  app.footer(std::string(kConventions));
  std::string path;
  AnalysisOptions options;
  double feed_q = 0.0;
  int32_t rays = 2001;
  std::string svg_path;
  std::string csv_path;
  app.add_option("LENS.tor", path, "the tor file, or - for standard input")
      ->required()
      ->type_name("");
  CLI::Option* wavelength =
      app.add_option("--wavelength", options.wavelength, "wavelength in the file's unit")
          ->type_name("L");
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
  app.add_option("--csv", csv_path, "writes the per-ray table (a sweep's table) to FILE")
      ->type_name("FILE");
  ResponseOptions response_options;
  AddResponseOptions(app, &response_options, wavelength, q, taper);

  auto bad = [&err](const std::string& what) {
    err << kProgram << ": analyse: " << OneLine(what) << " (see " << kProgram
        << " analyse --help)\n";
    return kExitUsage;
  };
  std::vector<std::string> reversed(args.rbegin(), args.rend());
  try {
    app.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    out << app.help();
    return kExitOk;
  } catch (const CLI::ParseError& e) {
    return bad(e.what());
  }
  std::string response_error;
  if (!CheckResponseOptions(response_options, &response_error)) return bad(response_error);
  if (!Sweeping(response_options) && wavelength->count() == 0) {
    return bad("--wavelength is required");
  }
  if (!(options.wavelength > 0.0) || !std::isfinite(options.wavelength)) {
    return bad("--wavelength must be a positive number");
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
  const std::array<std::pair<const char*, const std::string*>, 2> outputs{
      {{"--csv", &csv_path}, {"--svg", &svg_path}}};
  for (const auto& [option, written] : outputs) {
    if (!written->empty() && path != kStandardInput && SameFile(*written, path)) {
      return bad(std::string(option) + " names the tor file being analysed");
    }
  }
  if (!csv_path.empty() && !svg_path.empty() && SameFile(csv_path, svg_path)) {
    return bad("--csv and --svg name the same file");
  }

  // The file, read strictly and checked as a lens
  const std::string shown = ShownName(path);
  const LoadedLens lens = LoadLens(path, shown, in, false, "not a lens: ", err);
  if (!lens.check.outline) return kExitBadFile;
  const Mesh& file = lens.file;
  const Outline& outline = *lens.check.outline;

  // Trace, figures, and what was asked for
  std::string error;
  const std::optional<Response> response =
      ApplyResponseOptions(response_options, file, &options, &error);
  if (!response) {
    err << kProgram << ": " << error << "\n";
    return kExitBadFile;
  }
  const std::optional<Trace> trace = TraceLens(file, outline, rays, &error, response_options.feed_z);
  if (!trace) return FileError(err, shown, 0, error);
  if (!response->frequencies_ghz.empty()) {
    return AnalyseSweep(*trace, options, *response, file, shown, csv_path, svg_path, out, err);
  }
  const std::optional<Figures> figures = ComputeFigures(*trace, options, &error);
  if (!figures) return FileError(err, shown, 0, error);
  if (!csv_path.empty() && !WriteFile(csv_path, CsvText(*trace, *figures))) {
    return FileError(err, csv_path, 0, std::string("cannot write: ") + std::strerror(errno));
  }
  if (!svg_path.empty()) {
    const std::string svg =
        RenderAnalysisSvg(file, outline, *trace, *figures, options.wavelength, DrawingTitle(path));
    if (!WriteFile(svg_path, svg)) {
      return FileError(err, svg_path, 0, std::string("cannot write: ") + std::strerror(errno));
    }
  }
  out << SummaryText(shown, file, *trace, *figures, options)
      << ResponseRows(response_options, *response, options, file);
  out.flush();
  if (!out) {
    err << "kevrano-tor: error writing standard output\n";
    return kExitBadFile;
  }
  return kExitOk;
}

}  // namespace tortool
