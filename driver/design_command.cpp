#include "driver/design_command.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <functional>
#include <limits>
#include <nlohmann/json.hpp>
#include <ostream>
#include <streambuf>

#include "design/profile.h"
#include "design/shaped_lens.h"
#include "design/splenz.h"
#include "driver/kevrano.h"
#include "driver/shaped_command.h"
#include "textio/checked.h"
#include "textio/file_identity.h"
#include "textio/fixed_format.h"
#include "textio/free_read.h"
#include "textio/prompts.h"
#include "textio/units.h"
#include "torfile/mesh.h"

namespace driver {

namespace {

template <typename Real>
std::string Shortest(Real value) {
  char buf[32];
  const auto result = std::to_chars(buf, buf + sizeof buf, value);
  return std::string(buf, result.ptr);
}

}  // namespace

std::string ShortestText(float value) { return Shortest(value); }
std::string ShortestText(double value) { return Shortest(value); }

namespace {

// The speed of light in metres per second, for a wavelength from a frequency.
constexpr double kSpeedOfLight = 299792458.0;

std::string Quoted(const Setting& s) { return "'" + s.text + "'"; }

// Checks settings one by one; the first fault is kept as the message.
class Checker {
 public:
  Checker(const Settings& settings, const MissingName& missing)
      : settings_(settings), missing_(missing) {}

  const Setting* Find(std::string_view key) const {
    auto it = settings_.find(key);
    return it == settings_.end() ? nullptr : &it->second;
  }
  bool Has(std::string_view key) const { return Find(key) != nullptr; }
  bool Failed() const { return !error_.empty(); }
  const std::string& Error() const { return error_; }

  // A key as the user wrote it: `--eps` on the command line, `eps` in a file.
  std::string Name(std::string_view key) const {
    return (missing_.dashes ? "--" : "") + std::string(key);
  }

  void Fail(std::string message) {
    if (error_.empty()) error_ = std::move(message);
  }
  // A fault of the design as a whole, named by where the design stands.
  void FailDesign(const std::string& message) { Fail(missing_.prefix + message); }
  void FailMissing(std::string_view key, std::string_view accepts) {
    FailDesign(Name(key) + " is missing: give " + std::string(accepts));
  }
  void FailValue(const Setting& s, std::string_view accepts) {
    Fail(s.where + ": expected " + std::string(accepts) + ", got " + Quoted(s));
  }

  // A real read as the dialogue reads it, within the range `accepts` names.
  std::optional<float> Real(std::string_view key, std::string_view accepts,
                            const std::function<bool(float)>& in_range, bool required = true) {
    const Setting* s = Find(key);
    if (s == nullptr) {
      if (required) FailMissing(key, accepts);
      return std::nullopt;
    }
    if (s->kind == Setting::Kind::kString) {
      // The fault is the quotes, not the number inside them.
      Fail(s->where + ": expected " + std::string(accepts) + ", got the string \"" + s->text +
           "\": write the number without quotes");
      return std::nullopt;
    }
    float value = 0.0f;
    if (textio::ParseReal(s->text, value) != textio::FreeStatus::kDone || !std::isfinite(value)) {
      FailValue(*s, accepts);
      return std::nullopt;
    }
    if (!in_range(value)) {
      FailValue(*s, accepts);
      return std::nullopt;
    }
    return value;
  }

  // A word out of `choices`; the index of the one given.
  std::optional<std::size_t> Choice(std::string_view key, std::span<const std::string_view> choices,
                                    std::string_view accepts) {
    const Setting* s = Find(key);
    if (s == nullptr) return std::nullopt;
    if (s->kind != Setting::Kind::kNumber) {
      for (std::size_t i = 0; i < choices.size(); ++i) {
        if (s->text == choices[i]) return i;
      }
    }
    FailValue(*s, accepts);
    return std::nullopt;
  }

