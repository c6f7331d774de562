#include "tortool/fullwave_command.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <numbers>
#include <optional>
#include <utility>

#include "fullwave/fullwave.h"
#include "fullwave/report.h"
#include "optics/analysis.h"
#include "optics/aperture.h"
#include "textio/checked.h"
#include "torfile/mesh.h"
#include "torfile/outline.h"
#include "tortool/arguments.h"
#include "tortool/cli_support.h"
#include "tortool/exit_status.h"
#include "tortool/output_files.h"
#include "tortool/svg_text.h"

namespace tortool {
namespace {

using optics::ApertureFigures;

constexpr double kDeg = 180.0 / std::numbers::pi;

constexpr std::string_view kConventions =
    "Conventions: as for analyse. The feed is a Huygens source (electric and\n"
    "magnetic currents on a disc in the plane of its phase centre) whose far field\n"
    "has the power pattern cos^(2Q) theta; the lens is the outline's section,\n"
    "each grid cell taking eps = 1 + f(eps - 1), f its area inside the lens. The\n"
    "grid is cylindrical (r, z), angular order m = +1 (a linearly polarised feed\n"
    "on the axis), with absorbing layers around. Directivity is 4 pi U(0) over the\n"
    "power the same feed radiates alone in free space; beamwidth, null and\n"
    "sidelobe are those of the mean of the E- and H-plane powers, which is what\n"
    "the ray trace models; both cuts are listed. The default resolution puts 30\n"
    "cells in a wavelength inside the lens (about 0.05 dB on the directivity).\n"
    "--frequency is in GHz. Progress goes to standard error.\n"
    "\n"
    "Exit status: 0 done, 1 the file is unreadable, not a lens, or the\n"
    "simulation fails, 2 a bad command line.\n";

// A figure for a progress line, to the nearest whole number.
int32_t Whole(double x) { return textio::TruncToInt32(std::round(x)).value_or(0); }

int FileError(std::ostream& err, const std::string& path, const std::string& message) {
  Diagnose(err, path, 0, message);
  return kExitBadFile;
}

// The pattern cuts in dB relative to the axis, full wave and ray trace, out
// to three first nulls (or 90°).
std::string PatternSvg(const fullwave::FarFieldFigures& f, const ApertureFigures& trace,
                       const std::string& title) {
  constexpr double kLeft = 70.0, kTop = 50.0, kWidth = 640.0, kHeight = 360.0, kFloor = -40.0;
  const double null = f.mean.first_null > 0.0 ? f.mean.first_null : 30.0;
  const double x_max = std::min(90.0, 3.0 * null);
  auto x = [&](double deg) { return kLeft + kWidth * deg / x_max; };
  auto y = [&](double db) { return kTop + kHeight * std::clamp(db, kFloor, 0.0) / kFloor; };
  std::string svg = DocumentHead(kLeft + kWidth + 40.0, kTop + kHeight + 80.0, title);
  svg += "<text x=\"" + Fixed(kLeft) + "\" y=\"30\" font-size=\"14\">" + Escaped(title) +
         ": far-field pattern (dB relative to the axis)</text>\n";
  svg += "<rect x=\"" + Fixed(kLeft) + "\" y=\"" + Fixed(kTop) + "\" width=\"" + Fixed(kWidth) +
         "\" height=\"" + Fixed(kHeight) + "\" fill=\"none\" stroke=\"#888\"/>\n";
  const double xs = TickStep(x_max);
  for (double t = 0.0; t <= x_max + 1e-9; t += xs) {
    svg += "<text x=\"" + Fixed(x(t)) + "\" y=\"" + Fixed(kTop + kHeight + 16.0) +
           "\" text-anchor=\"middle\">" + Label(t) + "</text>\n";
  }
  for (double d = 0.0; d >= kFloor - 1e-9; d -= 10.0) {
    svg += "<line x1=\"" + Fixed(kLeft) + "\" y1=\"" + Fixed(y(d)) + "\" x2=\"" +
           Fixed(kLeft + kWidth) + "\" y2=\"" + Fixed(y(d)) + "\" stroke=\"#ddd\"/>\n";
    svg += "<text x=\"" + Fixed(kLeft - 6.0) + "\" y=\"" + Fixed(y(d) + 4.0) +
           "\" text-anchor=\"end\">" + Label(d) + "</text>\n";
  }
  svg += "<text x=\"" + Fixed(kLeft + 0.5 * kWidth) + "\" y=\"" + Fixed(kTop + kHeight + 36.0) +
         "\" text-anchor=\"middle\">angle from the axis (deg)</text>\n";
  struct Curve {
    const char* name;
    const char* colour;
    std::vector<std::pair<double, double>> points;
  };
  std::array<Curve, 3> curves{{{"full wave, E-plane", "#1f4e79", {}},
                               {"full wave, H-plane", "#c0504d", {}},
                               {"ray trace", "#70a83b", {}}}};
  const double peak = f.pattern.empty() ? 0.0 : f.pattern.front().mean_dbi;
  for (const fullwave::PatternPoint& p : f.pattern) {
    if (p.theta_deg > x_max) break;
    curves[0].points.emplace_back(p.theta_deg, p.e_plane_dbi - peak);
    curves[1].points.emplace_back(p.theta_deg, p.h_plane_dbi - peak);
  }
  for (const optics::PatternPoint& p : trace.pattern) {
    if (p.theta_deg >= 0.0 && p.theta_deg <= x_max)
      curves[2].points.emplace_back(p.theta_deg, p.level_db);
  }
  double legend = kTop + kHeight + 58.0, legend_x = kLeft;
  for (const Curve& c : curves) {
    svg += "<polyline fill=\"none\" stroke=\"" + std::string(c.colour) + "\" points=\"";
    for (const auto& [t, d] : c.points) svg += Fixed(x(t)) + "," + Fixed(y(d)) + " ";
    svg += "\"/>\n";
    svg += "<line x1=\"" + Fixed(legend_x) + "\" y1=\"" + Fixed(legend - 4.0) + "\" x2=\"" +
           Fixed(legend_x + 24.0) + "\" y2=\"" + Fixed(legend - 4.0) + "\" stroke=\"" + c.colour +
           "\"/><text x=\"" + Fixed(legend_x + 30.0) + "\" y=\"" + Fixed(legend) + "\">" + c.name +
           "</text>\n";
    legend_x += 190.0;
  }
  return svg + "</svg>\n";
}

}  // namespace

int RunFullwave(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
                std::ostream& err) {
  CLI::App app(
      "Simulates the lens of a tor file and its feed on a full-wave (FDTD) grid and prints\n"
      "the directivity and beam beside the ray trace's.",
      "kevrano-tor fullwave");
  app.set_help_flag("-h,--help", "shows this text");
  app.footer(std::string(kConventions));
  std::string path;
  double wavelength = 0.0, frequency = 0.0, taper_db = 10.0, feed_q = 0.0;
  int resolution = 0;
  std::string svg_path, csv_path;
  bool json = false;
  app.add_option("LENS.tor", path, "the tor file, or - for standard input")
      ->required()
      ->type_name("");
  CLI::Option* by_wavelength =
      app.add_option("--wavelength", wavelength, "wavelength in the file's unit")->type_name("L");
  CLI::Option* by_frequency =
      app.add_option("--frequency", frequency, "frequency in GHz")->type_name("F");
  by_wavelength->excludes(by_frequency);
  CLI::Option* taper = app.add_option("--edge-taper", taper_db,
                                      "feed power at the lens edge, dB below the axis (10)")
                           ->type_name("DB");
  CLI::Option* q =
      app.add_option("--feed-q", feed_q, "Q of the feed pattern cos^(2Q) theta")->type_name("Q");
  taper->excludes(q);
  app.add_option("--resolution", resolution,
                 "grid cells per wavelength, 8 to 400 (30 per wavelength in the lens)")
      ->check(CLI::Range(8, 400).description(""))
      ->type_name("N");
  app.add_option("--svg", svg_path, "writes a drawing of the pattern cuts to FILE")
      ->type_name("FILE");
  app.add_option("--csv", csv_path, "writes the pattern cuts to FILE")->type_name("FILE");
  app.add_flag("--json", json, "prints the summary as one JSON object");
  auto bad = [&err](const std::string& what) {
    err << kProgram << ": fullwave: " << OneLine(what) << " (see " << kProgram
        << " fullwave --help)\n";
    return kExitUsage;
  };
  if (const auto status = ParseCommand(app, args, out, bad)) return *status;
  if (by_wavelength->count() == 0 && by_frequency->count() == 0) {
    return bad("give --wavelength or --frequency");
  }
  if (by_wavelength->count() > 0 && (!(wavelength > 0.0) || !std::isfinite(wavelength))) {
    return bad("--wavelength must be a positive number");
  }
  if (by_frequency->count() > 0 && (!(frequency > 0.0) || !std::isfinite(frequency))) {
    return bad("--frequency must be a positive number of GHz");
  }
  if (!(taper_db > 0.0) || !std::isfinite(taper_db)) {
    return bad("--edge-taper must be a positive number of dB");
  }
  if (q->count() > 0 && (!(feed_q > 0.0) || !(feed_q <= 1000.0))) {
    return bad("--feed-q must lie in (0, 1000]");
  }
  // The pattern table and its drawing never replace the lens, nor each other
  if (auto clash = OutputClash(path, {{"--csv", csv_path}, {"--svg", svg_path}})) {
    return bad(*clash);
  }

  // The lens, read strictly and checked
  const std::string shown = ShownName(path);
  const LoadedLens lens = LoadLens(path, shown, in, false, "not a lens: ", err);
  if (!lens.check.outline) return kExitBadFile;
  const torfile::Mesh& file = lens.file;
  const torfile::Outline& outline = *lens.check.outline;
  if (by_frequency->count() > 0)
    wavelength = torfile::kMillimetreGigahertz / frequency / torfile::MillimetresPer(file.unit);

  // The ray trace for the same lens and feed (which also fixes Q from the taper)
  std::string error;
  const std::optional<optics::Trace> trace = optics::TraceLens(file, outline, 2001, &error);
  if (!trace) return FileError(err, shown, error);
  optics::AnalysisOptions go_options;
  go_options.wavelength = wavelength;
  go_options.edge_taper_db = taper_db;
  if (q->count() > 0) go_options.feed_q = feed_q;
  const std::optional<ApertureFigures> go =
      optics::ComputeApertureFigures(*trace, go_options, &error);
  if (!go) return FileError(err, shown, error);

  // The full-wave run, with a progress line every few periods
  fullwave::FullWaveOptions options;
  options.wavelength = wavelength;
  options.feed_q = go->feed_q;
  options.resolution = resolution;
  const auto start = std::chrono::steady_clock::now();
  const fullwave::FullWaveResult result = fullwave::RunFullWave(
      fullwave::SectionOf(file, outline), options,
      [&err](fullwave::Stage stage, const fullwave::Progress& p) {
        err << kProgram << ": fullwave: "
            << (stage == fullwave::Stage::kFeedAlone ? "feed alone" : "lens and feed") << ", "
            << Whole(p.periods) << " periods, field " << Whole(p.energy_db) << " dB (stops at "
            << Whole(p.stop_db) << " dB)\n";
        err.flush();
      });
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (!result.ok) return FileError(err, shown, result.error);

  fullwave::ReportInput report;
  report.file = OneLine(shown);
  report.unit = std::string(torfile::UnitName(file.unit));
  report.wavelength = wavelength;
  report.permittivity = file.dielectric;
  report.feed_q = go->feed_q;
  report.edge_angle_deg = trace->edge_angle * kDeg;
  report.result = result;
  report.ray_trace = fullwave::RayTraceFigures{go->directivity, go->beam.half_power_width_deg,
                                               go->beam.first_null_deg, go->beam.first_sidelobe_db};
  report.seconds = seconds;
  if (!csv_path.empty()) {
    if (auto failed = WriteOutput(csv_path, fullwave::PatternCsv(result))) {
      return FileError(err, csv_path, *failed);
    }
  }
  if (!svg_path.empty()) {
    if (auto failed = WriteOutput(svg_path, PatternSvg(result.figures, *go, DrawingTitle(path)))) {
      return FileError(err, svg_path, *failed);
    }
  }
  out << (json ? fullwave::ReportJson(report) : fullwave::ReportText(report));
  out.flush();
  if (!out) {
    err << "kevrano-tor: error writing standard output\n";
    return kExitBadFile;
  }
  return kExitOk;
}

}  // namespace tortool
