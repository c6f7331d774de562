#include "design/splenz.h"

#include <gtest/gtest.h>

#include <string>

namespace design {
namespace {

// Boundary j lies at path length j*STEP + PMIN; the splines were fitted from
// path length 2 (the edge ray) to 10 (the axial ray).
TEST(ExtrapolatedBoundariesLineTest, NamesBoundariesOutsideThePathLengths) {
  struct Case {
    const char* name;
    int32_t zones;
    float step;
    float pmin;
    std::string line;
  };
  const std::string tail = " outside the lens path lengths: ";
  const Case kCases[] = {
      {"all inside, ends included", 4, 2.0f, 0.0f, ""},
      {"no zones", 0, 2.0f, -10.0f, ""},
      {"the outermost beyond the edge ray", 4, 2.0f, -0.5f,
       "Zone boundary 1 (beyond the edge ray) lies" + tail +
           "its radii are extrapolated; a tor file is still written as designed"},
      {"two beyond the edge ray", 5, 2.0f, -3.0f,
       "Zone boundaries 1 to 2 (beyond the edge ray) lie" + tail +
           "their radii are extrapolated; a tor file is still written as designed"},
      {"both ends", 6, 2.0f, -0.5f,
       "Zone boundaries 1 (beyond the edge ray) and 6 (inside the axial ray) lie" + tail +
           "their radii are extrapolated; a tor file is still written as designed"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.line, ExtrapolatedBoundariesLine(c.zones, c.step, c.pmin, 2.0f, 10.0f));
  }
}

}  // namespace
}  // namespace design
