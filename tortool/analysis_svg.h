#ifndef KEVRANO_TORTOOL_ANALYSIS_SVG_H_
#define KEVRANO_TORTOOL_ANALYSIS_SVG_H_

// One page of three drawings of an analysed lens: the cross-section with
// every k-th ray traced (blocked rays marked), the phase error against the
// aperture radius, and the far-field pattern in dB.

#include <string>
#include <string_view>

#include "optics/analysis.h"
#include "tortool/sweep_report.h"
#include "optics/aperture.h"
#include "torfile/outline.h"
#include "torfile/reader.h"

namespace tortool {

/// The whole SVG document; about 40 rays are drawn. `title` heads the page.
std::string RenderAnalysisSvg(const torfile::Mesh& file, const torfile::Outline& outline,
                              const optics::Trace& trace, const optics::ApertureFigures& figures,
                              double wavelength, std::string_view title);

/// A page with the gain of a sweep against frequency and, for comparison,
/// the uniform aperture's (πD/λ)², the 1 dB band marked. `title` heads it.
std::string RenderSweepSvg(const SweepResult& sweep, std::string_view title);

}  // namespace tortool

#endif  // KEVRANO_TORTOOL_ANALYSIS_SVG_H_
