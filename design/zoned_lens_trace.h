#ifndef KEVRANO_DESIGN_ZONED_LENS_TRACE_H_
#define KEVRANO_DESIGN_ZONED_LENS_TRACE_H_

// Test support: traces feed rays through the outline of a zoned lens, in the
// meridional plane and in double precision, and measures the phase error
// they carry to a plane across the aperture.
//
// Rays leave the feed at the origin at angles up to the lens edge, spaced
// evenly in angle and weighted by the feed power they carry (a cos^2Q pattern
// with the given edge taper, times sin θ). At every face they cross they are
// refracted; a ray that meets a zone step wall or the rim, is totally
// reflected, or does not leave the lens travelling away from the feed after
// two crossings counts as blocked. The phase of the others at the aperture
// plane is compared with the axial ray's, wrapped to ±180°, and its weighted
// mean removed.

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numbers>
#include <optional>
#include <vector>

#include "export/outline.h"

namespace design::testing_support {

struct PhaseFigures {
  double rms_degrees = 0.0;   // weighted RMS phase error of the unblocked rays
  double peak_degrees = 0.0;  // the largest error, with its sign
  double blocked = 0.0;       // share of the feed power within the edge blocked
  int rays = 0;               // rays traced
};

class ZonedLensTrace {
 public:
  ZonedLensTrace(const tor::Outline& outline, double n) : n_(n) {
    auto node = [&](int32_t k) {
      const tor::Node& p = outline.nodes.at(static_cast<std::size_t>(k - 1));
      return Pt{static_cast<double>(p.z), static_cast<double>(p.r)};
    };
    for (const tor::LinearSegment& s : outline.linear) {
      const Pt a = node(s[0]);
      const Pt b = node(s[1]);
      // A linear piece running more along the axis than across it is a step
      // wall or the rim: light that meets it is lost to the aperture.
      const bool wall = std::abs(b.r - a.r) < std::abs(b.z - a.z);
      if (wall) {
        // Lengthened a little, so that a ray through a corner where a wall
        // meets a face counts as meeting the wall
        const Pt reach{1e-3 * (b.z - a.z), 1e-3 * (b.r - a.r)};
        pieces_.push_back(
            {{Pt{a.z - reach.z, a.r - reach.r}, Pt{b.z + reach.z, b.r + reach.r}, a, b},
             true,
             true,
             {}});
        continue;
      }
      pieces_.push_back({{a, b, a, b}, true, false, {}});
    }
    for (const tor::CubicSegment& s : outline.cubic) {
      pieces_.push_back({{node(s[0]), node(s[1]), node(s[2]), node(s[3])}, false, false, {}});
    }
    // Boxes about the pieces, widened for the swing of a cubic between nodes
    for (Piece& p : pieces_) {
      Pt lo = p.q[0], hi = p.q[0];
      for (const Pt& q : p.q) {
        lo = Pt{std::min(lo.z, q.z), std::min(lo.r, q.r)};
        hi = Pt{std::max(hi.z, q.z), std::max(hi.r, q.r)};
      }
      const double margin = 0.25 * std::max(hi.z - lo.z, hi.r - lo.r) + 1e-9;
      p.box = {Pt{lo.z - margin, lo.r - margin}, Pt{lo.z - margin, hi.r + margin},
               Pt{hi.z + margin, lo.r - margin}, Pt{hi.z + margin, hi.r + margin}};
    }
    for (const Piece& p : pieces_) {
      for (const Pt& q : p.q) {
        far_z_ = std::max(far_z_, q.z);
        edge_r_ = std::max(edge_r_, q.r);
      }
    }
  }

  /// Traces `count` rays up to the edge ray at angle atan(edge_r / edge_z).
  PhaseFigures Measure(double wavelength, double edge_z, double taper_db, int count) const {
    const double edge_angle = std::atan2(edge_r_, edge_z);
    const double q = taper_db / (20.0 * std::log10(1.0 / std::cos(edge_angle)));
    const double plane = far_z_ + wavelength;
    const std::optional<double> axial = AxialPathTo(plane);
    PhaseFigures f;
    if (!axial) return f;
    std::vector<std::array<double, 2>> phases;  // error in degrees, weight
    double total = 0.0;
    double lost = 0.0;
    for (int i = 0; i < count; ++i) {
      const double theta = (i + 0.5) * edge_angle / count;
      const double weight = std::pow(std::cos(theta), 2.0 * q) * std::sin(theta);
      total += weight;
      const std::optional<double> path = PathTo(plane, theta);
      if (!path) {
        lost += weight;
        continue;
      }
      double cycles = (*path - *axial) / wavelength;
      cycles -= std::round(cycles);
      phases.push_back({360.0 * cycles, weight});
    }
    f.rays = count;
    f.blocked = lost / total;
    double sum = 0.0;
    double weights = 0.0;
    for (const auto& [phase, weight] : phases) {
      sum += phase * weight;
      weights += weight;
    }
    const double mean = weights > 0.0 ? sum / weights : 0.0;
    double square = 0.0;
    for (const auto& [phase, weight] : phases) {
      square += (phase - mean) * (phase - mean) * weight;
      if (std::abs(phase - mean) > std::abs(f.peak_degrees)) f.peak_degrees = phase - mean;
    }
    f.rms_degrees = weights > 0.0 ? std::sqrt(square / weights) : 0.0;
    return f;
  }

 private:
  struct Pt {
    double z = 0.0;
    double r = 0.0;
  };
  struct Piece {
    std::array<Pt, 4> q;  // a linear piece uses q[0] and q[1]
    bool linear = false;
    bool wall = false;
    std::array<Pt, 4> box;  // corners of a box holding the piece
  };
  struct Hit {
    double s = std::numeric_limits<double>::infinity();
    Pt tangent;
    bool wall = false;
  };

