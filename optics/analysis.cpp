#include "optics/analysis.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <cstdio>
#include <numbers>
#include <utility>

namespace optics {

using torfile::Box;
using torfile::Cubic;
using torfile::IsZoneStep;
using torfile::Mesh;
using torfile::Node;
using torfile::NodePoint;
using torfile::Outline;
using torfile::OutlinePolygon;
using torfile::Piece;
using torfile::PieceCubic;
using torfile::PieceKind;
using torfile::Point;
using torfile::Summarize;
using torfile::Summary;
namespace {

constexpr double kPi = std::numbers::pi;

/// Rays are started this far (relative to the lens size) past the point
/// they leave, so that the face just crossed is not found again.
constexpr double kRestart = 1e-9;
/// Pieces shorter than this (relative) are left out of the trace.
constexpr double kDegenerate = 1e-12;
/// Leaves of the bounding-box tree hold at most this many pieces.
constexpr std::size_t kLeafPieces = 4;

enum class SurfaceKind { kFace, kStep, kRim };

/// One piece of the outline as the trace sees it: a cubic in power form (a
/// straight piece has no quadratic or cubic term).
struct Surface {
  Cubic curve;
  SurfaceKind kind = SurfaceKind::kFace;
  int32_t zone = -1;  // zone steps between the piece and the axis along its face
};

struct Hit {
  double t = 0.0;  // distance along the ray
  Point point;
  Point normal;  // unit, either side
  SurfaceKind kind = SurfaceKind::kFace;
  int32_t zone = -1;
};

double Dot(Point a, Point b) { return a.z * b.z + a.r * b.r; }

Point Tangent(const Cubic& c, double s) {
  return {c.z[1] + s * (2.0 * c.z[2] + s * 3.0 * c.z[3]),
          c.r[1] + s * (2.0 * c.r[2] + s * 3.0 * c.r[3])};
}

/// Roots of a s^2 + b s + c in (0, 1), ascending.
std::vector<double> QuadraticRootsInUnit(double a, double b, double c) {
  std::vector<double> roots;
  auto keep = [&roots](double s) {
    if (s > 0.0 && s < 1.0) roots.push_back(s);
  };
  const double size = std::fabs(a) + std::fabs(b) + std::fabs(c);
  if (size == 0.0) return roots;
  if (std::fabs(a) <= 1e-14 * size) {
    if (b != 0.0) keep(-c / b);
  } else {
    const double disc = b * b - 4.0 * a * c;
    if (disc < 0.0) return roots;
    const double q = -0.5 * (b + std::copysign(std::sqrt(disc), b));
    keep(q / a);
    if (q != 0.0) keep(c / q);
  }
  std::sort(roots.begin(), roots.end());
  return roots;
}

/// The outline, indexed by a tree of bounding boxes over runs of
/// neighbouring pieces, so that a ray visits only the pieces near its path.
class Scene {
 public:
  Scene(std::vector<Surface> surfaces, double scale) : surfaces_(std::move(surfaces)) {
    tolerance_ = 1e-12 * scale;
    pad_ = 1e-9 * scale;
    if (!surfaces_.empty()) Build(0, surfaces_.size());
  }

  /// The first crossing of the ray o + t d (d a unit vector) with the
  /// outline or its mirror image below the axis, for t > t_min.
  std::optional<Hit> FirstHit(Point o, Point d, double t_min) const {
    std::optional<Hit> best;
    for (const bool mirror : {false, true}) {
      const Point mo{o.z, mirror ? -o.r : o.r};
      const Point md{d.z, mirror ? -d.r : d.r};
      std::optional<Hit> h;
      if (!nodes_.empty()) Search(0, mo, md, t_min, &h, best ? best->t : HUGE_VAL);
      if (h && (!best || h->t < best->t)) {
        if (mirror) {
          h->point.r = -h->point.r;
          h->normal.r = -h->normal.r;
        }
        best = h;
      }
    }
    return best;
  }

 private:
  struct Node {
    Box box;
    std::size_t first = 0;
    std::size_t count = 0;  // pieces of a leaf; 0 for an inner node
    std::size_t left = 0;
    std::size_t right = 0;
  };

  std::size_t Build(std::size_t first, std::size_t count) {
    const std::size_t index = nodes_.size();
    nodes_.emplace_back();
    Box box;
    for (std::size_t i = first; i < first + count; ++i) box.Add(surfaces_[i].curve);
    if (count <= kLeafPieces) {
      nodes_[index].first = first;
      nodes_[index].count = count;
    } else {
      const std::size_t half = count / 2;
      const std::size_t left = Build(first, half);
      const std::size_t right = Build(first + half, count - half);
      nodes_[index].left = left;
      nodes_[index].right = right;
    }
    nodes_[index].box = box;
    return index;
  }

