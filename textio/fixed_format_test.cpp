#include "textio/fixed_format.h"

#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

namespace textio {
namespace {

struct FieldCase {
  const char* name;
  float value;
  int width;
  int decimals;
  const char* want;
};

TEST(RenderFixed, Examples) {
  const float kNan = std::numeric_limits<float>::quiet_NaN();
  const float kInf = std::numeric_limits<float>::infinity();
  const FieldCase kCases[] = {
      {"2.5", 2.5f, 8, 3, "   2.500"},
      {"0.5", 0.5f, 8, 3, "   0.500"},
      {"negative rounds", -12.3456f, 8, 3, " -12.346"},
      {"needs ten columns", 100000.0f, 8, 3, "********"},
      {"F9.4", 1.23456f, 9, 4, "   1.2346"},
      {"negative rounding to zero", -0.0001f, 8, 3, "   0.000"},
      {"negative zero", -0.0f, 8, 3, "   0.000"},
      {"exact tie away from zero", 0.125f, 8, 2, "    0.13"},
      {"negative exact tie", -0.125f, 8, 2, "   -0.13"},
      {"tie in the integer part", 2.5f, 4, 0, "  3."},
      {"0.375 tie", 0.375f, 6, 2, "  0.38"},
      // 2.675 is stored below the halfway point, so it rounds down.
      {"stored below the tie", 2.675f, 6, 2, "  2.67"},
      {"carry into a new digit", 9.9996f, 8, 3, "  10.000"},
      {"carry overflows the field", 99999.9999f, 8, 3, "********"},
      {"just fits", 9999.999f, 8, 3, "9999.999"},
      {"leading zero dropped when tight", 0.5f, 4, 3, ".500"},
      {"negative without its zero", -0.5f, 5, 3, "-.500"},
      {"too narrow even without zero", -0.5f, 4, 3, "****"},
      {"zero in a tight field", 0.0f, 4, 3, ".000"},
      {"largest real", FLT_MAX, 8, 3, "********"},
      {"largest real, wide field", FLT_MAX, 45, 1, "    340282346638528859811704183484516925440.0"},
      {"smallest normal", FLT_MIN, 8, 3, "   0.000"},
      {"smallest subnormal", std::numeric_limits<float>::denorm_min(), 9, 4, "   0.0000"},
      {"negative largest", -FLT_MAX, 9, 4, "*********"},
      {"not a number", kNan, 8, 3, "     NaN"},
      {"infinity", kInf, 8, 3, "     Inf"},
      {"negative infinity", -kInf, 8, 3, "    -Inf"},
      {"infinity in a narrow field", kInf, 2, 1, "**"},
  };
  for (const FieldCase& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.want, RenderFixed(c.value, c.width, c.decimals));
  }
}

TEST(RenderExp, ScaledExamples) {
  const FieldCase kCases[] = {
      {"25.4", 25.4f, 12, 4, "  2.5400E+01"},
      {"negative", -0.53125f, 12, 4, " -5.3125E-01"},
      {"zero", 0.0f, 12, 4, "  0.0000E+00"},
      {"negative zero", -0.0f, 12, 4, "  0.0000E+00"},
      {"one, E15.5", 1.0f, 15, 5, "    1.00000E+00"},
      {"carry to ten", 9.99996f, 12, 4, "  1.0000E+01"},
      {"exact tie away from zero", 1.0625f, 12, 3, "   1.063E+00"},
      {"below the tie", 1.0625f, 12, 2, "    1.06E+00"},
      {"tie 1.125 to 1.13", 1.125f, 10, 2, "  1.13E+00"},
      {"negative tie", -1.125f, 10, 2, " -1.13E+00"},
      {"largest real", FLT_MAX, 12, 4, "  3.4028E+38"},
      {"smallest normal", FLT_MIN, 12, 4, "  1.1755E-38"},
      {"smallest subnormal", std::numeric_limits<float>::denorm_min(), 12, 4, "  1.4013E-45"},
      {"negative largest", -FLT_MAX, 16, 6, "   -3.402823E+38"},
      {"too narrow", 25.4f, 9, 4, "*********"},
      {"fills exactly", -25.4f, 11, 4, "-2.5400E+01"},
      {"free-form width", 0.5f, 16, 6, "    5.000000E-01"},
      {"exponent 9, last of one digit", 1.0e9f, 12, 4, "  1.0000E+09"},
      {"exponent 10, first of two digits", 1.0e10f, 12, 4, "  1.0000E+10"},
      {"exponent -10", 1.0e-10f, 12, 4, "  1.0000E-10"},
      {"carry into exponent 10", 9.99996e9f, 12, 4, "  1.0000E+10"},
  };
  for (const FieldCase& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.want, RenderExp(c.value, c.width, c.decimals, 1));
  }
}

