#include "tortool/response_options.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tortool/cli_support.h"
#include "tortool/sweep_report.h"

namespace tortool {
namespace {

std::string Sig(double x, int digits) {
  std::array<char, 64> buffer{};
  std::snprintf(buffer.data(), buffer.size(), "%.*g", digits, x);
  return buffer.data();
}

}  // namespace

void AddResponseOptions(CLI::App& app, ResponseOptions* options, CLI::Option* wavelength,
                        CLI::Option* feed_q, CLI::Option* edge_taper) {
  options->sweep_option =
      app.add_option("--sweep", options->sweep,
                     "analyses at COUNT frequencies from F1 to F2 GHz, instead of --wavelength")
          ->type_name("F1:F2:N");
  options->sweep_wavelength_option =
      app.add_option("--sweep-wavelength", options->sweep_wavelength,
                     "the same at COUNT wavelengths from L1 to L2 in the file's unit")
          ->type_name("L1:L2:N");
  options->sweep_option->excludes(options->sweep_wavelength_option);
  if (wavelength != nullptr) {
    options->sweep_option->excludes(wavelength);
    options->sweep_wavelength_option->excludes(wavelength);
  }
  app.add_option("--feed-z", options->feed_z,
                 "moves the feed's phase centre DZ along the axis, towards the lens positive (0)")
      ->type_name("DZ");
  options->feed_pattern_option =
      app.add_option("--feed-pattern", options->feed_pattern,
                     "the feed's E- and H-plane cuts from a CSV file, instead of cos^(2Q) theta")
          ->type_name("FILE");
  if (feed_q != nullptr) options->feed_pattern_option->excludes(feed_q);
  if (edge_taper != nullptr) options->feed_pattern_option->excludes(edge_taper);
  app.add_option("--coating", options->coating,
                 "an anti-reflection layer on both faces: quarter-wave[:F0] or EPS:THICKNESS")
      ->type_name("LAYER");
}

bool Sweeping(const ResponseOptions& options) {
  return !options.sweep.empty() || !options.sweep_wavelength.empty();
}

bool CheckResponseOptions(const ResponseOptions& options, std::string* error) {
  std::string what;
  if (!options.sweep.empty() && !optics::ParseSweepRange(options.sweep, &what)) {
    *error = "--sweep: " + what;
    return false;
  }
  if (!options.sweep_wavelength.empty() &&
      !optics::ParseSweepRange(options.sweep_wavelength, &what)) {
    *error = "--sweep-wavelength: " + what;
    return false;
  }
  if (!options.coating.empty() && !optics::ParseCoating(options.coating, &what)) {
    *error = "--coating: " + what;
    return false;
  }
  if (options.feed_pattern == kStandardInput) {
    *error = "--feed-pattern reads a file, not standard input";
    return false;
  }
  if (!std::isfinite(options.feed_z)) {
    *error = "--feed-z must be a finite length";
    return false;
  }
  return true;
}

std::optional<Response> ApplyResponseOptions(const ResponseOptions& options,
                                             const torfile::Mesh& file,
                                             optics::AnalysisOptions* analysis,
                                             std::string* error) {
  const double mm = torfile::MillimetresPer(file.unit);
  Response response;
  std::string ignored;
  if (!options.sweep.empty()) {
    response.frequencies_ghz = optics::ParseSweepRange(options.sweep, &ignored)->Values();
  } else if (!options.sweep_wavelength.empty()) {
    for (const double wavelength :
         optics::ParseSweepRange(options.sweep_wavelength, &ignored)->Values()) {
      response.frequencies_ghz.push_back(FrequencyOf(wavelength, mm));
    }
  }

  if (!options.feed_pattern.empty()) {
    // Read whole, with the size limit of every file the program reads
    const std::string shown = OneLine(options.feed_pattern);
    std::error_code ec;
    std::string text;
    std::ifstream file_in(options.feed_pattern, std::ios::binary);
    if (std::filesystem::is_directory(options.feed_pattern, ec)) {
      *error = shown + ": is a folder, not a feed file";
      return std::nullopt;
    }
    if (!file_in) {
      *error = shown + ": cannot open: " + std::strerror(errno);
      return std::nullopt;
    }
    if (!ReadAll(file_in, &text, error)) {
      *error = shown + ": " + *error;
      return std::nullopt;
    }
    std::istringstream in(text);
    analysis->feed_pattern = optics::ReadFeedPattern(in, shown, error);
    if (!analysis->feed_pattern) return std::nullopt;
    response.phase_centre = analysis->feed_pattern->FindPhaseCentre();
  }

  if (!options.coating.empty()) {
    response.coating = *optics::ParseCoating(options.coating, &ignored);
    // The layer is made once: for the design frequency, the frequency
    // analysed, or the middle of the sweep
    if (response.coating->design_frequency_ghz) {
      response.coating_design_ghz = *response.coating->design_frequency_ghz;
    } else if (!response.frequencies_ghz.empty()) {
      response.coating_design_ghz =
          0.5 * (response.frequencies_ghz.front() + response.frequencies_ghz.back());
    } else {
      response.coating_design_ghz = FrequencyOf(analysis->wavelength, mm);
    }
    analysis->coating =
        response.coating->ForLens(file.dielectric, WavelengthOf(response.coating_design_ghz, mm));
  }
  return response;
}

std::string ResponseRows(const ResponseOptions& options, const Response& response,
                         const optics::AnalysisOptions& analysis, const torfile::Mesh& file) {
  const std::string unit(torfile::UnitName(file.unit));
  std::string text;
  if (options.feed_z != 0.0) {
    text += SummaryRow("feed moved", Sig(options.feed_z, 6) + " " + unit +
                                         " along the axis (towards the lens positive)");
  }
  if (analysis.feed_pattern) {
    text += SummaryRow("feed pattern", OneLine(options.feed_pattern) + ", E plane meets TM, H plane TE");
    std::string centre = "not found (no phase in the file)";
    if (response.phase_centre && response.phase_centre->co_polar) {
      const optics::PhaseCentre& c = *response.phase_centre;
      auto at = [&](const std::optional<double>& d) {
        return d ? Sig(*d * analysis.wavelength, 4) + " " + unit : std::string("none");
      };
      centre = at(c.co_polar) + " in front of the file's reference (E plane " + at(c.e_plane) +
               ", H plane " + at(c.h_plane) + ")";
    }
    text += SummaryRow("feed phase centre", centre);
  }
  if (analysis.coating) {
    const optics::Layer& layer = *analysis.coating;
    text += SummaryRow(
        "anti-reflection layer",
        "eps " + Sig(layer.index * layer.index, 5) + ", " + Sig(layer.thickness, 5) + " " + unit +
            " thick on both faces" +
            (response.coating->quarter_wave
                 ? ", a quarter wave at " + Sig(response.coating_design_ghz, 6) + " GHz"
                 : std::string()));
  }
  return text;
}

}  // namespace tortool