  /// True when the ray meets the box (padded) between t_min and t_max.
  bool Meets(const Box& b, Point o, Point d, double t_min, double t_max) const {
    const std::array<std::array<double, 4>, 2> axes{
        {{b.z_min - pad_, b.z_max + pad_, o.z, d.z}, {b.r_min - pad_, b.r_max + pad_, o.r, d.r}}};
    for (const auto& [lo, hi, origin, dir] : axes) {
      if (dir == 0.0) {
        if (origin < lo || origin > hi) return false;
        continue;
      }
      double t0 = (lo - origin) / dir;
      double t1 = (hi - origin) / dir;
      if (t0 > t1) std::swap(t0, t1);
      t_min = std::max(t_min, t0);
      t_max = std::min(t_max, t1);
      if (t_min > t_max) return false;
    }
    return true;
  }

  void Search(std::size_t index, Point o, Point d, double t_min, std::optional<Hit>* best,
              double t_max) const {
    const Node& node = nodes_[index];
    if (!Meets(node.box, o, d, t_min, t_max)) return;
    if (node.count == 0) {
      Search(node.left, o, d, t_min, best, t_max);
      Search(node.right, o, d, t_min, best, *best ? (*best)->t : t_max);
      return;
    }
    for (std::size_t i = node.first; i < node.first + node.count; ++i) {
      Intersect(surfaces_[i], o, d, t_min, best);
    }
  }

  /// Every crossing of the ray with one piece: the roots in [0, 1] of
  /// f(s) = m · (p(s) - o), m normal to the ray. The roots of f' split
  /// [0, 1] into stretches where f is monotonic; each stretch whose ends
  /// differ in sign holds one root, found by bisection, and an end where f
  /// vanishes (within the tolerance) is a grazing hit.
  void Intersect(const Surface& sf, Point o, Point d, double t_min,
                 std::optional<Hit>* best) const {
    const Cubic& c = sf.curve;
    const Point m{-d.r, d.z};
    std::array<double, 4> a{};
    for (std::size_t k = 0; k < 4; ++k) a[k] = m.z * c.z[k] + m.r * c.r[k];
    a[0] -= Dot(m, o);
    auto f = [&a](double s) { return a[0] + s * (a[1] + s * (a[2] + s * a[3])); };

    std::vector<double> breaks{0.0};
    for (const double s : QuadraticRootsInUnit(3.0 * a[3], 2.0 * a[2], a[1])) breaks.push_back(s);
    breaks.push_back(1.0);

    auto consider = [&](double s) {
      const Point p = c.At(s);
      const double t = Dot(d, Point{p.z - o.z, p.r - o.r});
      if (t <= t_min || (*best && t >= (*best)->t)) return;
      Point tangent = Tangent(c, s);
      if (std::hypot(tangent.z, tangent.r) == 0.0)
        tangent = Tangent(c, s < 0.5 ? s + 1e-6 : s - 1e-6);
      const double length = std::hypot(tangent.z, tangent.r);
      Hit h;
      h.t = t;
      h.point = p;
      h.normal = {-tangent.r / length, tangent.z / length};
      h.kind = sf.kind;
      h.zone = sf.zone;
      *best = h;
    };
    for (std::size_t i = 0; i + 1 < breaks.size(); ++i) {
      double lo = breaks[i];
      double hi = breaks[i + 1];
      double f_lo = f(lo);
      const double f_hi = f(hi);
      if (std::fabs(f_lo) <= tolerance_) consider(lo);
      if (i + 2 == breaks.size() && std::fabs(f_hi) <= tolerance_) consider(hi);
      if (!((f_lo < 0.0 && f_hi > 0.0) || (f_lo > 0.0 && f_hi < 0.0))) continue;
      for (int k = 0; k < 200 && hi - lo > 1e-16; ++k) {
        const double mid = 0.5 * (lo + hi);
        const double f_mid = f(mid);
        if (f_mid == 0.0) {
          lo = hi = mid;
          break;
        }
        if ((f_mid < 0.0) == (f_lo < 0.0)) {
          lo = mid;
          f_lo = f_mid;
        } else {
          hi = mid;
        }
      }
      consider(0.5 * (lo + hi));
    }
  }

