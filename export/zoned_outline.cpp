#include "export/zoned_outline.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "kernels/ray_cut.h"
#include "kernels/solvers.h"
#include "kernels/spline.h"
#include "textio/checked.h"

namespace tor {
namespace {

using textio::At;

/// Raised inside the construction when a segment list is full.
struct ListFull {};

/// Natural cubic spline of one face: its axial coordinate against radius,
/// extended by the end cubics beyond the profile. Also serves for any other
/// quantity of the design rays against a face's radius.
class FaceSpline {
 public:
  FaceSpline(std::span<const float> r, std::span<const float> z, int32_t n)
      : r_(r),
        z_(z),
        n_(n),
        b1_(static_cast<std::size_t>(n)),
        b2_(static_cast<std::size_t>(n)),
        b3_(static_cast<std::size_t>(n)),
        fitted_(kernels::SPLIN(r_, z_, n_, b1_, b2_, b3_) == 1) {}

  /// False when the radii do not increase strictly.
  bool fitted() const { return fitted_; }

  /// Axial coordinate of the face at `radius`.
  float Z(float radius) const {
    float z = 0.0f;
    float slope = 0.0f;
    float curvature = 0.0f;
    kernels::SPEVL(r_, z_, b1_, b2_, b3_, n_, radius, z, slope, curvature);
    return z;
  }

 private:
  std::span<const float> r_;
  std::span<const float> z_;
  int32_t n_;
  std::vector<float> b1_, b2_, b3_;
  bool fitted_;
};

/// One face as a side of the outline sees it.
struct Face {
  std::span<const float> z;  // profile, ray 1 on the axis
  std::span<const float> r;
  const FaceSpline& spline;
  std::span<const float> zone_radii;  // boundary k at k
};

/// The design ray through each point of one face, by its radius on that
/// face: the other face's point on the same ray and the ray's cut.
class RayPartner {
 public:
  RayPartner(std::span<const float> own_r, std::span<const float> other_z,
             std::span<const float> other_r, const ExactCuts& cuts, int32_t n)
      : z_(own_r, other_z, n),
        r_(own_r, other_r, n),
        feed_distance_(own_r, cuts.feed_distance, n),
        cos_feed_(own_r, cuts.cos_feed, n),
        cos_radiation_(own_r, cuts.cos_radiation, n) {}

  float Z(float radius) const { return z_.Z(radius); }
  float R(float radius) const { return r_.Z(radius); }
  kernels::RayCut Cut(float radius) const {
    return {feed_distance_.Z(radius), cos_feed_.Z(radius), cos_radiation_.Z(radius)};
  }

 private:
  FaceSpline z_, r_, feed_distance_, cos_feed_, cos_radiation_;
};

/// Makes nodes and segments in file order.
class Builder {
 public:
  Builder(int32_t npt, int32_t nz, float step, ZonedOutline& outline)
      : npt_(npt), nz_(nz), step_(step), outline_(outline) {}

  /// Sets the rays and feed share of an exact zoning.
  void CutExactly(const ExactCuts& cuts, float FR) {
    cuts_ = cuts;
    fr_ = FR;
  }

  /// The side of a flat prescribed face (`own`), moved into the lens by its
  /// share `w` of each step. Returns its edge node.
  int32_t FlatSide(const Face& own, const Face& other, float w) {
    // Axis point, moved into the lens by the full depth
    OnLine(Depth(nz_, w), At(own.z, 1), At(own.r, 1), At(other.z, 1), At(other.r, 1));
    // Along the face to each boundary, then the zone step back to the next depth
    for (int32_t k = nz_; k >= 1; --k) {
      const float p = At(own.zone_radii, k);
      const float q = At(other.zone_radii, k);
      const float az = own.spline.Z(p);
      const float bz = other.spline.Z(q);
      OnLine(Depth(k, w), az, p, bz, q);
      Link();
      OnLine(Depth(k - 1, w), az, p, bz, q);
      Link();
    }
    // The stored edge point
    MakeNode(At(own.z, npt_), At(own.r, npt_));
    Link();
    return Counter();
  }

