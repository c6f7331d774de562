#include "textio/free_read.h"

#include <gtest/gtest.h>

#include <vector>

namespace textio {
namespace {

// Reads lines into two reals, as the radius and edge question does, starting
// from 'before' so that unchanged variables show.
struct TwoReals {
  FreeStatus status;
  float a;
  float b;
  std::size_t lines_used;
};

TwoReals ReadTwoReals(const std::vector<const char*>& lines, float before = -7.0f) {
  TwoReals r{FreeStatus::kNeedMore, before, before, 0};
  const FreeTarget targets[] = {&r.a, &r.b};
  std::size_t next = 0;
  for (const char* line : lines) {
    ++r.lines_used;
    r.status = ParseFreeLine(line, targets, next);
    if (r.status != FreeStatus::kNeedMore) break;
  }
  return r;
}

TEST(FreeRead, TwoValueAnswers) {
  struct Case {
    const char* name;
    std::vector<const char*> lines;
    FreeStatus status;
    float a, b;
    std::size_t lines_used;
  };
  const Case kCases[] = {
      {"comma", {"2.5,3"}, FreeStatus::kDone, 2.5f, 3.0f, 1},
      {"blank", {"2.5 3"}, FreeStatus::kDone, 2.5f, 3.0f, 1},
      {"tab", {"2.5\t3"}, FreeStatus::kDone, 2.5f, 3.0f, 1},
      {"comma with blanks", {"  2.5 ,  3  "}, FreeStatus::kDone, 2.5f, 3.0f, 1},
      {"two lines", {"2.5", "3"}, FreeStatus::kDone, 2.5f, 3.0f, 2},
      {"empty lines skipped", {"", "   ", "2.5", "", "3"}, FreeStatus::kDone, 2.5f, 3.0f, 5},
      {"trailing comma then next line", {"2.5,", "3"}, FreeStatus::kDone, 2.5f, 3.0f, 2},
      {"repeat count", {"2*4"}, FreeStatus::kDone, 4.0f, 4.0f, 1},
      {"repeat beyond the variables", {"5*1.5"}, FreeStatus::kDone, 1.5f, 1.5f, 1},
      {"huge repeat count", {"2147483648*1"}, FreeStatus::kDone, 1.0f, 1.0f, 1},
      {"null first", {",3"}, FreeStatus::kDone, -7.0f, 3.0f, 1},
      {"null between commas", {"1,,"}, FreeStatus::kDone, 1.0f, -7.0f, 1},
      {"null second", {"1,,2"}, FreeStatus::kDone, 1.0f, -7.0f, 1},
      {"repeated null", {"2*"}, FreeStatus::kDone, -7.0f, -7.0f, 1},
      {"repeated null then value", {"1*,5"}, FreeStatus::kDone, -7.0f, 5.0f, 1},
      {"slash alone", {"/"}, FreeStatus::kDone, -7.0f, -7.0f, 1},
      {"slash after one value", {"4 /"}, FreeStatus::kDone, 4.0f, -7.0f, 1},
      {"slash joined to a value", {"4/ 9"}, FreeStatus::kDone, 4.0f, -7.0f, 1},
      {"comma only", {","}, FreeStatus::kNeedMore, -7.0f, -7.0f, 1},
      {"rest of line discarded", {"1 2 3 yes"}, FreeStatus::kDone, 1.0f, 2.0f, 1},
      {"D exponent", {"1.5d2 2Q-1"}, FreeStatus::kDone, 150.0f, 0.2f, 1},
      {"E exponent with sign", {"+1.5E+2 -2e1"}, FreeStatus::kDone, 150.0f, -20.0f, 1},
      {"bare point forms", {"3. .5"}, FreeStatus::kDone, 3.0f, 0.5f, 1},
      {"negative zero", {"-0 0"}, FreeStatus::kDone, -0.0f, 0.0f, 1},
      {"underflow to zero", {"1e-60 1"}, FreeStatus::kDone, 0.0f, 1.0f, 1},
      {"letters", {"yes"}, FreeStatus::kSyntaxError, -7.0f, -7.0f, 1},
      {"two points", {"1.2.3"}, FreeStatus::kSyntaxError, -7.0f, -7.0f, 1},
      {"misplaced sign", {"1-2"}, FreeStatus::kSyntaxError, -7.0f, -7.0f, 1},
      {"sign alone", {"+"}, FreeStatus::kSyntaxError, -7.0f, -7.0f, 1},
      {"point alone", {"."}, FreeStatus::kSyntaxError, -7.0f, -7.0f, 1},
      {"exponent without digits", {"1e"}, FreeStatus::kSyntaxError, -7.0f, -7.0f, 1},
      {"letter exponent after nothing", {"e5"}, FreeStatus::kSyntaxError, -7.0f, -7.0f, 1},
      {"not a number word", {"NaN"}, FreeStatus::kSyntaxError, -7.0f, -7.0f, 1},
      {"infinity word", {"Inf"}, FreeStatus::kSyntaxError, -7.0f, -7.0f, 1},
      {"star without count", {"*5"}, FreeStatus::kSyntaxError, -7.0f, -7.0f, 1},
      {"zero repeat", {"0*5"}, FreeStatus::kSyntaxError, -7.0f, -7.0f, 1},
      {"overflowing real", {"1e39"}, FreeStatus::kConversionError, -7.0f, -7.0f, 1},
      {"NUL byte", {"1\x01"}, FreeStatus::kSyntaxError, -7.0f, -7.0f, 1},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const TwoReals r = ReadTwoReals(c.lines);
    EXPECT_EQ(c.status, r.status);
    EXPECT_EQ(c.a, r.a);
    EXPECT_EQ(c.b, r.b);
    EXPECT_EQ(c.lines_used, r.lines_used);
  }
}

TEST(FreeRead, IntegerAnswers) {
  struct Case {
    const char* text;
    FreeStatus status;
    int32_t want;
  };
  const Case kCases[] = {
      {"1", FreeStatus::kDone, 1},
      {"1.0", FreeStatus::kDone, 1},
      {"1.9", FreeStatus::kDone, 1},
      {"-2.5", FreeStatus::kDone, -2},
      {"1E1", FreeStatus::kDone, 10},
      {"+7", FreeStatus::kDone, 7},
      {"2147483647", FreeStatus::kDone, 2147483647},
      {"-2147483648", FreeStatus::kDone, -2147483647 - 1},
      {"2147483648", FreeStatus::kConversionError, -5},
      {"99999999999", FreeStatus::kConversionError, -5},
      {"1e10", FreeStatus::kConversionError, -5},
      {"1e39", FreeStatus::kConversionError, -5},
      {"yes", FreeStatus::kSyntaxError, -5},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.text);
    int32_t value = -5;
    const FreeTarget targets[] = {&value};
    std::size_t next = 0;
    EXPECT_EQ(c.status, ParseFreeLine(c.text, targets, next));
    EXPECT_EQ(c.want, value);
  }
}

TEST(FreeRead, RealsAreCorrectlyRounded) {
  // Halfway between two floats just above 1: the tie goes to the even one.
  float value = 0.0f;
  EXPECT_EQ(FreeStatus::kDone, ParseReal("1.000000059604644775390625", value));
  EXPECT_EQ(1.0f, value);
  EXPECT_EQ(FreeStatus::kDone, ParseReal("0.1", value));
  EXPECT_EQ(0.1f, value);
  EXPECT_EQ(FreeStatus::kDone, ParseReal("3.4028235e38", value));
  EXPECT_EQ(3.4028235e38f, value);
}

TEST(FreeRead, MixedTargetsAndLongLines) {
  int32_t side = 0;
  float eps = 0.0f;
  const FreeTarget targets[] = {&side, &eps};
  std::size_t next = 0;
  const std::string line = std::string(1 << 20, ' ') + "2, 2.25 " + std::string(1 << 20, 'x');
  EXPECT_EQ(FreeStatus::kDone, ParseFreeLine(line, targets, next));
  EXPECT_EQ(2, side);
  EXPECT_EQ(2.25f, eps);
}

}  // namespace
}  // namespace textio
