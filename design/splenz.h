#ifndef KEVRANO_DESIGN_SPLENZ_H_
#define KEVRANO_DESIGN_SPLENZ_H_

// The lens design routine: one call designs one lens. It asks the user for the
// material, the prescribed face and its shape, writes the design parameters to
// the report, synthesises the other face ray by ray, zones the lens for an
// operating wavelength and, on request, hands the zoned lens to the tor file
// export.
//
// Its answers and results live in the object for the whole run: a value that a
// later design does not ask again keeps the value of the earlier design (zero
// before the first).

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "design/zoning.h"
#include "export/zoned_outline.h"
#include "export/szltic.h"
#include "textio/units.h"

namespace design {

/// Most rays (half-profile points) of one design.
inline constexpr int32_t kMaxRays = 3501;

/// Most zone boundaries of one design. A real lens never needs more (the
/// boundaries of a lens this finely zoned would lie closer together than its
/// rays), and the tor export can write the outline of this many zones in
/// every side and face case: a flat side of 2·4999 + 1 linear segments, the
/// other side's 4999 steps and the rim make 14999 entries, within its lists
/// of 15001.
inline constexpr int32_t kMaxZones = 4999;

/// One design as values: the numbers its profile table, zoning block and tor
/// file show, unrounded, and the lines it printed about itself.
struct DesignResult {
  /// One row of the profile table: the feed and radiation face points of a
  /// ray (z along the axis from the feed, r from the axis) and its lens path
  /// length.
  struct Row {
    float zf = 0.0f, rf = 0.0f, zr = 0.0f, rr = 0.0f, path = 0.0f;
  };
  std::vector<Row> profile;  // the rays traced, axial ray first
  bool zoned = false;        // every ray traced and the zoning block written
  ZoningMode zoning = ZoningMode::kStandard;
  float feed_share = 0.0f;  // the feed face's share of each zone step
  /// Zone boundary radii of the feed and radiation faces, outermost first;
  /// one per zone cut.
  std::vector<float> feed_zone_radii, radiation_zone_radii;
  bool tor_written = false;
  bool tor_refused = false;  // the export found no outline it could write
  /// The outline of the zoned lens as the tor file holds it, when the export
  /// built one.
  std::optional<tor::ZonedOutline> outline;
  /// Lines the design printed about itself, without their leading blank:
  /// notes say why it ended early, was not zoned or its tor file was not
  /// written; warnings name what was done as designed all the same.
  std::vector<std::string> notes, warnings;
};

class SPLENZ {
 public:
  SPLENZ(textio::Units& io, textio::INPUTL& inputl, DesignOptions options = {});

  /// Runs one design. EPS, NPT, RLENS and EDGE are the driver's variables and
  /// receive the dielectric constant, ray count, lens radius and edge distance.
  /// Throws textio::Failure when an answer cannot be read or the run must end.
  void operator()(float& EPS, int32_t& NPT, float& RLENS, float& EDGE);

  // Results of the last design, for the export and for tests. Per-ray arrays
  // run from the axial ray (index 1) to the edge ray.
  const std::vector<float>& ZF() const { return zf_; }
  const std::vector<float>& RF() const { return rf_; }
  const std::vector<float>& ZR() const { return zr_; }
  const std::vector<float>& RR() const { return rr_; }
  /// Lens path lengths, edge ray first.
  const std::vector<float>& TPATH() const { return tpath_; }
  int32_t ISIDE() const { return iside_; }
  int32_t ISURF() const { return isurf_; }
  /// Zoning of the last zoned design: the zone count as printed (negative
  /// when no boundary fits), the boundaries stored and handed to the export
  /// (never fewer than 0 nor more than kMaxZones), the zone step, the feed
  /// face's share of each step, and the boundary radii of both faces,
  /// outermost first.
  int32_t NZ() const { return nz_; }
  int32_t ZonesStored() const { return zones_stored_; }
  float STEP() const { return step_; }
  float FR() const { return fr_; }
  const std::vector<float>& RZF() const { return rzf_; }
  const std::vector<float>& RZR() const { return rzr_; }
  /// Exact zoning of the last design, per ray 1..NPT (axial ray first): the
  /// feed's distance from the feed face point and the cosines of the angles
  /// between the ray inside the lens and in air at each face. Unused in the
  /// standard zoning.
  const std::vector<float>& CutFeedDistance() const { return cut_feed_distance_; }
  const std::vector<float>& CutCosFeed() const { return cut_cos_feed_; }
  const std::vector<float>& CutCosRadiation() const { return cut_cos_radiation_; }
  /// The same with the material and wavelength, as the tor export takes it.
  tor::ExactCuts ExactCuts() const;
  /// The last design as values; empty before the first.
  DesignResult Result() const;
  /// Refractive index and required optical path of the last design.
  float RefractiveIndex() const { return n_; }
  float RequiredPath() const { return p_; }

