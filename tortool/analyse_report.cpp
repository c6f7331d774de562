#include "tortool/analyse_report.h"

#include <array>
#include <cmath>
#include <complex>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <numbers>

#include "optics/sine_condition.h"
#include "textio/checked.h"
#include "tortool/cli_support.h"

namespace tortool {
namespace {

using optics::Efficiencies;
using optics::FateName;
using optics::kRaysPerZone;
using optics::PowerShares;
using optics::RayFate;
using optics::RayRecord;
using optics::TubeFigures;
using optics::ZoneSampling;
using torfile::MillimetresPer;
using torfile::UnitName;

constexpr double kDeg = 180.0 / std::numbers::pi;
/// Half a unit in the fifth significant digit of a node, relative to the
/// lens's extent.
constexpr double kNodeRounding = 5e-5;
/// Below this many rounding errors to a wavelength, paths have no phase.
constexpr double kRoundingsPerWavelength = 2.0;
/// Beyond this many lens extents to a wavelength, rays describe nothing.
constexpr double kLongestWavelength = 1e6;

/// x by "%.*g" (`fixed` false) or "%.*f", into a string of the length it needs.
std::string Printed(double x, int precision, bool fixed) {
  const int length = fixed ? std::snprintf(nullptr, 0, "%.*f", precision, x)
                           : std::snprintf(nullptr, 0, "%.*g", precision, x);
  if (length <= 0) return "";
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  if (fixed) {
    std::snprintf(text.data(), text.size(), "%.*f", precision, x);
  } else {
    std::snprintf(text.data(), text.size(), "%.*g", precision, x);
  }
  text.pop_back();
  return text;
}

/// Four significant digits.
std::string Sig(double x) { return std::isfinite(x) ? Printed(x, 4, false) : "none"; }

/// Ratio in dB with two decimals; very small ratios are not spelt out.
std::string Db(double ratio) {
  return ratio > 1e-30 ? Fixed(10.0 * std::log10(ratio), 2) + " dB" : "below -300 dB";
}

nlohmann::ordered_json Value(double x) { return JsonNumber(x); }
nlohmann::ordered_json DbValue(double ratio) {
  return ratio > 1e-30 ? Value(10.0 * std::log10(ratio)) : nlohmann::ordered_json(nullptr);
}

/// Rays traced of each fate, by the fate's order.
std::array<int32_t, 7> FateCounts(const Trace& trace) {
  std::array<int32_t, 7> fates{};
  for (const RayRecord& r : trace.rays) ++textio::At(fates, static_cast<int64_t>(r.fate) + 1);
  return fates;
}

double FrequencyGhz(const AnalyseSetting& s) {
  return torfile::kMillimetreGigahertz / (s.options.wavelength * MillimetresPer(s.unit));
}

double EdgeTaperDb(const Trace& trace, const ApertureFigures& fig) {
  return -20.0 * std::log10(std::cos(trace.edge_angle)) * fig.feed_q;
}

}  // namespace

std::optional<double> WavelengthOfFrequency(double ghz, LengthUnit unit) {
  if (!(ghz > 0.0) || !std::isfinite(ghz)) return std::nullopt;
  const double wavelength = torfile::kMillimetreGigahertz / ghz / MillimetresPer(unit);
  if (!(wavelength > 0.0) || !std::isfinite(wavelength)) return std::nullopt;
  return wavelength;
}

std::optional<std::string> WavelengthProblem(const Trace& trace, double wavelength) {
  const double extent = std::max(trace.lens_radius, std::fabs(trace.aperture_z));
  const double shortest = kRoundingsPerWavelength * kNodeRounding * extent;
  if (wavelength < shortest) {
    return "the wavelength " + Sig(wavelength) + " is below what the file's five-digit nodes " +
           "resolve on a lens of this size: give at least " + Sig(shortest);
  }
  const double longest = kLongestWavelength * extent;
  if (wavelength > longest) {
    return "the wavelength " + Sig(wavelength) + " is more than " + Sig(kLongestWavelength) +
           " times the lens's size: give at most " + Sig(longest);
  }
  return std::nullopt;
}

std::string Fixed(double x, int decimals) {
  if (!std::isfinite(x)) return "none";
  if (std::fabs(x) >= 1e9) return Printed(x, 4, false);
  std::string text = Printed(x, decimals, true);
  // No "-0.00"
  if (text.find_first_not_of("-0.") == std::string::npos && text.front() == '-') text.erase(0, 1);
  return text;
}

std::vector<std::string> Warnings(const Trace& trace, const ApertureFigures& fig) {
  std::vector<std::string> lines;
  const ZoneSampling& s = fig.sampling;
  if (s.rays_needed > 0) {
    const std::string gets = s.fewest_rays == 0 ? "no ray"
                             : s.fewest_rays == 1
                                 ? "only 1 ray"
                                 : "only " + std::to_string(s.fewest_rays) + " rays";
    std::string line = "warning: zone " + std::to_string(s.sparse_zone + 1) +
                       " from the axis gets " + gets + " of " + std::to_string(trace.rays.size()) +
                       " (each zone needs " + std::to_string(kRaysPerZone) +
                       " for its figures to hold): ";
    line += s.rays_needed <= 100001
                ? "--rays " + std::to_string(s.rays_needed) + " would do"
                : "more rays than --rays allows would be needed; the figures are rough";
    lines.push_back(line);
  }
  if (fig.folded_tubes > 0) {
    lines.push_back("warning: " + std::to_string(fig.folded_tubes) +
                    (fig.folded_tubes == 1 ? " ray tube still folds" : " ray tubes still fold") +
                    " after smoothing");
  }
  return lines;
}

std::string SummaryText(const AnalyseSetting& setting, const Trace& trace,
                        const ApertureFigures& fig) {
  const std::string unit(UnitName(setting.unit));
  const AnalysisOptions& o = setting.options;
  const std::array<int32_t, 7> fates = FateCounts(trace);
  std::string rays = std::to_string(trace.rays.size()) + " traced, " +
                     std::to_string(fig.transmitted_rays) + " through";
  for (std::size_t k = 1; k < fates.size(); ++k) {
    if (fates[k] > 0) {
      rays += ", " + std::to_string(fates[k]) + " " + FateName(static_cast<RayFate>(k));
    }
  }
  const Efficiencies& e = fig.efficiency;
  auto budget = [](double x) { return Fixed(x, 4) + "  " + Db(x); };
  std::string text = OneLine(setting.shown) + ": lens analysed at wavelength " + Sig(o.wavelength) +
                     " " + unit + " (" + Sig(FrequencyGhz(setting)) +
                     " GHz), n = " + Sig(trace.index) + "\n";
  if (o.feed_pattern) {
    // The level of each plane at the lens edge, below its level on the axis
    const optics::PlaneFields axis = o.feed_pattern->Fields(0.0);
    const optics::PlaneFields edge = o.feed_pattern->Fields(trace.edge_angle);
    auto down = [](std::complex<double> at_edge, std::complex<double> on_axis) {
      const double ratio = std::norm(at_edge) / std::norm(on_axis);
      return ratio > 0.0 ? Fixed(-10.0 * std::log10(ratio), 2) + " dB" : std::string("inf dB");
    };
    text += SummaryRow("feed", "E- and H-plane cuts of a feed file; lens edge at " +
                                   Fixed(trace.edge_angle * kDeg, 2) + " deg, E plane " +
                                   down(edge.e_plane, axis.e_plane) + ", H plane " +
                                   down(edge.h_plane, axis.h_plane) + " down");
  } else {
    text += SummaryRow("feed", "cos^(2Q) theta with Q = " + Sig(fig.feed_q) + "; lens edge at " +
                                   Fixed(trace.edge_angle * kDeg, 2) + " deg, " +
                                   Fixed(EdgeTaperDb(trace, fig), 2) + " dB down");
  }
  text += SummaryRow("rays", rays);
  text += SummaryRow("phase error", "RMS " + Fixed(fig.rms_phase_error_deg, 2) + " deg, peak " +
                                        Fixed(fig.peak_phase_error_deg, 2) + " deg at radius " +
                                        Sig(fig.peak_phase_radius) + " " + unit +
                                        " (in the aperture plane)");
  text += SummaryRow("collimation", "largest exit angle " + Fixed(fig.max_exit_angle_deg, 3) +
                                        " deg (single rays as traced " +
                                        Fixed(fig.max_raw_exit_angle_deg, 3) + " deg)");
  if (const auto sine = optics::SineConditionDeviation(trace)) {
    text += SummaryRow("sine condition", "deviation " + Fixed(100.0 * sine->deviation, 2) +
                                             " % at " + Fixed(sine->edge_theta * kDeg, 2) +
                                             " deg (paraxial focal length " +
                                             Sig(sine->focal_length) + " " + unit + ")");
  }
  text += SummaryRow("spillover", budget(e.spillover));
  text += SummaryRow("taper", budget(e.taper));
  text += SummaryRow("phase", budget(e.phase));
  text += SummaryRow("blockage", budget(e.blockage));
  text += SummaryRow("reflection", budget(e.reflection));
  text +=
      SummaryRow("dielectric loss", budget(e.dielectric) + " (tan delta " + Sig(o.tan_delta) + ")");
  if (o.feed_pattern) text += SummaryRow("cross-polar", budget(e.cross_polar));
  text += SummaryRow("aperture efficiency", budget(e.aperture));
  text += SummaryRow("gain", Db(fig.gain) + "i, every loss counted; uniform aperture of diameter " +
                                 Sig(2.0 * fig.aperture_radius) + " " + unit + ": " +
                                 Db(fig.uniform_gain) + "i");
  text +=
      SummaryRow("directivity", Db(fig.directivity) + "i, the gain without the dielectric loss");
  text += SummaryRow("half-power beamwidth", Fixed(fig.beam.half_power_width_deg, 3) + " deg");
  text += SummaryRow("first null", fig.beam.first_null_deg
                                       ? Fixed(*fig.beam.first_null_deg, 3) + " deg"
                                       : std::string("none within 12 wavelengths/diameter"));
  text += SummaryRow("first sidelobe", fig.beam.first_sidelobe_db
                                           ? Fixed(*fig.beam.first_sidelobe_db, 2) + " dB"
                                           : std::string("none within 12 wavelengths/diameter"));
  const PowerShares& p = fig.power;
  text += SummaryRow("feed power", "transmitted " + Fixed(p.transmitted, 4) + ", reflected " +
                                       Fixed(p.reflected, 4) + ", absorbed " +
                                       Fixed(p.absorbed, 4) + ", blocked " + Fixed(p.blocked, 4) +
                                       ", spilled " + Fixed(p.spilled, 4) +
                                       (p.missed > 0.0 ? ", missed " + Fixed(p.missed, 4) : ""));
  return text;
}

std::string JsonText(const AnalyseSetting& setting, const Trace& trace,
                     const ApertureFigures& fig) {
  const std::string u(UnitName(setting.unit));
  const AnalysisOptions& o = setting.options;
  const std::array<int32_t, 7> fates = FateCounts(trace);
  const Efficiencies& e = fig.efficiency;
  const PowerShares& p = fig.power;
  nlohmann::ordered_json j;
  j["file"] = setting.shown;
  j["unit"] = u;
  j["wavelength_" + u] = Value(o.wavelength);
  j["frequency_ghz"] = Value(FrequencyGhz(setting));
  j["refractive_index"] = Value(trace.index);
  // A feed file has neither a Q nor one edge taper
  j["feed_q"] = o.feed_pattern ? nlohmann::ordered_json(nullptr) : Value(fig.feed_q);
  j["edge_angle_deg"] = Value(trace.edge_angle * kDeg);
  j["edge_taper_db"] =
      o.feed_pattern ? nlohmann::ordered_json(nullptr) : Value(EdgeTaperDb(trace, fig));
  j["tan_delta"] = Value(o.tan_delta);
  j["rays_traced"] = trace.rays.size();
  j["rays_through"] = fig.transmitted_rays;
  constexpr std::array<const char*, 7> kFateKeys = {"",
                                                    "rays_missed",
                                                    "rays_zone_step",
                                                    "rays_rim",
                                                    "rays_met_lens_again",
                                                    "rays_total_reflection",
                                                    "rays_turned_back"};
  for (std::size_t k = 1; k < fates.size(); ++k) j[kFateKeys[k]] = fates[k];
  j["rms_phase_error_deg"] = Value(fig.rms_phase_error_deg);
  j["peak_phase_error_deg"] = Value(fig.peak_phase_error_deg);
  j["peak_phase_radius_" + u] = Value(fig.peak_phase_radius);
  j["max_exit_angle_deg"] = Value(fig.max_exit_angle_deg);
  j["max_raw_exit_angle_deg"] = Value(fig.max_raw_exit_angle_deg);
  if (const auto sine = optics::SineConditionDeviation(trace)) {
    j["sine_condition_deviation_percent"] = Value(100.0 * sine->deviation);
    j["paraxial_focal_length_" + u] = Value(sine->focal_length);
  }
  PutEfficiencies(j, e, o.feed_pattern.has_value());
  j["gain_dbi"] = DbValue(fig.gain);
  j["directivity_dbi"] = DbValue(fig.directivity);
  j["uniform_aperture_diameter_" + u] = Value(2.0 * fig.aperture_radius);
  j["uniform_aperture_gain_dbi"] = DbValue(fig.uniform_gain);
  j["half_power_beamwidth_deg"] = Value(fig.beam.half_power_width_deg);
  j["first_null_deg"] = fig.beam.first_null_deg ? Value(*fig.beam.first_null_deg) : nullptr;
  j["first_sidelobe_db"] =
      fig.beam.first_sidelobe_db ? Value(*fig.beam.first_sidelobe_db) : nullptr;
  j["power_transmitted"] = Value(p.transmitted);
  j["power_reflected"] = Value(p.reflected);
  j["power_absorbed"] = Value(p.absorbed);
  j["power_blocked"] = Value(p.blocked);
  j["power_spilled"] = Value(p.spilled);
  j["power_missed"] = Value(p.missed);
  j["zones"] = fig.sampling.zones;
  j["fewest_rays_in_a_zone"] = fig.sampling.fewest_rays;
  j["folded_tubes"] = fig.folded_tubes;
  j["warnings"] = Warnings(trace, fig);
  return j.dump() + "\n";
}

nlohmann::ordered_json JsonNumber(double x) {
  return std::isfinite(x) ? nlohmann::ordered_json(x) : nlohmann::ordered_json(nullptr);
}

void PutEfficiencies(nlohmann::ordered_json& j, const optics::Efficiencies& e, bool cross_polar) {
  j["spillover_efficiency"] = JsonNumber(e.spillover);
  j["taper_efficiency"] = JsonNumber(e.taper);
  j["phase_efficiency"] = JsonNumber(e.phase);
  j["blockage_efficiency"] = JsonNumber(e.blockage);
  j["reflection_efficiency"] = JsonNumber(e.reflection);
  j["dielectric_loss_efficiency"] = JsonNumber(e.dielectric);
  if (cross_polar) j["cross_polar_efficiency"] = JsonNumber(e.cross_polar);
  j["aperture_efficiency"] = JsonNumber(e.aperture);
}

std::string CsvText(const Trace& trace, const ApertureFigures& fig) {
  std::string text =
      "ray,theta_deg,fate,entry_z,entry_r,exit_z,exit_r,entry_zone,exit_zone,"
      "raw_exit_angle_deg,exit_angle_deg,smoothed_exit_r,path_to_exit,path_to_plane,"
      "plane_r,length_in_lens,phase_error_deg,entry_te,entry_tm,entry_mean,exit_te,exit_tm,"
      "exit_mean,loss_factor,feed_power,exit_power,tube_inner_r,tube_outer_r\n";
  auto number = [](double x) { return std::isfinite(x) ? Printed(x, 10, false) : std::string(); };
  for (std::size_t i = 0; i < trace.rays.size(); ++i) {
    const RayRecord& r = trace.rays[i];
    const TubeFigures& t = fig.rays[i];
    text += std::to_string(i + 1) + "," + number(r.theta * kDeg) + "," + FateName(r.fate);
    for (const double x : {r.entry.z, r.entry.r, r.exit.z, r.exit.r}) text += "," + number(x);
    text += "," + std::to_string(r.entry_zone) + "," + std::to_string(r.exit_zone);
    for (const double x :
         {r.exit_angle * kDeg, t.exit_angle * kDeg, t.exit_radius, t.path_to_exit, t.path_to_plane,
          t.plane_radius, r.length_in_lens, t.phase_error_deg, r.entry_face.te, r.entry_face.tm,
          r.entry_face.Mean(), r.exit_face.te, r.exit_face.tm, r.exit_face.Mean(), t.loss_factor,
          t.feed_power, t.exit_power, t.tube_inner, t.tube_outer}) {
      text += "," + number(x);
    }
    text += "\n";
  }
  return text;
}

}  // namespace tortool