TEST(RenderExp, UnscaledMantissaBelowOne) {
  const FieldCase kCases[] = {
      {"25.4", 25.4f, 12, 4, "  0.2540E+02"},
      {"zero", 0.0f, 12, 4, "  0.0000E+00"},
      {"carry", 0.99996f, 12, 4, "  0.1000E+01"},
      {"zero dropped when one column short", -25.4f, 10, 4, "-.2540E+02"},
      {"too narrow", 25.4f, 8, 4, "********"},
      {"exponent 10", 1.0e9f, 12, 4, "  0.1000E+10"},
      {"exponent -10", 1.0e-11f, 12, 4, "  0.1000E-10"},
  };
  for (const FieldCase& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.want, RenderExp(c.value, c.width, c.decimals, 0));
  }
}

// The fast renderers against the full exact expansion, over reals of every
// magnitude (random bit patterns), reals lying halfway at some decimal (few
// significant bits), and values near the program's own figures.
TEST(RenderFastPath, MatchesTheExactExpansion) {
  std::mt19937 random(20261208);
  std::uniform_int_distribution<uint32_t> bits;
  std::uniform_int_distribution<int> small(0, 12);
  std::uniform_int_distribution<int> shift(-30, 30);
  std::uniform_int_distribution<int> odd(0, 4095);
  std::uniform_real_distribution<float> figure(-60.0f, 60.0f);
  for (int i = 0; i < 60000; ++i) {
    float value = 0.0f;
    switch (i % 3) {
      case 0:
        value = std::bit_cast<float>(bits(random));
        break;
      case 1:
        value = std::ldexp(static_cast<float>(2 * odd(random) + 1), shift(random));
        break;
      default:
        value = figure(random);
        break;
    }
    const int decimals = small(random);
    const int width = 4 + small(random) * 3;
    SCOPED_TRACE(testing::Message() << std::hexfloat << value << " w" << width << " d" << decimals);
    ASSERT_EQ(detail::RenderFixedExact(value, width, decimals),
              RenderFixed(value, width, decimals));
    ASSERT_EQ(detail::RenderExpExact(value, width + 6, decimals, 1),
              RenderExp(value, width + 6, decimals, 1));
    ASSERT_EQ(detail::RenderExpExact(value, width + 6, decimals, 0),
              RenderExp(value, width + 6, decimals, 0));
  }
}

// Around the most digits the fast path takes, and far beyond it, the fields
// stay those of the exact expansion.
TEST(RenderFastPath, DigitCountsAtAndBeyondTheFastLimit) {
  const float kValues[] = {FLT_MAX, 0.1f, -2.675f, 1.0e-40f, 123456.789f};
  const int kDecimals[] = {15, 16, 17, 18, 40};
  for (const float value : kValues) {
    for (const int decimals : kDecimals) {
      for (const int scale : {0, 1}) {
        SCOPED_TRACE(testing::Message() << value << " d" << decimals << " scale " << scale);
        ASSERT_EQ(detail::RenderExpExact(value, decimals + 8, decimals, scale),
                  RenderExp(value, decimals + 8, decimals, scale));
      }
    }
  }
}

TEST(RenderInt, Examples) {
  EXPECT_EQ("   7", RenderInt(7, 4));
  EXPECT_EQ("****", RenderInt(12345, 4));
  EXPECT_EQ("****", RenderInt(10000, 4));
  EXPECT_EQ("  -7", RenderInt(-7, 4));
  EXPECT_EQ("   0", RenderInt(0, 4));
  EXPECT_EQ(" 2147483647", RenderInt(2147483647, 11));
  EXPECT_EQ("-2147483648", RenderInt(-2147483647 - 1, 11));
  EXPECT_EQ("**********", RenderInt(-2147483647 - 1, 10));
}

TEST(RenderChars, CopiesOrCuts) {
  EXPECT_EQ("mm", RenderChars("mm", 2));
  EXPECT_EQ("m ", RenderChars("m ", 2));
  EXPECT_EQ("  ab", RenderChars("ab", 4));
  EXPECT_EQ("ab", RenderChars("abcd", 2));
}

// What a 1PEw.d field shows, as a double: the rounded digits, not the float.
TEST(ShownByExp, TheDigitsTheFieldShows) {
  const struct {
    const char* name;
    float value;
    int decimals;
    double shown;
  } kCases[] = {
      {"five digits of a path length", 4.7213593f, 4, 4.7214},
      {"rounds up into the next digit", 10.34987f, 4, 10.35},
      {"small value keeps its exponent", 1.354218e-4f, 4, 1.3542e-4},
      {"negative", -24.72136f, 4, -24.721},
      {"halfway rounds away from zero", 0.125f, 1, 0.13},
      {"zero", 0.0f, 4, 0.0},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.shown, ShownByExp(c.value, c.decimals));
  }
  EXPECT_TRUE(std::isnan(ShownByExp(std::numeric_limits<float>::quiet_NaN(), 4)));
  EXPECT_EQ(-std::numeric_limits<double>::infinity(),
            ShownByExp(-std::numeric_limits<float>::infinity(), 4));
}

}  // namespace
}  // namespace textio
