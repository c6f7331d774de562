#include "kernels/ray_cut.h"

#include <cmath>
#include <limits>

namespace kernels {

float RemovedPath(const RayCut& ray, float n, float FR, float S) {
  const float l = ray.feed_distance;
  const float a = FR * S;  // cut at the feed face
  const float air = std::sqrt(l * l + 2.0f * a * l * ray.cos_feed + a * a);
  return n * S - (air - l) - (S - a) * ray.cos_radiation;
}

float FirstOrderCutLength(const RayCut& ray, float n, float FR, float path) {
  const float per_length = FR * (n - ray.cos_feed) + (1.0f - FR) * (n - ray.cos_radiation);
  return path / per_length;
}

float CutLength(const RayCut& ray, float n, float FR, float path) {
  // With K = n - (1 - FR)·cos gr and m = l - path the condition reads
  // K·S + m = sqrt(l^2 + 2·FR·S·l·cos gf + FR^2·S^2); squared, a quadratic
  // A·S^2 + B·S + C = 0 whose root with K·S + m >= 0 is wanted.
  const float l = ray.feed_distance;
  const float k = n - (1.0f - FR) * ray.cos_radiation;
  const float m = l - path;
  const float a = k * k - FR * FR;
  const float b = 2.0f * (k * m - FR * l * ray.cos_feed);
  const float c = path * (path - 2.0f * l);
  const float discriminant = b * b - 4.0f * a * c;
  if (!(a > 0.0f) || !(discriminant >= 0.0f)) return std::numeric_limits<float>::quiet_NaN();

  // Both roots, formed without cancellation; the cut is the one nearer the
  // first-order length, the other belongs to the squared condition only
  const float q = -0.5f * (b + std::copysign(std::sqrt(discriminant), b));
  const float first = q / a;
  const float second = q != 0.0f ? c / q : first;
  const float estimate = FirstOrderCutLength(ray, n, FR, path);
  return std::abs(first - estimate) <= std::abs(second - estimate) ? first : second;
}

}  // namespace kernels
