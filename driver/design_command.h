#ifndef KEVRANO_DRIVER_DESIGN_COMMAND_H_
#define KEVRANO_DRIVER_DESIGN_COMMAND_H_

// Designs given by named settings, from the command line or a design file,
// run through the dialogue: each question the program asks is answered from
// the settings, so the report and the tor files are those of the equivalent
// script of answers. The console shows one summary per design instead.

#include <cstdint>
#include <iosfwd>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "design/splenz.h"
#include "design/zoning.h"

namespace driver {

/// One setting as given: `--eps 2.54` on the command line or `eps = 2.54` in a
/// design file.
struct Setting {
  enum class Kind {
    kText,    // command-line text: a number or a word, as the key needs
    kString,  // a quoted string of a design file
    kNumber,  // a number of a design file, in its shortest decimal form
  };
  std::string text;
  Kind kind = Kind::kText;
  std::string where;  // names the setting in messages: "--eps" or "lenses.toml:7: eps"
  // Set at the top level of a design file for every design: a design it does
  // not apply to (a centre for a flat face, an offset without a tor file)
  // leaves it unused instead of refusing it.
  bool inherited = false;
};

/// The shortest decimal text that reads back as the same real: how a lens
/// value answers the dialogue and how a design file's number becomes a setting.
std::string ShortestText(float value);
std::string ShortestText(double value);

/// Settings of one design by key (the option name without its dashes).
using Settings = std::map<std::string, Setting, std::less<>>;

/// A key a design takes, with what its value is and accepts, as the help of
/// `kevrano design` and a message about a missing value show it.
struct DesignKey {
  std::string_view key;
  std::string_view type;  // FACE, NUMBER, GHZ, FILE or UNIT
  std::string_view help;
};

/// The keys a design takes, in the order the dialogue asks for them.
std::span<const DesignKey> DesignKeys();

/// A shaped lens: both faces synthesised from a ray mapping instead of one
/// face prescribed. Lengths in the lens unit.
struct ShapedDesign {
  bool sine = false;            // the sine condition; otherwise a uniform aperture
  float edge_angle_deg = 0.0f;  // feed angle of the lens edge
  float feed_distance = 0.0f;   // feed to the inner face on the axis
  float thickness = 0.0f;       // on the axis
  std::optional<float> feed_q;  // the feed's Q, when given
  float edge_taper_db = 10.0f;  // picks Q when it is not given (uniform only)
  int32_t rays = 31;            // rows of the profile, equal steps of feed angle
};

/// One lens, every value checked, as the dialogue's answers hold it.
struct LensDesign {
  int32_t side = 1;  // 1 feed (inner) face prescribed, 2 radiation (outer) face
  int32_t face = 1;  // 1 flat, 2 sphere
  float eps = 0.0f;
  float radius = 0.0f;
  float edge = 0.0f;
  float edge_thickness = 0.0f;
  float sphere_centre = 0.0f;
  float radial_step = 0.0f;
  float wavelength = 0.0f;
  float feed_share = 0.5f;
  float min_path = 0.0f;
  std::string tor;    // empty: no tor file
  int32_t units = 0;  // 1 in, 2 ft, 3 mm, 4 m; 0 when not given
  float offset = 0.0f;
  /// Set for a shaped lens, which only eps, radius and the tor file keys
  /// share with a lens of a prescribed face.
  std::optional<ShapedDesign> shaped;
};

/// Designs of one run: one report holds them all.
struct DesignRun {
  std::string report;
  std::vector<LensDesign> designs;
  design::DesignOptions options;
};

/// How a missing key is named: `--eps` on the command line; in a design file
/// `lenses.toml:12: design 2: eps`.
struct MissingName {
  std::string prefix;
  bool dashes = true;
};

/// Checks the settings of one design and makes the lens. Returns the one-line
/// message naming the setting and what it accepts when a value is missing,
/// unknown, malformed or out of range.
std::variant<LensDesign, std::string> MakeDesign(const Settings& settings,
                                                 const MissingName& missing);

/// Checks the text of a file name as the dialogue takes it: 1 to 70
/// characters, no control characters, no trailing blank. Returns the message,
/// or nothing when the name is good.
std::optional<std::string> CheckNameText(const Setting& name);

/// Checks a report or tor file name: its text as above, in a folder that
/// exists, not a folder itself. Returns the message, or nothing when the name
/// is good.
std::optional<std::string> CheckFileName(const Setting& name);

/// Checks the names of a whole run before anything is written: no two files
/// it writes, and none of them and the design file it reads (when given), may
/// be one file. Returns the message naming both.
std::optional<std::string> CheckRunFiles(const DesignRun& run, const std::string& design_file = {});

/// Checks that the designs of a run are all shaped or all of a prescribed
/// face (they are run apart), and that shaped lenses are not given the exact
/// zoning. Returns the message, or nothing.
std::optional<std::string> CheckDesignKinds(const DesignRun& run);

/// One design summed up, its numbers as the profile table prints them.
struct DesignSummary {
  int32_t rays = 0;                        // rows of the profile table
  std::optional<double> centre_thickness;  // lens path length of the axial ray
  std::optional<double> outer_radius;      // the larger face radius at the edge ray
  int32_t zones = 0;                       // zone boundaries cut
  bool completed = false;                  // every ray traced and the lens zoned
  bool tor_refused = false;                // the export declined to write the tor file
  std::vector<std::string> notes;          // lines the design printed about itself
};

/// Sums up one design from its results.
DesignSummary SummariseDesign(const design::DesignResult& result);

/// Runs the designs and writes a summary per design to `out`, as text or as
/// one JSON object per line. Returns the exit status: 0, or 1 after a failure
/// whose diagnostic went to `err`.
int RunDesigns(const DesignRun& run, bool json, std::ostream& out, std::ostream& err);

}  // namespace driver

#endif  // KEVRANO_DRIVER_DESIGN_COMMAND_H_
