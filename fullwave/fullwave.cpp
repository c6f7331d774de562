#include "fullwave/fullwave.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>

#include "fullwave/feed_disc.h"
#include "textio/checked.h"

namespace fullwave {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kCellsPerWavelengthInLens = 30.0;

// Largest disc the feed may have, in wavelengths: a feed broad enough to need
// more is far outside what a lens is fed with.
constexpr double kMaxDiscRadius = 6.0;

}  // namespace

int DefaultResolution(double permittivity) {
  const double n = std::sqrt(std::max(1.0, permittivity));
  return textio::TruncToInt32(std::ceil(kCellsPerWavelengthInLens * n - 1e-9)).value_or(0);
}

FullWaveResult RunFullWave(const LensSection& lens, const FullWaveOptions& options,
                           const std::function<void(Stage, const Progress&)>& progress) {
  FullWaveResult result;
  if (!(options.wavelength > 0.0) || !std::isfinite(options.wavelength)) {
    result.error = "the wavelength must be a positive length";
    return result;
  }
  if (!(options.feed_q > 0.0) || !(options.feed_q <= 1000.0)) {
    result.error = "the feed exponent Q must lie in (0, 1000]";
    return result;
  }
  result.resolution =
      options.resolution > 0 ? options.resolution : DefaultResolution(lens.permittivity);
  GridOptions grid = options.grid;
  grid.resolution = result.resolution;

  // Lengths in wavelengths from here on.
  LensSection scaled = lens;
  for (torfile::Point& p : scaled.outline) {
    p.z /= options.wavelength;
    p.r /= options.wavelength;
  }
  const double k = 2.0 * kPi;
  const DiscField disc = DiscField::CosineFeed(options.feed_q, k, kMaxDiscRadius);

  const SurfaceRun feed = RunSimulation(std::nullopt, disc, grid, [&](const Progress& p) {
    if (progress) progress(Stage::kFeedAlone, p);
  });
  if (!feed.ok) {
    result.error = feed.error;
    return result;
  }
  result.feed_power = SurfacePower(feed.surface);

  const SurfaceRun run = RunSimulation(scaled, disc, grid, [&](const Progress& p) {
    if (progress) progress(Stage::kLens, p);
  });
  if (!run.ok) {
    result.error = run.error;
    return result;
  }
  result.surface_power = SurfacePower(run.surface);
  result.periods = run.periods;
  result.cells = run.cells;
  if (!(result.feed_power > 0.0)) {
    result.error = "the feed radiated no power";
    return result;
  }

  // The free-space feed's level at the lens's edge angle, as a check of the feed.
  double edge_angle = 0.0;
  for (const torfile::Point& p : scaled.outline) {
    if (p.z > 0.0) edge_angle = std::max(edge_angle, std::atan2(p.r, p.z));
  }
  const FarField feed_far(feed.surface, k);
  if (edge_angle > 0.0) {
    result.feed_taper_db =
        10.0 * std::log10(feed_far.Intensity(edge_angle) / feed_far.Intensity(0.0));
  }

  result.figures = Figures(FarField(run.surface, k), result.feed_power);
  result.ok = true;
  return result;
}

}  // namespace fullwave
