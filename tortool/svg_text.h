#ifndef KEVRANO_TORTOOL_SVG_TEXT_H_
#define KEVRANO_TORTOOL_SVG_TEXT_H_

// What the lens drawing and the analysis page share: the lens's colours and
// the text of SVG (coordinates, tick labels, escaped text, tick spacings and
// the document head).

#include <string>
#include <string_view>

namespace tortool {

/// The colours of the lens in every drawing: its fill and its outline.
inline constexpr std::string_view kLensFill = "#d6e6f5";
inline constexpr std::string_view kLensStroke = "#1f4e79";

/// Pixels with two decimals, "-0.00" written "0.00"; anything not finite
/// is drawn at 0.
std::string Fixed(double x);

/// A tick label with six significant digits; values within 1e-12 of zero
/// are written "0".
std::string Label(double x);

/// `text` escaped for an SVG text node or attribute; control and non-ASCII
/// bytes become '?'.
std::string Escaped(std::string_view text);

/// A tick spacing of 1, 2 or 5 times a power of ten giving about six
/// intervals over `span` (a span of 0 or less counts as 1e-12).
double TickStep(double span);

/// The XML declaration, the opening svg element of `width` by `height`
/// pixels (sans-serif, 12 px), the title element and a white background.
std::string DocumentHead(double width, double height, std::string_view title);

}  // namespace tortool

#endif  // KEVRANO_TORTOOL_SVG_TEXT_H_
