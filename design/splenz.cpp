#include "design/splenz.h"

#include <cmath>
#include <vector>

#include "textio/checked.h"
#include "textio/failure.h"
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

// Parameter lines of the report.
const Layout kTitleAndDielectric(
    "(/,' Spherical or Flat Surface Lens Design',/,' Lens Dielectric Constant:      ',F8.3,/)");
const Layout kInnerSide("(' Inner (Feed) Side Specified')");
const Layout kOuterSide("(' Outer (Radiation) Side Specified')");
const Layout kLensSize(
    "(/,' Lens Radius:                         ',F8.3,"
    "/,' Edge Distance from Feed:             ',F8.3,"
    "/,' Edge thickness along ray:            ',F8.3)");
const Layout kFlatSurface("(' Flat Surface')");
const Layout kCentreDistance("(' Distance from Feed to Sphere Center: ',F8.3)");
const Layout kConcaveRadius("(' Concave Sphere Radius:         ',F8.3)");
const Layout kConvexRadius("(' Convex Sphere Radius:          ',F8.3)");
const Layout kCentreThickness("(' Center Thickness:                    ',F8.3)");

}  // namespace

SPLENZ::SPLENZ(textio::Units& io, textio::INPUTL& inputl, DesignOptions options)
    : io_(io),
      inputl_(inputl),
      options_(options),
      zf_(kMaxRays, 0.0f),
      rf_(kMaxRays, 0.0f),
      zr_(kMaxRays, 0.0f),
      rr_(kMaxRays, 0.0f),
      tpath_(kMaxRays, 0.0f),
      rf_reversed_(kMaxRays, 0.0f),
      rr_reversed_(kMaxRays, 0.0f),
      rzf_(kMaxZones, 0.0f),
      rzr_(kMaxZones, 0.0f),
      knot_paths_(kMaxRays, 0.0f),
      knot_feed_radii_(kMaxRays, 0.0f),
      knot_radiation_radii_(kMaxRays, 0.0f),
      feed_b1_(kMaxRays, 0.0f),
      feed_b2_(kMaxRays, 0.0f),
      feed_b3_(kMaxRays, 0.0f),
      radiation_b1_(kMaxRays, 0.0f),
      radiation_b2_(kMaxRays, 0.0f),
      radiation_b3_(kMaxRays, 0.0f) {}

void SPLENZ::Tell(std::vector<std::string>& lines, const Layout& line,
                  std::initializer_list<textio::Value> values) {
  io_.write_laid_out({kScreen, kReport}, line, values);
  const std::string record =
      textio::LayOut(line, std::span<const textio::Value>(values.begin(), values.size()))
          .records.front();
  const std::size_t first = record.find_first_not_of(' ');
  lines.push_back(first == std::string::npos ? std::string() : record.substr(first));
}

void SPLENZ::AnswerInt(int32_t& value) {
  io_.read_free(inputl_.IUNIT, {&value});
  if (inputl_.IUNIT == textio::kScript) io_.write_free(kScreen, {value});
}

void SPLENZ::AnswerReal(float& value) {
  io_.read_free(inputl_.IUNIT, {&value});
  if (inputl_.IUNIT == textio::kScript) io_.write_free(kScreen, {value});
}

void SPLENZ::AnswerReals(float& first, float& second) {
  io_.read_free(inputl_.IUNIT, {&first, &second});
  if (inputl_.IUNIT == textio::kScript) io_.write_free(kScreen, {first, second});
}

void SPLENZ::operator()(float& EPS, int32_t& NPT, float& RLENS, float& EDGE) {
  rays_traced_ = 0;
  zoned_ = false;
  export_.reset();
  notes_.clear();
  warnings_.clear();
  Dialogue(EPS, RLENS, EDGE);
  if (!Synthesise(NPT, RLENS, EDGE)) return;
  Zone(EPS, NPT, RLENS, EDGE);
}

