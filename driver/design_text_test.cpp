#include "driver/design_text.h"

#include <gtest/gtest.h>

namespace driver {
namespace {

TEST(DesignTextTest, NonAsciiOnlyInsideStringsAndComments) {
  struct Case {
    const char* fact;
    const char* text;
    int line;  // 0: accepted
  };
  const Case kCases[] = {
      {"a unit after a number", "eps = 2.5\nradius = 10 \xC2\xB5m\n", 2},
      {"a bare key", "\xC3\xA9ps = 2\n", 1},
      {"in a basic string", "tor = \"l\xC3\xA9ns.tor\"\n", 0},
      {"in a literal string", "tor = 'l\xC3\xA9ns.tor'\n", 0},
      {"in a comment", "eps = 2 # \xCE\xB5\n", 0},
      {"an escaped quote keeps the string open", "tor = \"a\\\"\xC3\xA9\"\n", 0},
      {"in a multi-line string, lines counted", "a = \"\"\"\n\xC3\xA9\n\"\"\"\nb = \xC3\xA9\n", 4},
      {"in a multi-line literal", "a = '''\n\xC3\xA9'''\n", 0},
      {"after a string closes", "tor = \"a\" \xC3\xA9\n", 1},
      {"a string ends at its line", "tor = \"a\n\xC3\xA9 = 1\n", 2},
      {"a byte order mark at the start",
       "\xEF\xBB\xBF"
       "eps = 2\n",
       0},
      {"a byte order mark later", "eps = 2\n\xEF\xBB\xBF", 2},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.fact);
    const auto fault = FindBareNonAscii(c.text);
    EXPECT_EQ(c.line, fault ? fault->line : 0);
  }
}

}  // namespace
}  // namespace driver
