#include "export/szltic.h"

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "export/outline_check.h"
#include "export/zoned_outline.h"
#include "textio/layout.h"
#include "textio/prompts.h"
#include "torfile/writer.h"

namespace tor {
namespace {

using textio::kReport;
using textio::kScreen;
using textio::kScript;
using textio::kTorFile;
using textio::Layout;
using textio::PromptOf;
using textio::Question;

const Layout kEchoFile("(/,A70)");

const Layout kRefusedTooFewPoints(
    "(' Tor file not written: the lens profile has fewer than two points')");
const Layout kRefusedShortProfile(
    "(' Tor file not written: the lens profile has more points than its tables hold')");
const Layout kRefusedSide("(' Tor file not written: the specified side is neither 1 nor 2')");
const Layout kRefusedSurface(
    "(' Tor file not written: the specified surface is neither 1, 2 nor 3')");
const Layout kRefusedRadii(
    "(' Tor file not written: the face radii do not increase from the axis to the edge')");
const Layout kRefusedSegments(
    "(' Tor file not written: the outline needs more than 15001 segments of one kind')");

const Layout& RefusalFor(OutlineStatus status) {
  switch (status) {
    case OutlineStatus::kTooFewPoints:
      return kRefusedTooFewPoints;
    case OutlineStatus::kShortProfile:
      return kRefusedShortProfile;
    case OutlineStatus::kUnknownSide:
      return kRefusedSide;
    case OutlineStatus::kUnknownSurface:
      return kRefusedSurface;
    case OutlineStatus::kRadiiNotIncreasing:
      return kRefusedRadii;
    case OutlineStatus::kTooManySegments:
      return kRefusedSegments;
    case OutlineStatus::kBuilt:
      break;
  }
  throw std::logic_error("a built outline is never refused");
}

}  // namespace

// The outline is built before the dialogue (it needs none of the answers), so
// that a lens that cannot be exported is known before the tor file is opened.
// Such a lens is refused after the dialogue, not before: every answer is still
// read, so a script of answers stays in step with the questions; the file is
// then not opened at all, an existing file of that name is left as it was, and
// one line on the screen and in the report says why.
ExportResult SZLTIC(textio::Units& io, std::span<const float> ZF, std::span<const float> RF,
                    std::span<const float> ZR, std::span<const float> RR, int32_t NPT, float EPS,
                    float /*RLENS*/, float /*EDGE*/, int32_t ISIDE, int32_t ISURF,
                    const textio::INPUTL& INPUTL, std::span<const float> RZF,
                    std::span<const float> RZR, int32_t NZ, float STEP, float FR, TorAnswers& kept,
                    const ExactCuts& EXACT) {
  const int IUNIT = INPUTL.IUNIT;
  const bool from_script = IUNIT == kScript;

  // Outline of the zoned lens
  ExportResult result;
  ZonedOutline& outline = result.outline;
  const OutlineStatus status = BuildOutline(
      ZonedLens{ZF, RF, ZR, RR, NPT, ISIDE, ISURF, RZF, RZR, NZ, STEP, FR, EXACT}, outline);
  const bool exportable = status == OutlineStatus::kBuilt;

  // File name, then the file itself; a name typed at the terminal that cannot
  // be opened (a missing folder, the report file) is asked again
  std::string name(textio::kNameLength, ' ');
  io.write_laid_out(kScreen, PromptOf(Question::kTorName));
  for (;;) {
    io.read_text_field(IUNIT, name);
    if (from_script) io.write_laid_out(kScreen, kEchoFile, {name});
    if (!exportable || io.open_answered(IUNIT, kTorFile, name)) break;
  }

  // Unit of length. A code the file cannot name is asked again, from the same
  // unit: at the keyboard the user answers anew, from a script the next answer
  // is taken, and a script that runs out ends the run as any exhausted script.
  int32_t& units_code = kept.units_code;
  do {
    io.write_laid_out(kScreen, PromptOf(Question::kUnitCode));
    io.read_free(IUNIT, {&units_code});
    if (from_script) io.write_free(kScreen, {units_code});
  } while (!torfile::IsUnitsCode(units_code));

  // Lens axis offset
  float& zloff = kept.zloff;
  io.write_laid_out(kScreen, PromptOf(Question::kOffset));
  io.read_free(IUNIT, {&zloff});
  if (from_script) io.write_free(kScreen, {zloff});

  if (!exportable) {
    io.write_laid_out(kScreen, RefusalFor(status));
    io.write_laid_out(kReport, RefusalFor(status));
    const std::string line = textio::LayOut(RefusalFor(status), {}).records.front();
    result.refusal = line.substr(line.find_first_not_of(' '));
    result.outline = ZonedOutline{};
    return result;
  }

  // The outline is checked as the file will hold it; a fault (an outline that
  // crosses itself where extrapolated zone radii reach past the edge) is
  // named on the screen and in the report, and the file is written as
  // designed all the same.
  if (const std::string problem = OutlineProblem(outline); !problem.empty()) {
    const std::string line = "Warning, tor file written as designed: " + problem;
    io.write_free(kScreen, {line});
    io.write_free(kReport, {line});
    result.warning = line;
  }

  // Offset object, mesh head and the nodes
  const auto write = [&io](std::vector<std::string> records) {
    for (std::string& record : records) io.write_record(kTorFile, std::move(record));
  };
  write(torfile::OffsetRecords(zloff));
  write(torfile::MeshHeadRecords(EPS));
  int32_t number = 0;
  for (const torfile::Node& node : outline.mesh.nodes) {
    io.write_record(kTorFile, torfile::NodeRecord(++number, static_cast<float>(node.z),
                                                  static_cast<float>(node.r)));
  }

  // Cubic segments of the curved radiation face's outermost zone
  if (outline.radiation_last_zone) {
    const int32_t m = *outline.radiation_last_zone;
    io.write_free(kScreen, {std::string(" ZONE: "), int32_t{0}, m});
    io.write_free(kReport, {std::string(" ZONE: "), int32_t{0}, m});
  }

  // Segment tables, the unit of length, and the file is complete
  write(torfile::SegmentRecords(outline.mesh.linear, outline.mesh.cubic));
  write(torfile::TrailerRecords(torfile::UnitOfCode(units_code)));
  io.close_unit(kTorFile);
  result.written = true;
  return result;
}

}  // namespace tor
