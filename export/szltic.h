#ifndef KEVRANO_EXPORT_SZLTIC_H_
#define KEVRANO_EXPORT_SZLTIC_H_

// The tor file export: asks for the file name, the unit of length and the lens
// axis offset, builds the outline of the zoned lens from its two profiles and
// zone boundaries, and writes it as a body-of-revolution mesh of nodes, linear
// segments and cubic segments.

#include <cstdint>
#include <span>
#include <string>

#include "export/zoned_outline.h"
#include "textio/units.h"

namespace tor {

/// The export's own answers, kept from one export to the next like every
/// answer of the design: a null answer (a slash, an empty value) to the units
/// or offset question keeps the earlier export's value, zero before the first.
struct TorAnswers {
  int32_t units_code = 0;
  float zloff = 0.0f;
};

/// What one export did, for the design that asked for it.
struct ExportResult {
  bool written = false;  // the tor file was written whole and closed
  ZonedOutline outline;  // the outline built; empty when the lens was refused
  std::string refusal;   // the "Tor file not written: ..." line when refused
  std::string warning;   // the outline check's warning line, when it had one
};

/// Writes the tor file of one zoned lens. ZF, RF, ZR, RR hold the feed and
/// radiation face points of rays 1..NPT (axial ray first); RZF and RZR the
/// boundary radii of zones 1..NZ (outermost first). Answers are read from
/// INPUTL.IUNIT. A units code other than 1..4 is asked again. A lens the
/// outline cannot be built for (NPT < 2, ISIDE not 1 or 2, ISURF not 1..3,
/// radii not increasing, NPT beyond the profile tables, more than 15001
/// segments of one kind) is refused after the dialogue: no file is opened and
/// a " Tor file not written: ..." line goes to the screen and the report. NZ
/// below 0 counts as 0, NZ beyond RZF or RZR as the boundaries they hold.
/// EXACT, when it holds rays, zones the lens exactly along each design ray
/// (see tor::ExactCuts); STEP is then not used. Throws textio::Failure when a
/// read, write or open fails. Returns what was written and the
/// outline built.
ExportResult SZLTIC(textio::Units& io, std::span<const float> ZF, std::span<const float> RF,
                    std::span<const float> ZR, std::span<const float> RR, int32_t NPT, float EPS,
                    float RLENS, float EDGE, int32_t ISIDE, int32_t ISURF,
                    const textio::INPUTL& INPUTL, std::span<const float> RZF,
                    std::span<const float> RZR, int32_t NZ, float STEP, float FR, TorAnswers& kept,
                    const ExactCuts& EXACT = {});

/// The same export with answers that start from zero.
inline void SZLTIC(textio::Units& io, std::span<const float> ZF, std::span<const float> RF,
                   std::span<const float> ZR, std::span<const float> RR, int32_t NPT, float EPS,
                   float RLENS, float EDGE, int32_t ISIDE, int32_t ISURF,
                   const textio::INPUTL& INPUTL, std::span<const float> RZF,
                   std::span<const float> RZR, int32_t NZ, float STEP, float FR) {
  TorAnswers fresh;
  SZLTIC(io, ZF, RF, ZR, RR, NPT, EPS, RLENS, EDGE, ISIDE, ISURF, INPUTL, RZF, RZR, NZ, STEP, FR,
         fresh);
}

}  // namespace tor

#endif  // KEVRANO_EXPORT_SZLTIC_H_
