#include "tortool/analysis_svg.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "tortool/svg_text.h"

namespace tortool {

using optics::ApertureFigures;
using optics::PatternPoint;
using optics::RayFate;
using optics::RayRecord;
using optics::TubeFigures;
using optics::Trace;
using torfile::Mesh;
using torfile::Outline;
using torfile::OutlinePolygon;
using torfile::Point;
using torfile::Summarize;
using torfile::Summary;
using torfile::UnitName;
namespace {

constexpr double kWidth = 900.0;
constexpr double kLeft = 80.0;
constexpr double kPlotWidth = 780.0;
// The three panels with their headings and captions fit a page 1000 high
constexpr double kLensHeight = 300.0;
constexpr double kGraphHeight = 200.0;
constexpr double kGap = 80.0;
constexpr int kRaysDrawn = 40;
/// Lowest level of the pattern drawn.
constexpr double kFloorDb = -50.0;

constexpr std::string_view kRayStroke = "#e67e22";
constexpr std::string_view kBlockedStroke = "#c0392b";

/// A rectangle of the page that shows x_min..x_max across and y_min..y_max up.
struct Panel {
  double left = 0.0;
  double top = 0.0;
  double width = 0.0;
  double height = 0.0;
  double x_min = 0.0;
  double x_max = 1.0;
  double y_min = 0.0;
  double y_max = 1.0;

  double X(double x) const { return left + (x - x_min) / (x_max - x_min) * width; }
  double Y(double y) const { return top + (y_max - y) / (y_max - y_min) * height; }
  std::string At(double x, double y) const { return Fixed(X(x)) + "," + Fixed(Y(y)); }

  /// The end of the segment from `a` (inside the panel) towards `b` that
  /// stays inside the panel.
  Point Clipped(Point a, Point b) const {
    double t = 1.0;
    const double dz = b.z - a.z;
    const double dr = b.r - a.r;
    if (dz > 0.0) t = std::min(t, (x_max - a.z) / dz);
    if (dz < 0.0) t = std::min(t, (x_min - a.z) / dz);
    if (dr > 0.0) t = std::min(t, (y_max - a.r) / dr);
    if (dr < 0.0) t = std::min(t, (y_min - a.r) / dr);
    t = std::max(t, 0.0);
    return {a.z + t * dz, a.r + t * dr};
  }

