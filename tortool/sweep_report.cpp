#include "tortool/sweep_report.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "tortool/analyse_report.h"
#include "tortool/cli_support.h"

namespace tortool {
namespace {

double DbOf(double ratio) { return ratio > 0.0 ? 10.0 * std::log10(ratio) : -HUGE_VAL; }

/// `x` with `decimals` decimals.
std::string Dec(double x, int decimals) {
  std::array<char, 64> buffer{};
  std::snprintf(buffer.data(), buffer.size(), "%.*f", decimals, x);
  return buffer.data();
}

/// `x` with `digits` significant digits.
std::string Sig(double x, int digits) {
  std::array<char, 64> buffer{};
  std::snprintf(buffer.data(), buffer.size(), "%.*g", digits, x);
  return buffer.data();
}

/// A gain level for the table: "-inf" where nothing is radiated.
std::string Level(double db) { return std::isfinite(db) ? Dec(db, 2) : "-inf"; }

/// The efficiency terms of a row, in the order of the table.
std::vector<double> Terms(const SweepRow& row, bool cross_polar) {
  const optics::Efficiencies& e = row.efficiency;
  std::vector<double> terms{e.spillover, e.taper, e.phase, e.blockage, e.reflection, e.dielectric};
  if (cross_polar) terms.push_back(e.cross_polar);
  terms.push_back(e.aperture);
  return terms;
}

std::string BandText(const optics::GainBand& band) {
  auto edge = [](const std::optional<double>& f) {
    return f ? Dec(*f, 3) + " GHz" : std::string("beyond the sweep");
  };
  std::string text = edge(band.lower) + " to " + edge(band.upper);
  if (const std::optional<double> width = band.WidthPercent()) {
    text += ": " + Dec(*width, 2) + " % of " + Dec(0.5 * (*band.lower + *band.upper), 3) + " GHz";
  } else {
    text += ": the band reaches beyond the sweep";
  }
  return text;
}

}  // namespace

double WavelengthOf(double frequency_ghz, double millimetres_per_unit) {
  return torfile::kMillimetreGigahertz / frequency_ghz / millimetres_per_unit;
}

double FrequencyOf(double wavelength, double millimetres_per_unit) {
  return torfile::kMillimetreGigahertz / (wavelength * millimetres_per_unit);
}

std::optional<SweepResult> SweepLens(const optics::Trace& trace,
                                     const optics::AnalysisOptions& options,
                                     const std::vector<double>& frequencies_ghz,
                                     double millimetres_per_unit, std::string* error) {
  SweepResult sweep;
  sweep.cross_polar = options.feed_pattern.has_value();
  optics::AnalysisOptions at = options;
  // Only the figures on the axis are tabled: no beam, no pattern
  at.beam = false;
  std::vector<optics::SweepSample> samples;
  for (const double f : frequencies_ghz) {
    at.wavelength = WavelengthOf(f, millimetres_per_unit);
    const std::optional<optics::ApertureFigures> fig =
        optics::ComputeApertureFigures(trace, at, error);
    if (!fig) {
      *error = "at " + Sig(f, 6) + " GHz: " + *error;
      return std::nullopt;
    }
    if (sweep.rows.empty()) sweep.warnings = Warnings(trace, *fig);
    SweepRow row;
    row.frequency_ghz = f;
    row.wavelength = at.wavelength;
    row.gain_db = DbOf(fig->gain);
    row.directivity_db = DbOf(fig->directivity);
    row.uniform_db = DbOf(fig->uniform_gain);
    row.rms_phase_error_deg = fig->rms_phase_error_deg;
    row.efficiency = fig->efficiency;
    sweep.rows.push_back(row);
    samples.push_back({f, row.gain_db});
  }
  const std::optional<optics::SweepFigures> figures = optics::SummariseSweep(samples);
  if (!figures) {
    *error = "no frequency of the sweep radiates on the axis";
    return std::nullopt;
  }
  sweep.figures = *figures;
  return sweep;
}

std::string SweepText(const SweepResult& sweep, std::string_view shown, std::string_view unit) {
  // Each column: its name and unit, right-aligned over values of one width
  struct Column {
    std::string name;
    std::string unit;
  };
  std::vector<Column> columns{{"frequency", "(GHz)"}, {"wavelength", "(" + std::string(unit) + ")"},
                              {"gain", "(dBi)"},      {"directivity", "(dBi)"},
                              {"spillover", ""},      {"taper", ""},
                              {"phase", ""},          {"blockage", ""},
                              {"reflection", ""},     {"dielectric", ""}};
  if (sweep.cross_polar) columns.push_back({"cross-polar", ""});
  columns.push_back({"aperture", ""});
  columns.push_back({"RMS phase", "(deg)"});
  std::vector<int> widths;
  std::string names;
  std::string units;
  for (const Column& c : columns) {
    const int width = static_cast<int>(std::max<std::size_t>(c.name.size(), 8)) + 2;
    widths.push_back(width);
    names += std::string(static_cast<std::size_t>(width) - c.name.size(), ' ') + c.name;
    units += std::string(static_cast<std::size_t>(width) - std::min(c.unit.size(), std::size_t{8}),
                         ' ') +
             c.unit.substr(0, 8);
  }
  std::string text = OneLine(shown) + ": lens analysed at " + std::to_string(sweep.rows.size()) +
                     " frequencies\n" + names + "\n" + units + "\n";
  for (const SweepRow& row : sweep.rows) {
    std::vector<std::string> cells{Dec(row.frequency_ghz, 3), Sig(row.wavelength, 5),
                                   Level(row.gain_db), Level(row.directivity_db)};
    for (const double x : Terms(row, sweep.cross_polar)) cells.push_back(Dec(x, 4));
    cells.push_back(Dec(row.rms_phase_error_deg, 2));
    for (std::size_t k = 0; k < cells.size(); ++k) {
      const auto width = static_cast<std::size_t>(widths[k]);
      text += std::string(width > cells[k].size() ? width - cells[k].size() : 1, ' ') + cells[k];
    }
    text += "\n";
  }
  const optics::SweepFigures& f = sweep.figures;
  text += "\n";
  text += SummaryRow("peak gain",
                     Dec(f.peak_gain_db, 2) + " dBi" + " at " + Dec(f.peak_frequency, 3) + " GHz");
  text += SummaryRow("1 dB gain bandwidth", BandText(f.band_1db));
  text += SummaryRow("3 dB gain bandwidth", BandText(f.band_3db));
  return text;
}

std::string SweepCsv(const SweepResult& sweep, std::string_view unit) {
  std::string text = "frequency_ghz,wavelength_" + std::string(unit) +
                     ",gain_dbi,directivity_dbi,uniform_aperture_dbi,spillover,taper,phase,"
                     "blockage,reflection,dielectric," +
                     (sweep.cross_polar ? "cross_polar," : "") +
                     "aperture_efficiency,rms_phase_error_deg\n";
  for (const SweepRow& row : sweep.rows) {
    text += Sig(row.frequency_ghz, 10);
    for (const double x : {row.wavelength, row.gain_db, row.directivity_db, row.uniform_db}) {
      text += "," + Sig(x, 10);
    }
    for (const double x : Terms(row, sweep.cross_polar)) text += "," + Sig(x, 10);
    text += "," + Sig(row.rms_phase_error_deg, 10) + "\n";
  }
  return text;
}

std::string SweepJson(const SweepResult& sweep, std::string_view shown, std::string_view unit) {
  const std::string u(unit);
  const auto value = JsonNumber;
  auto edge = [&value](const std::optional<double>& f) {
    return f ? value(*f) : nlohmann::ordered_json(nullptr);
  };
  nlohmann::ordered_json j;
  j["file"] = std::string(shown);
  j["unit"] = u;
  nlohmann::ordered_json rows = nlohmann::ordered_json::array();
  for (const SweepRow& row : sweep.rows) {
    const optics::Efficiencies& e = row.efficiency;
    nlohmann::ordered_json r;
    r["frequency_ghz"] = value(row.frequency_ghz);
    r["wavelength_" + u] = value(row.wavelength);
    r["gain_dbi"] = value(row.gain_db);
    r["directivity_dbi"] = value(row.directivity_db);
    r["uniform_aperture_gain_dbi"] = value(row.uniform_db);
    PutEfficiencies(r, e, sweep.cross_polar);
    r["rms_phase_error_deg"] = value(row.rms_phase_error_deg);
    rows.push_back(r);
  }
  j["sweep"] = rows;
  const optics::SweepFigures& f = sweep.figures;
  j["peak_gain_dbi"] = value(f.peak_gain_db);
  j["peak_gain_frequency_ghz"] = value(f.peak_frequency);
  for (const auto& [name, band] : {std::pair{"1db", &f.band_1db}, std::pair{"3db", &f.band_3db}}) {
    const std::string key = std::string("gain_bandwidth_") + name;
    j[key + "_lower_ghz"] = edge(band->lower);
    j[key + "_upper_ghz"] = edge(band->upper);
    j[key + "_percent"] = edge(band->WidthPercent());
  }
  return j.dump() + "\n";
}

}  // namespace tortool
