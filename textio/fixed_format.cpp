#include "textio/fixed_format.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
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

std::string PadField(std::string_view body, int width) {
  if (width < 0) width = 0;
  const auto w = static_cast<std::size_t>(width);
  if (body.size() > w) return std::string(w, '*');
  std::string out(w - body.size(), ' ');
  out.append(body);
  return out;
}

std::string RenderInt(int32_t value, int width) {
  return PadField(std::to_string(value), width);
}

std::string RenderFixed(float value, int width, int decimals) {
  if (!std::isfinite(value)) return NonFinite(value, width);
  if (decimals < 0) decimals = 0;
  const Decimal dec = ExactDecimal(value);

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

std::string RenderExp(float value, int width, int decimals, int scale) {
  if (!std::isfinite(value)) return NonFinite(value, width);
  if (decimals < 0) decimals = 0;
  const Decimal dec = ExactDecimal(value);
  const bool zero = dec.digits == "0";
  const std::size_t significant =
      static_cast<std::size_t>(decimals) + (scale > 0 ? 1 : 0);

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
  std::string exp_text = magnitude < 10 ? "0" + std::to_string(magnitude)
                                         : std::to_string(magnitude);
  exp_text = std::string("E") + (shown_exponent < 0 ? "-" : "+") + exp_text;

  if (scale > 0) return PadField(sign + mantissa + exp_text, width);
  const std::string bare = sign + mantissa + exp_text;
  if (static_cast<int>(bare.size()) == width) return bare;
  return PadField(sign + "0" + mantissa + exp_text, width);
}

std::string RenderChars(std::string_view value, int width) {
  if (width < 0) width = 0;
  const auto w = static_cast<std::size_t>(width);
  if (value.size() >= w) return std::string(value.substr(0, w));
  return PadField(value, width);
}

}  // namespace textio
