#include "tortool/arguments.h"

#include <CLI/CLI.hpp>
#include <algorithm>

#include "textio/arguments.h"
#include "tortool/exit_status.h"

namespace tortool {

std::vector<std::string> ValueOptions(const CLI::App& command) {
  std::vector<std::string> names;
  for (const CLI::Option* option : command.get_options()) {
    if (option->get_expected_max() <= 0 || option->get_type_size_max() <= 0) continue;  // a flag
    for (const std::string& name : option->get_lnames()) names.push_back("--" + name);
    for (const std::string& name : option->get_snames()) names.push_back("-" + name);
  }
  return names;
}

std::optional<std::string> CheckArguments(std::vector<std::string>& args,
                                          const std::vector<std::string>& value_options) {
  std::vector<std::string> checked;
  std::vector<std::string> operands;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--") {
      for (std::size_t k = i + 1; k < args.size(); ++k) {
        operands.push_back(args[k]);
        checked.push_back(textio::LooksLikeOption(args[k]) ? "./" + args[k] : args[k]);
      }
      break;
    }
    checked.push_back(arg);
    if (std::find(value_options.begin(), value_options.end(), arg) != value_options.end()) {
      if (i + 1 < args.size() && textio::LooksLikeOption(args[i + 1])) {
        // A long option takes its value after '=', a short one right after its letter.
        const std::string joined =
            arg.rfind("--", 0) == 0 ? arg + "=" + args[i + 1] : arg + args[i + 1];
        return arg + " needs a value; '" + args[i + 1] + "' is an option, not its value (write " +
               joined + " for a value that begins with a dash)";
      }
      if (i + 1 < args.size()) checked.push_back(args[++i]);
      continue;
    }
    if (!textio::LooksLikeOption(arg)) operands.push_back(arg);
  }
  if (operands.size() > 1) {
    std::string line = operands.size() == 2 ? "unexpected argument" : "unexpected arguments";
    for (std::size_t k = 1; k < operands.size(); ++k) line += " '" + operands[k] + "'";
    return line + ": one tor file at a time";
  }
  args = std::move(checked);
  return std::nullopt;
}

std::optional<int> ParseCommand(CLI::App& app, const std::vector<std::string>& args,
                                std::ostream& out,
                                const std::function<int(const std::string&)>& bad) {
  std::vector<std::string> given = args;
  const bool asks_help = std::any_of(
      args.begin(), args.end(), [](const std::string& a) { return a == "-h" || a == "--help"; });
  if (auto fault = asks_help ? std::nullopt : CheckArguments(given, ValueOptions(app))) {
    return bad(*fault);
  }
  // The parser takes its arguments last first.
  std::vector<std::string> reversed(given.rbegin(), given.rend());
  try {
    app.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    out << app.help();
    return kExitOk;
  } catch (const CLI::ParseError& e) {
    return bad(e.what());
  }
  return std::nullopt;
}

}  // namespace tortool
