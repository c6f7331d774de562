#include "driver/design_file.h"

#include <toml++/toml.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "driver/design_text.h"

namespace driver {
namespace {

std::string At(const std::string& path, const toml::source_region& where) {
  return path + ":" + std::to_string(where.begin.line);
}

// True when a real as the file wrote it lies beyond what a 32-bit real holds:
// larger than the largest, or written with digits but read as 0 (1e-400).
bool BeyondFloat(double value, std::string_view written) {
  if (std::isfinite(value) &&
      std::fabs(value) > static_cast<double>(std::numeric_limits<float>::max())) {
    return true;
  }
  if (value != 0.0) return false;
  const std::string_view mantissa = written.substr(0, written.find_first_of("eE"));
  return mantissa.find_first_of("123456789") != std::string_view::npos;
}

// A TOML value as a setting: strings as they are, numbers in their shortest
// decimal form, so that the dialogue reads the real the file wrote. `file` is
// the file's text, for the number as written.
std::variant<Setting, std::string> SettingOf(const std::string& path, std::string_view file,
                                             std::string_view key, const toml::node& node) {
  Setting s;
  s.where = At(path, node.source()) + ": " + std::string(key);
  if (const auto* text = node.as_string()) {
    s.kind = Setting::Kind::kString;
    s.text = text->get();
  } else if (const auto* integer = node.as_integer()) {
    s.kind = Setting::Kind::kNumber;
    s.text = std::to_string(integer->get());
  } else if (const auto* real = node.as_floating_point()) {
    s.kind = Setting::Kind::kNumber;
    s.text = ShortestText(real->get());
    const std::string_view written = ValueTextAt(file, static_cast<int>(node.source().begin.line),
                                                 static_cast<int>(node.source().begin.column));
    if (BeyondFloat(real->get(), written)) {
      return s.where + ": " + std::string(written) +
             " lies beyond the range of a 32-bit real (about 1e-45 to 3.4e38)";
    }
  } else {
    return s.where + ": expected a number or a string";
  }
  return s;
}

bool IsDesignKey(std::string_view key) {
  const auto keys = DesignKeys();
  return std::any_of(keys.begin(), keys.end(), [&](const DesignKey& k) { return k.key == key; });
}

// Keys that stand for one choice: a design that sets one of them replaces
// whatever the top level set for the other.
const std::vector<std::vector<std::string_view>> kAlternatives = {{"inner", "outer", "shape"},
                                                                  {"wavelength", "frequency"}};

void Override(Settings& defaults, const Settings& own) {
  for (const auto& group : kAlternatives) {
    const bool sets_group = std::any_of(group.begin(), group.end(),
                                        [&](std::string_view k) { return own.count(k) != 0; });
    if (!sets_group) continue;
    for (std::string_view k : group) {
      if (auto it = defaults.find(k); it != defaults.end()) defaults.erase(it);
    }
  }
  for (const auto& [key, setting] : own) defaults[key] = setting;
}

}  // namespace

std::variant<DesignFile, std::string> ReadDesignFile(const std::string& path) {
  // The whole file first, from a pipe or /dev/stdin as well, and only bytes
  // the TOML reader is sure to handle.
  std::string text;
  if (auto message = ReadDesignText(path, &text)) return path + ": " + *message;
  if (auto fault = FindBareNonAscii(text)) {
    return path + ":" + std::to_string(fault->line) + ": " + fault->message;
  }
  toml::table top;
  try {
    top = toml::parse(text, path);
  } catch (const toml::parse_error& e) {
    const auto line = e.source().begin.line;
    if (line == 0) return path + ": cannot be read: " + std::string(e.description());
    return path + ":" + std::to_string(line) + ": " + std::string(e.description());
  }

  DesignFile file;
  Settings defaults;
  const toml::array* designs = nullptr;
  std::optional<Setting> report;
  for (const auto& [key, node] : top) {
    const std::string name(key.str());
    const std::string where = At(path, key.source()) + ": " + name;
    if (name == "design") {
      designs = node.as_array();
      if (designs == nullptr || !designs->is_array_of_tables()) {
        return where + ": expected [[design]] tables, one per lens";
      }
      continue;
    }
    if (name != "report" && name != "zoning" && !IsDesignKey(name)) {
      return where + ": unknown key";
    }
    auto setting = SettingOf(path, text, name, node);
    if (auto* message = std::get_if<std::string>(&setting)) return *message;
    Setting s = std::get<Setting>(std::move(setting));
    if (name == "report") {
      report = s;
    } else if (name == "zoning") {
      if (s.kind != Setting::Kind::kString || (s.text != "standard" && s.text != "exact")) {
        return s.where + ": expected standard or exact, got '" + s.text + "'";
      }
      file.zoning_given = true;
      file.run.options.zoning =
          s.text == "exact" ? design::ZoningMode::kExact : design::ZoningMode::kStandard;
    } else {
      s.inherited = true;
      defaults[name] = s;
    }
  }

  // One design per [[design]] table, or one from the top level.
  std::vector<std::pair<Settings, MissingName>> lenses;
  if (designs == nullptr) {
    // A file of one design: its top level is that design's own.
    for (auto& entry : defaults) entry.second.inherited = false;
    lenses.push_back({defaults, MissingName{path + ": ", false}});
  } else {
    std::size_t index = 0;
    for (const toml::node& element : *designs) {
      ++index;
      const toml::table& table = *element.as_table();
      Settings own;
      for (const auto& [key, node] : table) {
        const std::string name(key.str());
        if (name == "report" || name == "zoning") {
          return At(path, key.source()) + ": " + name +
                 ": belongs at the top level: it holds for every design of the file";
        }
        if (!IsDesignKey(name)) return At(path, key.source()) + ": " + name + ": unknown key";
        auto setting = SettingOf(path, text, name, node);
        if (auto* message = std::get_if<std::string>(&setting)) return *message;
        own[name] = std::get<Setting>(std::move(setting));
      }
      Settings merged = defaults;
      Override(merged, own);
      lenses.push_back({std::move(merged), MissingName{At(path, table.source()) + ": design " +
                                                           std::to_string(index) + ": ",
                                                       false}});
    }
    if (index == 0) return path + ": no design: add a [[design]] table";
  }
  for (const auto& [settings, missing] : lenses) {
    auto lens = MakeDesign(settings, missing);
    if (auto* message = std::get_if<std::string>(&lens)) return *message;
    file.run.designs.push_back(std::get<LensDesign>(std::move(lens)));
  }
  if (!report) return path + ": report is missing: give the report file name, report = \"...\"";
  if (report->kind != Setting::Kind::kString) {
    return report->where + ": expected a file name in quotes";
  }
  if (auto message = CheckFileName(*report)) return *message;
  file.run.report = report->text;
  if (auto message = CheckRunFiles(file.run, path)) return path + ": " + *message;
  return file;
}

}  // namespace driver
