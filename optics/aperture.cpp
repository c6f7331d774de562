#include "optics/aperture.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <map>
#include <numbers>
#include <utility>

#include "textio/checked.h"

namespace optics {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kDeg = 180.0 / kPi;
/// The largest ray count the trace takes.
constexpr int32_t kMostRays = 100001;

/// Least-squares line through (x, y) over [first, last], evaluated at x0:
/// value and slope. A single point gives its value and the `fallback` slope.
std::pair<double, double> LineFit(const std::vector<double>& x, const std::vector<double>& y,
                                  std::size_t first, std::size_t last, double x0, double fallback) {
  const double count = static_cast<double>(last - first + 1);
  double mx = 0.0;
  double my = 0.0;
  for (std::size_t j = first; j <= last; ++j) {
    mx += x[j];
    my += y[j];
  }
  mx /= count;
  my /= count;
  double sxx = 0.0;
  double sxy = 0.0;
  for (std::size_t j = first; j <= last; ++j) {
    sxx += (x[j] - mx) * (x[j] - mx);
    sxy += (x[j] - mx) * (y[j] - my);
  }
  const double slope = sxx > 0.0 ? sxy / sxx : fallback;
  return {my + slope * (x0 - mx), slope};
}

/// x reduced modulo `period` into (-period/2, period/2].
double Reduced(double x, double period) { return x - period * std::ceil(x / period - 0.5); }

/// Rays that reach the aperture, in runs of neighbours that enter and leave
/// in the same zones (a zone step or a blocked ray ends a run).
struct Runs {
  std::vector<std::size_t> through;
  std::vector<std::size_t> start;  // per ray: first ray of its run
  std::vector<std::size_t> end;    // per ray: last ray of its run
};

Runs FindRuns(const Trace& trace) {
  const std::vector<RayRecord>& rays = trace.rays;
  Runs runs;
  runs.start.assign(rays.size(), 0);
  runs.end.assign(rays.size(), 0);
  for (std::size_t i = 0; i < rays.size(); ++i) {
    if (rays[i].fate == RayFate::kTransmitted) runs.through.push_back(i);
  }
  const std::vector<std::size_t>& t = runs.through;
  for (std::size_t k = 0; k < t.size();) {
    std::size_t m = k;
    while (m + 1 < t.size() && t[m + 1] == t[m] + 1 &&
           rays[t[m + 1]].entry_zone == rays[t[m]].entry_zone &&
           rays[t[m + 1]].exit_zone == rays[t[m]].exit_zone) {
      ++m;
    }
    for (std::size_t j = k; j <= m; ++j) {
      runs.start[t[j]] = t[k];
      runs.end[t[j]] = t[m];
    }
    k = m + 1;
  }
  return runs;
}

/// What a ray's tube carries through the faces at the analysis wavelength:
/// the power transmission of each face for the feed's mix of polarisations
/// (the E plane meets the TM, the H plane the TE transmission; an
/// anti-reflection layer met at the ray's own angles), the feed's co-polar
/// share |A + B|²/4 / ((|A|² + |B|²)/2) of the power, and the feed's
/// co-polar phase relative to the axis. The faces' own turning of the
/// polarisation (TE and TM transmitted unequally) is not counted, as for the
/// ideal feed.
struct RayLight {
  double entry = 1.0;
  double exit = 1.0;
  double copolar = 1.0;
  double feed_phase_deg = 0.0;
};

RayLight Illuminate(const RayRecord& ray, const Trace& trace, const AnalysisOptions& options,
                    double axis_phase) {
  Fresnel entry = ray.entry_face;
  Fresnel exit = ray.exit_face;
  if (options.coating) {
    const std::vector<Layer> layer{*options.coating};
    const std::optional<Transmission> in =
        StackTransmission(1.0, layer, trace.index, ray.entry_cos, options.wavelength);
    const std::optional<Transmission> out =
        StackTransmission(trace.index, layer, 1.0, ray.exit_cos, options.wavelength);
    if (in) entry = {in->te, in->tm};
    if (out) exit = {out->te, out->tm};
  }
  if (!options.feed_pattern) return {entry.Mean(), exit.Mean()};

  const PlaneFields f = options.feed_pattern->Fields(ray.theta);
  const double e2 = std::norm(f.e_plane);
  const double h2 = std::norm(f.h_plane);
  if (!(e2 + h2 > 0.0)) return {entry.Mean(), exit.Mean(), 0.0};
  RayLight light;
  const double e_in = e2 * entry.tm;
  const double h_in = h2 * entry.te;
  light.entry = (e_in + h_in) / (e2 + h2);
  light.exit = e_in + h_in > 0.0 ? (e_in * exit.tm + h_in * exit.te) / (e_in + h_in) : 0.0;
  light.copolar = std::norm(f.CoPolar()) / (0.5 * (e2 + h2));
  if (options.feed_pattern->has_phase() && std::abs(f.CoPolar()) > 0.0) {
    light.feed_phase_deg = std::arg(f.CoPolar() * std::polar(1.0, -axis_phase)) * kDeg;
  }
  return light;
}

/// The feed's power in each ray's tube and what becomes of it. Power shares
/// follow the power in order along the ray (reflected at the entry face,
/// absorbed on the way, reflected at the exit face); the efficiencies are
/// each taken on their own: spillover from the feed pattern and the rays that
/// pass the lens, blockage from the rays' fates, reflection from the two
/// faces' transmissions and dielectric loss from the path inside, so that
/// none changes with another's cause and their product is the power that
/// leaves the exit face towards the aperture.
void SplitPower(const Trace& trace, const AnalysisOptions& options, double loss_per_length,
                ApertureFigures* fig) {
  const std::vector<RayRecord>& rays = trace.rays;
  const std::size_t count = rays.size();
  const double q = fig->feed_q;
  auto beyond = [&options, q](double theta) {
    return options.feed_pattern ? options.feed_pattern->PowerBeyond(theta)
                                : FeedPowerBeyond(q, theta);
  };
  const double axis_phase =
      options.feed_pattern ? std::arg(options.feed_pattern->Fields(0.0).CoPolar()) : 0.0;
  PowerShares& power = fig->power;
  power.spilled = beyond(trace.edge_angle);
  double on_lens = 0.0;     // feed power of the rays that meet the lens
  double unblocked = 0.0;   // of it, rays through or reflected whole
  double through_faces = 0.0;  // power the faces pass, on rays through
  for (std::size_t i = 0; i < count; ++i) {
    const RayRecord& ray = rays[i];
    TubeFigures& tube = fig->rays[i];
    const double lo = i == 0 ? 0.0 : 0.5 * (rays[i - 1].theta + ray.theta);
    const double hi = i + 1 == count ? trace.edge_angle : 0.5 * (ray.theta + rays[i + 1].theta);
    const double p = beyond(lo) - beyond(hi);
    tube.feed_power = p;
    if (ray.fate == RayFate::kMissed) {
      power.missed += p;
      continue;
    }
    on_lens += p;
    const bool through = ray.fate == RayFate::kTransmitted;
    if (through || ray.fate == RayFate::kTotalReflection) unblocked += p;
    if (!(ray.length_in_lens > 0.0)) {
      (ray.fate == RayFate::kTotalReflection ? power.reflected : power.blocked) += p;
      continue;
    }
    const RayLight light = Illuminate(ray, trace, options, axis_phase);
    tube.copolar = light.copolar;
    tube.feed_phase_deg = light.feed_phase_deg;
    const double t1 = light.entry;
    const double t2 = light.exit;
    tube.loss_factor = std::exp(-loss_per_length * ray.length_in_lens);
    power.reflected += p * (1.0 - t1);
    power.absorbed += p * t1 * (1.0 - tube.loss_factor);
    const double at_exit = p * t1 * tube.loss_factor;
    switch (ray.fate) {
      case RayFate::kBlockedByStep:
      case RayFate::kBlockedByRim:
        power.blocked += at_exit;
        break;
      case RayFate::kTotalReflection:
        power.reflected += at_exit;
        break;
      default:
        power.reflected += at_exit * (1.0 - t2);
        if (through) {
          tube.exit_power = at_exit * t2;
          power.transmitted += tube.exit_power;
          fig->copolar_power += tube.exit_power * tube.copolar;
          through_faces += p * t1 * t2;
        } else {
          power.blocked += at_exit * t2;
        }
    }
  }
  Efficiencies& eff = fig->efficiency;
  eff.spillover = on_lens;
  eff.blockage = on_lens > 0.0 ? unblocked / on_lens : 0.0;
  eff.reflection = unblocked > 0.0 ? through_faces / unblocked : 0.0;
  eff.dielectric = through_faces > 0.0 ? power.transmitted / through_faces : 0.0;
}

/// Smooths each run's exit radii and exit angles against θ: each ray takes a
/// least-squares line through the rays of its run whose exit radii lie within
/// half the smoothing width of its own. Exit points keep the file's five
/// digits, while single exit directions take the slopes of rounded nodes.
/// Returns the slope dρ/dθ of each ray's exit radius.
std::vector<double> SmoothExits(const Trace& trace, const Runs& runs, ApertureFigures* fig) {
  const std::vector<RayRecord>& rays = trace.rays;
  const std::size_t count = rays.size();
  std::vector<double> theta(count);
  std::vector<double> radius(count);
  std::vector<double> angle(count);
  for (std::size_t i = 0; i < count; ++i) {
    theta[i] = rays[i].theta;
    radius[i] = rays[i].exit.r;
    angle[i] = rays[i].exit_angle;
  }
  const RayRecord& first = rays[runs.through.front()];
  const RayRecord& last = rays[runs.through.back()];
  const double mean_slope =
      (last.exit.r - first.exit.r) / std::max(last.theta - first.theta, 1e-300);
  std::vector<double> slope(count, 0.0);
  const double half_width = 0.5 * fig->smoothing_width;
  for (const std::size_t i : runs.through) {
    std::size_t lo = i;
    std::size_t hi = i;
    while (lo > runs.start[i] && (std::fabs(radius[lo - 1] - radius[i]) <= half_width || lo == i)) {
      --lo;
    }
    while (hi < runs.end[i] && (std::fabs(radius[hi + 1] - radius[i]) <= half_width || hi == i)) {
      ++hi;
    }
    const auto [rho, d_rho] = LineFit(theta, radius, lo, hi, theta[i], mean_slope);
    slope[i] = d_rho;
    TubeFigures& tube = fig->rays[i];
    if (theta[i] > 0.0) {
      tube.exit_radius = rho;
      tube.exit_angle = LineFit(theta, angle, lo, hi, theta[i], 0.0).first;
    }  // else the axial ray, which stays on the axis by symmetry
    fig->max_exit_angle_deg = std::max(fig->max_exit_angle_deg, std::fabs(tube.exit_angle) * kDeg);
    fig->max_raw_exit_angle_deg =
        std::max(fig->max_raw_exit_angle_deg, std::fabs(rays[i].exit_angle) * kDeg);
  }
  return slope;
}

/// Paths to the exit point and, along the smoothed exit direction, to the
/// aperture plane; the phase error in the plane and its RMS and peak. The
/// phase error is taken about the power-weighted mean phase, so that no one
/// ray's rounding (the axial ray's, say) offsets all the others.
void TracePhases(const Trace& trace, const Runs& runs, double wavelength, ApertureFigures* fig) {
  for (const std::size_t i : runs.through) {
    const RayRecord& ray = trace.rays[i];
    TubeFigures& tube = fig->rays[i];
    tube.path_to_exit = ray.path_to_exit;
    const double to_plane = std::max(0.0, trace.aperture_z - ray.exit.z);
    tube.path_to_plane = tube.path_to_exit + to_plane / std::cos(tube.exit_angle);
    tube.plane_radius = tube.exit_radius + to_plane * std::tan(tube.exit_angle);
  }
  // Phases relative to the axial ray, then about their mean
  const double reference = fig->rays[runs.through.front()].path_to_plane;
  std::complex<double> mean;
  for (const std::size_t i : runs.through) {
    TubeFigures& tube = fig->rays[i];
    tube.phase_error_deg = 360.0 * Reduced(tube.path_to_plane - reference, wavelength) / wavelength;
    // A measured feed's own phase leads: it takes from the path's lag
    if (tube.feed_phase_deg != 0.0) {
      tube.phase_error_deg = Reduced(tube.phase_error_deg - tube.feed_phase_deg, 360.0);
    }
    mean += std::polar(tube.exit_power, tube.phase_error_deg / kDeg);
  }
  const double mean_deg = std::abs(mean) > 0.0 ? std::arg(mean) * kDeg : 0.0;
  double sum_w = 0.0;
  double sum_e2 = 0.0;
  for (const std::size_t i : runs.through) {
    TubeFigures& tube = fig->rays[i];
    tube.phase_error_deg = Reduced(tube.phase_error_deg - mean_deg, 360.0);
    sum_w += tube.exit_power;
    sum_e2 += tube.exit_power * tube.phase_error_deg * tube.phase_error_deg;
    if (std::fabs(tube.phase_error_deg) > std::fabs(fig->peak_phase_error_deg)) {
      fig->peak_phase_error_deg = tube.phase_error_deg;
      fig->peak_phase_radius = tube.plane_radius;
    }
  }
  fig->rms_phase_error_deg = sum_w > 0.0 ? std::sqrt(sum_e2 / sum_w) : 0.0;
}

/// The annulus of the exit face each tube radiates from: between the
/// smoothed radii of neighbours, or extrapolated along the smoothed slope at
/// a run's ends; its field has the tube's power over the annulus and the
/// phase of the path to the exit point, in the plane of the exit point
/// (relative to the aperture plane). Returns the annuli and Σ |A| · area.
std::pair<std::vector<Annulus>, double> ExitFaceTubes(const Trace& trace, const Runs& runs,
                                                      const std::vector<double>& slope,
                                                      double wavelength, ApertureFigures* fig) {
  const std::vector<RayRecord>& rays = trace.rays;
  const std::size_t count = rays.size();
  std::vector<Annulus> aperture;
  double sum_amplitude_area = 0.0;
  double outermost = trace.lens_radius;
  const double reference = fig->rays[runs.through.front()].path_to_exit;
  for (const std::size_t i : runs.through) {
    TubeFigures& tube = fig->rays[i];
    const double theta = rays[i].theta;
    const double lo_angle = i == 0 ? 0.0 : 0.5 * (rays[i - 1].theta + theta);
    const double hi_angle = i + 1 == count ? trace.edge_angle : 0.5 * (theta + rays[i + 1].theta);
    tube.tube_inner = i == 0                 ? 0.0
                      : i > runs.start[i]    ? 0.5 * (fig->rays[i - 1].exit_radius + tube.exit_radius)
                                             : tube.exit_radius - slope[i] * (theta - lo_angle);
    tube.tube_outer = i < runs.end[i] ? 0.5 * (tube.exit_radius + fig->rays[i + 1].exit_radius)
                                      : tube.exit_radius + slope[i] * (hi_angle - theta);
    if (tube.tube_outer <= tube.tube_inner) ++fig->folded_tubes;
    const double area =
        std::fabs(kPi * (tube.tube_outer * tube.tube_outer - tube.tube_inner * tube.tube_inner));
    if (!(area > 0.0) || !(tube.exit_power > 0.0)) continue;
    outermost = std::max({outermost, std::fabs(tube.tube_inner), std::fabs(tube.tube_outer)});
    const double amplitude = std::sqrt(tube.exit_power * tube.copolar / area);
    const double phase = -2.0 * kPi * Reduced(tube.path_to_exit - reference, wavelength) / wavelength +
                         tube.feed_phase_deg / kDeg;
    aperture.push_back({std::min(tube.tube_inner, tube.tube_outer),
                        std::max(tube.tube_inner, tube.tube_outer), std::polar(amplitude, phase),
                        rays[i].exit.z - trace.aperture_z});
    sum_amplitude_area += amplitude * area;
  }
  fig->aperture_radius = outermost;
  return {aperture, sum_amplitude_area};
}

/// Counts the rays through each zone, in order from the axis; a zone that
/// the rays step over gets none. A ray's zone is the larger of the counts of
/// zone steps between its entry and exit points and the axis.
void SampleZones(const Trace& trace, const Runs& runs, ApertureFigures* fig) {
  std::vector<int32_t> counts;
  int32_t current = 0;
  for (const std::size_t i : runs.through) {
    const int32_t zone = std::max(trace.rays[i].entry_zone, trace.rays[i].exit_zone);
    if (counts.empty() || zone != current) {
      // Zones stepped over between two rays
      for (int32_t k = current + 1; !counts.empty() && k < zone; ++k) counts.push_back(0);
      counts.push_back(0);
      current = zone;
    }
    ++counts.back();
  }
  ZoneSampling& s = fig->sampling;
  s.zones = static_cast<int32_t>(counts.size());
  if (counts.empty()) return;
  const auto fewest = std::min_element(counts.begin(), counts.end());
  s.fewest_rays = *fewest;
  s.sparse_zone = static_cast<int32_t>(fewest - counts.begin());
  if (s.fewest_rays >= kRaysPerZone) return;
  // Rays fall on a zone in proportion to their count; a zone stepped over
  // is taken as half a ray wide. Rounded up to thousands and one.
  const double factor = kRaysPerZone / std::max(0.5, static_cast<double>(s.fewest_rays));
  const double intervals = static_cast<double>(std::max<std::size_t>(trace.rays.size(), 2) - 1);
  const double wanted = std::ceil(intervals * factor / 1000.0) * 1000.0 + 1.0;
  s.rays_needed = wanted > kMostRays ? kMostRays + 1
                                     : textio::TruncToInt32(wanted).value_or(kMostRays + 1);
}

}  // namespace

