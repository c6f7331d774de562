#ifndef KEVRANO_OPTICS_SINE_CONDITION_H_
#define KEVRANO_OPTICS_SINE_CONDITION_H_

// How far a traced lens is from the sine condition: a lens that meets it
// sends the feed ray at θ out at the height f·sin θ, f its paraxial focal
// length, and keeps its beam when the feed moves a little off the axis.
// Conventions as optics/analysis.h: feed at the origin, θ from the axis in
// radians, heights in the file's unit.

#include <optional>

#include "optics/analysis.h"

namespace optics {

/// The sine-condition deviation at the lens edge.
struct SineCondition {
  double focal_length = 0.0;  // paraxial f
  double edge_theta = 0.0;    // the outermost ray through the lens
  double deviation = 0.0;     // h(θ)/(f·sin θ) − 1 of that ray, h its exit height
};

/// The deviation from the exit heights of the rays through the lens: f by
/// least squares of h = sin θ·(f + a·θ² + b·θ⁴) over the rays through the
/// central zone within a quarter of the edge angle, the deviation at the outermost
/// ray through. Nothing when fewer than 5 rays serve the fit.
std::optional<SineCondition> SineConditionDeviation(const Trace& trace);

}  // namespace optics

#endif  // KEVRANO_OPTICS_SINE_CONDITION_H_
