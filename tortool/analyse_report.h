#ifndef KEVRANO_TORTOOL_ANALYSE_REPORT_H_
#define KEVRANO_TORTOOL_ANALYSE_REPORT_H_

// What `kevrano-tor analyse` prints and writes, rendered as strings: the
// summary, the same figures as one JSON object, the per-ray CSV table and
// the warning lines. Every number is rendered finite and short, whatever
// its size.

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "optics/analysis.h"
#include "optics/aperture.h"
#include "torfile/mesh.h"

namespace tortool {

using optics::AnalysisOptions;
using optics::ApertureFigures;
using optics::Trace;
using torfile::LengthUnit;

/// What the figures were computed for.
struct AnalyseSetting {
  std::string shown;  // the file's name as diagnostics show it
  LengthUnit unit = LengthUnit::kMillimetre;
  AnalysisOptions options;
};

/// The wavelength, in `unit`, of a frequency in GHz; nothing when it is not
/// a positive finite length.
std::optional<double> WavelengthOfFrequency(double ghz, LengthUnit unit);

/// Why the file's nodes cannot resolve `wavelength`, or nothing when they
/// can: five significant digits place a node to within 5e-5 of the lens's
/// extent, and a path error of half a wavelength leaves no phase to speak of.
/// Far beyond the lens's size the rays no longer describe it either.
std::optional<std::string> WavelengthProblem(const Trace& trace, double wavelength);

/// x with `decimals` decimals, or in four significant digits with an
/// exponent when that would be long; "none" for a value that is not finite.
std::string Fixed(double x, int decimals);

/// The warnings of a run (zones with too few rays, folded tubes), one line
/// each, without the program's prefix.
std::vector<std::string> Warnings(const Trace& trace, const ApertureFigures& fig);

/// The summary printed on standard output.
std::string SummaryText(const AnalyseSetting& setting, const Trace& trace,
                        const ApertureFigures& fig);

/// Every figure of the summary as one JSON object on one line, with the unit
/// in each key's name.
std::string JsonText(const AnalyseSetting& setting, const Trace& trace, const ApertureFigures& fig);

/// The per-ray table, one row per traced ray, with a header naming each column.
/// A number for JSON: null when not finite.
nlohmann::ordered_json JsonNumber(double x);

/// Adds the efficiency terms to a JSON object, under the keys
/// "spillover_efficiency" ... "aperture_efficiency"; the cross-polar term only
/// when a feed file gave it.
void PutEfficiencies(nlohmann::ordered_json& j, const optics::Efficiencies& e, bool cross_polar);

std::string CsvText(const Trace& trace, const ApertureFigures& fig);

}  // namespace tortool

#endif  // KEVRANO_TORTOOL_ANALYSE_REPORT_H_
