// The text of the drawings: coordinates, labels, escapes and tick spacings.

#include "tortool/svg_text.h"

#include <gtest/gtest.h>

#include <limits>

namespace tortool {
namespace {

TEST(SvgText, CoordinatesAndLabels) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const struct {
    double x;
    const char* fixed;
    const char* label;
  } kCases[] = {
      {12.345, "12.35", "12.345"}, {-0.001, "0.00", "-0.001"},
      {-1e-13, "0.00", "0"},       {1234567.0, "1234567.00", "1.23457e+06"},
      {nan, "0.00", "nan"},        {-inf, "0.00", "-inf"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.x);
    EXPECT_EQ(c.fixed, Fixed(c.x));
    EXPECT_EQ(c.label, Label(c.x));
  }
}

TEST(SvgText, TickSteps) {
  const struct {
    double span;
    double step;
  } kCases[] = {
      {6.0, 1.0},     {7.0, 2.0},   {13.0, 5.0},   {31.0, 10.0},
      {0.018, 0.005}, {0.0, 2e-13}, {-5.0, 2e-13},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.span);
    EXPECT_DOUBLE_EQ(c.step, TickStep(c.span));
  }
}

TEST(SvgText, EscapesTextAndControlBytes) {
  EXPECT_EQ("a&lt;b&gt; &amp; &quot;c&quot;????", Escaped("a<b> & \"c\"\t\xC3\xA9\x7F"));
}

}  // namespace
}  // namespace tortool
