#include "textio/checked.h"

#include <gtest/gtest.h>

#include <array>
#include <limits>

namespace textio {
namespace {

TEST(Checked, TruncToInt32) {
  const double kNan = std::numeric_limits<double>::quiet_NaN();
  const double kInf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(7, TruncToInt32(7.65));
  EXPECT_EQ(-2, TruncToInt32(-2.5));
  EXPECT_EQ(0, TruncToInt32(-0.99));
  EXPECT_EQ(2147483647, TruncToInt32(2147483647.9));
  EXPECT_EQ(-2147483647 - 1, TruncToInt32(-2147483648.9));
  EXPECT_FALSE(TruncToInt32(2147483648.0));
  EXPECT_FALSE(TruncToInt32(-2147483649.0));
  EXPECT_FALSE(TruncToInt32(kNan));
  EXPECT_FALSE(TruncToInt32(kInf));
  EXPECT_FALSE(TruncToInt32(-kInf));
  EXPECT_FALSE(TruncToInt32(3e38f));
}

TEST(Checked, AtIsOneBasedAndBounded) {
  std::array<float, 3> table{1.0f, 2.0f, 3.0f};
  EXPECT_EQ(1.0f, At(table, 1));
  EXPECT_EQ(3.0f, At(table, 3));
  At(table, 2) = 9.0f;
  EXPECT_EQ(9.0f, table[1]);
  EXPECT_THROW(At(table, 0), IndexError);
  EXPECT_THROW(At(table, 4), IndexError);
  EXPECT_THROW(At(table, -1), IndexError);
}

}  // namespace
}  // namespace textio
