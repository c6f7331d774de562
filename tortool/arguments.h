#ifndef KEVRANO_TORTOOL_ARGUMENTS_H_
#define KEVRANO_TORTOOL_ARGUMENTS_H_

// The arguments of one kevrano-tor command, checked before the option parser
// sees them, so that none is silently taken for something else: an option
// given another option as its value (`--csv --svg x.svg`), operands beyond the
// one tor file, and `--`, after which every argument is an operand.

#include <optional>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace tortool {

/// The options of a command that take a value, by every name they have.
std::vector<std::string> ValueOptions(const CLI::App& command);

/// Checks the arguments after the command's name. `value_options` are the
/// options that take a value. On success returns nothing and rewrites `args`
/// for the parser: `--` is dropped, and an operand after it that looks like
/// an option gets "./" before it. Otherwise returns the one-line message, the
/// first fault in the order given.
std::optional<std::string> CheckArguments(std::vector<std::string>& args,
                                          const std::vector<std::string>& value_options);

}  // namespace tortool

#endif  // KEVRANO_TORTOOL_ARGUMENTS_H_
