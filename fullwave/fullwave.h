#ifndef KEVRANO_FULLWAVE_FULLWAVE_H_
#define KEVRANO_FULLWAVE_FULLWAVE_H_

// The full-wave check of a lens: the feed alone in free space (its total
// power), then feed and lens together (the field on a closed surface about
// them), then the far field and its figures.
//
// Conventions: the feed's phase centre at the origin radiating towards +z,
// power pattern cos^(2Q) θ in front (a Huygens disc, see feed_disc.h); the
// lens section and the wavelength in one unit; angles in degrees in the
// figures, directivity as a power ratio (4π U(0) / feed power).

#include <functional>
#include <string>

#include "fullwave/lens_raster.h"
#include "fullwave/near_to_far.h"
#include "fullwave/simulation.h"

namespace fullwave {

/// Cells per free-space wavelength that put 30 in a wavelength inside a
/// material of permittivity `permittivity` (0.05 dB on the directivity).
int DefaultResolution(double permittivity);

/// What to simulate besides the lens.
struct FullWaveOptions {
  double wavelength = 1.0;  // in the lens's unit
  double feed_q = 1.0;      // feed power pattern cos^(2Q) θ
  int resolution = 0;       // cells per wavelength; 0: DefaultResolution
  GridOptions grid;         // its resolution is set from the one above
};

/// The stage a progress report belongs to.
enum class Stage { kFeedAlone, kLens };

/// The outcome of a full-wave check.
struct FullWaveResult {
  bool ok = false;
  std::string error;
  int resolution = 0;
  FarFieldFigures figures;
  double feed_power = 0.0;     // through the closed surface, feed alone
  double surface_power = 0.0;  // through the closed surface, with the lens
  double feed_taper_db = 0.0;  // the free-space feed's level at the lens edge angle (mean cut)
  double periods = 0.0;        // simulated time of the lens run
  long cells = 0;              // grid cells of the lens run
};

/// Runs the check. Fails with a message when the options are out of range,
/// the lens cannot be put on the grid or the fields do not decay.
FullWaveResult RunFullWave(const LensSection& lens, const FullWaveOptions& options,
                           const std::function<void(Stage, const Progress&)>& progress);

}  // namespace fullwave

#endif  // KEVRANO_FULLWAVE_FULLWAVE_H_