  /// The side of a curved face (`own`): chained cubic segments zone by zone,
  /// with a zone step when its share `w` is positive. Returns its edge node.
  int32_t CurvedSide(const Face& own, const Face& other, float w, bool radiation) {
    const float delta = (At(own.r, npt_) - At(own.r, 1)) / static_cast<float>(npt_ - 1);

    // Axis point, moved into the lens by the full depth
    OnLine(Depth(nz_, w), At(own.z, 1), At(own.r, 1), At(other.z, 1), At(other.r, 1));
    float u = At(own.r, 1);
    float v = At(other.r, 1);

    // Zones inside each boundary, innermost first
    for (int32_t k = nz_; k >= 1; --k) {
      const float p = At(own.zone_radii, k);
      const float q = At(other.zone_radii, k);
      CubicRun(own, other, u, p, v, q, ZoneSegmentCount(u, p, delta), Depth(k, w));
      u = p;
      v = q;
      if (w > 0.0f) {
        OnLine(Depth(k - 1, w), own.spline.Z(u), u, other.spline.Z(v), v);
        Link();
      }
    }

    // Outermost zone, on the face itself
    const int32_t m = ZoneSegmentCount(u, At(own.r, npt_), delta);
    if (radiation) outline_.radiation_last_zone = m;
    CubicRun(own, other, u, At(own.r, npt_), v, At(other.r, npt_), m, 0.0f);
    return Counter();
  }

  /// The side of a face in exact zoning (`own`, its rays given by `partner`),
  /// with the share `w` of each ray's step; a `flat` prescribed face keeps
  /// linear segments where it is not cut. Returns its edge node.
  int32_t ExactSide(const Face& own, const RayPartner& partner, float w, bool flat,
                    bool radiation) {
    const float delta = (At(own.r, npt_) - At(own.r, 1)) / static_cast<float>(npt_ - 1);

    // Axis point, moved into the lens by the full depth
    DepthNode(partner, nz_, w, At(own.z, 1), At(own.r, 1));
    if (flat && w == 0.0f) {
      MakeNode(At(own.z, npt_), At(own.r, npt_));
      Link();
      return Counter();
    }

    // Zones inside each boundary, innermost first, each with its zone step
    float u = At(own.r, 1);
    for (int32_t k = nz_; k >= 1; --k) {
      const float p = At(own.zone_radii, k);
      DepthRun(own, partner, u, p, ZoneSegmentCount(u, p, delta), k, w);
      u = p;
      if (w > 0.0f) {
        DepthNode(partner, k - 1, w, own.spline.Z(u), u);
        Link();
      }
    }

    // Outermost zone, on the face itself
    if (flat) {
      MakeNode(At(own.z, npt_), At(own.r, npt_));
      Link();
      return Counter();
    }
    const int32_t m = ZoneSegmentCount(u, At(own.r, npt_), delta);
    if (radiation) outline_.radiation_last_zone = m;
    DepthRun(own, partner, u, At(own.r, npt_), m, 0, w);
    return Counter();
  }

  /// Appends the linear segment (first, second).
  void AddLinear(int32_t first, int32_t second) {
    if (outline_.mesh.linear.size() >= kSegmentCapacity) throw ListFull{};
    outline_.mesh.linear.push_back({{first, second}, 0});
  }

 private:
  int32_t Counter() const { return static_cast<int32_t>(outline_.mesh.nodes.size()); }

  /// Depth of zone k into the lens for a face of share w.
  float Depth(int32_t k, float w) const { return static_cast<float>(k) * step_ * w; }

  void MakeNode(float z, float r) {
    outline_.mesh.nodes.push_back({static_cast<double>(z), static_cast<double>(r), 0});
  }

  /// Makes the node at distance t from A towards B.
  void OnLine(float t, float za, float ra, float zb, float rb) {
    float z = 0.0f;
    float r = 0.0f;
    kernels::LNPOS(t, za, ra, zb, rb, z, r);
    MakeNode(z, r);
  }

  /// Joins the last two nodes.
  void Link() { AddLinear(Counter() - 1, Counter()); }

