// Zoning of the lens design: zone boundaries for an operating wavelength, the
// zoning report, and the hand-over to the tor file export.

#include "design/zoning.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "design/exact_zoning.h"
#include "design/splenz.h"
#include "export/szltic.h"
#include "kernels/spline.h"
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

// The zoning block after its heading line; exact zoning puts the mode on a
// line of its own between the two, and the zone step it shows is the axial
// ray's.
#define KEVRANO_ZONING_BLOCK_BODY                    \
  "/,' Wavelength:           ',F9.4,"                \
  "/,' Zone step:            ',F9.4,"                \
  "/,' Feed side zone ratio: ',F9.4,"                \
  "/,' Radiation zone ratio: ',F9.4,"                \
  "/,' Minimum path length:  ',F9.4,"                \
  "/,' Number of zones:      ',I4,"                  \
  "/,/,' Zone  Feed radius  Radiation radius',/)"
const Layout kZoningBlock("(/,' Lens zoning'," KEVRANO_ZONING_BLOCK_BODY);
const Layout kExactZoningBlock(
    "(/,' Lens zoning',"
    "/,' Zoning mode:          exact, one wavelength along each ray'," KEVRANO_ZONING_BLOCK_BODY);
#undef KEVRANO_ZONING_BLOCK_BODY
const Layout kZoneRow("(I4,1P,E13.5,E16.5)");
const Layout kNoStep("(' Zone step is not a positive length: lens not zoned')");
const Layout kCountOutOfRange("(' Zone count out of range: lens not zoned')");
const Layout kTooManyZones("(' More than',I5,' zones: lens not zoned')");
const Layout kPathDoesNotVary("(' Lens path length does not vary: lens not zoned')");
const Layout kShareOutOfRange(
    "(' Exact zoning needs a feed side zone ratio from 0 to 1: lens not zoned')");

}  // namespace

int32_t ZoningKnots(std::span<const float> TPATH, std::span<const float> feed_radii,
                    std::span<const float> radiation_radii, int32_t N,
                    std::span<float> knot_paths, std::span<float> knot_feed_radii,
                    std::span<float> knot_radiation_radii) {
  // Walk from the axial ray outwards, keeping each ray whose path length falls
  // below all kept so far; count first, then fill from the top so that the
  // knots ascend.
  int32_t count = 0;
  float lowest = std::numeric_limits<float>::infinity();
  for (int32_t k = N; k >= 1; --k) {
    if (At(TPATH, k) < lowest) {
      lowest = At(TPATH, k);
      ++count;
    }
  }
  int32_t slot = count;
  lowest = std::numeric_limits<float>::infinity();
  for (int32_t k = N; k >= 1; --k) {
    if (At(TPATH, k) < lowest) {
      lowest = At(TPATH, k);
      At(knot_paths, slot) = At(TPATH, k);
      At(knot_feed_radii, slot) = At(feed_radii, k);
      At(knot_radiation_radii, slot) = At(radiation_radii, k);
      --slot;
    }
  }
  return count;
}

ZoneCount CountZones(float axial_path, float pmin, float STEP, int32_t knots,
                     int32_t max_zones) {
  if (!(STEP > 0.0f) || !std::isfinite(STEP)) return {ZoneVerdict::kNoStep, 0};
  const std::optional<int32_t> nz = textio::TruncToInt32((axial_path - pmin) / STEP);
  if (!nz) return {ZoneVerdict::kCountOutOfRange, 0};
  if (*nz > max_zones) return {ZoneVerdict::kTooManyZones, 0};
  if (*nz > 0 && knots < 2) return {ZoneVerdict::kPathDoesNotVary, 0};
  return {ZoneVerdict::kCounted, *nz};
}

std::string ExtrapolatedBoundariesLine(int32_t zones, float STEP, float PMIN, float shortest,
                                       float longest) {
  // Runs of consecutive boundaries on the same side of the range, in order.
  struct Run {
    int32_t first = 0;
    int32_t last = 0;
    bool beyond_edge = false;
  };
  std::vector<Run> runs;
  int32_t count = 0;
  for (int32_t j = 1; j <= zones; ++j) {
    const float path = static_cast<float>(j) * STEP + PMIN;
    const bool beyond_edge = path < shortest;
    if (!beyond_edge && !(path > longest)) continue;
    ++count;
    if (!runs.empty() && runs.back().last == j - 1 && runs.back().beyond_edge == beyond_edge) {
      runs.back().last = j;
    } else {
      runs.push_back(Run{j, j, beyond_edge});
    }
  }
  if (count == 0) return "";
  std::string line = count == 1 ? "Zone boundary " : "Zone boundaries ";
  for (std::size_t i = 0; i < runs.size(); ++i) {
    const Run& run = runs[i];
    if (i > 0) line += i + 1 == runs.size() ? " and " : ", ";
    line += std::to_string(run.first);
    if (run.last != run.first) line += " to " + std::to_string(run.last);
    line += run.beyond_edge ? " (beyond the edge ray)" : " (inside the axial ray)";
  }
  line += count == 1 ? " lies" : " lie";
  line += " outside the lens path lengths: ";
  line += count == 1 ? "its radii are" : "their radii are";
  line += " extrapolated; a tor file is still written as designed";
  return line;
}

