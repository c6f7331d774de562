#include "tortool/svg_text.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "textio/checked.h"

namespace tortool {

std::string Fixed(double x) {
  if (!std::isfinite(x)) x = 0.0;
  std::array<char, 48> buffer{};
  std::snprintf(buffer.data(), buffer.size(), "%.2f", x);
  std::string s = buffer.data();
  return s == "-0.00" ? "0.00" : s;
}

std::string Label(double x) {
  std::array<char, 48> buffer{};
  std::snprintf(buffer.data(), buffer.size(), "%.6g", std::fabs(x) < 1e-12 ? 0.0 : x);
  return buffer.data();
}

std::string Escaped(std::string_view text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F) ? '?'
                                                                                               : c;
    }
  }
  return out;
}

double TickStep(double span) {
  const double raw = std::max(span, 1e-12) / 6.0;
  const int32_t exponent = textio::TruncToInt32(std::floor(std::log10(raw))).value_or(0);
  const double unit = std::pow(10.0, exponent);
  for (const double m : {1.0, 2.0, 5.0}) {
    if (raw <= m * unit) return m * unit;
  }
  return 10.0 * unit;
}

std::string DocumentHead(double width, double height, std::string_view title) {
  std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + Fixed(width) + "\" height=\"" +
         Fixed(height) + "\" viewBox=\"0 0 " + Fixed(width) + " " + Fixed(height) +
         "\" font-family=\"sans-serif\" font-size=\"12\">\n";
  svg += "<title>" + Escaped(title) + "</title>\n";
  svg += "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
  return svg;
}

}  // namespace tortool