  /// M cubic segments at `depth`, from radius u to `u_end` on the own face
  /// and v to `v_end` on the other, sampled in 3M equal radial steps on each,
  /// the j-th sample of one face paired with the j-th of the other.
  void CubicRun(const Face& own, const Face& other, float u, float u_end, float v, float v_end,
                int32_t m_count, float depth) {
    const float parts = static_cast<float>(3 * int64_t{m_count});
    const float du = (u_end - u) / parts;
    const float dv = (v_end - v) / parts;
    CubicSegments(m_count, [&](float before, float j) {
      const float rho = before * du + (u + j * du);
      const float sigma = before * dv + (v + j * dv);
      OnLine(depth, own.spline.Z(rho), rho, other.spline.Z(sigma), sigma);
    });
  }

  /// M chained cubic segments of three new nodes each: node j (1..3) of
  /// segment m is made by `make_node(before, j)`, before = 3(m - 1), as the
  /// sample before + j of 3M equal steps. Throws ListFull when the cubic list
  /// cannot take them all.
  template <typename MakeNode>
  void CubicSegments(int32_t m_count, MakeNode make_node) {
    if (m_count <= 0) return;
    if (static_cast<std::size_t>(m_count) > kSegmentCapacity - outline_.mesh.cubic.size()) {
      throw ListFull{};
    }
    for (int32_t m = 1; m <= m_count; ++m) {
      torfile::CubicSegment segment{{Counter(), 0, 0, 0}, 0};
      const float before = static_cast<float>(3 * (m - 1));
      for (int32_t j = 1; j <= 3; ++j) {
        make_node(before, static_cast<float>(j));
        At(segment.nodes, j + 1) = Counter();
      }
      outline_.mesh.cubic.push_back(segment);
    }
  }

  /// Makes the node of zone k at the own face's point (z, rho): moved into the
  /// lens along the ray through it by the share w of the cut that removes k
  /// wavelengths from that ray.
  void DepthNode(const RayPartner& partner, int32_t k, float w, float z, float rho) {
    float depth = 0.0f;
    if (k != 0) {
      const float path = static_cast<float>(k) * cuts_.wavelength;
      depth = w * kernels::CutLength(partner.Cut(rho), cuts_.n, fr_, path);
    }
    OnLine(depth, z, rho, partner.Z(rho), partner.R(rho));
  }

  /// M cubic segments of zone k from own radius u to `u_end`, sampled in 3M
  /// equal radial steps, each node at its own ray's depth.
  void DepthRun(const Face& own, const RayPartner& partner, float u, float u_end, int32_t m_count,
                int32_t k, float w) {
    const float du = (u_end - u) / static_cast<float>(3 * int64_t{m_count});
    CubicSegments(m_count, [&](float before, float j) {
      const float rho = before * du + (u + j * du);
      DepthNode(partner, k, w, own.spline.Z(rho), rho);
    });
  }

