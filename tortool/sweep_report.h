#ifndef KEVRANO_TORTOOL_SWEEP_REPORT_H_
#define KEVRANO_TORTOOL_SWEEP_REPORT_H_

// kevrano-tor analyse across frequency: the figures of one trace at each
// frequency of a sweep, their table (text and CSV), and the peak gain and
// gain bands drawn from it.
//
// Conventions: frequencies in GHz, wavelengths in the tor file's unit, gains
// and directivities in dBi. The trace does not depend on the frequency, so it
// is traced once and each frequency only recomputes the figures.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "optics/analysis.h"
#include "optics/aperture.h"
#include "optics/sweep.h"

namespace tortool {

/// The free-space wavelength of `frequency_ghz` in a unit of `millimetres_per_unit` mm.
double WavelengthOf(double frequency_ghz, double millimetres_per_unit);
/// The frequency in GHz of a wavelength in that unit.
double FrequencyOf(double wavelength, double millimetres_per_unit);

/// The figures at one frequency.
struct SweepRow {
  double frequency_ghz = 0.0;
  double wavelength = 0.0;
  double gain_db = 0.0;         // every loss counted
  double directivity_db = 0.0;  // the gain without the dielectric loss
  double uniform_db = 0.0;      // (πD/λ)² of the aperture's diameter
  double rms_phase_error_deg = 0.0;
  optics::Efficiencies efficiency;
};

struct SweepResult {
  std::vector<SweepRow> rows;  // in the order swept
  optics::SweepFigures figures;
  bool cross_polar = false;           // a measured feed: the table shows its co-polar share
  std::vector<std::string> warnings;  // of the first frequency (zone sampling, folded tubes)
};

/// The figures of `trace` at each frequency (GHz), with `options` apart from
/// the wavelength. Returns nothing and sets `error` to the first frequency's
/// failure.
std::optional<SweepResult> SweepLens(const optics::Trace& trace,
                                     const optics::AnalysisOptions& options,
                                     const std::vector<double>& frequencies_ghz,
                                     double millimetres_per_unit, std::string* error);

/// The table, one row per frequency, then the peak gain and the 1 dB and
/// 3 dB gain bandwidths, after a heading naming the lens `shown`.
std::string SweepText(const SweepResult& sweep, std::string_view shown, std::string_view unit);

/// The table and its figures as one JSON object on one line, units in the
/// keys' names; an edge beyond the sweep is null.
std::string SweepJson(const SweepResult& sweep, std::string_view shown, std::string_view unit);

/// The table as CSV with a header line.
std::string SweepCsv(const SweepResult& sweep, std::string_view unit);

}  // namespace tortool

#endif  // KEVRANO_TORTOOL_SWEEP_REPORT_H_
