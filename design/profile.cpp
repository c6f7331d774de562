// Profile synthesis of the lens design: the radial step, one ray per step
// from the axis to the edge, and the profile table of both faces.

#include "design/profile.h"

#include <cmath>

#include "design/splenz.h"
#include "kernels/solvers.h"
#include "textio/checked.h"
#include "textio/layout.h"
#include "textio/prompts.h"

namespace design {
namespace {

using textio::At;
using textio::kReport;
using textio::kScreen;
using textio::Layout;
using textio::PromptOf;
using textio::Question;

const Layout kNotConverged("(' Design Does not Converge')");
const Layout kOutsideSphere("(' Ray radius beyond Sphere Radius: Design ended')");

// 1.4 as the 32-bit real the ray count adds.
constexpr float kRayCountOffset = 1.4f;

}  // namespace

const Layout kProfileHeading(
    "(/,8X,' Feed Surface',9X,' Radiation Surface',5X,' Lens',"
    "/,5X,' Z-axis',5X,' Radius',5X,' Z-axis',5X,' Radius',3X,' Path Len',/)");
const Layout kProfileRow("(1X,1P,E12.4,4E12.4)");

std::optional<int32_t> RayCount(float R, float dr) {
  const double sum =
      static_cast<double>(R) / static_cast<double>(dr) + static_cast<double>(kRayCountOffset);
  return textio::TruncToInt32(sum);
}

FacePoint PlacePrescribedPoint(int32_t ISIDE, int32_t ISURF, float r, float E, float D,
                               float rhos, float& z, kernels::Vec3& VN) {
  // Direction of the normal along the ray: into the lens from the feed face
  // (+z), from the radiation face (-z).
  const float s = ISIDE % 2 != 0 ? 1.0f : -1.0f;
  if (ISURF == 1) {
    z = E;
    VN[0] = s;
    VN[1] = 0.0f;
    return FacePoint::kPlaced;
  }
  if (ISURF != 2 && ISURF != 3) return FacePoint::kUnknownFace;

  // Sphere about (D, 0): its point at radius r and the radius through it.
  const float h2 = rhos * rhos - r * r;
  if (!(h2 >= 0.0f)) return FacePoint::kOutsideSphere;
  const float h = std::sqrt(h2);
  const float q = std::sqrt(r * r + h * h);
  if (!(q > 0.0f) || !std::isfinite(q)) return FacePoint::kOutsideSphere;
  if (ISURF == 2) {
    z = D + h;
    VN[0] = s * h / q;
    VN[1] = s * r / q;
  } else {
    z = D - h;
    VN[0] = s * h / q;
    VN[1] = -s * r / q;
  }
  return FacePoint::kPlaced;
}

void SPLENZ::AskRadialStep(int32_t& NPT, float RLENS) {
  // Asked again while the step gives too many rays for the tables, too few
  // for the zoning splines, or no count at all (zero or non-finite step).
  for (;;) {
    io_.write_laid_out(kScreen, PromptOf(Question::kRadialStep), {t0_});
    AnswerReal(dr_);
    const std::optional<int32_t> n = RayCount(RLENS, dr_);
    if (n && *n >= 2 && *n <= kMaxRays) {
      NPT = *n;
      return;
    }
  }
}

bool SPLENZ::Synthesise(int32_t& NPT, float RLENS, float EDGE) {
  AskRadialStep(NPT, RLENS);
  const int32_t n = NPT;
  npt_ = n;

  io_.write_laid_out(kReport, kProfileHeading);
  io_.write_laid_out(kScreen, kProfileHeading);

  // Trace the rays from the axis to the edge; each starts from the lens path
  // length of the ray before it.
  t_ = t0_;
  for (int32_t i = 1; i <= n; ++i) {
    // Point and normal of the prescribed face at this ray.
    const float r = static_cast<float>(i - 1) * dr_;
    if (PlacePrescribedPoint(iside_, isurf_, r, EDGE, d_, rhos_, face_z_, inputl_.VN) ==
        FacePoint::kOutsideSphere) {
      Tell(notes_, kOutsideSphere);
      return false;
    }

    // Find the point of the face being designed. With no valid side no
    // solver runs and the row shows what the tables hold.
    float& zf = At(zf_, i);
    float& rf = At(rf_, i);
    float& zr = At(zr_, i);
    float& rr = At(rr_, i);
    int32_t status = 1;
    if (iside_ == 1) {
      zf = face_z_;
      rf = r;
      kernels::LS2XY(zf, rf, p_, EDGE, n_, inputl_.VN, t_, zr, rr, status);
    } else if (iside_ == 2) {
      zr = face_z_;
      rr = r;
      kernels::LS1XY(zf, rf, p_, EDGE, n_, inputl_.VN, t_, zr, rr, status);
    }
    if (status != 1) {
      Tell(notes_, kNotConverged);
      return false;
    }

    // Store the ray; the path-length tables run from the edge ray.
    const int32_t back = n - i + 1;
    At(tpath_, back) = t_;
    At(rf_reversed_, back) = rf;
    At(rr_reversed_, back) = rr;
    io_.write_laid_out({kScreen, kReport}, kProfileRow, {zf, rf, zr, rr, t_});
    rays_traced_ = i;
  }
  return true;
}

}  // namespace design