void SPLENZ::Dialogue(float& EPS, float& RLENS, float& EDGE) {
  // Side and material.
  io_.write_laid_out(kScreen, PromptOf(Question::kSide));
  AnswerInt(iside_);
  io_.write_laid_out(kScreen, PromptOf(Question::kDielectric));
  AnswerReal(EPS);
  if (EPS < 0.0f) {
    // A negative dielectric constant has no real refractive index; nothing
    // sensible can be traced, so the run ends here.
    std::string shown = textio::FreeRecord(std::vector<textio::Value>{EPS});
    shown.erase(0, shown.find_first_not_of(' '));
    throw textio::Failure(textio::FailureNumber::kNegativeDielectric,
                          "negative dielectric constant " + shown +
                              " has no real refractive index");
  }
  n_ = std::sqrt(EPS);
  io_.write_laid_out(kReport, kTitleAndDielectric, {EPS});
  if (iside_ == 1) io_.write_laid_out(kReport, kInnerSide);
  if (iside_ == 2) io_.write_laid_out(kReport, kOuterSide);

  // Size of the lens and the prescribed face.
  io_.write_laid_out(kScreen, PromptOf(Question::kRadiusEdge));
  AnswerReals(RLENS, EDGE);
  io_.write_laid_out(kScreen, PromptOf(Question::kEdgeThickness));
  AnswerReal(te_);
  io_.write_laid_out(kScreen, PromptOf(Question::kSurface));
  AnswerInt(isurf_);
  if (isurf_ == 2) {
    io_.write_laid_out(kScreen, PromptOf(Question::kCentre));
    AnswerReal(d_);
    if (d_ > EDGE) isurf_ = 3;
    const float offset = EDGE - d_;
    rhos_ = std::sqrt(RLENS * RLENS + offset * offset);
  }

  // Derived constants: the edge ray fixes the optical path of every ray.
  l0_ = std::sqrt(RLENS * RLENS + EDGE * EDGE);
  t0_ = te_ + (l0_ - EDGE) / (n_ - 1.0f);
  p_ = n_ * te_ + l0_;

  io_.write_laid_out(kReport, kLensSize, {RLENS, EDGE, te_});
  if (isurf_ == 1) io_.write_laid_out(kReport, kFlatSurface);
  if (isurf_ == 2 || isurf_ == 3) {
    io_.write_laid_out(kReport, kCentreDistance, {d_});
    // A sphere seen from the side of its centre is concave.
    const bool concave = (isurf_ == 2 && iside_ == 1) || (isurf_ == 3 && iside_ == 2);
    const bool convex = (isurf_ == 2 && iside_ == 2) || (isurf_ == 3 && iside_ == 1);
    if (concave || convex) {
      const Layout& line = concave ? kConcaveRadius : kConvexRadius;
      io_.write_laid_out(kScreen, line, {rhos_});
      io_.write_laid_out(kReport, line, {rhos_});
    }
  }
  io_.write_laid_out(kReport, kCentreThickness, {t0_});
}

DesignResult SPLENZ::Result() const {
  DesignResult result;
  result.profile.reserve(static_cast<std::size_t>(rays_traced_));
  for (int32_t i = 1; i <= rays_traced_; ++i) {
    // The path-length table runs from the edge ray of the npt_ rays asked.
    result.profile.push_back(
        {At(zf_, i), At(rf_, i), At(zr_, i), At(rr_, i), At(tpath_, npt_ - i + 1)});
  }
  result.zoned = zoned_;
  result.zoning = options_.zoning;
  result.feed_share = fr_;
  if (zoned_) {
    for (int32_t j = 1; j <= zones_stored_; ++j) {
      result.feed_zone_radii.push_back(At(rzf_, j));
      result.radiation_zone_radii.push_back(At(rzr_, j));
    }
  }
  if (export_) {
    result.tor_written = export_->written;
    result.tor_refused = !export_->refusal.empty();
    if (export_->written) result.outline = export_->outline;
  }
  result.notes = notes_;
  result.warnings = warnings_;
  return result;
}

}  // namespace design
