#include "cad/facets.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "cad/outline_path.h"
#include "textio/checked.h"

namespace cad {
namespace {

/// The integer ceiling of a positive count, or nothing beyond `limit`.
std::optional<int32_t> CeilingWithin(double count, int32_t limit) {
  if (!(count <= static_cast<double>(limit))) return std::nullopt;
  const std::optional<int32_t> n = textio::TruncToInt32(std::ceil(count));
  if (!n || *n > limit) return std::nullopt;
  return std::max(*n, 1);
}

}  // namespace

std::optional<int32_t> StepsAroundAxis(double radius, double sagitta) {
  if (!(sagitta > 0.0) || !std::isfinite(radius) || !std::isfinite(sagitta) || radius < 0.0) {
    return std::nullopt;
  }
  if (sagitta >= radius) return kMinStepsAround;
  // r (1 - cos(pi/N)) <= s  <=>  pi/N <= acos(1 - s/r) = 2 asin(sqrt(s/(2r))),
  // the second form keeps its digits when s/r is small
  const double half_angle = 2.0 * std::asin(std::sqrt(sagitta / (2.0 * radius)));
  const std::optional<int32_t> n = CeilingWithin(std::numbers::pi / half_angle, kMaxStepsAround);
  if (!n) return std::nullopt;
  return std::max(*n, kMinStepsAround);
}

std::optional<int32_t> ChordsAlong(const torfile::Cubic& cubic, double deviation) {
  if (!(deviation > 0.0)) return std::nullopt;
  // h^2/8 max|p''| <= d with h = 1/n
  return CeilingWithin(std::sqrt(MaxSecondDerivative(cubic) / (8.0 * deviation)),
                       kMaxChordsPerCubic);
}

std::optional<FacetPlan> PlanFacets(const torfile::Mesh& mesh, const torfile::Outline& outline,
                                    double tolerance, std::string* error) {
  if (!(tolerance > 0.0) || !std::isfinite(tolerance)) {
    *error = "the chord tolerance must be a positive number";
    return std::nullopt;
  }
  const torfile::Summary extent = torfile::Summarize(mesh, outline);
  const double size =
      std::max({std::abs(extent.z_min), std::abs(extent.z_max), extent.lens_radius});
  if (tolerance < kSmallestRelativeTolerance * size) {
    *error = "a chord tolerance below " + std::to_string(kSmallestRelativeTolerance * size) +
             " is finer than the mesh's single-precision vertices can hold";
    return std::nullopt;
  }
  const double half = 0.5 * tolerance;

  FacetPlan plan;
  const std::optional<int32_t> steps = StepsAroundAxis(extent.lens_radius, half);
  if (!steps) {
    *error = "the chord tolerance needs more than " + std::to_string(kMaxStepsAround) +
             " steps around the axis";
    return std::nullopt;
  }
  plan.steps_around = *steps;

  auto push = [&plan](torfile::Point p) {
    if (plan.polygon.empty() || plan.polygon.back().z != p.z || plan.polygon.back().r != p.r) {
      plan.polygon.push_back(p);
    }
  };
  for (const PathPiece& piece : OutlinePath(mesh, outline)) {
    push(piece.First());
    if (piece.kind == torfile::PieceKind::kCubic) {
      const torfile::Cubic cubic = torfile::CubicThrough(piece.points);
      const std::optional<int32_t> chords = ChordsAlong(cubic, half);
      if (!chords) {
        *error = "the chord tolerance needs more than " + std::to_string(kMaxChordsPerCubic) +
                 " chords on one cubic segment";
        return std::nullopt;
      }
      for (int32_t i = 1; i < *chords; ++i) push(cubic.At(static_cast<double>(i) / *chords));
    }
    push(piece.Last());
  }
  return plan;
}

int64_t FacetCount(std::size_t points, int32_t steps) {
  const auto m = static_cast<int64_t>(points);
  return m < 3 ? 0 : int64_t{steps} * (2 * m - 4);
}

}  // namespace cad
