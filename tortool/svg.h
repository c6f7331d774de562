#ifndef KEVRANO_TORTOOL_SVG_H_
#define KEVRANO_TORTOOL_SVG_H_

// A drawing of the lens cross-section: both halves, mirrored about the axis,
// filled; cubic segments drawn as the curves through their nodes; zone steps
// and the rim picked out in colour; the feed marked at the origin; axes with
// ticks in the file's unit of length.

#include <string>
#include <string_view>
#include <vector>

#include "torfile/outline.h"
#include "torfile/reader.h"

namespace tortool {

/// The whole SVG document. `title` heads the picture (usually the file name).
std::string RenderSvg(const torfile::Mesh& file, const torfile::Outline& outline,
                      std::string_view title);

/// A drawing of a lens whose outline fails the checks: every segment whose
/// nodes exist, in both halves, unfilled; the first kListedProblems errors
/// numbered in a legend below (the rest counted) and, where an error lies at
/// one place, a red circle there with its number.
std::string RenderProblemSvg(const torfile::Mesh& file,
                             const std::vector<torfile::OutlineProblem>& errors,
                             std::string_view title);

}  // namespace tortool

#endif  // KEVRANO_TORTOOL_SVG_H_
