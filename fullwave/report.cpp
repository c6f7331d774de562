#include "fullwave/report.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>

namespace fullwave {
namespace {

std::string Fix(double x, int decimals) {
  std::array<char, 48> buffer{};
  std::snprintf(buffer.data(), buffer.size(), "%.*f", decimals, x);
  return buffer.data();
}

std::string Num(double x) {
  std::array<char, 48> buffer{};
  std::snprintf(buffer.data(), buffer.size(), "%.4g", x);
  return buffer.data();
}

double Dbi(double ratio) { return 10.0 * std::log10(ratio); }

std::string Row(const std::string& label, const std::string& value) {
  std::string line = "  " + label;
  line.resize(24, ' ');
  return line + value + "\n";
}

// A column of the comparison table, padded to 14 characters.
std::string Cell(const std::string& s) {
  std::string c = s;
  if (c.size() < 14) c.resize(14, ' ');
  return c;
}

std::optional<double> Feature(double value) {
  return value >= 0.0 ? std::optional<double>(value) : std::nullopt;
}

std::string CutText(const CutFigures& c) {
  std::string s = "beamwidth " + Fix(c.half_power_beamwidth, 3) + " deg";
  if (c.first_null >= 0.0) s += ", first null " + Fix(c.first_null, 2) + " deg";
  if (c.first_sidelobe_angle >= 0.0) {
    s += ", first sidelobe " + Fix(c.first_sidelobe_db, 2) + " dB at " +
         Fix(c.first_sidelobe_angle, 2) + " deg";
  }
  return s;
}

nlohmann::ordered_json CutJson(const CutFigures& c) {
  nlohmann::ordered_json j;
  j["half_power_beamwidth_deg"] = c.half_power_beamwidth;
  j["first_null_deg"] = c.first_null >= 0.0 ? nlohmann::ordered_json(c.first_null) : nullptr;
  j["first_sidelobe_db"] =
      c.first_sidelobe_angle >= 0.0 ? nlohmann::ordered_json(c.first_sidelobe_db) : nullptr;
  j["first_sidelobe_deg"] =
      c.first_sidelobe_angle >= 0.0 ? nlohmann::ordered_json(c.first_sidelobe_angle) : nullptr;
  return j;
}

nlohmann::ordered_json Optional(const std::optional<double>& x) {
  return x ? nlohmann::ordered_json(*x) : nlohmann::ordered_json(nullptr);
}

}  // namespace

std::string ReportText(const ReportInput& in) {
  const FullWaveResult& r = in.result;
  const FarFieldFigures& f = r.figures;
  const double n = std::sqrt(in.permittivity);
  std::string text = in.file + ": full-wave check at wavelength " + Num(in.wavelength) + " " +
                     in.unit + ", n = " + Num(n) + "\n";
  text += Row("feed", "cos^(2Q) theta with Q = " + Num(in.feed_q) +
                          " (Huygens disc); lens edge at " + Fix(in.edge_angle_deg, 2) + " deg, " +
                          Fix(-r.feed_taper_db, 2) + " dB down in free space");
  text += Row("grid", std::to_string(r.resolution) + " cells per wavelength (" +
                          Fix(r.resolution / n, 1) + " in the lens), " + std::to_string(r.cells) +
                          " cells, m = +1, " + Fix(r.periods, 1) + " periods");
  text += Row("", Cell("full wave") + Cell(in.ray_trace ? "ray trace" : "") +
                      (in.ray_trace ? "difference" : ""));
  const RayTraceFigures* go = in.ray_trace ? &*in.ray_trace : nullptr;
  auto line = [&](const std::string& label, const std::optional<double>& full,
                  const std::optional<double>& trace, const std::string& suffix, int decimals,
                  bool percent) {
    std::string value = Cell(full ? Fix(*full, decimals) + suffix : "none");
    if (go) {
      value += Cell(trace ? Fix(*trace, decimals) + suffix : "none");
      if (full && trace) {
        const double d = *full - *trace;
        value += (d >= 0.0 ? "+" : "") + Fix(d, decimals) + (suffix == " dBi" ? " dB" : suffix);
        if (percent && *trace != 0.0) value += " (" + Fix(100.0 * d / *trace, 1) + " %)";
      }
    }
    text += Row(label, value);
  };
  line("directivity", Dbi(f.directivity),
       go ? std::optional<double>(Dbi(go->directivity)) : std::nullopt, " dBi", 2, false);
  line("half-power beamwidth", f.mean.half_power_beamwidth,
       go ? std::optional<double>(go->half_power_beamwidth_deg) : std::nullopt, " deg", 3, true);
  line("first null", Feature(f.mean.first_null), go ? go->first_null_deg : std::nullopt, " deg", 3,
       false);
  line("first sidelobe",
       f.mean.first_sidelobe_angle >= 0.0 ? std::optional<double>(f.mean.first_sidelobe_db)
                                          : std::nullopt,
       go ? go->first_sidelobe_db : std::nullopt, " dB", 2, false);
  text += Row("E-plane", CutText(f.e_plane));
  text += Row("H-plane", CutText(f.h_plane));
  text += Row("feed power", "forward " + Fix(f.forward_power, 4) + ", backward " +
                                Fix(f.backward_power, 4) + ", through the surface " +
                                Fix(r.surface_power / r.feed_power, 4));
  text += Row("run time", Fix(in.seconds, 1) + " s");
  return text;
}

std::string ReportJson(const ReportInput& in) {
  const FullWaveResult& r = in.result;
  const FarFieldFigures& f = r.figures;
  nlohmann::ordered_json j;
  j["file"] = in.file;
  j["unit"] = in.unit;
  j["wavelength"] = in.wavelength;
  j["feed_q"] = in.feed_q;
  j["edge_angle_deg"] = in.edge_angle_deg;
  j["feed_edge_taper_db"] = -r.feed_taper_db;
  j["resolution"] = r.resolution;
  j["cells"] = r.cells;
  j["periods"] = r.periods;
  nlohmann::ordered_json full;
  full["directivity_dbi"] = Dbi(f.directivity);
  full["half_power_beamwidth_deg"] = f.mean.half_power_beamwidth;
  full["first_null_deg"] = Optional(Feature(f.mean.first_null));
  full["first_sidelobe_db"] = f.mean.first_sidelobe_angle >= 0.0
                                  ? nlohmann::ordered_json(f.mean.first_sidelobe_db)
                                  : nullptr;
  full["e_plane"] = CutJson(f.e_plane);
  full["h_plane"] = CutJson(f.h_plane);
  full["forward_power"] = f.forward_power;
  full["backward_power"] = f.backward_power;
  full["surface_power"] = r.surface_power / r.feed_power;
  j["full_wave"] = full;
  if (in.ray_trace) {
    const RayTraceFigures& go = *in.ray_trace;
    nlohmann::ordered_json trace;
    trace["directivity_dbi"] = Dbi(go.directivity);
    trace["half_power_beamwidth_deg"] = go.half_power_beamwidth_deg;
    trace["first_null_deg"] = Optional(go.first_null_deg);
    trace["first_sidelobe_db"] = Optional(go.first_sidelobe_db);
    j["ray_trace"] = trace;
    nlohmann::ordered_json diff;
    diff["directivity_db"] = Dbi(f.directivity) - Dbi(go.directivity);
    diff["half_power_beamwidth_deg"] = f.mean.half_power_beamwidth - go.half_power_beamwidth_deg;
    diff["first_sidelobe_db"] =
        f.mean.first_sidelobe_angle >= 0.0 && go.first_sidelobe_db
            ? nlohmann::ordered_json(f.mean.first_sidelobe_db - *go.first_sidelobe_db)
            : nullptr;
    j["difference"] = diff;
  } else {
    j["ray_trace"] = nullptr;
    j["difference"] = nullptr;
  }
  j["run_time_s"] = in.seconds;
  return j.dump() + "\n";
}

std::string PatternCsv(const FullWaveResult& result) {
  std::string text = "theta_deg,e_plane_dbi,h_plane_dbi,mean_dbi\n";
  for (const PatternPoint& p : result.figures.pattern) {
    text += Fix(p.theta_deg, 2) + "," + Fix(p.e_plane_dbi, 4) + "," + Fix(p.h_plane_dbi, 4) + "," +
            Fix(p.mean_dbi, 4) + "\n";
  }
  return text;
}

}  // namespace fullwave
