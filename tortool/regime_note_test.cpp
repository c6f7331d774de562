#include "tortool/regime_note.h"

#include <gtest/gtest.h>

namespace tortool {
namespace {

// The trace is trusted from ten wavelengths across without zone steps; below
// that an unzoned lens is likely better than traced, and any zone step makes
// a lens likely worse.
TEST(RegimeNoteTest, NamesTheLikelyErrorWhereTheTraceIsDoubtful) {
  struct Case {
    const char* name;
    double diameter;
    int32_t steps;
    bool fullwave;
    const char* want;
  };
  const Case kCases[] = {
      {"large and unzoned: no note", 20.0, 0, true, ""},
      {"exactly ten wavelengths: no note", 10.0, 0, true, ""},
      {"small and unzoned", 5.0, 0, true,
       "  ray-trace regime      5.0 wavelengths across: diffraction likely adds directivity and "
       "raises sidelobes; check with kevrano-tor fullwave\n"},
      {"large and zoned", 20.0, 2, true,
       "  ray-trace regime      2 zone steps: the walls diffract, so directivity is likely lower "
       "and sidelobes higher; check with kevrano-tor fullwave\n"},
      {"small and zoned, no full-wave check built", 9.5, 1, false,
       "  ray-trace regime      1 zone step on 9.5 wavelengths: the walls diffract, so directivity "
       "is likely lower and sidelobes higher\n"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.want, RegimeNote(c.diameter, c.steps, c.fullwave));
  }
}

}  // namespace
}  // namespace tortool
