#include "optics/sine_condition.h"

#include <array>
#include <cmath>
#include <utility>

namespace optics {

std::optional<SineCondition> SineConditionDeviation(const Trace& trace) {
  // Normal equations of the fit h = s·(f + a·θ² + b·θ⁴), s = sin θ
  std::array<std::array<double, 4>, 3> m{};
  int used = 0;
  const RayRecord* edge = nullptr;
  for (const RayRecord& ray : trace.rays) {
    if (ray.fate != RayFate::kTransmitted || !(ray.theta > 0.0)) continue;
    edge = &ray;
    if (ray.theta > 0.25 * trace.edge_angle || ray.entry_zone != 0 || ray.exit_zone != 0) continue;
    const double s = std::sin(ray.theta), t2 = ray.theta * ray.theta;
    const std::array<double, 3> basis = {s, s * t2, s * t2 * t2};
    for (std::size_t i = 0; i < 3; ++i) {
      for (std::size_t j = 0; j < 3; ++j) m[i][j] += basis[i] * basis[j];
      m[i][3] += basis[i] * ray.exit.r;
    }
    ++used;
  }
  if (used < 5 || edge == nullptr) return std::nullopt;
  // Gaussian elimination with partial pivoting; f is the first unknown
  for (std::size_t c = 0; c < 3; ++c) {
    std::size_t pivot = c;
    for (std::size_t r = c + 1; r < 3; ++r) {
      if (std::abs(m[r][c]) > std::abs(m[pivot][c])) pivot = r;
    }
    std::swap(m[c], m[pivot]);
    if (!(std::abs(m[c][c]) > 0.0)) return std::nullopt;
    for (std::size_t r = c + 1; r < 3; ++r) {
      const double k = m[r][c] / m[c][c];
      for (std::size_t j = c; j < 4; ++j) m[r][j] -= k * m[c][j];
    }
  }
  std::array<double, 3> x{};
  for (std::size_t c = 3; c-- > 0;) {
    double sum = m[c][3];
    for (std::size_t j = c + 1; j < 3; ++j) sum -= m[c][j] * x[j];
    x[c] = sum / m[c][c];
  }
  SineCondition sine;
  sine.focal_length = x[0];
  sine.edge_theta = edge->theta;
  sine.deviation = edge->exit.r / (x[0] * std::sin(edge->theta)) - 1.0;
  if (!std::isfinite(sine.deviation)) return std::nullopt;
  return sine;
}

}  // namespace optics
