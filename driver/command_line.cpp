#include "driver/command_line.h"

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <iostream>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "driver/design_file.h"
#include "driver/kevrano.h"
#include "kevrano_version.h"
#include "textio/arguments.h"
#include "textio/printable.h"

namespace driver {
namespace {

constexpr const char* kZoningHelp = "how zone steps are cut: standard (default) or exact";

std::optional<design::ZoningMode> ZoningOf(const std::string& text) {
  if (text == "standard") return design::ZoningMode::kStandard;
  if (text == "exact") return design::ZoningMode::kExact;
  return std::nullopt;
}

Command Exit(int status) {
  Command c;
  c.action = Command::Action::kExit;
  c.status = status;
  return c;
}

// The option a CLI11 message begins with ("--eps: 1 required ..."), if any.
std::string LeadingOption(const std::string& message) {
  if (message.rfind("--", 0) != 0) return "";
  const std::size_t end = message.find_first_of(": ");
  return message.substr(0, end);
}

using textio::LooksLikeOption;

// An argument the parser would misplace, in the order given: the value of an
// option that looks like an option itself (`--tor --report r.txt`), or an
// argument `kevrano design` does not take (a file name without its option, a
// second `design`, a script before `design`, anything after `--`).
struct Misplaced {
  std::string option;  // the option left without its value, or ""
  std::string next;    // the option that follows it
  bool in_design = false;
  std::vector<std::string> stray;
};

std::optional<Misplaced> FindMisplaced(const std::vector<std::string>& args) {
  std::set<std::string, std::less<>> takes_value = {"--zoning", "--report", "--file"};
  for (const DesignKey& k : DesignKeys()) takes_value.insert("--" + std::string(k.key));
  static const std::set<std::string, std::less<>> kFlags = {"--json", "--help", "-h", "--help-all",
                                                            "--version"};
  Misplaced found;
  bool in_design = false;
  std::vector<std::string> before_design;  // positionals before `design`
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--") {
      // Everything after it is an operand: a script for the dialogue, which
      // the parser handles; `kevrano design` takes none.
      if (!in_design) return std::nullopt;
      found.stray.insert(found.stray.end(), args.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                         args.end());
      break;
    }
    if (takes_value.count(arg) != 0) {
      if (i + 1 < args.size() && LooksLikeOption(args[i + 1])) {
        // Stray arguments before it come first, in the order given.
        if (!found.stray.empty()) break;
        found.option = arg;
        found.next = args[i + 1];
        found.in_design = in_design;
        return found;
      }
      ++i;
      continue;
    }
    if (LooksLikeOption(arg)) {
      const std::string name = arg.substr(0, arg.find('='));
      if (takes_value.count(name) != 0 || kFlags.count(name) != 0) continue;
      break;  // an unknown option: the parser names it, after what came before
    }
    if (arg == "design" && !in_design) {
      in_design = true;
      found.stray = before_design;
      continue;
    }
    (in_design ? found.stray : before_design).push_back(arg);
  }
  if (!in_design || found.stray.empty()) return std::nullopt;
  return found;
}

// Whether every file name the summaries carry can be written as JSON text.
std::optional<std::string> NotUtf8(const DesignRun& run) {
  std::vector<std::string> names = {run.report};
  for (const LensDesign& lens : run.designs) {
    if (!lens.tor.empty()) names.push_back(lens.tor);
  }
  for (const std::string& name : names) {
    try {
      (void)nlohmann::json(name).dump();
    } catch (const nlohmann::json::type_error&) {
      return "--json: the file name '" + name +
             "' is not UTF-8 text, which a JSON summary cannot hold: rename the file or leave "
             "out --json";
    }
  }
  return std::nullopt;
}

}  // namespace

