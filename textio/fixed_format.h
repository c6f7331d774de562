#ifndef KEVRANO_TEXTIO_FIXED_FORMAT_H_
#define KEVRANO_TEXTIO_FIXED_FORMAT_H_

// Rendering of one value into a fixed-width field. Pure functions: a value and
// a field description in, characters out; nothing here touches a stream.
//
// Every field is right-aligned and blank-filled on the left; a value that needs
// more columns than the field has fills it with asterisks. Reals are rounded
// from their exact 32-bit value, a value exactly halfway rounding away from
// zero (the C library rounds such ties to even, so its digits are only used as
// the exact expansion). Not-a-number renders as "NaN", infinities as "Inf" and
// "-Inf"; they too become asterisks when the field is narrower.

#include <cstdint>
#include <string>
#include <string_view>

namespace textio {

/// Right-aligns `body` in `width` columns; asterisks when it does not fit.
std::string PadField(std::string_view body, int width);

/// Iw: the integer without leading zeros, a minus sign for negative values.
std::string RenderInt(int32_t value, int width);

/// Fw.d: fixed point with `decimals` decimals. The 0 before the point is left
/// out when only sign and fraction fit; no minus sign on a value that rounds
/// to zero.
std::string RenderFixed(float value, int width, int decimals);

/// Ew.d. With `scale` 1 (1PEw.d) one non-zero digit stands before the point
/// and d after it; with `scale` 0 the mantissa is 0.ddd (d significant digits)
/// and its 0 is left out when the field is one column short. Zero is
/// 0.000...E+00 with no sign.
std::string RenderExp(float value, int width, int decimals, int scale);

/// The value a 1PEw.d field shows (d + 1 significant digits, rounded as
/// RenderExp rounds) as the nearest double. A value that is not finite comes
/// back as it is.
double ShownByExp(float value, int decimals);

namespace detail {

/// RenderFixed and RenderExp from the full exact decimal expansion of the
/// value, the slow reference the fast renderers are checked against.
std::string RenderFixedExact(float value, int width, int decimals);
std::string RenderExpExact(float value, int width, int decimals, int scale);

}  // namespace detail

/// Aw: the characters of the value; a shorter value is right-aligned, a longer
/// one cut to its first `width` characters.
std::string RenderChars(std::string_view value, int width);

/// The same fields appended to `out`, for a record built field by field
/// without a string per field.
void AppendPadded(std::string& out, std::string_view body, int width);
void AppendInt(std::string& out, int32_t value, int width);
void AppendFixed(std::string& out, float value, int width, int decimals);
void AppendExp(std::string& out, float value, int width, int decimals, int scale);
void AppendChars(std::string& out, std::string_view value, int width);

}  // namespace textio

#endif  // KEVRANO_TEXTIO_FIXED_FORMAT_H_
