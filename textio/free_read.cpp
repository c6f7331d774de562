#include "textio/free_read.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "textio/checked.h"

namespace textio {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsEnd(char c) { return IsBlank(c) || c == ',' || c == '/'; }

// The shape of a number: [sign] digits [. digits] [exponent], with at least
// one digit in the mantissa; the exponent is E, D or Q (either case) with an
// optional sign and at least one digit. On success `canonical` holds the text
// with the exponent letter replaced by 'e', ready for the C library.
bool Scan(std::string_view text, std::string& canonical, bool& integral) {
  std::size_t i = 0;
  canonical.clear();
  integral = true;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) canonical.push_back(text[i++]);
  std::size_t mantissa_digits = 0;
  while (i < text.size() && IsDigit(text[i])) {
    canonical.push_back(text[i++]);
    ++mantissa_digits;
  }
  if (i < text.size() && text[i] == '.') {
    integral = false;
    canonical.push_back(text[i++]);
    while (i < text.size() && IsDigit(text[i])) {
      canonical.push_back(text[i++]);
      ++mantissa_digits;
    }
  }
  if (mantissa_digits == 0) return false;
  if (i < text.size()) {
    const char e = text[i];
    if (e != 'e' && e != 'E' && e != 'd' && e != 'D' && e != 'q' && e != 'Q') return false;
    integral = false;
    canonical.push_back('e');
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) canonical.push_back(text[i++]);
    std::size_t exponent_digits = 0;
    while (i < text.size() && IsDigit(text[i])) {
      canonical.push_back(text[i++]);
      ++exponent_digits;
    }
    if (exponent_digits == 0 || i != text.size()) return false;
  }
  return true;
}

FreeStatus Assign(std::string_view text, const FreeTarget& target) {
  if (auto* const* i = std::get_if<int32_t*>(&target)) return ParseInteger(text, **i);
  return ParseReal(text, *std::get<float*>(target));
}

}  // namespace

FreeStatus ParseReal(std::string_view text, float& out) {
  std::string canonical;
  bool integral = false;
  if (!Scan(text, canonical, integral)) return FreeStatus::kSyntaxError;
  errno = 0;
  const float value = std::strtof(canonical.c_str(), nullptr);
  // Gradual underflow to a tiny or zero value is the nearest real; overflow has
  // no 32-bit real to go to.
  if (errno == ERANGE && std::isinf(value)) return FreeStatus::kConversionError;
  out = value;
  return FreeStatus::kDone;
}

FreeStatus ParseInteger(std::string_view text, int32_t& out) {
  std::string canonical;
  bool integral = false;
  if (!Scan(text, canonical, integral)) return FreeStatus::kSyntaxError;
  if (!integral) {
    float real = 0.0f;
    const FreeStatus status = ParseReal(text, real);
    if (status != FreeStatus::kDone) return status;
    const std::optional<int32_t> cut = TruncToInt32(real);
    if (!cut) return FreeStatus::kConversionError;
    out = *cut;
    return FreeStatus::kDone;
  }
  // Whole digits: accumulate with a bound so that no overflow can occur.
  std::size_t i = 0;
  bool negative = false;
  if (canonical[i] == '+' || canonical[i] == '-') negative = canonical[i++] == '-';
  int64_t magnitude = 0;
  for (; i < canonical.size(); ++i) {
    magnitude = magnitude * 10 + (canonical[i] - '0');
    if (magnitude > 2147483648LL) return FreeStatus::kConversionError;
  }
  const int64_t value = negative ? -magnitude : magnitude;
  if (value > 2147483647LL) return FreeStatus::kConversionError;
  out = static_cast<int32_t>(value);
  return FreeStatus::kDone;
}

FreeStatus ParseFreeLine(std::string_view line, std::span<const FreeTarget> targets,
                         std::size_t& next) {
  std::size_t pos = 0;
  // A comma met while this is true stands for a null value: at the start of
  // the line, or right after another comma.
  bool null_on_comma = true;
  while (next < targets.size()) {
    while (pos < line.size() && IsBlank(line[pos])) ++pos;
    if (pos >= line.size()) return FreeStatus::kNeedMore;
    const char c = line[pos];
    if (c == ',') {
      if (null_on_comma) ++next;  // the variable keeps its value
      null_on_comma = true;
      ++pos;
      continue;
    }
    if (c == '/') return FreeStatus::kDone;

    // One value item, up to the next separator.
    const std::size_t start = pos;
    while (pos < line.size() && !IsEnd(line[pos])) ++pos;
    std::string_view item = line.substr(start, pos - start);
    null_on_comma = false;

    // A repeat count: r*value or r* (r nulls).
    uint64_t repeat = 1;
    const std::size_t star = item.find('*');
    if (star != std::string_view::npos) {
      const std::string_view count = item.substr(0, star);
      if (count.empty()) return FreeStatus::kSyntaxError;
      repeat = 0;
      for (char d : count) {
        if (!IsDigit(d)) return FreeStatus::kSyntaxError;
        // Counts beyond the variables of any read change nothing; saturate.
        if (repeat < 1000000000ULL) repeat = repeat * 10 + static_cast<uint64_t>(d - '0');
      }
      if (repeat == 0) return FreeStatus::kSyntaxError;
      item = item.substr(star + 1);
    }
    for (uint64_t r = 0; r < repeat && next < targets.size(); ++r) {
      if (!item.empty()) {
        const FreeStatus status = Assign(item, targets[next]);
        if (status != FreeStatus::kDone) return status;
      }
      ++next;
    }

    // The separator after the value: blanks, then at most one comma.
    while (pos < line.size() && IsBlank(line[pos])) ++pos;
    if (pos < line.size() && line[pos] == ',') {
      ++pos;
      null_on_comma = true;
    }
  }
  return FreeStatus::kDone;
}

std::size_t CountFreeValues(std::string_view line, std::size_t limit) {
  // The line read into as many throw-away reals as it could fill.
  std::vector<float> values(limit, 0.0f);
  std::vector<FreeTarget> targets;
  targets.reserve(limit);
  for (float& v : values) targets.emplace_back(&v);
  std::size_t next = 0;
  const FreeStatus status = ParseFreeLine(line, targets, next);
  const bool bad = status == FreeStatus::kSyntaxError || status == FreeStatus::kConversionError;
  return bad && next < limit ? next + 1 : next;
}

}  // namespace textio
