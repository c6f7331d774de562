#ifndef KEVRANO_TEXTIO_PROMPTS_H_
#define KEVRANO_TEXTIO_PROMPTS_H_

// The questions of the dialogue and the one layout of each prompt. The
// dialogue writes these layouts; `kevrano design`, which answers the dialogue
// from named settings, tells the questions apart by the same layouts, so a
// prompt's text is written here and nowhere else.

#include <optional>
#include <string_view>

#include "textio/layout.h"

namespace textio {

/// Every question the program asks, in the order a run asks them.
enum class Question {
  kFileInput,      // 1 to read the answers from a script
  kScriptName,     // the script's file name
  kReportName,     // the report's file name
  kSide,           // prescribed face: 1 feed (inner), 2 radiation (outer)
  kDielectric,     // dielectric constant
  kRadiusEdge,     // lens radius and edge distance from the feed
  kEdgeThickness,  // edge thickness along the edge ray
  kSurface,        // prescribed shape: 1 flat, 2 sphere
  kCentre,         // distance from the feed to the sphere's centre
  kRadialStep,     // radial step; its layout shows the centre thickness (one F8.3 value)
  kWavelength,     // operating wavelength
  kFeedShare,      // feed face's share of each zone step
  kMinimumPath,    // path length the zones are counted from
  kWriteTor,       // 1 to write the tor file
  kTorName,        // the tor file's name
  kUnitCode,       // unit of length: 1 in, 2 ft, 3 mm, 4 m
  kOffset,         // lens axis offset in the tor file
  kAnother,        // 1 for another design
};

/// The layout that asks `question`. Its last record holds text only and stays
/// open for the answer.
const Layout& PromptOf(Question question);

/// The question whose prompt ends the console text `screen` (records as
/// written to a file or pipe), or nothing when it ends with no prompt.
std::optional<Question> QuestionAsked(std::string_view screen);

}  // namespace textio

#endif  // KEVRANO_TEXTIO_PROMPTS_H_
