#ifndef KEVRANO_TEXTIO_CHECKED_H_
#define KEVRANO_TEXTIO_CHECKED_H_

// Checked conversions and table access shared by every subsystem.
//
// Converting a NaN, an infinity or an out-of-range real to an integer is
// undefined in C++, so every real-to-integer conversion of the program goes
// through TruncToInt32, and every fixed-size table is indexed through At.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace textio {

/// Truncates toward zero; returns nothing when the value is not finite or its
/// integer part lies outside the 32-bit signed range.
inline std::optional<int32_t> TruncToInt32(double x) {
  if (!std::isfinite(x)) return std::nullopt;
  const double t = std::trunc(x);
  if (t < -2147483648.0 || t > 2147483647.0) return std::nullopt;
  return static_cast<int32_t>(t);
}

/// The float overload, so that callers need not widen by hand.
inline std::optional<int32_t> TruncToInt32(float x) {
  return TruncToInt32(static_cast<double>(x));
}

/// Thrown by At when a 1-based index falls outside its table: a programming
/// error, never an answer the user gave.
class IndexError : public std::out_of_range {
 public:
  using std::out_of_range::out_of_range;
};

/// Element I (1-based, as the lens tables are numbered) of a table.
template <typename Table>
auto& At(Table& table, int64_t i) {
  if (i < 1 || static_cast<uint64_t>(i) > table.size()) {
    throw IndexError("table index " + std::to_string(i) + " outside 1.." +
                     std::to_string(table.size()));
  }
  return table[static_cast<std::size_t>(i - 1)];
}

}  // namespace textio

#endif  // KEVRANO_TEXTIO_CHECKED_H_
