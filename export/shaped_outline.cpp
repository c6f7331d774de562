#include "export/shaped_outline.h"

#include "torfile/writer.h"

namespace tor {

std::optional<ZonedOutline> ShapedOutline(std::span<const torfile::Node> feed,
                                          std::span<const torfile::Node> radiation) {
  const std::size_t points = feed.size();
  if (points < 4 || (points - 1) % 3 != 0 || radiation.size() != points) return std::nullopt;
  ZonedOutline outline;
  torfile::Mesh& mesh = outline.mesh;
  for (const auto face : {feed, radiation}) {
    // Each face from the axis: a chain of cubic segments of three intervals
    const auto first = static_cast<int32_t>(mesh.nodes.size()) + 1;
    float last_r = 0.0f;
    for (std::size_t i = 0; i < points; ++i) {
      const auto z = static_cast<float>(face[i].z);
      const auto r = static_cast<float>(face[i].r);
      if (i > 0 && !(r > last_r)) return std::nullopt;
      last_r = r;
      mesh.nodes.push_back({z, r, 0});
    }
    for (int32_t k = first; k + 3 < first + static_cast<int32_t>(points); k += 3) {
      mesh.cubic.push_back({{k, k + 1, k + 2, k + 3}, 0});
    }
  }
  const auto edge = static_cast<int32_t>(points);
  mesh.linear.push_back({{edge, 2 * edge}, 0});
  return outline;
}

}  // namespace tor
