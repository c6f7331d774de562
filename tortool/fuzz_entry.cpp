#include "tortool/fuzz_entry.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>

#include "optics/analysis.h"
#include "optics/aperture.h"
#include "torfile/outline.h"
#include "torfile/reader.h"
#include "tortool/stl.h"
#include "tortool/svg.h"

namespace tortool {

using optics::AnalysisOptions;
using optics::ApertureFigures;
using optics::ComputeApertureFigures;

using optics::PowerShares;
using optics::Trace;
using optics::TraceLens;
using torfile::CheckOutline;
using torfile::CheckResult;
using torfile::Mesh;
using torfile::ParseTor;
using torfile::Problem;
using torfile::Summarize;
using torfile::Summary;

int FuzzTorInput(const uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  Mesh file;
  Problem error;
  if (!ParseTor(text, &file, &error)) {
    if (error.line < 1 || error.message.empty()) std::abort();
    return 0;
  }
  const CheckResult check = CheckOutline(file);
  if (!check.outline) {
    if (check.errors.empty()) std::abort();
    // The drawing of the failing outline, its problems marked
    if (RenderProblemSvg(file, check.errors, "fuzz").find("nan") != std::string::npos) {
      std::abort();
    }
    return 0;
  }
  const Summary s = Summarize(file, *check.outline);
  if (!(s.volume > 0.0) || !std::isfinite(s.volume) || !std::isfinite(s.lens_radius)) {
    std::abort();
  }
  const std::string svg = RenderSvg(file, *check.outline, "fuzz");
  if (svg.find("nan") != std::string::npos || svg.find("inf") != std::string::npos) std::abort();
  std::ostringstream stl;
  std::string stl_error;
  if (WriteStl(file, *check.outline, kMinStlSegments, stl, &stl_error) && stl.str().size() < 84) {
    std::abort();
  }

  // The analysis with few rays, at a wavelength of a tenth of the lens
  // radius: a lens it refuses gets a message, one it takes gets finite figures
  std::string analysis_error;
  const std::optional<Trace> trace = TraceLens(file, *check.outline, 9, &analysis_error);
  if (!trace) {
    if (analysis_error.empty()) std::abort();
    return 0;
  }
  AnalysisOptions options;
  options.wavelength = std::max(s.lens_radius / 10.0, 1e-300);
  options.pattern_angles = 9;
  const std::optional<ApertureFigures> figures =
      ComputeApertureFigures(*trace, options, &analysis_error);
  if (!figures) {
    if (analysis_error.empty()) std::abort();
    return 0;
  }
  const PowerShares& p = figures->power;
  const double total = p.transmitted + p.reflected + p.absorbed + p.blocked + p.spilled + p.missed;
  if (!(std::fabs(total - 1.0) < 1e-6) || !std::isfinite(figures->rms_phase_error_deg)) {
    std::abort();
  }
  return 0;
}

}  // namespace tortool
