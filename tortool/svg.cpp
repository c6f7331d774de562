#include "tortool/svg.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "tortool/svg_text.h"

namespace tortool {

using torfile::BezierControls;
using torfile::Box;
using torfile::CubicSegment;
using torfile::CubicThrough;
using torfile::IsZoneStep;
using torfile::kListedProblems;
using torfile::LinearSegment;
using torfile::Mesh;
using torfile::Node;
using torfile::NodePoint;
using torfile::Outline;
using torfile::OutlineProblem;
using torfile::Piece;
using torfile::PieceKind;
using torfile::PlaceOf;
using torfile::Point;
using torfile::Side;
using torfile::Summarize;
using torfile::Summary;
using torfile::UnitName;
namespace {

/// Largest plot area in pixels, and the margins that hold axes and captions.
constexpr double kPlotMax = 680.0;
constexpr double kLeft = 70.0;
constexpr double kRight = 30.0;
/// Narrowest picture, so that the captions fit beside a thin lens.
constexpr double kMinWidth = 560.0;
constexpr double kTop = 50.0;
constexpr double kBottom = 70.0;
/// The most ticks drawn along an axis.
constexpr int kMostTicks = 14;

constexpr std::string_view kStepStroke = "#c0392b";
constexpr std::string_view kRimStroke = "#2e7d32";
constexpr std::string_view kProblemStroke = "#d50000";
/// Height of one line of the list of problems.
constexpr double kLegendLine = 16.0;

/// Maps lens coordinates to pixels; `mirror` draws the half below the axis.
struct View {
  double z0 = 0.0;
  double r_top = 0.0;
  double scale = 1.0;