 private:
  const Settings& settings_;
  const MissingName& missing_;
  std::string error_;
};

constexpr std::string_view kFaces[] = {"flat", "sphere"};
using torfile::kUnitNames;

bool Positive(float v) { return v > 0.0f; }
bool NotNegative(float v) { return v >= 0.0f; }
bool Any(float) { return true; }

}  // namespace

std::span<const DesignKey> DesignKeys() {
  static constexpr DesignKey kKeys[] = {
      {"inner", "FACE", "prescribed feed (inner) face: flat or sphere"},
      {"outer", "FACE", "prescribed radiation (outer) face: flat or sphere"},
      {"eps", "NUMBER", "dielectric constant of the lens, greater than 1"},
      {"radius", "NUMBER", "lens radius, greater than 0"},
      {"edge", "NUMBER", "axial distance of the lens edge from the feed, greater than 0"},
      {"edge-thickness", "NUMBER", "edge thickness along the edge ray, 0 or more (default 0)"},
      {"sphere-centre", "NUMBER", "distance from the feed to the centre of a sphere face"},
      {"radial-step", "NUMBER", "radial step between rays, giving 2 to 3501 rays"},
      {"wavelength", "NUMBER", "operating wavelength in the lens unit, greater than 0"},
      {"frequency", "GHZ", "operating frequency in GHz, instead of --wavelength (needs --units)"},
      {"feed-share", "NUMBER", "feed face's share of each zone step, 0 to 1 (default 0.5)"},
      {"min-path", "NUMBER", "path length the zones are counted from, 0 or more (default 0)"},
      {"tor", "FILE", "write the zoned lens to this tor file (none without it)"},
      {"units", "UNIT", "unit of length: in, ft, mm or m (needed by --tor and --frequency)"},
      {"offset", "NUMBER", "axial offset of the lens in the tor file (default 0)"},
      {"shape", "SHAPE",
       "a shaped lens, both faces synthesised: uniform (aperture) or sine (condition)"},
      {"edge-angle", "DEG", "shaped: feed angle of the lens edge, 0 to 90 degrees"},
      {"feed-distance", "NUMBER", "shaped: feed to the inner face on the axis, greater than 0"},
      {"thickness", "NUMBER", "shaped: thickness on the axis, greater than 0"},
      {"edge-taper", "DB", "shaped, uniform: feed taper at the edge angle (default 10 dB)"},
      {"feed-q", "Q", "shaped, uniform: Q of the feed pattern cos^(2Q), instead of --edge-taper"},
      {"rays", "N", "shaped: rows of the profile, 2 to 3501 (default 31)"},
  };
  return kKeys;
}

std::optional<std::string> CheckNameText(const Setting& name) {
  const std::string& text = name.text;
  const bool control = std::any_of(text.begin(), text.end(), [](char c) {
    return static_cast<unsigned char>(c) < 0x20 || c == 0x7f;
  });
  if (name.kind == Setting::Kind::kNumber || text.empty() ||
      text.size() > static_cast<std::size_t>(textio::kNameLength) || text.back() == ' ' ||
      control) {
    return name.where +
           ": expected a file name of 1 to 70 characters, without control characters or trailing "
           "blanks, got '" +
           text + "'";
  }
  return std::nullopt;
}

std::optional<std::string> CheckFileName(const Setting& name) {
  if (auto message = CheckNameText(name)) return message;
  const std::string& text = name.text;
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path path(text);
  if (fs::is_directory(path, ec)) return name.where + ": '" + text + "' is a folder, not a file";
  const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
  if (!fs::is_directory(folder, ec)) {
    return name.where + ": the folder '" + folder.string() + "' of '" + text + "' does not exist";
  }
  return std::nullopt;
}

namespace {

// Keys of a lens with a prescribed face only, and of a shaped lens only.
constexpr std::string_view kFacedKeys[] = {
    "inner",       "outer",      "edge",      "edge-thickness", "sphere-centre",
    "radial-step", "wavelength", "frequency", "feed-share",     "min-path"};
constexpr std::string_view kShapedKeys[] = {"edge-angle", "feed-distance", "thickness",
                                            "edge-taper", "feed-q",        "rays"};
constexpr std::string_view kShapes[] = {"uniform", "sine"};

// Refuses a key the design cannot use, unless the top level of a design file
// set it for every design.
void RefuseKeys(Checker& check, std::span<const std::string_view> keys, std::string_view why) {
  for (std::string_view key : keys) {
    const Setting* s = check.Find(key);
    if (s != nullptr && !s->inherited && !check.Failed()) {
      check.Fail(s->where + ": " + std::string(why));
    }
  }
}

// The tor file, its units and the lens axis offset, for every kind of lens.
std::variant<LensDesign, std::string> FinishDesign(Checker& check, LensDesign& lens) {
  if (const Setting* tor = check.Find("tor")) {
    if (auto message = CheckFileName(*tor)) check.Fail(*message);
    lens.tor = tor->text;
    if (lens.units == 0 && !check.Has("units")) {
      check.FailDesign(check.Name("tor") + " needs " + check.Name("units") +
                       ": the unit of length the tor file names, in, ft, mm or m");
    }
  }
  if (auto v = check.Real("offset", "a lens axis offset (a number)", Any, false)) {
    lens.offset = *v;
  }
  if (const Setting* s = check.Find("offset");
      s != nullptr && !s->inherited && lens.tor.empty() && !check.Failed()) {
    check.Fail(s->where + ": the lens axis offset goes with a tor file; give " + check.Name("tor") +
               " too");
  }

  if (check.Failed()) return check.Error();
  return lens;
}

// The settings of a shaped lens.
void MakeShaped(Checker& check, LensDesign& lens) {
  RefuseKeys(check, kFacedKeys, "a shaped lens has no prescribed face and is not zoned");
  ShapedDesign shaped;
  if (auto shape = check.Choice("shape", kShapes, "uniform or sine")) shaped.sine = *shape == 1;
  if (auto v = check.Real("eps", "a dielectric constant greater than 1",
                          [](float x) { return x > 1.0f; })) {
    lens.eps = *v;
  }
  if (auto v = check.Real("radius", "an aperture radius greater than 0", Positive)) {
    lens.radius = *v;
  }
  if (auto v = check.Real("edge-angle", "an edge angle between 0 and 90 degrees",
                          [](float x) { return x > 0.0f && x < 90.0f; })) {
    shaped.edge_angle_deg = *v;
  }
  if (auto v = check.Real("feed-distance", "a feed distance greater than 0", Positive)) {
    shaped.feed_distance = *v;
  }
  if (auto v = check.Real("thickness", "a thickness on the axis greater than 0", Positive)) {
    shaped.thickness = *v;
  }
  // The feed of a uniform aperture: Q, or the taper that picks it; a design's
  // own key holds over the other one set at the top level of a design file
  const Setting* taper = check.Find("edge-taper");
  const Setting* q = check.Find("feed-q");
  const bool own_q = q != nullptr && !q->inherited;
  const bool own_taper = taper != nullptr && !taper->inherited;
  if (shaped.sine) {
    RefuseKeys(check, std::array<std::string_view, 2>{"edge-taper", "feed-q"},
               "only a uniform shape depends on the feed pattern");
  } else if (q != nullptr && taper != nullptr && own_q == own_taper) {
    check.FailDesign(check.Name("feed-q") + " replaces " + check.Name("edge-taper") +
                     ": give one of them");
  } else if (q != nullptr && (own_q || !own_taper)) {
    shaped.feed_q = check.Real("feed-q", "a feed Q of 0 or more", NotNegative);
  } else if (auto v =
                 check.Real("edge-taper", "an edge taper of 0 dB or more", NotNegative, false)) {
    shaped.edge_taper_db = *v;
  }
  if (auto v = check.Real(
          "rays", "a whole number of rays from 2 to 3501",
          [](float x) {
            const auto n = textio::TruncToInt32(x);
            return n && static_cast<float>(*n) == x && *n >= design::kShapedMinRays &&
                   *n <= design::kShapedMaxRays;
          },
          false)) {
    shaped.rays = textio::TruncToInt32(*v).value_or(shaped.rays);
  }
  if (auto u = check.Choice("units", kUnitNames, "in, ft, mm or m")) {
    lens.units = static_cast<int32_t>(*u) + 1;
  }
  lens.shaped = shaped;
}

}  // namespace

std::variant<LensDesign, std::string> MakeDesign(const Settings& settings,
                                                 const MissingName& missing) {
  Checker check(settings, missing);
  LensDesign lens;
  if (check.Has("shape")) {
    MakeShaped(check, lens);
    return FinishDesign(check, lens);
  }
  RefuseKeys(check, kShapedKeys, "only a shaped lens (--shape) takes this key");

  // Prescribed face: which side, and its shape.
  const bool inner = check.Has("inner");
  const bool outer = check.Has("outer");
  if (inner && outer) {
    check.FailDesign(check.Name("inner") + " and " + check.Name("outer") +
                     " both given: prescribe one face, flat or sphere");
  } else if (!inner && !outer) {
    check.FailDesign(check.Name("inner") + " or " + check.Name("outer") +
                     " is missing: give the prescribed face, flat or sphere");
  } else {
    lens.side = inner ? 1 : 2;
    if (auto face = check.Choice(inner ? "inner" : "outer", kFaces, "flat or sphere")) {
      lens.face = static_cast<int32_t>(*face) + 1;
    }
  }

  if (auto v = check.Real("eps", "a dielectric constant greater than 1",
                          [](float x) { return x > 1.0f; })) {
    lens.eps = *v;
  }
  if (auto v = check.Real("radius", "a lens radius greater than 0", Positive)) lens.radius = *v;
  if (auto v = check.Real("edge", "an edge distance from the feed greater than 0", Positive)) {
    lens.edge = *v;
  }
  if (auto v = check.Real("edge-thickness", "an edge thickness of 0 or more", NotNegative, false)) {
    lens.edge_thickness = *v;
  }

  // The sphere's centre belongs to a spherical face only.
  const std::string_view centre_accepts = "the distance from the feed to the sphere's centre";
  if (lens.face == 2) {
    if (auto v = check.Real("sphere-centre", centre_accepts, Any)) lens.sphere_centre = *v;
  } else if (const Setting* s = check.Find("sphere-centre");
             s != nullptr && !s->inherited && !check.Failed()) {
    check.Fail(s->where + ": only a sphere face has a centre; the face given is flat");
  }

  // The radial step must give between 2 and the most rays the tables hold.
  if (const Setting* s = check.Find("radial-step"); s != nullptr && lens.radius > 0.0f) {
    const std::string accepts = "a radial step giving 2 to " + std::to_string(design::kMaxRays) +
                                " rays across the radius (rays = trunc(radius/step + 1.4))";
    if (auto v = check.Real("radial-step", accepts, [&](float step) {
          const auto rays = design::RayCount(lens.radius, step);
          return step > 0.0f && rays && *rays >= 2 && *rays <= design::kMaxRays;
        })) {
      lens.radial_step = *v;
    }
  } else if (s == nullptr) {
    check.FailMissing("radial-step", "the radial step between rays, greater than 0");
  }

  // Units, needed by a tor file and by a frequency.
  if (auto u = check.Choice("units", kUnitNames, "in, ft, mm or m")) {
    lens.units = static_cast<int32_t>(*u) + 1;
  }

  // Wavelength, or a frequency converted in the lens unit.
  const bool has_wavelength = check.Has("wavelength");
  const bool has_frequency = check.Has("frequency");
  if (has_wavelength && has_frequency) {
    check.FailDesign(check.Name("frequency") + " replaces " + check.Name("wavelength") +
                     ": give one of them");
  } else if (has_frequency) {
    if (auto f = check.Real("frequency", "a frequency in GHz greater than 0", Positive)) {
      if (lens.units == 0) {
        check.FailDesign(check.Name("frequency") + " needs " + check.Name("units") +
                         " (in, ft, mm or m) to give the wavelength in the lens unit");
      } else {
        const double metres = kSpeedOfLight / (static_cast<double>(*f) * 1e9);
        const double unit_metres = textio::At(torfile::kMillimetresPerUnit, lens.units) / 1000.0;
        const double in_units = metres / unit_metres;
        // A wavelength beyond the largest 32-bit real has no float to become.
        const bool fits = in_units <= static_cast<double>(std::numeric_limits<float>::max());
        const float wavelength = fits ? static_cast<float>(in_units) : 0.0f;
        if (!(wavelength > 0.0f)) {
          check.FailValue(*check.Find("frequency"),
                          "a frequency giving a wavelength that is a 32-bit real");
        }
        lens.wavelength = wavelength;
      }
    }
  } else if (auto v =
                 check.Real("wavelength", "an operating wavelength greater than 0", Positive)) {
    lens.wavelength = *v;
  }

  if (auto v = check.Real(
          "feed-share", "the feed face's share of each zone step, 0 to 1",
          [](float x) { return x >= 0.0f && x <= 1.0f; }, false)) {
    lens.feed_share = *v;
  }
  if (auto v = check.Real("min-path", "a minimum path length of 0 or more", NotNegative, false)) {
    lens.min_path = *v;
  }
  return FinishDesign(check, lens);
}

std::optional<std::string> CheckDesignKinds(const DesignRun& run) {
  const auto shaped = std::count_if(run.designs.begin(), run.designs.end(),
                                    [](const LensDesign& d) { return d.shaped.has_value(); });
  if (shaped == 0) return std::nullopt;
  if (static_cast<std::size_t>(shaped) != run.designs.size()) {
    return "shaped lenses and lenses of a prescribed face cannot share a run: put them in two "
           "design files";
  }
  if (run.options.zoning == design::ZoningMode::kExact) {
    return "a shaped lens is not zoned: the exact zoning does not apply to it";
  }
  return std::nullopt;
}

std::optional<std::string> CheckRunFiles(const DesignRun& run, const std::string& design_file) {
  // Labels as the user gave the names: options on the command line, keys in
  // a design file.
  const bool from_file = !design_file.empty();
  textio::RunFiles files;
  if (from_file) files.AddInput("the design file '" + design_file + "'", design_file);
  if (!run.report.empty()) {
    files.AddOutput((from_file ? "the report '" : "--report '") + run.report + "'", run.report);
  }
  for (std::size_t i = 0; i < run.designs.size(); ++i) {
    const std::string& tor = run.designs[i].tor;
    if (tor.empty()) continue;
    files.AddOutput(from_file ? "the tor file '" + tor + "' of design " + std::to_string(i + 1)
                              : "--tor '" + tor + "'",
                    tor);
  }
  return files.Clash();
}

namespace {

using textio::Question;

// The answer a lens gives to a question of the dialogue; nothing for a
// question the settings do not answer.
std::optional<std::string> AnswerTo(Question q, const LensDesign& lens, const std::string& report) {
  switch (q) {
    case Question::kFileInput:
      return "0";
    case Question::kReportName:
      return report;
    case Question::kSide:
      return std::to_string(lens.side);
    case Question::kDielectric:
      return ShortestText(lens.eps);
    case Question::kRadiusEdge:
      return ShortestText(lens.radius) + " " + ShortestText(lens.edge);
    case Question::kEdgeThickness:
      return ShortestText(lens.edge_thickness);
    case Question::kSurface:
      return std::to_string(lens.face);
    case Question::kCentre:
      return ShortestText(lens.sphere_centre);
    case Question::kRadialStep:
      return ShortestText(lens.radial_step);
    case Question::kWavelength:
      return ShortestText(lens.wavelength);
    case Question::kFeedShare:
      return ShortestText(lens.feed_share);
    case Question::kMinimumPath:
      return ShortestText(lens.min_path);
    case Question::kWriteTor:
      return lens.tor.empty() ? "0" : "1";
    case Question::kTorName:
      return lens.tor;
    case Question::kUnitCode:
      return std::to_string(lens.units);
    case Question::kOffset:
      return ShortestText(lens.offset);
    case Question::kAnother:
      return "0";
    case Question::kScriptName:
      return std::nullopt;
  }
  return std::nullopt;
}

// The console of a run in memory: what the program writes, kept until the
// next answer is chosen by the prompt it ends with.
class ScreenCapture : public std::streambuf {
 public:
  std::string_view Text() const { return text_; }
  void Clear() { text_.clear(); }

