#include "fullwave/lens_raster.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "textio/checked.h"

namespace fullwave {
namespace {

// Scan lines per quarter-cell row: the area inside is exact along r and a
// midpoint sum along z, good to about (1/32)² of a cell where the face is
// slanted.
constexpr int kScanLines = 32;

// Chords per cubic segment of the outline: a lens face of a few wavelengths
// per segment stays within a thousandth of a cell of its chords.
constexpr int kChordsPerCubic = 24;

// Largest lattice index the map accepts (keeps every product in range).
constexpr double kMaxIndex = 1e7;

std::optional<long> FloorIndex(double x) {
  if (!(std::fabs(x) < kMaxIndex)) return std::nullopt;
  const std::optional<int32_t> i = textio::TruncToInt32(std::floor(x));
  if (!i) return std::nullopt;
  return static_cast<long>(*i);
}

}  // namespace

LensSection SectionOf(const torfile::Mesh& mesh, const torfile::Outline& outline) {
  return {torfile::OutlinePolygon(mesh, outline, kChordsPerCubic), mesh.dielectric};
}

std::optional<PermittivityMap> PermittivityMap::Build(const LensSection& lens, double cell,
                                                      double z0, std::string* error) {
  // Points on the axis may come out a rounding error below it (a cubic
  // segment evaluated at its end): such r count as 0.
  std::vector<torfile::Point> p = lens.outline;
  double size = 1.0;
  for (const torfile::Point& q : p) size = std::max({size, std::fabs(q.z), std::fabs(q.r)});
  for (torfile::Point& q : p) {
    if (q.r < 0.0 && q.r > -1e-9 * size) q.r = 0.0;
  }
  if (p.size() < 3) {
    *error = "the lens section needs at least three vertices";
    return std::nullopt;
  }
  if (!(cell > 0.0) || !std::isfinite(cell) || !std::isfinite(z0)) {
    *error = "the grid cell must be a positive length";
    return std::nullopt;
  }
  if (!(lens.permittivity >= 1.0) || !std::isfinite(lens.permittivity)) {
    *error = "the lens permittivity must be at least 1";
    return std::nullopt;
  }
  double z_min = p[0].z, z_max = p[0].z, r_max = 0.0;
  for (const torfile::Point& q : p) {
    if (!std::isfinite(q.z) || !std::isfinite(q.r) || q.r < 0.0) {
      *error = "a vertex of the lens section is not finite or lies at r < 0";
      return std::nullopt;
    }
    z_min = std::min(z_min, q.z);
    z_max = std::max(z_max, q.z);
    r_max = std::max(r_max, q.r);
  }

  PermittivityMap map;
  map.half_ = 0.5 * cell;
  map.z0_ = z0;
  map.permittivity_ = lens.permittivity;
  const double h = map.half_;
  const std::optional<long> first = FloorIndex((z_min - z0) / h);
  const std::optional<long> last = FloorIndex((z_max - z0) / h);
  const std::optional<long> columns = FloorIndex(r_max / h);
  if (!first || !last || !columns) {
    *error = "the lens is too large for the grid cell";
    return std::nullopt;
  }
  map.first_row_ = *first;
  map.rows_ = *last - *first + 1;
  map.columns_ = *columns + 1;
  if (static_cast<double>(map.rows_) * static_cast<double>(map.columns_) > 5e8) {
    *error = "the lens is too large for the grid cell";
    return std::nullopt;
  }
  map.z_first_ = z0 + static_cast<double>(map.first_row_) * h;
  map.quarter_.assign(static_cast<std::size_t>(map.rows_ * map.columns_), 0.0);

  // Each scan line z = const: the r intervals inside the section (even-odd
  // rule, each edge half-open in z so that a vertex on the line counts once),
  // then the length of each interval within each quarter-cell column.
  std::vector<double> crossings;
  const double weight = 1.0 / (kScanLines * h);
  for (long row = 0; row < map.rows_; ++row) {
    for (int s = 0; s < kScanLines; ++s) {
      const double zc = map.z_first_ + (static_cast<double>(row) + (s + 0.5) / kScanLines) * h;
      crossings.clear();
      for (std::size_t i = 0; i < p.size(); ++i) {
        const torfile::Point& a = p[i];
        const torfile::Point& b = p[(i + 1) % p.size()];
        if ((a.z <= zc && zc < b.z) || (b.z <= zc && zc < a.z)) {
          crossings.push_back(a.r + (zc - a.z) * (b.r - a.r) / (b.z - a.z));
        }
      }
      std::sort(crossings.begin(), crossings.end());
      for (std::size_t i = 0; i + 1 < crossings.size(); i += 2) {
        const double r1 = crossings[i], r2 = crossings[i + 1];
        const long c1 = std::max(0L, FloorIndex(r1 / h).value_or(0));
        const long c2 = std::min(map.columns_ - 1, FloorIndex(r2 / h).value_or(0));
        for (long c = c1; c <= c2; ++c) {
          const double lo = std::max(r1, static_cast<double>(c) * h);
          const double hi = std::min(r2, static_cast<double>(c + 1) * h);
          if (hi > lo) {
            map.quarter_[static_cast<std::size_t>(row * map.columns_ + c)] += (hi - lo) * weight;
          }
        }
      }
    }
  }
  return map;
}

double PermittivityMap::Quarter(long ir, long iz) const {
  if (ir < 0) ir = -1 - ir;  // the mirror half of the meridian plane
  iz -= first_row_;
  if (ir >= columns_ || iz < 0 || iz >= rows_) return 0.0;
  return quarter_[static_cast<std::size_t>(iz * columns_ + ir)];
}

double PermittivityMap::FillFraction(double r, double z) const {
  const std::optional<long> i = FloorIndex(r / half_ + 0.5);
  const std::optional<long> j = FloorIndex((z - z0_) / half_ + 0.5);
  if (!i || !j) return 0.0;
  return 0.25 *
         (Quarter(*i - 1, *j - 1) + Quarter(*i, *j - 1) + Quarter(*i - 1, *j) + Quarter(*i, *j));
}

double PermittivityMap::At(double r, double z) const {
  return 1.0 + FillFraction(r, z) * (permittivity_ - 1.0);
}

}  // namespace fullwave
