#ifndef KEVRANO_TORTOOL_SVG_H_
#define KEVRANO_TORTOOL_SVG_H_

// A drawing of the lens cross-section: both halves, mirrored about the axis,
// filled; cubic segments drawn as the curves through their nodes; zone steps
// and the rim picked out in colour; the feed marked at the origin; axes with
// ticks in the file's unit of length.

#include <string>
#include <string_view>

#include "tortool/outline.h"
#include "tortool/tor_file.h"

namespace tortool {

/// The whole SVG document. `title` heads the picture (usually the file name).
std::string RenderSvg(const TorFile& file, const Outline& outline, std::string_view title);

}  // namespace tortool

#endif  // KEVRANO_TORTOOL_SVG_H_