 private:
  // Dialogue of the design: answers, derived constants, parameter lines.
  void Dialogue(float& EPS, float& RLENS, float& EDGE);

  // Asks the radial step until it gives between 2 and kMaxRays rays.
  void AskRadialStep(int32_t& NPT, float RLENS);

  // Traces every ray and writes the profile table. False when the design
  // ended early (a ray that did not converge, a ray beyond the sphere).
  bool Synthesise(int32_t& NPT, float RLENS, float EDGE);

  // Zones the lens for an operating wavelength, writes the zoning block and
  // the zone boundaries, and hands the lens to the tor export on request.
  void Zone(float EPS, int32_t NPT, float RLENS, float EDGE);

  // Writes the ExtrapolatedBoundariesLine of the zone boundaries just
  // computed, when there is one, on the screen and in the report.
  void NoteExtrapolatedBoundaries();

  // Exact zoning: each ray's cut, and the path lengths that count its
  // wavelengths (exact_paths_). kCounted when the lens can be zoned so, else
  // why not.
  ZoneVerdict PrepareExactZoning(int32_t NPT, float EDGE);

  // Writes a line about the design on the screen and in the report, and
  // keeps it in `lines` without its leading blank.
  void Tell(std::vector<std::string>& lines, const textio::Layout& line,
            std::initializer_list<textio::Value> values = {});

  // Reads one answer from the answer unit and echoes it when it came from
  // the script of answers.
  void AnswerInt(int32_t& value);
  void AnswerReal(float& value);
  void AnswerReals(float& first, float& second);

  textio::Units& io_;
  textio::INPUTL& inputl_;
  DesignOptions options_;

  // Answers and derived values of the design.
  int32_t iside_ = 0;  // 1 feed (inner) face prescribed, 2 radiation (outer) face
  int32_t isurf_ = 0;  // 1 flat, 2 sphere centred at or before the edge plane, 3 beyond it
  float n_ = 0.0f;     // refractive index
  float te_ = 0.0f;    // edge thickness along the edge ray
  float d_ = 0.0f;     // feed to sphere centre
  float rhos_ = 0.0f;  // sphere radius
  float l0_ = 0.0f;    // feed to edge point
  float t0_ = 0.0f;    // centre thickness estimate
  float p_ = 0.0f;     // required optical path of every ray

  // What the last design did: rays traced, zoning block written, the export's
  // result, and the lines it printed about itself. Cleared as each design
  // begins, unlike the answers.
  int32_t npt_ = 0;  // rays asked for
  int32_t rays_traced_ = 0;
  bool zoned_ = false;
  std::optional<tor::ExportResult> export_;
  std::vector<std::string> notes_, warnings_;

  // Synthesis state.
  float dr_ = 0.0f;      // radial step
  float t_ = 0.0f;       // lens path length, carried from ray to ray
  float face_z_ = 0.0f;  // axial coordinate of the prescribed face at the last ray placed

  // Profile of the last design.
  std::vector<float> zf_, rf_, zr_, rr_;
  std::vector<float> tpath_, rf_reversed_, rr_reversed_;

  // Zoning answers and results.
  float wavelength_ = 0.0f;
  float step_ = 0.0f;   // lens path length of one zone step
  float fr_ = 0.0f;     // share of each step taken from the feed face
  float pmin_ = 0.0f;   // path length from which zone boundaries are counted
  int32_t nz_ = 0;      // zone count as printed
  int32_t zones_stored_ = 0;
  int32_t tor_answer_ = 0;
  tor::TorAnswers tor_answers_;  // units code and axis offset of the last export
  std::vector<float> rzf_, rzr_;
  // Exact zoning: the cut of ray i, and the counting paths, edge ray first.
  std::vector<float> cut_feed_distance_, cut_cos_feed_, cut_cos_radiation_;
  std::vector<float> exact_paths_;

  // Splines of the feed and radiation radii against the lens path length (in
  // exact zoning, exact_paths_), over knots whose path lengths increase
  // strictly.
  int32_t knots_ = 0;
  std::vector<float> knot_paths_, knot_feed_radii_, knot_radiation_radii_;
  std::vector<float> feed_b1_, feed_b2_, feed_b3_;
  std::vector<float> radiation_b1_, radiation_b2_, radiation_b3_;
};

}  // namespace design

#endif  // KEVRANO_DESIGN_SPLENZ_H_