  std::vector<Surface> surfaces_;
  std::vector<Node> nodes_;
  double tolerance_ = 0.0;
  double pad_ = 0.0;
};

/// Refraction of the unit direction u at a face of unit normal `normal`
/// (either side) from index n1 into n2. Returns nothing under total
/// internal reflection; `cos_incidence` receives cos i.
std::optional<Point> Refract(Point u, Point normal, double n1, double n2, double* cos_incidence) {
  // Turn the normal to face the incoming ray
  if (Dot(normal, u) > 0.0) normal = {-normal.z, -normal.r};
  const double cos_i = std::min(1.0, -Dot(normal, u));
  *cos_incidence = cos_i;
  const double mu = n1 / n2;
  const double k = 1.0 - mu * mu * (1.0 - cos_i * cos_i);
  if (k < 0.0) return std::nullopt;
  const double g = mu * cos_i - std::sqrt(k);
  Point t{mu * u.z + g * normal.z, mu * u.r + g * normal.r};
  const double length = std::hypot(t.z, t.r);
  return Point{t.z / length, t.r / length};
}

/// On the axis a face of revolution is normal to the axis, whatever the
/// rounded nodes say.
Point AxisNormal(const Hit& h, double scale) {
  return std::fabs(h.point.r) <= 1e-12 * scale ? Point{1.0, 0.0} : h.normal;
}

std::vector<Surface> Surfaces(const Mesh& file, const Outline& outline, double scale) {
  // Pieces in order along the outline, each with its zone on its face
  std::vector<std::pair<Piece, int32_t>> pieces;
  int32_t zone = 0;
  for (const Piece& p : outline.feed.pieces) {
    pieces.emplace_back(p, zone);
    if (IsZoneStep(file, p)) ++zone;
  }
  if (outline.rim) pieces.emplace_back(*outline.rim, -1);
  std::vector<std::pair<Piece, int32_t>> radiation;
  zone = 0;
  for (const Piece& p : outline.radiation.pieces) {
    radiation.emplace_back(p.Reversed(), zone);
    if (IsZoneStep(file, p)) ++zone;
  }
  pieces.insert(pieces.end(), radiation.rbegin(), radiation.rend());
  std::vector<Surface> surfaces;
  for (const auto& [p, piece_zone] : pieces) {
    Surface sf;
    sf.zone = piece_zone;
    if (p.kind == PieceKind::kCubic) {
      sf.curve = PieceCubic(file, p);
    } else {
      const Point a = NodePoint(file, p.First());
      const Point b = NodePoint(file, p.Last());
      sf.curve.z = {a.z, b.z - a.z, 0.0, 0.0};
      sf.curve.r = {a.r, b.r - a.r, 0.0, 0.0};
    }
    const Point a = sf.curve.At(0.0);
    const Point m = sf.curve.At(0.5);
    const Point b = sf.curve.At(1.0);
    if (std::hypot(a.z - m.z, a.r - m.r) + std::hypot(m.z - b.z, m.r - b.r) <=
        kDegenerate * scale) {
      continue;
    }
    if (outline.rim && p.segment == outline.rim->segment && p.kind == outline.rim->kind) {
      sf.kind = SurfaceKind::kRim;
    } else if (IsZoneStep(file, p)) {
      sf.kind = SurfaceKind::kStep;
    }
    surfaces.push_back(sf);
  }
  return surfaces;
}

}  // namespace

Fresnel FresnelTransmission(double cos_incidence, double n1, double n2) {
  const double cos_i = std::clamp(cos_incidence, 0.0, 1.0);
  const double sin_t = n1 / n2 * std::sqrt(1.0 - cos_i * cos_i);
  if (sin_t >= 1.0) return {0.0, 0.0};
  const double cos_t = std::sqrt(1.0 - sin_t * sin_t);
  const double rs = (n1 * cos_i - n2 * cos_t) / (n1 * cos_i + n2 * cos_t);
  const double rp = (n2 * cos_i - n1 * cos_t) / (n2 * cos_i + n1 * cos_t);
  return {1.0 - rs * rs, 1.0 - rp * rp};
}

std::optional<double> FeedQForEdgeTaper(double taper_db, double edge_angle) {
  if (!(taper_db >= 0.0) || !(edge_angle > 0.0) || !(edge_angle < 0.5 * kPi)) return std::nullopt;
  const double q = taper_db / (20.0 * std::log10(1.0 / std::cos(edge_angle)));
  if (!std::isfinite(q)) return std::nullopt;
  return q;
}

double FeedPowerBeyond(double q, double theta) {
  if (theta >= 0.5 * kPi) return 0.0;
  if (theta <= 0.0) return 1.0;
  return std::pow(std::cos(theta), 2.0 * q + 1.0);
}

const char* FateName(RayFate fate) {
  switch (fate) {
    case RayFate::kTransmitted:
      return "transmitted";
    case RayFate::kMissed:
      return "missed";
    case RayFate::kBlockedByStep:
      return "zone step";
    case RayFate::kBlockedByRim:
      return "rim";
    case RayFate::kMetLensAgain:
      return "met lens again";
    case RayFate::kTotalReflection:
      return "total reflection";
    case RayFate::kTurnedBack:
      return "turned back";
  }
  return "?";
}

namespace {

/// A length as messages give it: six significant digits.
std::string ShortNumber(double x) {
  std::array<char, 32> buffer{};
  std::snprintf(buffer.data(), buffer.size(), "%.6g", x);
  return buffer.data();
}

}  // namespace

std::optional<Trace> TraceLens(const Mesh& file, const Outline& outline, int32_t rays,
                               std::string* error, double feed_z) {
  const Summary summary = Summarize(file, outline);
  Trace trace;
  trace.index = std::sqrt(file.dielectric);
  trace.lens_radius = summary.lens_radius;
  trace.aperture_z = summary.z_max;
  trace.feed_z = feed_z;
  const double scale = std::max({summary.lens_radius, std::fabs(summary.z_min),
                                 std::fabs(summary.z_max), summary.z_max - summary.z_min});
  if (!std::isfinite(feed_z)) {
    *error = "the feed's place on the axis is not a finite number";
    return std::nullopt;
  }

  // The feed must look at the lens from outside
  const double z_feed_axis = NodePoint(file, outline.feed.axis_node).z;
  const double z_radiation_axis = NodePoint(file, outline.radiation.axis_node).z;
  if (std::min(z_feed_axis, z_radiation_axis) <= feed_z &&
      std::max(z_feed_axis, z_radiation_axis) >= feed_z) {
    *error = feed_z == 0.0 ? "the feed at the origin lies inside the lens or on its surface"
                           : "the feed moved to z = " + ShortNumber(feed_z) +
                                 " lies inside the lens or on its surface";
    return std::nullopt;
  }
  if (!(summary.z_max > feed_z)) {
    *error = feed_z == 0.0 ? "the lens is not in front of the feed (no part of it at z > 0)"
                           : "the lens is not in front of the feed moved to z = " +
                                 ShortNumber(feed_z);
    return std::nullopt;
  }
  if (!(file.dielectric > 0.0)) {
    *error = "the dielectric constant is not positive";
    return std::nullopt;
  }
  for (const Point& p : OutlinePolygon(file, outline, 32)) {
    trace.edge_angle = std::max(trace.edge_angle, std::atan2(p.r, p.z - feed_z));
    trace.origin_edge_angle = std::max(trace.origin_edge_angle, std::atan2(p.r, p.z));
  }
  trace.edge_angle = std::min(trace.edge_angle, 0.5 * kPi);
  trace.origin_edge_angle = std::min(trace.origin_edge_angle, 0.5 * kPi);

  const Scene scene(Surfaces(file, outline, scale), scale);
  const double n = trace.index;
  const double restart = kRestart * scale;
  rays = std::max(rays, 2);
  trace.rays.reserve(static_cast<std::size_t>(rays));
  for (int32_t i = 0; i < rays; ++i) {
    RayRecord ray;
    ray.theta = trace.edge_angle * i / (rays - 1);
    const Point u{std::cos(ray.theta), std::sin(ray.theta)};

    // From the feed to the lens
    const std::optional<Hit> in = scene.FirstHit({feed_z, 0.0}, u, 0.0);
    if (!in) {
      trace.rays.push_back(ray);
      continue;
    }
    ray.entry = in->point;
    ray.exit = in->point;
    ray.entry_zone = in->zone;
    if (in->kind != SurfaceKind::kFace) {
      ray.fate = in->kind == SurfaceKind::kStep ? RayFate::kBlockedByStep : RayFate::kBlockedByRim;
      trace.rays.push_back(ray);
      continue;
    }
    double cos_i = 1.0;
    const std::optional<Point> inside = Refract(u, AxisNormal(*in, scale), 1.0, n, &cos_i);
    ray.entry_face = FresnelTransmission(cos_i, 1.0, n);
    ray.entry_cos = cos_i;

    if (!inside) {
      // Only a dielectric of index below 1 reflects a ray whole on the way in
      ray.fate = RayFate::kTotalReflection;
      trace.rays.push_back(ray);
      continue;
    }

    // Through the dielectric; a closed outline always lets the ray out
    const std::optional<Hit> out = scene.FirstHit(in->point, *inside, restart);
    if (!out) {
      ray.fate = RayFate::kMissed;
      trace.rays.push_back(ray);
      continue;
    }
    ray.exit = out->point;
    ray.exit_zone = out->zone;
    ray.length_in_lens = out->t;
    if (out->kind != SurfaceKind::kFace) {
      ray.fate = out->kind == SurfaceKind::kStep ? RayFate::kBlockedByStep : RayFate::kBlockedByRim;
      trace.rays.push_back(ray);
      continue;
    }
    const std::optional<Point> leaving = Refract(*inside, AxisNormal(*out, scale), n, 1.0, &cos_i);
    ray.exit_face = FresnelTransmission(cos_i, n, 1.0);
    ray.exit_cos = cos_i;
    if (!leaving) {
      ray.fate = RayFate::kTotalReflection;
      trace.rays.push_back(ray);
      continue;
    }
    ray.exit_angle = std::atan2(leaving->r, leaving->z);
    if (std::signbit(out->point.r)) ray.exit_angle = -ray.exit_angle;
    if (!(leaving->z > 0.0)) {
      ray.fate = RayFate::kTurnedBack;
      trace.rays.push_back(ray);
      continue;
    }

    // On to the aperture plane, unless the lens is in the way
    if (scene.FirstHit(out->point, *leaving, restart)) {
      ray.fate = RayFate::kMetLensAgain;
      trace.rays.push_back(ray);
      continue;
    }
    const double to_plane = std::max(0.0, trace.aperture_z - out->point.z) / leaving->z;
    ray.aperture_radius = out->point.r + to_plane * leaving->r;
    ray.optical_path = in->t + n * out->t + to_plane;
    ray.fate = RayFate::kTransmitted;
    trace.rays.push_back(ray);
  }
  return trace;
}

namespace {

/// Least-squares line through (x, y) over [first, last] of the given rays,
/// evaluated at x0: value and slope. A single point gives its value and the
/// `fallback` slope.
std::pair<double, double> LineFit(const std::vector<double>& x, const std::vector<double>& y,
                                  std::size_t first, std::size_t last, double x0, double fallback) {
  const double count = static_cast<double>(last - first + 1);
  double mx = 0.0;
  double my = 0.0;
  for (std::size_t j = first; j <= last; ++j) {
    mx += x[j];
    my += y[j];
  }
  mx /= count;
  my /= count;
  double sxx = 0.0;
  double sxy = 0.0;
  for (std::size_t j = first; j <= last; ++j) {
    sxx += (x[j] - mx) * (x[j] - mx);
    sxy += (x[j] - mx) * (y[j] - my);
  }
  const double slope = sxx > 0.0 ? sxy / sxx : fallback;
  return {my + slope * (x0 - mx), slope};
}

}  // namespace

namespace {

/// The feed's Q: as given, or from the edge taper. Nothing, with `error` set,
/// when the wavelength is not a positive number or no taper can be set.
std::optional<double> FeedQ(const Trace& trace, const AnalysisOptions& options,
                            std::string* error) {
  const double lambda = options.wavelength;
  if (!(lambda > 0.0) || !std::isfinite(lambda)) {
    *error = "the wavelength is not a positive number";
    return std::nullopt;
  }
  if (options.feed_q) return *options.feed_q;
  if (options.feed_pattern) return 0.0;  // not used: the pattern's cuts stand for it
  // The feed keeps the Q it has at the origin when it is moved along the axis
  const std::optional<double> q = FeedQForEdgeTaper(
      options.edge_taper_db, trace.feed_z == 0.0 ? trace.edge_angle : trace.origin_edge_angle);
  if (!q) {
    *error =
        "the lens edge is not in front of the feed, so no edge taper can be set (give --feed-q)";
  }
  return q;
}

/// What a ray's tube carries through the faces at the analysis wavelength:
/// the power transmission of each face for the feed's mix of polarisations
/// (the E plane meets the TM, the H plane the TE transmission), the feed's
/// co-polar share |A + B|²/4 / ((|A|² + |B|²)/2) of the power, and the
/// feed's co-polar phase relative to the axis. The faces' own turning of the
/// polarisation (TE and TM transmitted unequally) is not counted, as for the
/// ideal feed.
struct RayLight {
  double entry = 1.0;
  double exit = 1.0;
  double copolar = 1.0;
  double feed_phase_deg = 0.0;
};

RayLight Illuminate(const RayRecord& ray, const Trace& trace, const AnalysisOptions& options,
                    double axis_phase) {
  Fresnel entry = ray.entry_face;
  Fresnel exit = ray.exit_face;
  if (options.coating) {
    const std::vector<Layer> layer{*options.coating};
    const std::optional<Transmission> in =
        StackTransmission(1.0, layer, trace.index, ray.entry_cos, options.wavelength);
    const std::optional<Transmission> out =
        StackTransmission(trace.index, layer, 1.0, ray.exit_cos, options.wavelength);
    if (in) entry = {in->te, in->tm};
    if (out) exit = {out->te, out->tm};
  }
  if (!options.feed_pattern) return {entry.Mean(), exit.Mean()};

  const PlaneFields f = options.feed_pattern->Fields(ray.theta);
  const double e2 = std::norm(f.e_plane);
  const double h2 = std::norm(f.h_plane);
  if (!(e2 + h2 > 0.0)) return {entry.Mean(), exit.Mean(), 0.0};
  RayLight light;
  const double e_in = e2 * entry.tm;
  const double h_in = h2 * entry.te;
  light.entry = (e_in + h_in) / (e2 + h2);
  light.exit = e_in + h_in > 0.0 ? (e_in * exit.tm + h_in * exit.te) / (e_in + h_in) : 0.0;
  light.copolar = std::norm(f.CoPolar()) / (0.5 * (e2 + h2));
  if (options.feed_pattern->has_phase() && std::abs(f.CoPolar()) > 0.0) {
    light.feed_phase_deg = std::arg(f.CoPolar() * std::polar(1.0, -axis_phase)) * 180.0 / kPi;
  }
  return light;
}

/// The power of each ray tube and where it goes: fig.power, and each ray's
/// feed_power and aperture_power (the co-polar part of what reaches the
/// aperture) and the feed's phase.
void ShareFeedPower(const Trace& trace, const AnalysisOptions& options, Figures& fig) {
  const double lambda = options.wavelength;
  const double q = fig.feed_q;
  const std::vector<RayRecord>& rays = trace.rays;
  const std::size_t count = rays.size();
  auto beyond = [&options, q](double theta) {
    return options.feed_pattern ? options.feed_pattern->PowerBeyond(theta)
                                : FeedPowerBeyond(q, theta);
  };
  const double axis_phase =
      options.feed_pattern ? std::arg(options.feed_pattern->Fields(0.0).CoPolar()) : 0.0;
  PowerShares& power = fig.power;
  power.spilled = beyond(trace.edge_angle);
  for (std::size_t i = 0; i < count; ++i) {
    const RayRecord& ray = rays[i];
    const double lo = i == 0 ? 0.0 : 0.5 * (rays[i - 1].theta + ray.theta);
    const double hi = i + 1 == count ? trace.edge_angle : 0.5 * (ray.theta + rays[i + 1].theta);
    const double p = beyond(lo) - beyond(hi);
    fig.rays[i].feed_power = p;
    if (ray.fate == RayFate::kMissed) {
      power.missed += p;
      continue;
    }
    const bool entered = ray.length_in_lens > 0.0;
    if (!entered) {
      (ray.fate == RayFate::kTotalReflection ? power.reflected : power.blocked) += p;
      continue;
    }
    const RayLight light = Illuminate(ray, trace, options, axis_phase);
    fig.rays[i].feed_phase_deg = light.feed_phase_deg;
    const double t1 = light.entry;
    const double kept =
        std::exp(-2.0 * kPi * trace.index * options.tan_delta * ray.length_in_lens / lambda);
    power.reflected += p * (1.0 - t1);
    power.absorbed += p * t1 * (1.0 - kept);
    const double at_exit = p * t1 * kept;
    switch (ray.fate) {
      case RayFate::kBlockedByStep:
      case RayFate::kBlockedByRim:
        power.blocked += at_exit;
        break;
      case RayFate::kTotalReflection:
        power.reflected += at_exit;
        break;
      default: {
        const double t2 = light.exit;
        power.reflected += at_exit * (1.0 - t2);
        if (ray.fate == RayFate::kTransmitted) {
          power.transmitted += at_exit * t2;
          fig.rays[i].aperture_power = at_exit * t2 * light.copolar;
          fig.copolar_power += fig.rays[i].aperture_power;
        } else {
          power.blocked += at_exit * t2;
        }
      }
    }
  }
}

/// Phase error modulo λ, in (-λ/2, λ/2], of the rays `through` (those that
/// reach the aperture) against the first of them; with its RMS and peak and
/// the largest exit angle of single rays.
void PhaseErrors(const Trace& trace, double lambda, const std::vector<std::size_t>& through,
                 Figures& fig) {
  const std::vector<RayRecord>& rays = trace.rays;
  const double reference = rays[through.front()].optical_path;
  double sum_w = 0.0;
  double sum_e2 = 0.0;
  for (const std::size_t i : through) {
    const double e = rays[i].optical_path - reference;
    const double reduced = e - lambda * std::ceil(e / lambda - 0.5);
    double deg = 360.0 * reduced / lambda;
    if (fig.rays[i].feed_phase_deg != 0.0) {
      // The feed's own phase leads: it takes from the path's lag
      deg -= fig.rays[i].feed_phase_deg;
      deg -= 360.0 * std::ceil(deg / 360.0 - 0.5);
    }
    fig.rays[i].phase_error_deg = deg;
    sum_w += fig.rays[i].aperture_power;
    sum_e2 += fig.rays[i].aperture_power * deg * deg;
    if (std::fabs(deg) > std::fabs(fig.peak_phase_error_deg)) {
      fig.peak_phase_error_deg = deg;
      fig.peak_phase_radius = rays[i].aperture_radius;
    }
    fig.max_raw_exit_angle_deg =
        std::max(fig.max_raw_exit_angle_deg, std::fabs(rays[i].exit_angle) * 180.0 / kPi);
  }
  fig.rms_phase_error_deg = sum_w > 0.0 ? std::sqrt(sum_e2 / sum_w) : 0.0;
}

/// The runs of neighbouring rays a smoothed tube stays within, and the
/// smoothed slope of exit radius against θ at each ray.
struct Tubes {
  std::vector<std::size_t> run_start;
  std::vector<std::size_t> run_end;
  std::vector<double> slope;
};

/// Ray tubes, smoothed. The rays that reach the aperture fall into runs of
/// neighbours that enter and leave in the same zones (a zone step or a
/// blocked ray ends a run). Within a run, the radius at which each ray
/// leaves the lens and its exit angle are replaced by a least-squares line
/// against θ through the rays whose radii lie within half the smoothing
/// width of its own. Tubes are sized where the rays leave the lens and
/// carried along the axis to the aperture plane: exit points keep the
/// file's five digits, while exit directions take the slopes of rounded
/// nodes and, over the distance to the plane, would fold neighbouring
/// tubes. (The path to the plane is traced along each ray; its error from
/// a tilt is of second order.) Sets each ray's smoothed radius and exit
/// angle and the largest smoothed exit angle.
Tubes SmoothTubes(const Trace& trace, const std::vector<std::size_t>& through, Figures& fig) {
  const std::vector<RayRecord>& rays = trace.rays;
  const std::size_t count = rays.size();
  std::vector<double> theta(count);
  std::vector<double> radius(count);
  std::vector<double> angle(count);
  for (std::size_t i = 0; i < count; ++i) {
    theta[i] = rays[i].theta;
    radius[i] = rays[i].exit.r;
    angle[i] = rays[i].exit_angle;
  }
  const RayRecord& first = rays[through.front()];
  const RayRecord& last = rays[through.back()];
  const double mean_slope =
      (last.exit.r - first.exit.r) / std::max(last.theta - first.theta, 1e-300);
  Tubes tubes{std::vector<std::size_t>(count, 0), std::vector<std::size_t>(count, 0),
              std::vector<double>(count, 0.0)};
  for (std::size_t k = 0; k < through.size();) {
    std::size_t m = k;
    while (m + 1 < through.size() && through[m + 1] == through[m] + 1 &&
           rays[through[m + 1]].entry_zone == rays[through[m]].entry_zone &&
           rays[through[m + 1]].exit_zone == rays[through[m]].exit_zone) {
      ++m;
    }
    for (std::size_t j = k; j <= m; ++j) {
      tubes.run_start[through[j]] = through[k];
      tubes.run_end[through[j]] = through[m];
    }
    k = m + 1;
  }
  const double half_width = 0.5 * fig.smoothing_width;
  for (const std::size_t i : through) {
    std::size_t lo = i;
    std::size_t hi = i;
    while (lo > tubes.run_start[i] &&
           (std::fabs(radius[lo - 1] - radius[i]) <= half_width || lo == i)) {
      --lo;
    }
    while (hi < tubes.run_end[i] &&
           (std::fabs(radius[hi + 1] - radius[i]) <= half_width || hi == i)) {
      ++hi;
    }
    const auto [rho, d_rho] = LineFit(theta, radius, lo, hi, theta[i], mean_slope);
    tubes.slope[i] = d_rho;
    if (theta[i] > 0.0) {
      fig.rays[i].smoothed_radius = rho;
      fig.rays[i].smoothed_exit_angle = LineFit(theta, angle, lo, hi, theta[i], 0.0).first;
    }  // else the axial ray, which stays on the axis by symmetry
    fig.max_exit_angle_deg =
        std::max(fig.max_exit_angle_deg, std::fabs(fig.rays[i].smoothed_exit_angle) * 180.0 / kPi);
  }
  return tubes;
}

/// The aperture field: the annuli the tubes land on, with the sum of
/// amplitude times area and the outermost radius reached.
struct ApertureField {
  std::vector<Annulus> annuli;
  double sum_amplitude_area = 0.0;
  double outermost = 0.0;
};

/// The annulus each tube lands on: between the smoothed radii of
/// neighbours, or extrapolated along the smoothed slope at a run's ends.
/// Sets each ray's tube and counts the tubes that fold.
ApertureField LandTubes(const Trace& trace, const std::vector<std::size_t>& through,
                        const Tubes& tubes, Figures& fig) {
  const std::vector<RayRecord>& rays = trace.rays;
  const std::size_t count = rays.size();
  ApertureField field;
  field.outermost = trace.lens_radius;
  for (const std::size_t i : through) {
    RayFigures& rf = fig.rays[i];
    const double theta = rays[i].theta;
    const double lo_angle = i == 0 ? 0.0 : 0.5 * (rays[i - 1].theta + theta);
    const double hi_angle = i + 1 == count ? trace.edge_angle : 0.5 * (theta + rays[i + 1].theta);
    rf.tube_inner = i == 0 ? 0.0
                    : i > tubes.run_start[i]
                        ? 0.5 * (fig.rays[i - 1].smoothed_radius + rf.smoothed_radius)
                        : rf.smoothed_radius - tubes.slope[i] * (theta - lo_angle);
    rf.tube_outer = i < tubes.run_end[i]
                        ? 0.5 * (rf.smoothed_radius + fig.rays[i + 1].smoothed_radius)
                        : rf.smoothed_radius + tubes.slope[i] * (hi_angle - theta);
    double area = kPi * (rf.tube_outer * rf.tube_outer - rf.tube_inner * rf.tube_inner);
    if (rf.tube_outer <= rf.tube_inner) ++fig.folded_tubes;
    area = std::fabs(area);
    if (!(area > 0.0) || !(rf.aperture_power > 0.0)) continue;
    field.outermost =
        std::max({field.outermost, std::fabs(rf.tube_inner), std::fabs(rf.tube_outer)});
    const double amplitude = std::sqrt(rf.aperture_power / area);
    const double phase = -2.0 * kPi * rf.phase_error_deg / 360.0;
    field.annuli.push_back({std::min(rf.tube_inner, rf.tube_outer),
                            std::max(rf.tube_inner, rf.tube_outer), std::polar(amplitude, phase)});
    field.sum_amplitude_area += amplitude * area;
  }
  return field;
}

/// Directivity on the axis and the efficiency budget, then the beam and the
/// pattern over about ten beamwidths.
void BudgetAndBeam(const ApertureField& field, const AnalysisOptions& options, Figures& fig) {
  const double lambda = options.wavelength;
  const double outermost = field.outermost;
  const double sum_amplitude_area = field.sum_amplitude_area;
  const PowerShares& power = fig.power;
  fig.aperture_radius = outermost;
  const RadiationIntegral pattern(field.annuli, lambda);
  fig.directivity = pattern.Directivity(0.0, 1.0);
  const double aperture_area = kPi * outermost * outermost;
  fig.uniform_directivity = 4.0 * kPi * aperture_area / (lambda * lambda);
  Efficiencies& eff = fig.efficiency;
  const double t = power.transmitted;
  const double ta = t + power.absorbed;
  const double tar = ta + power.reflected;
  const double tarb = tar + power.blocked;
  eff.spillover = tarb;
  eff.blockage = tarb > 0.0 ? tar / tarb : 0.0;
  eff.reflection = tar > 0.0 ? ta / tar : 0.0;
  eff.dielectric = ta > 0.0 ? t / ta : 0.0;
  // A measured feed puts only the co-polar part of the power into the beam
  const double beam_power = options.feed_pattern ? fig.copolar_power : t;
  eff.cross_polar = options.feed_pattern ? (t > 0.0 ? beam_power / t : 0.0) : 1.0;
  eff.taper = beam_power > 0.0
                  ? sum_amplitude_area * sum_amplitude_area / (aperture_area * beam_power)
                  : 0.0;
  const double in_phase = std::norm(pattern.Field(0.0));
  eff.phase = sum_amplitude_area > 0.0 ? in_phase / (sum_amplitude_area * sum_amplitude_area) : 0.0;
  eff.aperture = fig.directivity / fig.uniform_directivity;

  if (!options.beam) return;
  const double diameter = 2.0 * outermost;
  fig.beam = FindBeam(pattern, diameter, lambda);
  const double theta_max = std::asin(std::min(1.0, 10.0 * lambda / diameter)) * 180.0 / kPi;
  fig.pattern = SamplePattern(pattern, theta_max, options.pattern_angles);
}

}  // namespace

std::optional<Figures> ComputeFigures(const Trace& trace, const AnalysisOptions& options,
                                      std::string* error) {
  const std::optional<double> q = FeedQ(trace, options, error);
  if (!q) return std::nullopt;
  Figures fig;
  fig.feed_q = *q;
  const std::size_t count = trace.rays.size();
  fig.rays.resize(count);
  // Half a wavelength, but never fewer than about ten rays: with many zones
  // at a short wavelength the rounded nodes tilt single rays more than the
  // rays are apart
  fig.smoothing_width =
      std::max(0.5 * options.wavelength,
               10.0 * trace.lens_radius / static_cast<double>(std::max<std::size_t>(count, 1)));

  // Power of each ray tube, and where it goes
  ShareFeedPower(trace, options, fig);

  // Rays that reach the aperture
  std::vector<std::size_t> through;
  for (std::size_t i = 0; i < count; ++i) {
    if (trace.rays[i].fate == RayFate::kTransmitted) through.push_back(i);
  }
  fig.transmitted_rays = static_cast<int32_t>(through.size());
  if (through.size() < 2) {
    *error = through.empty() ? "no ray from the feed gets through the lens"
                             : "only one ray from the feed gets through the lens";
    return std::nullopt;
  }

  PhaseErrors(trace, options.wavelength, through, fig);
  const Tubes tubes = SmoothTubes(trace, through, fig);
  const ApertureField field = LandTubes(trace, through, tubes, fig);
  BudgetAndBeam(field, options, fig);
  return fig;
}

}  // namespace optics
