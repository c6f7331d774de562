#include "export/outline_check.h"

#include <charconv>
#include <cmath>
#include <cstddef>
#include <system_error>
#include <vector>

#include "textio/layout.h"
#include "tortool/outline.h"
#include "tortool/tor_file.h"

namespace tor {
namespace {

// A node coordinate as the tor file writes it.
const textio::Layout kCoordinate("(1PE12.4)");

// A node coordinate as the tor file holds it, read back.
double AsWritten(float value) {
  const std::string text =
      textio::LayOut(kCoordinate, std::vector<textio::Value>{value}).records.front();
  const std::size_t start = text.find_first_not_of(' ');
  double x = std::nan("");
  if (start == std::string::npos) return x;
  const auto result = std::from_chars(text.data() + start, text.data() + text.size(), x);
  return result.ec == std::errc() ? x : std::nan("");
}

}  // namespace

std::string OutlineProblem(const Outline& outline) {
  tortool::TorFile file;
  int32_t number = 0;
  for (const Node& node : outline.nodes) {
    ++number;
    const tortool::Node written{AsWritten(node.z), AsWritten(node.r), 0};
    // The reader refuses such a file outright; the checks need finite values.
    if (!std::isfinite(written.z) || !std::isfinite(written.r) ||
        std::fabs(written.z) > tortool::kMaxMagnitude ||
        std::fabs(written.r) > tortool::kMaxMagnitude) {
      return "node " + std::to_string(number) + " has a coordinate beyond the range of the file";
    }
    file.nodes.push_back(written);
  }
  for (const LinearSegment& s : outline.linear) file.linear.push_back({s, 0});
  for (const CubicSegment& s : outline.cubic) file.cubic.push_back({s, 0});

  const tortool::CheckResult check = tortool::CheckOutline(file);
  if (check.errors.empty()) return "";
  std::string text = check.errors.front().message;
  if (check.errors.size() > 1) {
    text += " (and " + std::to_string(check.errors.size() - 1) + " more)";
  }
  return text;
}

}  // namespace tor
