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
    std::vector<Node> nodes;
    std::string problem;
  };
  const Case kCases[] = {
      {"a sound lens", {{0.0f, 0.0f}, {0.5f, 5.0f}, {2.0f, 0.0f}, {1.5f, 5.0f}}, ""},
      {"faces that cross", {{0.0f, 0.0f}, {3.0f, 5.0f}, {2.0f, 0.0f}, {0.0f, 5.0f}},
       "the outline crosses itself: linear segment 1 crosses linear segment 3 near (z 0, r 5)"},
      {"a node no file can hold", {{0.0f, 0.0f}, {0.5f, 5.0f}, {2.0f, 0.0f}, {1.5f, 3e38f}},
       "node 4 has a coordinate beyond the range of the file"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    Outline outline;
    outline.nodes = c.nodes;
    outline.linear = {{1, 2}, {2, 4}, {3, 4}};
    EXPECT_EQ(c.problem, OutlineProblem(outline));
  }
}

}  // namespace
}  // namespace tor
