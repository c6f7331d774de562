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
/// The edge ray runs this much (relative) inside the lens edge.
constexpr double kEdgeInset = 1e-6;
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
    // The edge ray is taken a hair inside the edge, where it meets the lens
    // instead of grazing the edge node (a knife edge) and counting as missed
    ray.theta = trace.edge_angle * i / (rays - 1) * (i + 1 == rays ? 1.0 - kEdgeInset : 1.0);
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
    ray.path_to_exit = in->t + n * out->t;
    ray.fate = RayFate::kTransmitted;
    trace.rays.push_back(ray);
  }
  return trace;
}

}  // namespace optics