 protected:
  int_type overflow(int_type c) override {
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      text_.push_back(traits_type::to_char_type(c));
    }
    return traits_type::not_eof(c);
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    text_.append(s, static_cast<std::size_t>(n));
    return n;
  }

 private:
  std::string text_;
};

// The keyboard of a run in memory: each time the program reads, the next
// line is the answer to the prompt it has just shown.
class PromptedKeyboard : public std::streambuf {
 public:
  explicit PromptedKeyboard(std::function<std::optional<std::string>()> answer)
      : answer_(std::move(answer)) {}

 protected:
  int_type underflow() override {
    if (gptr() != nullptr && gptr() < egptr()) return traits_type::to_int_type(*gptr());
    std::optional<std::string> line = answer_();
    if (!line) return traits_type::eof();
    line_ = std::move(*line) + "\n";
    setg(line_.data(), line_.data(), line_.data() + line_.size());
    return traits_type::to_int_type(*gptr());
  }

 private:
  std::function<std::optional<std::string>()> answer_;
  std::string line_;
};

// The profile table's fields: 1PE12.4, five significant digits.
constexpr int kProfileDecimals = 4;

// A 32-bit value as JSON: the shortest decimal that reads back as the same
// real; null when it is not finite.
nlohmann::ordered_json JsonReal(float value) {
  if (!std::isfinite(value)) return nullptr;
  const std::string text = ShortestText(value);
  double widened = 0.0;
  std::from_chars(text.data(), text.data() + text.size(), widened);
  return widened;
}

nlohmann::ordered_json JsonReals(const std::vector<float>& values) {
  nlohmann::ordered_json list = nlohmann::ordered_json::array();
  for (float v : values) list.push_back(JsonReal(v));
  return list;
}

// The zoned lens as its outline holds it: the thickness on the axis (between
// the two faces' nodes at r = 0) and the axial extent of all nodes.
struct AxialSize {
  float thickness = 0.0f;
  float extent = 0.0f;
};

std::optional<AxialSize> AxialSizeOf(const tor::ZonedOutline& outline) {
  if (outline.mesh.nodes.empty()) return std::nullopt;
  float axis_low = std::numeric_limits<float>::infinity();
  float axis_high = -axis_low;
  float low = axis_low;
  float high = -axis_low;
  // The export's nodes are 32-bit values held in double: exact both ways.
  for (const torfile::Node& node : outline.mesh.nodes) {
    const auto z = static_cast<float>(node.z);
    low = std::min(low, z);
    high = std::max(high, z);
    if (node.r == 0.0) {
      axis_low = std::min(axis_low, z);
      axis_high = std::max(axis_high, z);
    }
  }
  if (!(axis_high >= axis_low)) return std::nullopt;
  return AxialSize{axis_high - axis_low, high - low};
}

nlohmann::ordered_json JsonOf(const DesignSummary& s, const design::DesignResult& result,
                              std::size_t index, const LensDesign& lens,
                              const std::vector<std::string>& files) {
  using Json = nlohmann::ordered_json;
  Json j;
  j["design"] = index;
  j["completed"] = s.completed;
  j["rays"] = s.rays;
  j["centre_thickness"] = s.centre_thickness ? Json(*s.centre_thickness) : nullptr;
  j["outer_radius"] = s.outer_radius ? Json(*s.outer_radius) : nullptr;
  j["zones"] = s.zones;
  j["units"] = lens.units > 0 ? Json(textio::At(kUnitNames, lens.units)) : nullptr;
  j["files_written"] = files;
  j["notes"] = s.notes;
  j["warnings"] = result.warnings;
  j["zoning"] = result.zoning == design::ZoningMode::kExact ? "exact" : "standard";
  j["feed_share"] = result.zoned ? JsonReal(result.feed_share) : nullptr;
  const std::optional<AxialSize> size =
      result.outline ? AxialSizeOf(*result.outline) : std::nullopt;
  j["axial_thickness"] = size ? JsonReal(size->thickness) : nullptr;
  j["axial_extent"] = size ? JsonReal(size->extent) : nullptr;
  j["zone_radii"] = {{"feed", JsonReals(result.feed_zone_radii)},
                     {"radiation", JsonReals(result.radiation_zone_radii)}};
  Json profile = Json::array();
  for (const design::DesignResult::Row& row : result.profile) {
    profile.push_back(Json::array({JsonReal(row.zf), JsonReal(row.rf), JsonReal(row.zr),
                                   JsonReal(row.rr), JsonReal(row.path)}));
  }
  j["profile"] = std::move(profile);
  return j;
}

std::string TextOf(const DesignSummary& s, std::size_t index, const LensDesign& lens,
                   const std::vector<std::string>& files) {
  const std::string unit =
      lens.units > 0 ? " " + std::string(textio::At(kUnitNames, lens.units)) : std::string();
  const auto shown = [&](const std::optional<double>& v) {
    return v ? ShortestText(*v) + unit : std::string("(not shown)");
  };
  std::string line = "design " + std::to_string(index) + ": ";
  if (s.completed) {
    line += "centre thickness " + shown(s.centre_thickness) + ", lens outer radius " +
            shown(s.outer_radius) + ", " + std::to_string(s.zones) +
            (s.zones == 1 ? " zone" : " zones");
  } else {
    line += "ended after " + std::to_string(s.rays) + (s.rays == 1 ? " ray" : " rays");
  }
  line += "; wrote ";
  for (std::size_t i = 0; i < files.size(); ++i) line += (i > 0 ? ", " : "") + files[i];
  line += "\n";
  for (const std::string& note : s.notes) line += "  " + note + "\n";
  return line;
}

}  // namespace