std::optional<ApertureFigures> ComputeApertureFigures(const Trace& trace,
                                                      const AnalysisOptions& options,
                                                      std::string* error) {
  const double lambda = options.wavelength;
  if (!(lambda > 0.0) || !std::isfinite(lambda)) {
    *error = "the wavelength is not a positive number";
    return std::nullopt;
  }
  ApertureFigures fig;
  if (options.feed_q) {
    fig.feed_q = *options.feed_q;
  } else if (!options.feed_pattern) {
    // The feed keeps the Q it has at the origin when it is moved along the axis
    const std::optional<double> q = FeedQForEdgeTaper(
        options.edge_taper_db, trace.feed_z == 0.0 ? trace.edge_angle : trace.origin_edge_angle);
    if (!q) {
      *error =
          "the lens edge is not in front of the feed, so no edge taper can be set (give --feed-q)";
      return std::nullopt;
    }
    fig.feed_q = *q;
  }
  fig.rays.resize(trace.rays.size());
  const double loss_per_length = 2.0 * kPi * trace.index * options.tan_delta / lambda;
  SplitPower(trace, options, loss_per_length, &fig);

  const Runs runs = FindRuns(trace);
  fig.transmitted_rays = static_cast<int32_t>(runs.through.size());
  if (runs.through.size() < 2) {
    *error = runs.through.empty() ? "no ray from the feed gets through the lens"
                                  : "only one ray from the feed gets through the lens";
    return std::nullopt;
  }
  // Half a wavelength, but never fewer than about ten rays: with many zones
  // at a short wavelength the rounded nodes tilt single rays more than the
  // rays are apart
  fig.smoothing_width = std::max(
      0.5 * lambda, 10.0 * trace.lens_radius / static_cast<double>(trace.rays.size()));
  const std::vector<double> slope = SmoothExits(trace, runs, &fig);
  TracePhases(trace, runs, lambda, &fig);
  SampleZones(trace, runs, &fig);
  const auto [aperture, sum_amplitude_area] = ExitFaceTubes(trace, runs, slope, lambda, &fig);

  // Gain on the axis, the budget, and the directivity
  const RadiationIntegral pattern(aperture, lambda);
  fig.gain = pattern.Directivity(0.0, 1.0);
  const double aperture_area = kPi * fig.aperture_radius * fig.aperture_radius;
  fig.uniform_gain = 4.0 * kPi * aperture_area / (lambda * lambda);
  Efficiencies& eff = fig.efficiency;
  const double t = fig.power.transmitted;
  // A measured feed puts only the co-polar part of the power into the beam
  const double beam_power = options.feed_pattern ? fig.copolar_power : t;
  eff.cross_polar = options.feed_pattern ? (t > 0.0 ? beam_power / t : 0.0) : 1.0;
  eff.taper = beam_power > 0.0
                  ? sum_amplitude_area * sum_amplitude_area / (aperture_area * beam_power)
                  : 0.0;
  eff.phase = sum_amplitude_area > 0.0 ? std::norm(pattern.Field(0.0)) /
                                             (sum_amplitude_area * sum_amplitude_area)
                                       : 0.0;
  eff.aperture = fig.gain / fig.uniform_gain;
  fig.directivity = eff.dielectric > 0.0 ? fig.gain / eff.dielectric : 0.0;

  // The beam and the pattern over about ten beamwidths
  if (!options.beam) return fig;
  const double diameter = 2.0 * fig.aperture_radius;
  fig.beam = FindBeam(pattern, diameter, lambda);
  const double theta_max = std::asin(std::min(1.0, 10.0 * lambda / diameter)) * kDeg;
  fig.pattern = SamplePattern(pattern, theta_max, options.pattern_angles);
  return fig;
}

}  // namespace optics