  /// Frame, ticks, tick labels and the two axis captions.
  std::string Axes(const std::string& x_caption, const std::string& y_caption) const {
    std::string s = "<g stroke=\"#888\" fill=\"none\">\n<rect x=\"" + Fixed(left) + "\" y=\"" +
                    Fixed(top) + "\" width=\"" + Fixed(width) + "\" height=\"" + Fixed(height) +
                    "\"/>\n";
    std::string labels;
    const double xs = TickStep(x_max - x_min);
    for (int i = 0; i < 30; ++i) {
      const double x = std::ceil(x_min / xs) * xs + i * xs;
      if (x > x_max + 1e-9 * xs) break;
      s += "<line x1=\"" + Fixed(X(x)) + "\" y1=\"" + Fixed(top + height) + "\" x2=\"" +
           Fixed(X(x)) + "\" y2=\"" + Fixed(top + height + 5.0) + "\"/>\n";
      labels += "<text x=\"" + Fixed(X(x)) + "\" y=\"" + Fixed(top + height + 18.0) +
                "\" text-anchor=\"middle\">" + Label(x) + "</text>\n";
    }
    const double ys = TickStep(y_max - y_min);
    for (int i = 0; i < 30; ++i) {
      const double y = std::ceil(y_min / ys) * ys + i * ys;
      if (y > y_max + 1e-9 * ys) break;
      s += "<line x1=\"" + Fixed(left - 5.0) + "\" y1=\"" + Fixed(Y(y)) + "\" x2=\"" + Fixed(left) +
           "\" y2=\"" + Fixed(Y(y)) + "\"/>\n";
      labels += "<text x=\"" + Fixed(left - 8.0) + "\" y=\"" + Fixed(Y(y) + 4.0) +
                "\" text-anchor=\"end\">" + Label(y) + "</text>\n";
    }
    s += "</g>\n<g fill=\"#333\">\n" + labels;
    s += "<text x=\"" + Fixed(left + width / 2.0) + "\" y=\"" + Fixed(top + height + 36.0) +
         "\" text-anchor=\"middle\">" + Escaped(x_caption) + "</text>\n";
    const double ym = top + height / 2.0;
    s += "<text x=\"" + Fixed(left - 58.0) + "\" y=\"" + Fixed(ym) +
         "\" text-anchor=\"middle\" transform=\"rotate(-90 " + Fixed(left - 58.0) + " " +
         Fixed(ym) + ")\">" + Escaped(y_caption) + "</text>\n</g>\n";
    return s;
  }
};

std::string Heading(double y, const std::string& text) {
  return "<text x=\"" + Fixed(kLeft) + "\" y=\"" + Fixed(y) +
         "\" font-size=\"13\" font-weight=\"bold\">" + Escaped(text) + "</text>\n";
}

}  // namespace

std::string RenderAnalysisSvg(const Mesh& file, const Outline& outline, const Trace& trace,
                              const ApertureFigures& figures, double wavelength,
                              std::string_view title) {
  const std::string unit(UnitName(file.unit));
  const Summary s = Summarize(file, outline);

  // The lens panel keeps equal scales along z and r
  const double z_lo = std::min(0.0, s.z_min);
  const double z_hi = s.z_max + 0.15 * std::max(s.z_max - z_lo, 1e-9);
  const double r_top = 1.1 * std::max(s.lens_radius, figures.aperture_radius);
  const double scale = std::min(kPlotWidth / (z_hi - z_lo), kLensHeight / (2.0 * r_top));
  Panel lens;
  lens.left = kLeft;
  lens.top = 60.0;
  lens.width = (z_hi - z_lo) * scale;
  lens.height = 2.0 * r_top * scale;
  lens.x_min = z_lo;
  lens.x_max = z_hi;
  lens.y_min = -r_top;
  lens.y_max = r_top;

  Panel phase;
  phase.left = kLeft;
  phase.top = lens.top + lens.height + kGap;
  phase.width = kPlotWidth;
  phase.height = kGraphHeight;
  phase.x_min = 0.0;
  phase.x_max = figures.aperture_radius > 0.0 ? figures.aperture_radius : 1.0;
  const double extent = std::max(1.0, 1.15 * std::fabs(figures.peak_phase_error_deg));
  phase.y_min = -std::min(extent, 180.0);
  phase.y_max = std::min(extent, 180.0);

  Panel pattern;
  pattern.left = kLeft;
  pattern.top = phase.top + phase.height + kGap;
  pattern.width = kPlotWidth;
  pattern.height = kGraphHeight;
  pattern.x_min = figures.pattern.empty() ? -1.0 : figures.pattern.front().theta_deg;
  pattern.x_max = figures.pattern.empty() ? 1.0 : figures.pattern.back().theta_deg;
  if (!(pattern.x_max > pattern.x_min)) {
    pattern.x_min = -1.0;
    pattern.x_max = 1.0;
  }
  pattern.y_min = kFloorDb;
  pattern.y_max = 0.0;
  const double height = pattern.top + pattern.height + 60.0;

  std::string svg = DocumentHead(kWidth, height, title);
  svg += "<text x=\"" + Fixed(kLeft) + "\" y=\"22\" font-size=\"15\" font-weight=\"bold\">" +
         Escaped(title) + "</text>\n";
  svg += "<text x=\"" + Fixed(kLeft) + "\" y=\"40\">wavelength " + Label(wavelength) + " " +
         Escaped(unit) + ", n = " + Label(trace.index) + ", RMS phase error " +
         Label(std::round(figures.rms_phase_error_deg * 100.0) / 100.0) +
         " deg, aperture efficiency " +
         Label(std::round(figures.efficiency.aperture * 1000.0) / 1000.0) + "</text>\n";

  // The lens, both halves, and every k-th ray in the upper half
  svg += Heading(lens.top - 6.0, "Rays through the lens (blocked rays in red)");
  svg += lens.Axes("z (" + unit + "), along the lens axis", "r (" + unit + ")");
  const std::vector<Point> polygon = OutlinePolygon(file, outline, 8);
  svg += "<g fill=\"" + std::string(kLensFill) + "\" stroke=\"" + std::string(kLensStroke) +
         "\" stroke-width=\"1\">\n";
  for (const double sign : {1.0, -1.0}) {
    svg += "<polygon points=\"";
    for (const Point& p : polygon) svg += lens.At(p.z, sign * p.r) + " ";
    svg += "\"/>\n";
  }
  svg += "</g>\n";
  const std::size_t count = trace.rays.size();
  const std::size_t every = std::max<std::size_t>(1, count / kRaysDrawn);
  std::string through;
  std::string blocked;
  for (std::size_t i = 0; i < count; i += every) {
    const RayRecord& r = trace.rays[i];
    std::string points = lens.At(0.0, 0.0);
    if (r.fate == RayFate::kMissed) {
      const double reach = 2.0 * (z_hi - z_lo + r_top);
      const Point end =
          lens.Clipped({0.0, 0.0}, {reach * std::cos(r.theta), reach * std::sin(r.theta)});
      points += " " + lens.At(end.z, end.r);
      blocked += "<polyline points=\"" + points + "\" stroke=\"#999\"/>\n";
      continue;
    }
    points += " " + lens.At(r.entry.z, r.entry.r);
    if (r.length_in_lens > 0.0) points += " " + lens.At(r.exit.z, r.exit.r);
    if (r.fate == RayFate::kTransmitted) {
      // On along the smoothed exit direction, through the aperture plane
      const TubeFigures& tube = figures.rays[i];
      const Point plane{trace.aperture_z, tube.plane_radius};
      const Point beyond{z_hi, tube.plane_radius + (z_hi - trace.aperture_z) * std::tan(tube.exit_angle)};
      const Point at_plane = lens.Clipped({r.exit.z, r.exit.r}, plane);
      const Point end = lens.Clipped(at_plane, beyond);
      points += " " + lens.At(at_plane.z, at_plane.r) + " " + lens.At(end.z, end.r);
      through += "<polyline points=\"" + points + "\"/>\n";
    } else {
      const Point end = r.length_in_lens > 0.0 ? r.exit : r.entry;
      blocked += "<polyline points=\"" + points + "\"/>\n<circle cx=\"" + Fixed(lens.X(end.z)) +
                 "\" cy=\"" + Fixed(lens.Y(end.r)) + "\" r=\"3\" fill=\"" +
                 std::string(kBlockedStroke) + "\"/>\n";
    }
  }
  svg += "<g fill=\"none\" stroke=\"" + std::string(kRayStroke) + "\" stroke-width=\"0.8\">\n" +
         through + "</g>\n";
  svg += "<g fill=\"none\" stroke=\"" + std::string(kBlockedStroke) + "\" stroke-width=\"0.8\">\n" +
         blocked + "</g>\n";
  svg += "<line x1=\"" + Fixed(lens.X(trace.aperture_z)) + "\" y1=\"" + Fixed(lens.top) +
         "\" x2=\"" + Fixed(lens.X(trace.aperture_z)) + "\" y2=\"" + Fixed(lens.top + lens.height) +
         "\" stroke=\"#888\" stroke-dasharray=\"4 3\"/>\n";
  svg += "<circle cx=\"" + Fixed(lens.X(0.0)) + "\" cy=\"" + Fixed(lens.Y(0.0)) +
         "\" r=\"4\" fill=\"#e67e22\" stroke=\"#7e3f06\"/>\n";

  // Phase error against the aperture radius
  svg += Heading(phase.top - 6.0, "Phase error across the aperture");
  svg += phase.Axes("aperture radius (" + unit + ")", "phase error (deg)");
  svg += "<g fill=\"" + std::string(kLensStroke) + "\">\n";
  for (std::size_t i = 0; i < count; ++i) {
    if (trace.rays[i].fate != RayFate::kTransmitted) continue;
    const double rho = std::fabs(figures.rays[i].plane_radius);
    const double e = std::clamp(figures.rays[i].phase_error_deg, phase.y_min, phase.y_max);
    svg += "<circle cx=\"" + Fixed(phase.X(std::min(rho, phase.x_max))) + "\" cy=\"" +
           Fixed(phase.Y(e)) + "\" r=\"1.3\"/>\n";
  }
  svg += "</g>\n";

  // The far-field pattern
  svg += Heading(pattern.top - 6.0, "Far-field pattern (dB relative to the axis)");
  svg += pattern.Axes("angle from the axis (deg)", "relative power (dB)");
  svg += "<polyline fill=\"none\" stroke=\"" + std::string(kLensStroke) +
         "\" stroke-width=\"1.2\" points=\"";
  for (const PatternPoint& p : figures.pattern) {
    svg += pattern.At(p.theta_deg, std::clamp(p.level_db, kFloorDb, 0.0)) + " ";
  }
  svg += "\"/>\n</svg>\n";
  return svg;
}

std::string RenderSweepSvg(const SweepResult& sweep, std::string_view title) {
  Panel plot;
  plot.left = kLeft;
  plot.top = 70.0;
  plot.width = kPlotWidth;
  plot.height = 2.0 * kGraphHeight;
  plot.x_min = HUGE_VAL;
  plot.x_max = -HUGE_VAL;
  plot.y_min = HUGE_VAL;
  plot.y_max = -HUGE_VAL;
  for (const SweepRow& row : sweep.rows) {
    plot.x_min = std::min(plot.x_min, row.frequency_ghz);
    plot.x_max = std::max(plot.x_max, row.frequency_ghz);
    for (const double db : {row.gain_db, row.uniform_db}) {
      if (!std::isfinite(db)) continue;
      plot.y_min = std::min(plot.y_min, db);
      plot.y_max = std::max(plot.y_max, db);
    }
  }
  // Whole decibels around the curves, at least 3 dB below the peak shown
  plot.y_max = std::ceil(plot.y_max + 0.5);
  plot.y_min = std::floor(std::min(plot.y_min, sweep.figures.peak_gain_db - 3.0) - 0.5);
  if (!(plot.x_max > plot.x_min)) plot.x_max = plot.x_min + 1.0;

  std::string svg = DocumentHead(kWidth, plot.top + plot.height + 70.0, title);
  svg += "<text x=\"" + Fixed(kLeft) + "\" y=\"22\" font-size=\"15\" font-weight=\"bold\">" +
         Escaped(title) + "</text>\n";
  const optics::SweepFigures& f = sweep.figures;
  std::string band = "beyond the sweep";
  if (const std::optional<double> width = f.band_1db.WidthPercent()) {
    band = Label(std::round(*width * 100.0) / 100.0) + " %";
  }
  svg += "<text x=\"" + Fixed(kLeft) + "\" y=\"40\">peak gain " +
         Label(std::round(f.peak_gain_db * 100.0) / 100.0) + " dBi at " +
         Label(std::round(f.peak_frequency * 1000.0) / 1000.0) + " GHz, 1 dB gain bandwidth " +
         Escaped(band) + "</text>\n";
  svg += Heading(plot.top - 6.0,
                 "Gain against frequency (shaded: the 1 dB gain band; dashed: the uniform "
                 "aperture, (pi D/lambda)^2)");
  svg += plot.Axes("frequency (GHz)", "gain (dBi)");

  // The 1 dB band, shaded between its edges where both are found
  if (f.band_1db.lower && f.band_1db.upper) {
    svg += "<rect x=\"" + Fixed(plot.X(*f.band_1db.lower)) + "\" y=\"" + Fixed(plot.top) +
           "\" width=\"" + Fixed(plot.X(*f.band_1db.upper) - plot.X(*f.band_1db.lower)) +
           "\" height=\"" + Fixed(plot.height) + "\" fill=\"" + std::string(kLensFill) +
           "\" opacity=\"0.6\"/>\n";
  }
  for (const bool uniform : {true, false}) {
    svg += std::string("<polyline fill=\"none\" stroke=\"") +
           (uniform ? "#888\" stroke-dasharray=\"5 4" : std::string(kLensStroke)) +
           "\" stroke-width=\"1.5\" points=\"";
    for (const SweepRow& row : sweep.rows) {
      const double db = uniform ? row.uniform_db : row.gain_db;
      svg += plot.At(row.frequency_ghz, std::clamp(std::isfinite(db) ? db : plot.y_min,
                                                   plot.y_min, plot.y_max)) +
             " ";
    }
    svg += "\"/>\n";
  }
  svg += "<g fill=\"" + std::string(kLensStroke) + "\">\n";
  for (const SweepRow& row : sweep.rows) {
    if (!std::isfinite(row.gain_db)) continue;
    svg += "<circle cx=\"" + Fixed(plot.X(row.frequency_ghz)) + "\" cy=\"" +
           Fixed(plot.Y(std::clamp(row.gain_db, plot.y_min, plot.y_max))) + "\" r=\"2.5\"/>\n";
  }
  svg += "</g>\n</svg>\n";
  return svg;
}

}  // namespace tortool
