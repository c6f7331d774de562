#ifndef KEVRANO_OPTICS_PARSE_NUMBER_H_
#define KEVRANO_OPTICS_PARSE_NUMBER_H_

// Numbers in the text the optics modules read: a feed file's fields and a
// sweep's range.

#include <charconv>
#include <cmath>
#include <optional>
#include <string_view>
#include <system_error>

namespace optics::detail {

/// A finite decimal number filling the whole of `text`, which may start with
/// one '+' (std::from_chars alone refuses it); nothing otherwise.
inline std::optional<double> ParseNumber(std::string_view text) {
  if (!text.empty() && text.front() == '+') {
    text.remove_prefix(1);
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) return std::nullopt;
  }
  double value = 0.0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec != std::errc() || result.ptr != text.data() + text.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

}  // namespace optics::detail

#endif  // KEVRANO_OPTICS_PARSE_NUMBER_H_