  int32_t npt_;
  int32_t nz_;
  float step_;
  ZonedOutline& outline_;
  ExactCuts cuts_;   // exact zoning only
  float fr_ = 0.0f;  // exact zoning: the feed face's share of each cut
};

/// Both sides of an exactly zoned lens, in the order of the standard outline:
/// a flat prescribed radiation face first. Sets the two edge nodes.
void ExactSides(const ZonedLens& lens, const Face& feed, const Face& radiation, Builder& builder,
                int32_t& feed_edge, int32_t& radiation_edge) {
  const RayPartner feed_rays(lens.RF, lens.ZR, lens.RR, lens.exact, lens.NPT);
  const RayPartner radiation_rays(lens.RR, lens.ZF, lens.RF, lens.exact, lens.NPT);
  builder.CutExactly(lens.exact, lens.FR);
  const float g = 1.0f - lens.FR;
  const bool flat_radiation_first = lens.ISIDE == 2 && lens.ISURF == 1;
  if (flat_radiation_first) {
    radiation_edge = builder.ExactSide(radiation, radiation_rays, g, true, true);
  }
  feed_edge =
      builder.ExactSide(feed, feed_rays, lens.FR, lens.ISIDE == 1 && lens.ISURF == 1, false);
  if (!flat_radiation_first) {
    radiation_edge = builder.ExactSide(radiation, radiation_rays, g, false, true);
  }
}

}  // namespace

int32_t ZoneSegmentCount(float start, float boundary, float spacing) {
  const double width = static_cast<double>(boundary) - static_cast<double>(start);
  const double quotient = (width / static_cast<double>(spacing)) / 3.0 + 1.0;
  if (const auto m = textio::TruncToInt32(quotient)) return *m;
  if (std::isnan(quotient)) return 0;
  return quotient > 0.0 ? std::numeric_limits<int32_t>::max() : std::numeric_limits<int32_t>::min();
}

OutlineStatus BuildOutline(const ZonedLens& lens, ZonedOutline& outline) {
  outline = ZonedOutline{};

  // Refuse data the construction cannot follow
  if (lens.NPT < 2) return OutlineStatus::kTooFewPoints;
  if (lens.ISIDE != 1 && lens.ISIDE != 2) return OutlineStatus::kUnknownSide;
  if (lens.ISURF < 1 || lens.ISURF > 3) return OutlineStatus::kUnknownSurface;
  const auto npt = static_cast<std::size_t>(lens.NPT);
  if (npt > std::min({lens.ZF.size(), lens.RF.size(), lens.ZR.size(), lens.RR.size()})) {
    return OutlineStatus::kShortProfile;
  }

  // Splines of both faces: z as a function of the radius
  const float g = 1.0f - lens.FR;
  const FaceSpline sf(lens.RF, lens.ZF, lens.NPT);
  const FaceSpline sr(lens.RR, lens.ZR, lens.NPT);
  if (!sf.fitted() || !sr.fitted()) return OutlineStatus::kRadiiNotIncreasing;

  // Only the zone boundaries actually stored
  const auto stored = static_cast<int64_t>(std::min(lens.RZF.size(), lens.RZR.size()));
  const auto nz = static_cast<int32_t>(std::clamp<int64_t>(lens.NZ, 0, stored));

  const Face feed{lens.ZF, lens.RF, sf, lens.RZF};
  const Face radiation{lens.ZR, lens.RR, sr, lens.RZR};
  const bool flat = lens.ISURF == 1;
  const bool spherical = lens.ISURF == 2 || lens.ISURF == 3;
  const ExactCuts& cuts = lens.exact;
  const bool exact = !cuts.feed_distance.empty();
  if (exact && npt > std::min({cuts.feed_distance.size(), cuts.cos_feed.size(),
                               cuts.cos_radiation.size()})) {
    return OutlineStatus::kShortProfile;
  }
  Builder builder(lens.NPT, nz, lens.STEP, outline);
  try {
    // Both sides; a flat prescribed radiation face comes first
    int32_t feed_edge = 0;
    int32_t radiation_edge = 0;
    if (exact) {
      ExactSides(lens, feed, radiation, builder, feed_edge, radiation_edge);
    } else {
      if (lens.ISIDE == 1 && flat) feed_edge = builder.FlatSide(feed, radiation, lens.FR);
      if (lens.ISIDE == 2 && flat) radiation_edge = builder.FlatSide(radiation, feed, g);
      if (lens.ISIDE == 2 || (lens.ISIDE == 1 && spherical)) {
        feed_edge = builder.CurvedSide(feed, radiation, lens.FR, false);
      }
      if (lens.ISIDE == 1 || (lens.ISIDE == 2 && spherical)) {
        radiation_edge = builder.CurvedSide(radiation, feed, g, true);
      }
    }

    // Rim, when the stored edge points differ in z
    if (At(lens.ZF, lens.NPT) != At(lens.ZR, lens.NPT))
      builder.AddLinear(feed_edge, radiation_edge);
  } catch (const ListFull&) {
    outline = ZonedOutline{};
    return OutlineStatus::kTooManySegments;
  }
  return OutlineStatus::kBuilt;
}

}  // namespace tor