DesignSummary SummariseDesign(const design::DesignResult& result) {
  DesignSummary summary;
  summary.rays = static_cast<int32_t>(result.profile.size());
  if (!result.profile.empty()) {
    // As the table shows them: 1PE12.4, five significant digits.
    const design::DesignResult::Row& axial = result.profile.front();
    const design::DesignResult::Row& edge = result.profile.back();
    summary.centre_thickness = textio::ShownByExp(axial.path, kProfileDecimals);
    summary.outer_radius = std::max(textio::ShownByExp(edge.rf, kProfileDecimals),
                                    textio::ShownByExp(edge.rr, kProfileDecimals));
  }
  summary.completed = result.zoned;
  summary.zones = result.zoned ? static_cast<int32_t>(result.feed_zone_radii.size()) : 0;
  summary.tor_refused = result.tor_refused;
  summary.notes = result.notes;
  return summary;
}

int RunDesigns(const DesignRun& run, bool json, std::ostream& out, std::ostream& err) {
  if (!run.designs.empty() && run.designs.front().shaped) {
    return RunShapedDesigns(run, json, out, err);
  }
  ScreenCapture screen_buf;
  std::ostream screen(&screen_buf);
  std::size_t design = 0;  // index of the design being asked
  bool lost = false;

  const DesignDone summarise = [&](const design::SPLENZ& routine) {
    if (design >= run.designs.size()) return;
    const LensDesign& lens = run.designs[design];
    const design::DesignResult result = routine.Result();
    const DesignSummary summary = SummariseDesign(result);
    std::vector<std::string> files = {run.report};
    if (result.tor_written) files.push_back(lens.tor);
    if (json) {
      out << JsonOf(summary, result, design + 1, lens, files).dump() << '\n';
    } else {
      out << TextOf(summary, design + 1, lens, files);
    }
    out.flush();
  };

  PromptedKeyboard keyboard_buf([&]() -> std::optional<std::string> {
    screen.flush();
    const std::optional<Question> q = textio::QuestionAsked(screen_buf.Text());
    // What the program wrote up to this prompt is needed no more.
    screen_buf.Clear();
    std::optional<std::string> answer;
    if (q && design < run.designs.size()) {
      if (*q == Question::kAnother) {
        ++design;
        answer = design < run.designs.size() ? "1" : "0";
      } else {
        answer = AnswerTo(*q, run.designs[design], run.report);
      }
    }
    if (!answer) lost = true;  // a question the settings do not answer
    return answer;
  });
  std::istream keyboard(&keyboard_buf);

  // The report and the tor files replace the old ones only when complete.
  textio::ConsoleSetup setup;
  setup.files_whole = true;
  const int status = driver::RunProgram(keyboard, screen, err, setup, run.options, summarise);
  if (lost && status != 0) {
    err << "kevrano: internal error: the dialogue asked a question the design settings do not "
           "answer\n";
  }
  out.flush();
  if (status == 0 && !out) {
    err << "kevrano: the summary could not be written to standard output\n";
    return 1;
  }
  return status;
}

}  // namespace driver