  double X(double z) const { return kLeft + (z - z0) * scale; }
  double Y(double r) const { return kTop + (r_top - r) * scale; }
  std::string At(Point p, bool mirror) const {
    return Fixed(X(p.z)) + " " + Fixed(Y(mirror ? -p.r : p.r));
  }
};

/// Path commands along a face from its axis node out (or back in).
void AppendSide(const Mesh& file, const Side& side, bool outward, bool mirror, const View& v,
                std::string* d) {
  std::vector<Piece> pieces = side.pieces;
  if (!outward) {
    std::reverse(pieces.begin(), pieces.end());
    for (Piece& p : pieces) p = p.Reversed();
  }
  for (const Piece& p : pieces) {
    if (p.kind == PieceKind::kLinear) {
      *d += " L " + v.At(NodePoint(file, p.Last()), mirror);
      continue;
    }
    const std::array<Point, 4> c =
        BezierControls({NodePoint(file, p.nodes[0]), NodePoint(file, p.nodes[1]),
                        NodePoint(file, p.nodes[2]), NodePoint(file, p.nodes[3])});
    *d += " C " + v.At(c[1], mirror) + " " + v.At(c[2], mirror) + " " + v.At(c[3], mirror);
  }
}

/// The cross-section of one half. The path is left open so that the line
/// along the axis, where the halves meet, is filled but not stroked.
std::string HalfPath(const Mesh& file, const Outline& outline, bool mirror, const View& v) {
  std::string d = "M " + v.At(NodePoint(file, outline.feed.axis_node), mirror);
  AppendSide(file, outline.feed, true, mirror, v, &d);
  d += " L " + v.At(NodePoint(file, outline.radiation.edge_node), mirror);
  AppendSide(file, outline.radiation, false, mirror, v, &d);
  return d;
}

std::string Line(const View& v, Point a, Point b, bool mirror, std::string_view extra) {
  return "<line x1=\"" + Fixed(v.X(a.z)) + "\" y1=\"" + Fixed(v.Y(mirror ? -a.r : a.r)) +
         "\" x2=\"" + Fixed(v.X(b.z)) + "\" y2=\"" + Fixed(v.Y(mirror ? -b.r : b.r)) + "\"" +
         std::string(extra) + "/>\n";
}

/// The layout of a drawing: the view, the plot area and the picture's size.
struct Frame {
  View v;
  double z_span = 0.0;
  double r_span = 0.0;
  double plot_w = 0.0;
  double plot_h = 0.0;
  double width = 0.0;
  double height = 0.0;
};

/// A frame for z from `z_lo` to `z_hi` and r up to `r_max` either side of the
/// axis, with a little room around, and `extra` pixels below for a legend.
Frame MakeFrame(double z_lo, double z_hi, double r_max, double extra) {
  Frame f;
  double pad = 0.05 * std::max(z_hi - z_lo, 2.0 * r_max);
  if (!(pad > 0.0)) pad = 1.0;  // everything at one point
  f.v.z0 = z_lo - pad;
  f.v.r_top = r_max + pad;
  f.z_span = (z_hi + pad) - f.v.z0;
  f.r_span = 2.0 * f.v.r_top;
  f.v.scale = kPlotMax / std::max(f.z_span, f.r_span);
  f.plot_w = f.z_span * f.v.scale;
  f.plot_h = f.r_span * f.v.scale;
  f.width = std::max(kLeft + f.plot_w + kRight, kMinWidth);
  f.height = kTop + f.plot_h + kBottom + extra;
  return f;
}

/// The head of the document and the title over the picture.
std::string Head(const Frame& f, std::string_view title) {
  std::string svg = DocumentHead(f.width, f.height, title);
  svg += "<text x=\"" + Fixed(kLeft) + "\" y=\"20\" font-size=\"14\" font-weight=\"bold\">" +
         Escaped(title) + "</text>\n";
  return svg;
}

/// The plot area, the lens axis dash-dotted, ticks along the bottom (z) and
/// the left (r), and the names of the axes.
std::string Axes(const Frame& f, const std::string& unit) {
  const View& v = f.v;
  const double x0 = kLeft;
  const double x1 = kLeft + f.plot_w;
  const double y0 = kTop;
  const double y1 = kTop + f.plot_h;
  std::string svg;
  svg += "<g stroke=\"#888\" fill=\"none\">\n";
  svg += "<rect x=\"" + Fixed(x0) + "\" y=\"" + Fixed(y0) + "\" width=\"" + Fixed(f.plot_w) +
         "\" height=\"" + Fixed(f.plot_h) + "\"/>\n";
  svg += "<line x1=\"" + Fixed(x0) + "\" y1=\"" + Fixed(v.Y(0.0)) + "\" x2=\"" + Fixed(x1) +
         "\" y2=\"" + Fixed(v.Y(0.0)) + "\" stroke-dasharray=\"12 3 2 3\"/>\n";
  svg += "</g>\n";
  std::string ticks;
  std::string labels;
  const double z_step = TickStep(f.z_span);
  const double z_first = std::ceil(v.z0 / z_step) * z_step;
  for (int i = 0; i <= kMostTicks; ++i) {
    const double z = z_first + i * z_step;
    if (v.X(z) > x1 + 0.01) break;
    ticks += "<line x1=\"" + Fixed(v.X(z)) + "\" y1=\"" + Fixed(y1) + "\" x2=\"" + Fixed(v.X(z)) +
             "\" y2=\"" + Fixed(y1 + 5.0) + "\"/>\n";
    labels += "<text x=\"" + Fixed(v.X(z)) + "\" y=\"" + Fixed(y1 + 18.0) +
              "\" text-anchor=\"middle\">" + Label(z) + "</text>\n";
  }
  const double r_step = TickStep(f.r_span);
  const double r_first = std::ceil(-v.r_top / r_step) * r_step;
  for (int i = 0; i <= kMostTicks; ++i) {
    const double r = r_first + i * r_step;
    if (v.Y(r) < y0 - 0.01) break;
    ticks += "<line x1=\"" + Fixed(x0 - 5.0) + "\" y1=\"" + Fixed(v.Y(r)) + "\" x2=\"" + Fixed(x0) +
             "\" y2=\"" + Fixed(v.Y(r)) + "\"/>\n";
    labels += "<text x=\"" + Fixed(x0 - 8.0) + "\" y=\"" + Fixed(v.Y(r) + 4.0) +
              "\" text-anchor=\"end\">" + Label(r) + "</text>\n";
  }
  svg += "<g stroke=\"#888\">\n" + ticks + "</g>\n";
  svg += "<g fill=\"#333\">\n" + labels;
  svg += "<text x=\"" + Fixed((x0 + x1) / 2.0) + "\" y=\"" + Fixed(y1 + 36.0) +
         "\" text-anchor=\"middle\">z (" + unit + "), along the lens axis</text>\n";
  svg += "<text x=\"16\" y=\"" + Fixed((y0 + y1) / 2.0) +
         "\" text-anchor=\"middle\" transform=\"rotate(-90 16 " + Fixed((y0 + y1) / 2.0) +
         ")\">r (" + unit + ")</text>\n";
  svg += "</g>\n";
  return svg;
}

/// The feed at the origin.
std::string Feed(const View& v) {
  std::string svg;
  svg += "<g fill=\"#e67e22\" stroke=\"#7e3f06\">\n";
  svg += "<circle cx=\"" + Fixed(v.X(0.0)) + "\" cy=\"" + Fixed(v.Y(0.0)) + "\" r=\"5\"/>\n";
  svg += "</g>\n";
  svg += "<text x=\"" + Fixed(v.X(0.0) + 8.0) + "\" y=\"" + Fixed(v.Y(0.0) - 8.0) +
         "\" fill=\"#7e3f06\">feed</text>\n";
  return svg;
}

}  // namespace

std::string RenderSvg(const Mesh& file, const Outline& outline, std::string_view title) {
  const Summary s = Summarize(file, outline);
  const std::string unit(UnitName(file.unit));

  // Extent: the lens and the feed at the origin
  const Frame f = MakeFrame(std::min(0.0, s.z_min), std::max(0.0, s.z_max), s.lens_radius, 0.0);
  const View& v = f.v;
  const double x0 = kLeft;
  const double y1 = kTop + f.plot_h;
  std::string svg = Head(f, title);
  svg += "<text x=\"" + Fixed(kLeft) + "\" y=\"38\">lens radius " + Label(s.lens_radius) + " " +
         unit + ", thickness on the axis " + Label(s.axis_thickness) + " " + unit + ", " +
         std::to_string(s.feed_steps + s.radiation_steps) +
         (s.feed_steps + s.radiation_steps == 1 ? " zone step" : " zone steps") +
         (s.knife_edge ? ", knife edge" : "") + "</text>\n";
  svg += Axes(f, unit);

  // The cross-section, both halves
  svg += "<g fill=\"" + std::string(kLensFill) + "\" stroke=\"" + std::string(kLensStroke) +
         "\" stroke-width=\"1.5\" stroke-linejoin=\"round\">\n";
  for (const bool mirror : {false, true}) {
    svg += "<path d=\"" + HalfPath(file, outline, mirror, v) + "\"/>\n";
  }
  svg += "</g>\n";

  // Zone steps and the rim
  std::string steps;
  for (const Side* side : {&outline.feed, &outline.radiation}) {
    for (const Piece& p : side->pieces) {
      if (!IsZoneStep(file, p)) continue;
      for (const bool mirror : {false, true}) {
        steps += Line(v, NodePoint(file, p.First()), NodePoint(file, p.Last()), mirror, "");
      }
    }
  }
  svg += "<g stroke=\"" + std::string(kStepStroke) +
         "\" stroke-width=\"2.5\" stroke-linecap=\"round\">\n" + steps + "</g>\n";
  svg += "<g stroke=\"" + std::string(kRimStroke) +
         "\" stroke-width=\"2.5\" stroke-linecap=\"round\">\n";
  for (const bool mirror : {false, true}) {
    const Point a = NodePoint(file, outline.feed.edge_node);
    const Point b = NodePoint(file, outline.radiation.edge_node);
    if (s.knife_edge) {
      // A dot where the faces meet
      svg += "<circle cx=\"" + Fixed(v.X(a.z)) + "\" cy=\"" + Fixed(v.Y(mirror ? -a.r : a.r)) +
             "\" r=\"3.5\" fill=\"" + std::string(kRimStroke) + "\" stroke=\"none\"/>\n";
    } else {
      svg += Line(v, a, b, mirror, "");
    }
  }
  svg += "</g>\n";

  svg += Feed(v);

  // Legend
  const double ly = y1 + 56.0;
  svg += "<g font-size=\"11\" fill=\"#333\">\n";
  svg += "<line x1=\"" + Fixed(x0) + "\" y1=\"" + Fixed(ly - 4.0) + "\" x2=\"" + Fixed(x0 + 24.0) +
         "\" y2=\"" + Fixed(ly - 4.0) + "\" stroke=\"" + std::string(kStepStroke) +
         "\" stroke-width=\"2.5\"/>\n";
  svg += "<text x=\"" + Fixed(x0 + 30.0) + "\" y=\"" + Fixed(ly) + "\">zone step</text>\n";
  svg += "<line x1=\"" + Fixed(x0 + 110.0) + "\" y1=\"" + Fixed(ly - 4.0) + "\" x2=\"" +
         Fixed(x0 + 134.0) + "\" y2=\"" + Fixed(ly - 4.0) + "\" stroke=\"" +
         std::string(kRimStroke) + "\" stroke-width=\"2.5\"/>\n";
  svg += "<text x=\"" + Fixed(x0 + 140.0) + "\" y=\"" + Fixed(ly) + "\">" +
         (s.knife_edge ? "knife edge" : "rim") + "</text>\n";
  svg += "</g>\n";
  svg += "</svg>\n";
  return svg;
}

std::string RenderProblemSvg(const Mesh& file, const std::vector<OutlineProblem>& errors,
                             std::string_view title) {
  const std::string unit(UnitName(file.unit));
  const std::size_t listed = std::min(errors.size(), kListedProblems);
  const bool more = errors.size() > listed;

  // The segments that can be drawn, as cubics through their nodes
  std::vector<std::array<Point, 4>> curves;
  std::vector<std::array<Point, 2>> lines;
  for (const LinearSegment& l : file.linear) {
    const std::optional<Point> a = PlaceOf(file, l.nodes[0]);
    const std::optional<Point> b = PlaceOf(file, l.nodes[1]);
    if (a && b) lines.push_back({*a, *b});
  }
  for (const CubicSegment& c : file.cubic) {
    if (std::all_of(c.nodes.begin(), c.nodes.end(),
                    [&file](int32_t k) { return PlaceOf(file, k).has_value(); })) {
      curves.push_back({NodePoint(file, c.nodes[0]), NodePoint(file, c.nodes[1]),
                        NodePoint(file, c.nodes[2]), NodePoint(file, c.nodes[3])});
    }
  }

  // Extent: every node, the curves, the marked places and the feed
  Box box;
  box.Add(Point{0.0, 0.0});
  for (const Node& n : file.nodes) box.Add(Point{n.z, n.r});
  for (const auto& c : curves) box.Add(CubicThrough(c));
  for (std::size_t i = 0; i < listed; ++i) {
    if (errors[i].where) box.Add(*errors[i].where);
  }
  const double legend = kLegendLine * static_cast<double>(listed + (more ? 1 : 0));
  Frame f = MakeFrame(box.z_min, box.z_max, std::max(box.r_max, -box.r_min), legend);
  // Wide enough for the longest line of the list, at about 6 pixels a character
  for (std::size_t i = 0; i < listed; ++i) {
    const double chars = static_cast<double>(errors[i].message.size() + 30);
    f.width = std::max(f.width, kLeft + 6.0 * chars + kRight);
  }
  const View& v = f.v;
  const double x0 = kLeft;
  const double y1 = kTop + f.plot_h;
  std::string svg = Head(f, title);
  svg += "<text x=\"" + Fixed(kLeft) + "\" y=\"38\" fill=\"" + std::string(kProblemStroke) +
         "\">the lens outline fails the checks: " + std::to_string(errors.size()) +
         (errors.size() == 1 ? " problem" : " problems") + "</text>\n";
  svg += Axes(f, unit);

  // The segments, both halves, unfilled
  svg += "<g fill=\"none\" stroke=\"" + std::string(kLensStroke) +
         "\" stroke-width=\"1.5\" stroke-linecap=\"round\">\n";
  for (const bool mirror : {false, true}) {
    for (const auto& l : lines) svg += Line(v, l[0], l[1], mirror, "");
    for (const auto& c : curves) {
      const std::array<Point, 4> b = BezierControls(c);
      svg += "<path d=\"M " + v.At(b[0], mirror) + " C " + v.At(b[1], mirror) + " " +
             v.At(b[2], mirror) + " " + v.At(b[3], mirror) + "\"/>\n";
    }
  }
  svg += "</g>\n";
  svg += Feed(v);

  // Each place with a problem: a circle, and the numbers of its problems
  // ("3, 5" or "1-20" when several lie there)
  struct Mark {
    double x = 0.0;
    double y = 0.0;
    std::vector<std::size_t> numbers;
  };
  std::vector<Mark> marks;
  for (std::size_t i = 0; i < listed; ++i) {
    if (!errors[i].where) continue;
    const double x = v.X(errors[i].where->z);
    const double y = v.Y(errors[i].where->r);
    auto same = std::find_if(marks.begin(), marks.end(), [x, y](const Mark& m) {
      return std::fabs(m.x - x) < 6.0 && std::fabs(m.y - y) < 6.0;
    });
    if (same == marks.end()) same = marks.insert(marks.end(), Mark{x, y, {}});
    same->numbers.push_back(i + 1);
  }
  std::string circles;
  std::string numbers;
  for (const Mark& m : marks) {
    circles += "<circle cx=\"" + Fixed(m.x) + "\" cy=\"" + Fixed(m.y) + "\" r=\"9\"/>\n";
    std::string label;
    for (std::size_t k = 0; k < m.numbers.size();) {
      std::size_t run = k;
      while (run + 1 < m.numbers.size() && m.numbers[run + 1] == m.numbers[run] + 1) ++run;
      label += (label.empty() ? "" : ", ") + std::to_string(m.numbers[k]) +
               (run > k ? "-" + std::to_string(m.numbers[run]) : "");
      k = run + 1;
    }
    numbers += "<text x=\"" + Fixed(m.x + 11.0) + "\" y=\"" + Fixed(m.y - 9.0) + "\">" + label +
               "</text>\n";
  }
  svg += "<g fill=\"none\" stroke=\"" + std::string(kProblemStroke) + "\" stroke-width=\"2\">\n" +
         circles + "</g>\n";
  svg += "<g fill=\"" + std::string(kProblemStroke) + "\" font-weight=\"bold\">\n" + numbers +
         "</g>\n";

  // The list of problems
  svg += "<g font-size=\"11\" fill=\"#333\">\n";
  double y = y1 + 56.0;
  for (std::size_t i = 0; i < listed; ++i) {
    const OutlineProblem& e = errors[i];
    svg += "<text x=\"" + Fixed(x0) + "\" y=\"" + Fixed(y) + "\">" + std::to_string(i + 1) + ")" +
           (e.line > 0 ? " line " + std::to_string(e.line) + ": " : " ") + Escaped(e.message) +
           (e.where ? "" : " (not marked: no single place)") + "</text>\n";
    y += kLegendLine;
  }
  if (more) {
    const std::size_t rest = errors.size() - listed;
    svg += "<text x=\"" + Fixed(x0) + "\" y=\"" + Fixed(y) + "\">and " + std::to_string(rest) +
           (rest == 1 ? " more problem" : " more problems") + "</text>\n";
  }
  svg += "</g>\n";
  svg += "</svg>\n";
  return svg;
}

}  // namespace tortool
