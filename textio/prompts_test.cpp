#include "textio/prompts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace textio {
namespace {

// Every prompt, as a redirected console shows it after an earlier record
// (records ended by CR LF, the prompt left open), asks its own question: no
// prompt's open record ends another's.
TEST(Prompts, EachPromptIsTakenForItsOwnQuestion) {
  for (int i = 0; i <= static_cast<int>(Question::kAnother); ++i) {
    const auto question = static_cast<Question>(i);
    SCOPED_TRACE(i);
    std::vector<Value> values;
    if (question == Question::kRadialStep) values.push_back(4.7214f);  // centre thickness
    const LaidOut laid = LayOut(PromptOf(question), values);
    std::string screen = " earlier record\r\n";
    for (std::size_t r = 0; r < laid.records.size(); ++r) {
      screen += (r > 0 ? "\r\n" : "") + laid.records[r];
    }
    EXPECT_TRUE(laid.leave_open);
    EXPECT_EQ(question, QuestionAsked(screen));
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