void SPLENZ::Zone(float EPS, int32_t NPT, float RLENS, float EDGE) {
  // Wavelength, share of each step on the feed face, base of the zone count.
  io_.write_laid_out(kScreen, PromptOf(Question::kWavelength));
  AnswerReal(wavelength_);
  step_ = wavelength_ / (n_ - 1.0f);
  io_.write_laid_out(kScreen, PromptOf(Question::kFeedShare));
  AnswerReal(fr_);
  const float radiation_share = 1.0f - fr_;
  io_.write_laid_out(kScreen, PromptOf(Question::kMinimumPath));
  AnswerReal(pmin_);

  // Exact zoning counts the steps along each ray by path lengths of its own.
  const bool exact = options_.zoning == ZoningMode::kExact;
  const ZoneVerdict exact_verdict = exact ? PrepareExactZoning(NPT, EDGE) : ZoneVerdict::kCounted;
  const std::vector<float>& paths =
      exact && exact_verdict == ZoneVerdict::kCounted ? exact_paths_ : tpath_;

  // Splines of the feed and radiation radii against those path lengths.
  knots_ = ZoningKnots(paths, rf_reversed_, rr_reversed_, NPT, knot_paths_, knot_feed_radii_,
                       knot_radiation_radii_);
  kernels::SPLIN(knot_paths_, knot_feed_radii_, knots_, feed_b1_, feed_b2_, feed_b3_);
  kernels::SPLIN(knot_paths_, knot_radiation_radii_, knots_, radiation_b1_, radiation_b2_,
                 radiation_b3_);

  // Zone count and the zoning block.
  const ZoneCount count = exact_verdict == ZoneVerdict::kCounted
                              ? CountZones(At(paths, NPT), pmin_, step_, knots_, kMaxZones)
                              : ZoneCount{exact_verdict, 0};
  nz_ = count.NZ;
  zones_stored_ = std::max(nz_, int32_t{0});
  io_.write_laid_out({kScreen, kReport}, exact ? kExactZoningBlock : kZoningBlock,
                     {wavelength_, step_, fr_, radiation_share, pmin_, nz_});
  zoned_ = true;
  switch (count.verdict) {
    case ZoneVerdict::kCounted:
      break;
    case ZoneVerdict::kNoStep:
      Tell(notes_, kNoStep);
      break;
    case ZoneVerdict::kCountOutOfRange:
      Tell(notes_, kCountOutOfRange);
      break;
    case ZoneVerdict::kTooManyZones:
      Tell(notes_, kTooManyZones, {kMaxZones});
      break;
    case ZoneVerdict::kPathDoesNotVary:
      Tell(notes_, kPathDoesNotVary);
      break;
    case ZoneVerdict::kShareOutOfRange:
      Tell(notes_, kShareOutOfRange);
      break;
  }

  // Zone boundaries, outermost first: where the lens path length is pmin
  // plus a whole number of zone steps.
  for (int32_t j = 1; j <= zones_stored_; ++j) {
    const float path = static_cast<float>(j) * step_ + pmin_;
    float slope = 0.0f;
    float curvature = 0.0f;
    kernels::SPEVL(knot_paths_, knot_feed_radii_, feed_b1_, feed_b2_, feed_b3_, knots_, path,
                   At(rzf_, j), slope, curvature);
    kernels::SPEVL(knot_paths_, knot_radiation_radii_, radiation_b1_, radiation_b2_,
                   radiation_b3_, knots_, path, At(rzr_, j), slope, curvature);
    io_.write_laid_out({kScreen, kReport}, kZoneRow, {j, At(rzf_, j), At(rzr_, j)});
  }
  NoteExtrapolatedBoundaries();

  // The tor file, on request; this answer is never echoed.
  io_.write_laid_out(kScreen, PromptOf(Question::kWriteTor));
  io_.read_free(inputl_.IUNIT, {&tor_answer_});
  if (tor_answer_ == 1) {
    export_ = tor::SZLTIC(io_, zf_, rf_, zr_, rr_, NPT, EPS, RLENS, EDGE, iside_, isurf_, inputl_,
                          rzf_, rzr_, zones_stored_, step_, fr_, tor_answers_,
                          exact ? ExactCuts() : tor::ExactCuts{});
    if (!export_->refusal.empty()) notes_.push_back(export_->refusal);
    if (!export_->warning.empty()) warnings_.push_back(export_->warning);
  }
}

void SPLENZ::NoteExtrapolatedBoundaries() {
  if (knots_ < 1 || zones_stored_ < 1) return;
  const std::string line = ExtrapolatedBoundariesLine(
      zones_stored_, step_, pmin_, At(knot_paths_, 1), At(knot_paths_, knots_));
  if (line.empty()) return;
  io_.write_free(kScreen, {line});
  io_.write_free(kReport, {line});
  warnings_.push_back(line);
}

tor::ExactCuts SPLENZ::ExactCuts() const {
  return {cut_feed_distance_, cut_cos_feed_, cut_cos_radiation_, n_, wavelength_};
}

ZoneVerdict SPLENZ::PrepareExactZoning(int32_t NPT, float EDGE) {
  // A share outside 0..1 would add material to one face; within it every
  // cut has one length for any path it is to remove.
  if (!(fr_ >= 0.0f && fr_ <= 1.0f)) return ZoneVerdict::kShareOutOfRange;
  for (std::vector<float>* table :
       {&cut_feed_distance_, &cut_cos_feed_, &cut_cos_radiation_, &exact_paths_}) {
    table->resize(kMaxRays, 0.0f);
  }
  const DesignRays rays{zf_, rf_, zr_, rr_, NPT, iside_, isurf_, EDGE, d_, rhos_, n_};
  ExactRayCuts(rays, cut_feed_distance_, cut_cos_feed_, cut_cos_radiation_);
  if (!ExactStepsValid(wavelength_, n_, fr_, cut_cos_feed_, cut_cos_radiation_, NPT)) {
    return ZoneVerdict::kNoStep;
  }
  ExactZoningPaths(tpath_, cut_feed_distance_, cut_cos_feed_, cut_cos_radiation_, NPT, n_, fr_,
                   wavelength_, pmin_, step_, exact_paths_);
  return ZoneVerdict::kCounted;
}

}  // namespace design