Command ParseCommandLine(const std::vector<std::string>& args, std::ostream& out,
                         std::ostream& err) {
  CLI::App app(
      "KEVRANO designs rotationally symmetric dielectric lenses for a feed on the "
      "lens axis.\nWithout arguments it asks for each answer at the keyboard.",
      "kevrano");
  app.set_version_flag("--version", std::string("kevrano ") + KEVRANO_VERSION,
                       "print the version and exit");
  std::string zoning = "standard";
  app.add_option("--zoning", zoning, kZoningHelp)->type_name("MODE");
  std::string script;
  app.add_option("SCRIPT", script,
                 "script of answers, one per line: the same as answering 1 and SCRIPT at the "
                 "first prompt");
  app.require_subcommand(0, 1);

  CLI::App* design = app.add_subcommand(
      "design", "run designs from named options or a design file, with a summary per design");
  design->fallthrough();
  std::map<std::string, std::string, std::less<>> values;
  std::map<std::string, CLI::Option*, std::less<>> options;
  for (const DesignKey& o : DesignKeys()) {
    const std::string key(o.key);
    options[key] = design->add_option("--" + key, values[key], std::string(o.help))
                       ->type_name(std::string(o.type));
  }
  std::string report;
  CLI::Option* report_option =
      design->add_option("--report", report, "report file holding every design (required)")
          ->type_name("FILE");
  std::string file;
  CLI::Option* file_option =
      design->add_option("--file", file, "design file (TOML) of one or more [[design]] tables")
          ->type_name("DESIGNS.toml");
  bool json = false;
  design->add_flag("--json", json, "print each design's summary as one JSON object per line");
  design->footer("--zoning MODE (standard or exact) may stand before or after `design`.");

  // What an option takes, as the line naming a missing value says it.
  // Nothing for an option that takes no value.
  const auto needs_value = [](const std::string& option) -> std::optional<std::string> {
    for (const DesignKey& o : DesignKeys()) {
      if (option == "--" + std::string(o.key)) {
        return option + " needs a value: " + std::string(o.help);
      }
    }
    if (option == "--report" || option == "--file") return option + " needs a file name";
    if (option == "--zoning") return std::string("--zoning needs a value: ") + kZoningHelp;
    return std::nullopt;
  };
  const auto design_usage = [&err](const std::string& line) {
    err << textio::Printable("kevrano design: " + line)
        << " (kevrano design --help lists the options)\n";
    return Exit(2);
  };

  // Help and the version first, as the parser gives them; then no argument
  // may be silently misplaced.
  const bool asks_help = std::any_of(args.begin(), args.end(), [](const std::string& a) {
    return a == "--help" || a == "-h" || a == "--help-all" || a == "--version";
  });
  if (auto misplaced = FindMisplaced(args); misplaced && !asks_help) {
    if (!misplaced->option.empty()) {
      const std::string& next = misplaced->next;
      const std::string line = needs_value(misplaced->option).value_or(misplaced->option) + "; '" +
                               next + "' is an option, not its value (write " + misplaced->option +
                               "=" + next + " for a value that begins with a dash)";
      if (misplaced->in_design) return design_usage(line);
      err << textio::Printable("kevrano: " + line) << '\n' << app.help();
      return Exit(2);
    }
    std::string line =
        misplaced->stray.size() == 1 ? "unexpected argument" : "unexpected arguments";
    for (const std::string& a : misplaced->stray) line += " '" + a + "'";
    line +=
        ": kevrano design takes only options (a tor file is --tor FILE, a design file --file FILE)";
    return design_usage(line);
  }

  bool in_design = !args.empty() && args.front() == "design";
  try {
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    app.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    out << app.help();
    return Exit(0);
  } catch (const CLI::CallForAllHelp&) {
    out << app.help("", CLI::AppFormatMode::All);
    return Exit(0);
  } catch (const CLI::CallForVersion& e) {
    out << e.what() << '\n';
    return Exit(0);
  } catch (const CLI::ParseError& e) {
    in_design = in_design || design->parsed();
    const std::string who = in_design ? "kevrano design: " : "kevrano: ";
    std::string message = e.what();
    if (dynamic_cast<const CLI::ExtrasError*>(&e) != nullptr) {
      const std::size_t colon = message.find(": ");
      message = "unknown option or argument: " +
                (colon == std::string::npos ? message : message.substr(colon + 2));
    }
    const std::string option = LeadingOption(message);
    if (in_design) {
      // One line naming the option and what it takes.
      std::string line = message;
      const bool repeated = message.find("received") != std::string::npos;
      if (auto needed = needs_value(option)) line = *needed;
      if (repeated && !option.empty()) line = option + " is given more than once: give it once";
      return design_usage(line);
    }
    err << textio::Printable(who + message) << "\n" << app.help();
    return Exit(2);
  }

  in_design = design->parsed();
  const std::string who = in_design ? "kevrano design: " : "kevrano: ";
  const auto usage_error = [&](const std::string& line) {
    err << textio::Printable(who + line) << '\n';
    if (!in_design) err << app.help();
    return Exit(2);
  };

  Command command;
  const auto mode = ZoningOf(zoning);
  if (!mode) return usage_error("--zoning: expected standard or exact, got '" + zoning + "'");
  command.options.zoning = *mode;

  if (!design->parsed()) {
    if (!script.empty() || app.count("SCRIPT") > 0) {
      // The script's name is answered at the file-name prompt, so it must be
      // a name that prompt takes.
      if (auto message = CheckNameText(Setting{script, Setting::Kind::kText, "SCRIPT"})) {
        return usage_error(*message);
      }
      command.script = script;
    }
    command.action = Command::Action::kDialogue;
    return command;
  }

  command.action = Command::Action::kDesign;
  command.json = json;
  if (file_option->count() > 0) {
    for (const auto& [key, option] : options) {
      if (option->count() > 0) return usage_error("--file cannot be combined with --" + key);
    }
    if (report_option->count() > 0) {
      return usage_error("--file cannot be combined with --report: the file names its report");
    }
    auto read = ReadDesignFile(file);
    if (auto* message = std::get_if<std::string>(&read)) return usage_error(*message);
    DesignFile& designs = std::get<DesignFile>(read);
    command.run = std::move(designs.run);
    // The command line's zoning, when given, holds over the file's.
    command.run.options.zoning =
        app.count("--zoning") > 0 || !designs.zoning_given ? *mode : command.run.options.zoning;
    if (auto message = CheckDesignKinds(command.run)) return usage_error(file + ": " + *message);
    if (auto message = json ? NotUtf8(command.run) : std::nullopt) return usage_error(*message);
    return command;
  }

  Settings settings;
  for (const auto& [key, option] : options) {
    if (option->count() > 0) {
      settings[key] = Setting{values[key], Setting::Kind::kText, "--" + key};
    }
  }
  // A shaped lens may go without a report: its summary then says it all
  if (report_option->count() == 0 && settings.count("shape") == 0) {
    return usage_error("--report is missing: give the report file name");
  }
  const Setting report_setting{report, Setting::Kind::kText, "--report"};
  if (report_option->count() > 0) {
    if (auto message = CheckFileName(report_setting)) return usage_error(*message);
  }
  auto lens = MakeDesign(settings, MissingName{"", true});
  if (auto* message = std::get_if<std::string>(&lens)) return usage_error(*message);
  command.run.report = report;
  command.run.designs.push_back(std::get<LensDesign>(std::move(lens)));
  command.run.options = command.options;
  if (auto message = CheckRunFiles(command.run)) return usage_error(*message);
  if (auto message = CheckDesignKinds(command.run)) return usage_error(*message);
  if (auto message = json ? NotUtf8(command.run) : std::nullopt) return usage_error(*message);
  return command;
}

int RunCommand(const Command& command) {
  switch (command.action) {
    case Command::Action::kExit:
      return command.status;
    case Command::Action::kDesign:
      return RunDesigns(command.run, command.json, std::cout, std::cerr);
    case Command::Action::kDialogue:
      break;
  }
  textio::ConsoleSetup setup;
  setup.screen_is_terminal = isatty(STDOUT_FILENO) == 1;
  if (!command.script) {
    setup.keyboard_is_terminal = isatty(STDIN_FILENO) == 1;
    return RunProgram(std::cin, std::cout, std::cerr, setup, command.options);
  }
  // The script's name answers the first two questions; the script the rest.
  std::istringstream keyboard("1\n" + *command.script + "\n");
  return RunProgram(keyboard, std::cout, std::cerr, setup, command.options);
}

}  // namespace driver