  // The cubic through its four nodes at parameters 0, 1/3, 2/3 and 1, and its
  // derivative.
  static Pt Cubic(const Piece& p, double t, bool derivative) {
    const std::array<double, 4> w =
        derivative ? std::array<double, 4>{-13.5 * t * t + 18 * t - 5.5, 40.5 * t * t - 45 * t + 9,
                                           -40.5 * t * t + 36 * t - 4.5, 13.5 * t * t - 9 * t + 1}
                   : std::array<double, 4>{
                         ((-4.5 * t + 9) * t - 5.5) * t + 1, ((13.5 * t - 22.5) * t + 9) * t,
                         ((-13.5 * t + 18) * t - 4.5) * t, ((4.5 * t - 4.5) * t + 1) * t};
    Pt out;
    for (std::size_t j = 0; j < 4; ++j) {
      out.z += w[j] * p.q[j].z;
      out.r += w[j] * p.q[j].r;
    }
    return out;
  }

  // Nearest crossing of the ray o + s·d (s beyond a small gap) with the outline.
  Hit Nearest(Pt o, Pt d) const {
    constexpr double kGap = 1e-7;
    Hit best;
    auto side = [&](Pt p) { return (p.z - o.z) * d.r - (p.r - o.r) * d.z; };
    auto consider = [&](Pt p, Pt tangent, bool wall) {
      const double s = (p.z - o.z) * d.z + (p.r - o.r) * d.r;
      if (s > kGap && s < best.s) best = {s, tangent, wall};
    };
    for (const Piece& p : pieces_) {
      int above = 0;
      for (const Pt& corner : p.box) above += side(corner) > 0;
      if (above == 0 || above == 4) continue;
      if (p.linear) {
        const double ga = side(p.q[0]);
        const double gb = side(p.q[1]);
        if ((ga > 0) == (gb > 0) || ga == gb) continue;
        const double t = ga / (ga - gb);
        const Pt tangent{p.q[1].z - p.q[0].z, p.q[1].r - p.q[0].r};
        consider(Pt{p.q[0].z + t * tangent.z, p.q[0].r + t * tangent.r}, tangent, p.wall);
        continue;
      }
      constexpr int kSamples = 48;
      double t0 = 0.0;
      double g0 = side(Cubic(p, 0.0, false));
      for (int k = 1; k <= kSamples; ++k) {
        const double t1 = static_cast<double>(k) / kSamples;
        const double g1 = side(Cubic(p, t1, false));
        if ((g0 > 0) != (g1 > 0)) {
          // Bisection to the crossing on the cubic itself
          double lo = t0, hi = t1, glo = g0;
          for (int it = 0; it < 60; ++it) {
            const double mid = 0.5 * (lo + hi);
            const double gm = side(Cubic(p, mid, false));
            if ((gm > 0) == (glo > 0)) {
              lo = mid;
              glo = gm;
            } else {
              hi = mid;
            }
          }
          const double t = 0.5 * (lo + hi);
          consider(Cubic(p, t, false), Cubic(p, t, true), false);
        }
        t0 = t1;
        g0 = g1;
      }
    }
    return best;
  }

  // Optical path of the axial ray, which crosses the faces at their nodes on
  // the axis; nothing unless there are exactly two.
  std::optional<double> AxialPathTo(double plane) const {
    std::vector<double> z;
    for (const Piece& p : pieces_) {
      for (const Pt& q : p.q) {
        if (q.r == 0.0 && std::find(z.begin(), z.end(), q.z) == z.end()) z.push_back(q.z);
      }
    }
    if (z.size() != 2) return std::nullopt;
    std::sort(z.begin(), z.end());
    return z[0] + n_ * (z[1] - z[0]) + (plane - z[1]);
  }

  // Optical path from the feed to the plane z = plane of the ray leaving at
  // angle theta; nothing when it is blocked.
  std::optional<double> PathTo(double plane, double theta) const {
    Pt o{0.0, 0.0};
    Pt d{std::cos(theta), std::sin(theta)};
    double index = 1.0;
    double path = 0.0;
    int crossings = 0;
    for (;;) {
      const Hit hit = Nearest(o, d);
      if (!std::isfinite(hit.s)) break;
      if (hit.wall || ++crossings > 2) return std::nullopt;
      path += index * hit.s;
      o = Pt{o.z + hit.s * d.z, o.r + hit.s * d.r};
      // Refraction: unit normal facing the incoming ray
      const double length = std::hypot(hit.tangent.z, hit.tangent.r);
      Pt nrm{-hit.tangent.r / length, hit.tangent.z / length};
      if (nrm.z * d.z + nrm.r * d.r > 0) nrm = Pt{-nrm.z, -nrm.r};
      const double next = index == 1.0 ? n_ : 1.0;
      const double mu = index / next;
      const double cos_i = -(nrm.z * d.z + nrm.r * d.r);
      const double root = 1.0 - mu * mu * (1.0 - cos_i * cos_i);
      if (root <= 0.0) return std::nullopt;
      const double k = mu * cos_i - std::sqrt(root);
      d = Pt{mu * d.z + k * nrm.z, mu * d.r + k * nrm.r};
      index = next;
    }
    if (crossings != 2 || d.z <= 0.0 || o.z > plane) return std::nullopt;
    return path + (plane - o.z) / d.z;
  }

  double n_;
  std::vector<Piece> pieces_;
  double far_z_ = 0.0;
  double edge_r_ = 0.0;
};

}  // namespace design::testing_support

#endif  // KEVRANO_DESIGN_ZONED_LENS_TRACE_H_
