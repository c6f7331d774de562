#include "textio/fixed_format.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <vector>

namespace textio {
namespace {

// The exact decimal expansion of a 32-bit real, as sign, digits and the
// decimal exponent of the first digit. A float widened to double is exact,
// and the C library prints the exact value of a double when asked for enough
// digits. A float is m·2^e with m below 2^24; when e < 0 its expansion ends
// at the (-e)-th decimal, so it has at most d + 1 + max(0, -e) significant
// digits, d being the decimal exponent of its first digit. Asking for just
// that many (with a margin for the estimate of d) keeps the printing short;
// 120 digits cover every float, the smallest subnormal included. The digits
// of zero are a single "0".
struct Decimal {
  bool negative = false;
  std::string digits;  // no leading zeros unless the value is zero
  int exponent = 0;    // value = 0.d1 d2 d3 ... times 10^(exponent)
};

Decimal ExactDecimal(float value) {
  Decimal dec;
  dec.negative = std::signbit(value);
  const double magnitude = std::fabs(static_cast<double>(value));
  if (magnitude == 0.0) {
    dec.digits = "0";
    return dec;
  }
  int binary_exponent = 0;
  std::frexp(magnitude, &binary_exponent);
  const int e = binary_exponent - 24;
  const int d = static_cast<int>(std::floor(std::log10(magnitude)));
  const int precision = std::clamp(d + 2 + (e < 0 ? -e : 0), 1, 119);
  char buf[160];
  std::snprintf(buf, sizeof buf, "%.*e", precision, magnitude);
  // buf: d.ddd...e[+-]XX
  std::string text(buf);
  const std::size_t e_pos = text.find('e');
  dec.digits.push_back(text[0]);
  dec.digits.append(text, 2, e_pos - 2);
  while (dec.digits.size() > 1 && dec.digits.back() == '0') dec.digits.pop_back();
  dec.exponent = std::stoi(text.substr(e_pos + 1)) + 1;
  return dec;
}

// Rounds the digit string to `keep` digits, halfway cases away from zero.
// Returns true when the rounding carried into a new leading digit (999 -> 1000),
// in which case `digits` holds keep + 1 digits.
bool RoundDigits(std::string& digits, std::size_t keep) {
  if (digits.size() <= keep) {
    digits.append(keep - digits.size(), '0');
    return false;
  }
  // The expansion is exact, so the first dropped digit alone decides: 5 or
  // more is at or above the halfway point.
  const bool up = digits[keep] >= '5';
  digits.resize(keep);
  if (!up) return false;
  for (std::size_t i = keep; i-- > 0;) {
    if (digits[i] == '9') {
      digits[i] = '0';
    } else {
      ++digits[i];
      return false;
    }
  }
  digits.insert(digits.begin(), '1');
  return true;
}

bool AllZero(std::string_view digits) {
  return digits.find_first_not_of('0') == std::string_view::npos;
}

std::string NonFinite(float value, int width) {
  if (std::isnan(value)) return PadField("NaN", width);
  return PadField(value < 0 ? "-Inf" : "Inf", width);
}

}  // namespace

void AppendPadded(std::string& out, std::string_view body, int width) {
  if (width < 0) width = 0;
  const auto w = static_cast<std::size_t>(width);
  if (body.size() > w) {
    out.append(w, '*');
    return;
  }
  out.append(w - body.size(), ' ');
  out.append(body);
}

std::string PadField(std::string_view body, int width) {
  std::string out;
  AppendPadded(out, body, width);
  return out;
}

void AppendInt(std::string& out, int32_t value, int width) {
  char buf[16];
  const auto result = std::to_chars(buf, buf + sizeof buf, value);
  AppendPadded(out, std::string_view(buf, static_cast<std::size_t>(result.ptr - buf)), width);
}

std::string RenderInt(int32_t value, int width) {
  std::string out;
  AppendInt(out, value, width);
  return out;
}

namespace {

// Fw.d of a finite value from its decimal digits: the exact expansion, or the
// expansion already rounded at the d-th decimal.
std::string FormatFixed(const Decimal& dec, int width, int decimals) {
  // Split into integer digits and fraction digits, then round the fraction.
  std::string int_digits;
  std::string all;  // integer digits followed by fraction digits
  if (dec.digits == "0") {
    all = "0";
    int_digits = "0";
  } else if (dec.exponent > 0) {
    all = dec.digits;
    if (all.size() < static_cast<std::size_t>(dec.exponent)) {
      all.append(static_cast<std::size_t>(dec.exponent) - all.size(), '0');
    }
    int_digits = all.substr(0, static_cast<std::size_t>(dec.exponent));
  } else {
    all = std::string(static_cast<std::size_t>(1 - dec.exponent), '0') + dec.digits;
    int_digits = "0";
  }
  const std::size_t int_len = int_digits.size();
  const bool carried = RoundDigits(all, int_len + static_cast<std::size_t>(decimals));
  const std::size_t new_int_len = int_len + (carried ? 1 : 0);
  std::string ipart = all.substr(0, new_int_len);
  const std::string fpart = all.substr(new_int_len);
  const std::size_t first = ipart.find_first_not_of('0');
  ipart = first == std::string::npos ? "" : ipart.substr(first);

  const bool zero = ipart.empty() && AllZero(fpart);
  const std::string sign = dec.negative && !zero ? "-" : "";
  if (ipart.empty()) {
    const std::string bare = sign + "." + fpart;
    if (static_cast<int>(bare.size()) == width) return bare;
    return PadField(sign + "0." + fpart, width);
  }
  return PadField(sign + ipart + "." + fpart, width);
}

// Ew.d of a finite value from its decimal digits: the exact expansion, or the
// expansion already rounded to the digits shown.
std::string FormatExp(const Decimal& dec, int width, int decimals, int scale) {
  const bool zero = dec.digits == "0";
  const std::size_t significant = static_cast<std::size_t>(decimals) + (scale > 0 ? 1 : 0);

  std::string digits = dec.digits;
  int exponent = dec.exponent;  // value = 0.digits x 10^exponent
  if (zero) {
    digits.assign(significant, '0');
    exponent = scale > 0 ? 1 : 0;
  } else if (RoundDigits(digits, significant)) {
    digits.pop_back();
    ++exponent;
  }

  const std::string sign = dec.negative && !zero ? "-" : "";
  std::string mantissa;
  int shown_exponent = exponent;
  if (scale > 0) {
    mantissa = digits.substr(0, 1) + "." + digits.substr(1);
    shown_exponent = exponent - 1;
  } else {
    mantissa = "." + digits;
  }
  const int magnitude = shown_exponent < 0 ? -shown_exponent : shown_exponent;
  std::string exp_text =
      magnitude < 10 ? "0" + std::to_string(magnitude) : std::to_string(magnitude);
  exp_text = std::string("E") + (shown_exponent < 0 ? "-" : "+") + exp_text;

  if (scale > 0) return PadField(sign + mantissa + exp_text, width);
  const std::string bare = sign + mantissa + exp_text;
  if (static_cast<int>(bare.size()) == width) return bare;
  return PadField(sign + "0" + mantissa + exp_text, width);
}

// Fast rounding with integers. A finite magnitude is exactly M·2^E with
// M < 2^24; its value times 10^k, rounded to an integer with halfway cases
// away from zero, is found exactly in 128-bit arithmetic whenever the numbers
// fit, which covers every field of the program. The rest takes the exact
// expansion above.
__extension__ typedef unsigned __int128 Wide;

struct Binary {
  uint32_t M = 0;
  int E = 0;
};

Binary BinaryOf(float magnitude) {
  const auto bits = std::bit_cast<uint32_t>(magnitude);
  const auto biased = static_cast<int>((bits >> 23) & 0xffu);
  Binary b{bits & 0x7fffffu, -149};
  if (biased != 0) {
    b.M |= 0x800000u;
    b.E = biased - 150;
  }
  return b;
}

// 10^0 to 10^38, the powers below 2^128.
constexpr std::array<Wide, 39> kPowersOfTen = [] {
  std::array<Wide, 39> powers{};
  Wide p = 1;
  for (Wide& power : powers) {
    power = p;
    p *= 10;
  }
  return powers;
}();

// 10^j for j from 0 to 38; every caller keeps j in that range.
Wide PowerOfTen(int j) { return kPowersOfTen.at(static_cast<std::size_t>(j)); }

// round(M·2^E·10^k), halfway away from zero; nothing when it would not fit.
std::optional<Wide> RoundedScaled(Binary b, int k) {
  if (k >= 0) {
    if (k > 31) return std::nullopt;
    const Wide n = Wide{b.M} * PowerOfTen(k);  // below 2^24·10^31 < 2^127
    if (b.E >= 0) {
      if (b.E > 127 || (n >> (127 - b.E)) != 0) return std::nullopt;
      return n << b.E;
    }
    const int s = -b.E;
    if (s >= 128) return Wide{0};  // n < 2^127, below half of 2^s
    const Wide q = n >> s;
    const Wide r = n & ((Wide{1} << s) - 1);
    return q + (r >= (Wide{1} << (s - 1)) ? 1 : 0);
  }
  const int j = -k;
  if (b.E < 0 || j > 38) return std::nullopt;
  const Wide n = Wide{b.M} << b.E;  // below 2^128: E is at most 104
  const Wide d = PowerOfTen(j);
  const Wide q = n / d;
  const Wide r = n % d;
  return q + (r >= d - r ? 1 : 0);
}

// Decimal digits of a rounded integer that fits 64 bits.
std::optional<std::string_view> DigitsOf(Wide q, char (&buf)[24]) {
  if (q > Wide{UINT64_MAX}) return std::nullopt;
  const auto result = std::to_chars(buf, buf + sizeof buf, static_cast<uint64_t>(q));
  return std::string_view(buf, static_cast<std::size_t>(result.ptr - buf));
}

// Appends "E+XX" (at least two exponent digits) to `out` at `n`.
void AppendExponent(char* out, std::size_t& n, int exponent) {
  out[n++] = 'E';
  out[n++] = exponent < 0 ? '-' : '+';
  const int magnitude = exponent < 0 ? -exponent : exponent;
  if (magnitude < 10) out[n++] = '0';
  n = static_cast<std::size_t>(std::to_chars(out + n, out + n + 8, magnitude).ptr - out);
}

// Significant digits the fast path takes: the rounded integer stays in 64 bits.
constexpr int kMostFastDigits = 17;

}  // namespace

std::string RenderFixed(float value, int width, int decimals) {
  std::string out;
  AppendFixed(out, value, width, decimals);
  return out;
}

std::string RenderExp(float value, int width, int decimals, int scale) {
  std::string out;
  AppendExp(out, value, width, decimals, scale);
  return out;
}

void AppendFixed(std::string& text, float value, int width, int decimals) {
  if (!std::isfinite(value)) {
    text += NonFinite(value, width);
    return;
  }
  if (decimals < 0) decimals = 0;
  // The value times 10^d, rounded: its digits with d of them after the point.
  char buf[24];
  const std::optional<Wide> q = RoundedScaled(BinaryOf(std::fabs(value)), decimals);
  const std::optional<std::string_view> digits = q ? DigitsOf(*q, buf) : std::nullopt;
  if (!digits) {
    text += FormatFixed(ExactDecimal(value), width, decimals);
    return;
  }
  const auto d = static_cast<std::size_t>(decimals);
  std::string_view ipart = digits->size() > d ? digits->substr(0, digits->size() - d) : "";
  const std::string_view fdigits = digits->substr(ipart.size());
  if (ipart == "0") ipart = "";

  const bool zero = *q == 0;
  char out[64];
  std::size_t n = 0;
  if (std::signbit(value) && !zero) out[n++] = '-';
  const std::size_t sign = n;
  ipart.copy(out + n, ipart.size());
  n += ipart.size();
  out[n++] = '.';
  // The fraction's leading zeros, when the rounded value has fewer than d digits.
  for (std::size_t i = fdigits.size(); i < d; ++i) out[n++] = '0';
  if (d > 0) {
    fdigits.copy(out + n, fdigits.size());
    n += fdigits.size();
  }
  if (ipart.empty()) {
    // The 0 before the point only when the field has room for it.
    if (n == static_cast<std::size_t>(std::max(width, 0))) {
      text.append(out, n);
      return;
    }
    std::copy_backward(out + sign, out + n, out + n + 1);
    out[sign] = '0';
    ++n;
  }
  AppendPadded(text, std::string_view(out, n), width);
}

void AppendExp(std::string& text, float value, int width, int decimals, int scale) {
  if (!std::isfinite(value)) {
    text += NonFinite(value, width);
    return;
  }
  if (decimals < 0) decimals = 0;
  // The digit count is formed only once it is known to be small, so that no
  // count of decimals can overflow it.
  const float magnitude = std::fabs(value);
  const int significant = decimals + (scale > 0 ? 1 : 0);
  if (magnitude == 0.0f || decimals >= kMostFastDigits || significant < 1) {
    text += FormatExp(ExactDecimal(value), width, decimals, scale);
    return;
  }
  // Decimal exponent of the first digit: the magnitude lies in
  // [2^(w-1), 2^w), so it is floor((w-1)·log10 2) or one more.
  const Binary b = BinaryOf(magnitude);
  const int w = std::bit_width(b.M) + b.E;
  int exponent = ((w - 1) * 78913) >> 18;
  const Wide limit = PowerOfTen(significant);
  std::optional<Wide> q = RoundedScaled(b, significant - 1 - exponent);
  if (q && *q >= limit) {
    ++exponent;
    q = RoundedScaled(b, significant - 1 - exponent);
    if (q && *q >= limit) {  // rounded up to a new first digit
      *q /= 10;
      ++exponent;
    }
  }
  char buf[24];
  const std::optional<std::string_view> digits = q ? DigitsOf(*q, buf) : std::nullopt;
  if (!digits) {
    text += FormatExp(ExactDecimal(value), width, decimals, scale);
    return;
  }
  const std::string_view rest = digits->substr(1);

  char out[64];
  std::size_t n = 0;
  if (std::signbit(value)) out[n++] = '-';
  const std::size_t sign = n;
  if (scale > 0) {
    // One digit before the point.
    out[n++] = digits->front();
    out[n++] = '.';
    rest.copy(out + n, rest.size());
    n += rest.size();
    AppendExponent(out, n, exponent);
    AppendPadded(text, std::string_view(out, n), width);
    return;
  }
  // 0.ddd: every digit after the point, the 0 only when there is room.
  out[n++] = '.';
  digits->copy(out + n, digits->size());
  n += digits->size();
  AppendExponent(out, n, exponent + 1);
  if (n == static_cast<std::size_t>(std::max(width, 0))) {
    text.append(out, n);
    return;
  }
  std::copy_backward(out + sign, out + n, out + n + 1);
  out[sign] = '0';
  ++n;
  AppendPadded(text, std::string_view(out, n), width);
}

double ShownByExp(float value, int decimals) {
  if (!std::isfinite(value)) return static_cast<double>(value);
  // Wide enough for every float's digits; the digits are converted, not read
  // back from any record.
  const std::string shown = RenderExp(value, 64, decimals, 1);
  const std::size_t first = shown.find_first_not_of(' ');
  double result = 0.0;
  std::from_chars(shown.data() + first, shown.data() + shown.size(), result);
  return result;
}

namespace detail {

std::string RenderFixedExact(float value, int width, int decimals) {
  if (!std::isfinite(value)) return NonFinite(value, width);
  if (decimals < 0) decimals = 0;
  return FormatFixed(ExactDecimal(value), width, decimals);
}

std::string RenderExpExact(float value, int width, int decimals, int scale) {
  if (!std::isfinite(value)) return NonFinite(value, width);
  if (decimals < 0) decimals = 0;
  return FormatExp(ExactDecimal(value), width, decimals, scale);
}

}  // namespace detail

void AppendChars(std::string& out, std::string_view value, int width) {
  if (width < 0) width = 0;
  const auto w = static_cast<std::size_t>(width);
  if (value.size() >= w) {
    out.append(value.substr(0, w));
    return;
  }
  AppendPadded(out, value, width);
}

std::string RenderChars(std::string_view value, int width) {
  std::string out;
  AppendChars(out, value, width);
  return out;
}

}  // namespace textio
