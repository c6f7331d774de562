#include "export/outline_check.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tor {
namespace {

// Outlines of four nodes joined by three linear segments, axis to axis.
TEST(OutlineProblemTest, NamesWhatTheToolWouldFind) {
  struct Case {
    const char* name;
    std::vector<torfile::Node> nodes;
    std::string problem;
  };
  const Case kCases[] = {
      {"a sound lens", {{0.0, 0.0}, {0.5, 5.0}, {2.0, 0.0}, {1.5, 5.0}}, ""},
      {"faces that cross",
       {{0.0, 0.0}, {3.0, 5.0}, {2.0, 0.0}, {0.0, 5.0}},
       "the outline crosses itself: linear segment 1 crosses linear segment 3 near (z 0, r 5)"},
      {"a node no file can hold",
       {{0.0, 0.0}, {0.5, 5.0}, {2.0, 0.0}, {1.5, 3e38}},
       "node 4 has a coordinate beyond the range of the file"},
      {"a node beyond the file's range along the axis",
       {{0.0, 0.0}, {2e30, 5.0}, {2.0, 0.0}, {1.5, 5.0}},
       "node 2 has a coordinate beyond the range of the file"},
      {"two nodes below the axis: the first, and one more",
       {{0.0, 0.0}, {0.5, -5.0}, {2.0, 0.0}, {1.5, -5.0}},
       "node 2 (z 0.5, r -5) lies below the axis (and 1 more)"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    ZonedOutline outline;
    outline.mesh.nodes = c.nodes;
    outline.mesh.linear = {{{1, 2}}, {{2, 4}}, {{3, 4}}};
    EXPECT_EQ(c.problem, OutlineProblem(outline));
  }
}

}  // namespace
}  // namespace tor
