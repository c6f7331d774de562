#include "textio/prompts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace textio {
namespace {

// The console as a file or pipe gets it: records ended by CR LF, a prompt
// left open.
std::string Shown(Question question, std::vector<Value> values = {}) {
  const LaidOut laid = LayOut(PromptOf(question), values);
  std::string text = " earlier record\r\n";
  for (std::size_t i = 0; i < laid.records.size(); ++i) {
    text += (i > 0 ? "\r\n" : "") + laid.records[i];
  }
  return text;
}

TEST(Prompts, EachPromptIsTakenForItsOwnQuestion) {
  const struct {
    const char* name;
    Question question;
    std::vector<Value> values;
  } kCases[] = {
      {"file input", Question::kFileInput, {}},
      {"script name", Question::kScriptName, {}},
      {"report name", Question::kReportName, {}},
      {"side, after its title record", Question::kSide, {}},
      {"dielectric constant", Question::kDielectric, {}},
      {"radius and edge", Question::kRadiusEdge, {}},
      {"edge thickness", Question::kEdgeThickness, {}},
      {"surface", Question::kSurface, {}},
      {"sphere centre", Question::kCentre, {}},
      {"radial step, after the centre thickness", Question::kRadialStep, {4.7214f}},
      {"wavelength", Question::kWavelength, {}},
      {"feed share, after its title record", Question::kFeedShare, {}},
      {"minimum path", Question::kMinimumPath, {}},
      {"write a tor file", Question::kWriteTor, {}},
      {"tor file name", Question::kTorName, {}},
      {"unit code", Question::kUnitCode, {}},
      {"offset", Question::kOffset, {}},
      {"another design", Question::kAnother, {}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_TRUE(PromptOf(c.question).leaves_open());
    EXPECT_EQ(c.question, QuestionAsked(Shown(c.question, c.values)));
  }
}

TEST(Prompts, OnlyAnOpenPromptAsks) {
  const struct {
    const char* name;
    std::string screen;
  } kCases[] = {
      {"nothing written", ""},
      {"a finished record", " Enter Lens Dielectric Constant \r\n"},
      {"a prompt answered by an echo", " Enter Lens Dielectric Constant         2.250000"},
      {"a report line", " Lens Dielectric Constant:         2.250"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(std::nullopt, QuestionAsked(c.screen));
  }
}

}  // namespace
}  // namespace textio
