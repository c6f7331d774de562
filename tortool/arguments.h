#ifndef KEVRANO_TORTOOL_ARGUMENTS_H_
#define KEVRANO_TORTOOL_ARGUMENTS_H_

// The arguments of one kevrano-tor command, checked before the option parser
// sees them, so that none is silently taken for something else: an option
// given another option as its value (`--csv --svg x.svg`), operands beyond the
// one tor file, and `--`, after which every argument is an operand.

#include <functional>
#include <optional>
#include <ostream>
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

/// Checks `args` (above) and hands them to `app`'s parser. Returns nothing
/// when the command goes on; otherwise the exit status: after printing the
/// help to `out` (kExitOk), or what `bad` returns for the one-line message of
/// a fault.
std::optional<int> ParseCommand(CLI::App& app, const std::vector<std::string>& args,
                                std::ostream& out,
                                const std::function<int(const std::string&)>& bad);

}  // namespace tortool

#endif  // KEVRANO_TORTOOL_ARGUMENTS_H_
