#ifndef KEVRANO_TORTOOL_RESPONSE_OPTIONS_H_
#define KEVRANO_TORTOOL_RESPONSE_OPTIONS_H_

// The options of kevrano-tor analyse that change what the lens is fed with,
// what covers its faces and at which frequencies it is analysed: --sweep,
// --sweep-wavelength, --feed-z, --feed-pattern and --coating.
//
// Conventions: frequencies in GHz; --feed-z, thicknesses and wavelengths in
// the tor file's unit; --feed-z positive towards the lens (+z).

#include <CLI/CLI.hpp>
#include <optional>
#include <string>
#include <vector>

#include "optics/analysis.h"
#include "optics/coating.h"
#include "optics/sweep.h"
#include "torfile/mesh.h"

namespace tortool {

/// The options as given on the command line.
struct ResponseOptions {
  std::string sweep;             // FIRST:LAST:COUNT in GHz
  std::string sweep_wavelength;  // FIRST:LAST:COUNT in the file's unit
  double feed_z = 0.0;
  std::string feed_pattern;  // path of the CSV file
  std::string coating;
  CLI::Option* sweep_option = nullptr;
  CLI::Option* sweep_wavelength_option = nullptr;
  CLI::Option* feed_pattern_option = nullptr;
};

/// Registers the options on `app`; --feed-pattern excludes `feed_q` and
/// `edge_taper`, the sweeps exclude each other and `wavelength`.
void AddResponseOptions(CLI::App& app, ResponseOptions* options, CLI::Option* wavelength,
                        CLI::Option* feed_q, CLI::Option* edge_taper);

/// True when a sweep replaces the single wavelength.
bool Sweeping(const ResponseOptions& options);

/// Checks what needs no file: the sweep's range, the layer's spelling, a
/// finite --feed-z. Returns false and sets `error` otherwise.
bool CheckResponseOptions(const ResponseOptions& options, std::string* error);

/// The options applied to an analysis of `file`.
struct Response {
  std::vector<double> frequencies_ghz;  // the sweep, empty for one wavelength
  std::optional<optics::CoatingSpec> coating;
  double coating_design_ghz = 0.0;  // where the quarter-wave layer is a quarter wave
  std::optional<optics::PhaseCentre> phase_centre;  // of a feed file, in wavelengths
};

/// Reads the feed file into `analysis` (its errors as "FILE:LINE: what"),
/// puts the layer on the faces and lists the sweep's frequencies. A
/// quarter-wave layer without a design frequency is made for the frequency
/// analysed, or the middle of the sweep. Returns nothing and sets `error`
/// for an unreadable feed file.
std::optional<Response> ApplyResponseOptions(const ResponseOptions& options,
                                             const torfile::Mesh& file,
                                             optics::AnalysisOptions* analysis,
                                             std::string* error);

/// Summary rows for what the options changed (none without them): the feed's
/// place, the feed file and its phase centres, the layer.
std::string ResponseRows(const ResponseOptions& options, const Response& response,
                         const optics::AnalysisOptions& analysis, const torfile::Mesh& file);

}  // namespace tortool

#endif  // KEVRANO_TORTOOL_RESPONSE_OPTIONS_H_
