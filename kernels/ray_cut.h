#ifndef KEVRANO_KERNELS_RAY_CUT_H_
#define KEVRANO_KERNELS_RAY_CUT_H_

// The optical path a zone step removes from one ray of the lens.
//
// A step cuts a length S off the ray inside the lens: the share FR at the feed
// face, whose point moves along the ray into the lens while the air ray from
// the feed follows it, and 1 - FR at the radiation face, whose point moves back
// along the ray while the air ray leaves it along the axis. With l the feed's
// distance from the feed face point and gf, gr the angles between the ray
// inside the lens and the air ray at each face, the path removed is
//   n·S - (sqrt(l^2 + 2·FR·S·l·cos gf + FR^2·S^2) - l) - (1 - FR)·S·cos gr,
// exactly, for the cut ray. For small S it is S·(FR·(n - cos gf) + (1 - FR)·
// (n - cos gr)); on the axis it is S·(n - 1) for every S.

namespace kernels {

/// One design ray as a zone step sees it.
struct RayCut {
  float feed_distance = 0.0f;  // from the feed to the ray's feed face point
  float cos_feed = 1.0f;       // cosine of the angle to the air ray at the feed face
  float cos_radiation = 1.0f;  // the same at the radiation face (air ray along the axis)
};

/// Optical path removed by cutting the length S off the ray (S < 0 adds).
float RemovedPath(const RayCut& ray, float n, float FR, float S);

/// The length whose cut removes the optical path `path` to first order in the
/// length: path / (FR·(n - cos gf) + (1 - FR)·(n - cos gr)). Exact on the axis;
/// the feed distance is not used.
float FirstOrderCutLength(const RayCut& ray, float n, float FR, float path);

/// The length S whose cut removes the optical path `path`, the inverse of
/// RemovedPath for a material with n > 1 and a share FR from 0 to 1. Not
/// finite when no such length exists.
float CutLength(const RayCut& ray, float n, float FR, float path);

}  // namespace kernels

#endif  // KEVRANO_KERNELS_RAY_CUT_H_
