#ifndef KEVRANO_FULLWAVE_SIMULATION_H_
#define KEVRANO_FULLWAVE_SIMULATION_H_

// One full-wave run on the FDTD engine: the lens (or nothing) and the
// Huygens-disc feed on a cylindrical (r, z) grid of angular order m = +1,
// absorbing layers around, a short pulse about the design frequency, and the
// frequency-domain field at that frequency on a closed surface about the lens
// and feed.
//
// Conventions: the feed's phase centre at the origin radiating towards +z;
// the caller's lengths are in wavelengths (the engine runs with the
// wavelength as its unit of length, so the frequency is 1). The closed
// surface: the discs z = z_bottom and z = z_top (0 <= r <= r_side) and the
// cylinder r = r_side, each `gap` outside lens and feed, snapped to the grid.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "fullwave/feed_disc.h"
#include "fullwave/lens_raster.h"
#include "fullwave/near_to_far.h"

namespace fullwave {

/// How the grid is laid out and when the run stops.
struct GridOptions {
  int resolution = 48;          // cells per free-space wavelength
  double gap = 0.5;             // closed surface outside lens and feed
  double margin = 0.25;         // closed surface to the absorbing layer
  double absorber = 1.0;        // thickness of the absorbing layers
  double stop_fraction = 1e-6;  // stop when the probes' field energy is this far below its peak
  double max_periods = 400.0;   // give up after this many periods
};

/// Where a run has got to, for a progress line.
struct Progress {
  double periods = 0.0;    // simulated time in periods of the design frequency
  double energy_db = 0.0;  // probes' field energy against its peak, dB
  double stop_db = 0.0;    // the level at which the run stops
};

/// The result of one run.
struct SurfaceRun {
  bool ok = false;
  std::string error;
  std::vector<SurfaceSample> surface;
  double periods = 0.0;  // simulated time
  long cells = 0;        // grid cells (r × z)
  double r_side = 0.0, z_bottom = 0.0, z_top = 0.0;
};

/// Runs the feed `disc` with `lens` (lengths in wavelengths; nothing: the
/// feed alone in free space). Fails with a message on a lens the grid cannot
/// hold or fields that never decay.
SurfaceRun RunSimulation(const std::optional<LensSection>& lens, const DiscField& disc,
                         const GridOptions& options,
                         const std::function<void(const Progress&)>& progress);

}  // namespace fullwave

#endif  // KEVRANO_FULLWAVE_SIMULATION_H_
