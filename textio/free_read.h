#ifndef KEVRANO_TEXTIO_FREE_READ_H_
#define KEVRANO_TEXTIO_FREE_READ_H_

// Free-form (list-directed) reading of answers: pure parsing of one line at a
// time into integer and real variables.
//
// Values are separated by blanks, tabs or a comma with optional blanks around
// it; r*value repeats a value; a null value (nothing between two commas, a
// comma at the start of a line, r* alone) leaves its variable unchanged; a
// slash ends the read. Reals take an optional exponent introduced by E, D or Q.
// An integer variable accepts a real-looking value and cuts it toward zero.

#include <cstdint>
#include <span>
#include <string_view>
#include <variant>

namespace textio {

/// A variable that a free-form read fills.
using FreeTarget = std::variant<int32_t*, float*>;

/// Where one line left the read.
enum class FreeStatus {
  kNeedMore,         // the line ended before every variable had a value
  kDone,             // every variable has a value, or a slash ended the read
  kSyntaxError,      // a character that cannot belong to a value
  kConversionError,  // a value outside its variable's range
};

/// Parses one line into targets[next...], advancing `next` past every variable
/// given a value or a null. Whatever follows the last value needed is ignored.
FreeStatus ParseFreeLine(std::string_view line, std::span<const FreeTarget> targets,
                         std::size_t& next);

/// The values a line holds before a slash ends it or the line ends: each
/// value or null counts, r*value counts r times, a comma at the end of the
/// line counts nothing. A text that is no value counts as one. The count
/// stops at `limit`.
std::size_t CountFreeValues(std::string_view line, std::size_t limit);

/// Converts one value text to a 32-bit real, correctly rounded.
FreeStatus ParseReal(std::string_view text, float& out);

/// Converts one value text to a 32-bit integer; a value with a decimal point
/// or an exponent is converted as a real and cut toward zero.
FreeStatus ParseInteger(std::string_view text, int32_t& out);

}  // namespace textio

#endif  // KEVRANO_TEXTIO_FREE_READ_H_
