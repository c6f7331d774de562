#include "tortool/arguments.h"

#include <gtest/gtest.h>

namespace tortool {
namespace {

// Each row: the arguments after the command's name, and the message wanted
// (empty when they pass).
TEST(CheckArgumentsTest, RefusesAnOptionAsAValueWithAHintThatWorks) {
  struct Case {
    const char* fact;
    std::vector<std::string> args;
    const char* want;
  };
  const Case kCases[] = {
      {"a long option's value goes after '='",
       {"l.tor", "--csv", "--x"},
       "--csv needs a value; '--x' is an option, not its value (write --csv=--x for a value that "
       "begins with a dash)"},
      {"a short option's value goes right after its letter",
       {"l.tor", "-o", "--x"},
       "-o needs a value; '--x' is an option, not its value (write -o--x for a value that begins "
       "with a dash)"},
      {"a negative number is a value", {"l.tor", "--csv", "-1"}, ""},
      {"a second tor file",
       {"l.tor", "m.tor"},
       "unexpected argument 'm.tor': one tor file at a time"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.fact);
    std::vector<std::string> args = c.args;
    const std::optional<std::string> error = CheckArguments(args, {"--csv", "-o"});
    EXPECT_EQ(c.want, error.value_or(""));
  }
}

}  // namespace
}  // namespace tortool
