#ifndef KEVRANO_FULLWAVE_REPORT_H_
#define KEVRANO_FULLWAVE_REPORT_H_

// The full-wave check as text, JSON and CSV, beside the ray trace's figures
// for the same lens and feed. Angles in degrees, levels in dB; the main
// figures are those of the mean of the E- and H-plane powers, which is what
// a ray trace of an axisymmetric lens models.

#include <optional>
#include <string>

#include "fullwave/fullwave.h"

namespace fullwave {

/// The ray trace's figures for the same lens and feed.
struct RayTraceFigures {
  double directivity = 0.0;  // power ratio
  double half_power_beamwidth_deg = 0.0;
  std::optional<double> first_null_deg;
  std::optional<double> first_sidelobe_db;
};

/// Everything the report shows.
struct ReportInput {
  std::string file;  // as the user named it
  std::string unit;  // the file's unit of length
  double wavelength = 0.0;
  double permittivity = 1.0;
  double feed_q = 0.0;
  double edge_angle_deg = 0.0;  // of the lens edge seen from the feed
  FullWaveResult result;
  std::optional<RayTraceFigures> ray_trace;
  double seconds = 0.0;  // run time
};

/// The summary for the terminal.
std::string ReportText(const ReportInput& in);
/// The same as one JSON object on one line.
std::string ReportJson(const ReportInput& in);
/// The pattern cuts: theta_deg, e_plane_dbi, h_plane_dbi, mean_dbi.
std::string PatternCsv(const FullWaveResult& result);

}  // namespace fullwave

#endif  // KEVRANO_FULLWAVE_REPORT_H_
