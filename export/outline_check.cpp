#include "export/outline_check.h"

#include <cmath>

#include "torfile/outline.h"
#include "torfile/writer.h"

namespace tor {

std::string OutlineProblem(const ZonedOutline& outline) {
  // The mesh with its nodes as the file's fields read back
  torfile::Mesh written;
  written.nodes.reserve(outline.mesh.nodes.size());
  int32_t number = 0;
  for (const torfile::Node& node : outline.mesh.nodes) {
    ++number;
    const torfile::Node held{torfile::AsWritten(static_cast<float>(node.z)),
                             torfile::AsWritten(static_cast<float>(node.r)), 0};
    // A reader refuses such a file outright; the checks need finite values.
    if (!std::isfinite(held.z) || !std::isfinite(held.r) ||
        std::fabs(held.z) > torfile::kMaxMagnitude || std::fabs(held.r) > torfile::kMaxMagnitude) {
      return "node " + std::to_string(number) + " has a coordinate beyond the range of the file";
    }
    written.nodes.push_back(held);
  }
  written.linear = outline.mesh.linear;
  written.cubic = outline.mesh.cubic;

  const torfile::CheckResult check = torfile::CheckOutline(written);
  if (check.errors.empty()) return "";
  std::string text = check.errors.front().message;
  if (check.errors.size() > 1) {
    text += " (and " + std::to_string(check.errors.size() - 1) + " more)";
  }
  return text;
}

}  // namespace tor
