#ifndef KEVRANO_TEXTIO_LAYOUT_H_
#define KEVRANO_TEXTIO_LAYOUT_H_

// Layouts: the ordered fields and literals that turn values into records.
//
// A layout is written in the classic notation, for example
//   (/,' Lens zoning',/,' Wavelength:           ',F9.4)
// with the elements 'text' (a doubled quote stands for one quote), nX, /, $,
// 1P, Iw, Fw.d, Ew.d, Aw and repeat counts in front of fields (4E12.4). A
// scale factor may also be joined to its field (1PE12.4). Laying out is pure:
// it yields the finished records and whether the last one stays open.

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace textio {

/// One value of a write: a 32-bit integer, a 32-bit real or a text.
using Value = std::variant<int32_t, float, std::string>;

/// One element of a parsed layout. Repeat counts are expanded at parse time.
struct Element {
  enum class Kind { kText, kSkip, kSlash, kDollar, kScale, kInt, kFixed, kExp, kChars };
  Kind kind = Kind::kText;
  std::string text;  // kText
  int width = 0;     // kSkip: columns to move; fields: field width
  int decimals = 0;  // kFixed, kExp; kScale: the factor
};

/// A parsed layout. Construction parses the notation and throws
/// std::invalid_argument on a malformed layout (a programming error).
class Layout {
 public:
  Layout(const char* notation);  // NOLINT(google-explicit-constructor): layouts read as literals
  explicit Layout(std::string_view notation);

  const std::vector<Element>& elements() const { return elements_; }
  /// True when the layout holds `$`: its last record stays open.
  bool leaves_open() const { return leaves_open_; }

 private:
  std::vector<Element> elements_;
  bool leaves_open_ = false;
};

/// The records one write produces.
struct LaidOut {
  std::vector<std::string> records;  // at least one
  bool leave_open = false;           // the last record gets no line end
};

/// Lays the values out through the layout. The write stops at the first data
/// field for which no value is left. Throws std::invalid_argument when a value
/// does not suit its field or values are left over (programming errors).
LaidOut LayOut(const Layout& layout, std::span<const Value> values);

/// Lays the values out as LayOut does and appends the records to `text`,
/// each record but the last followed by `line_end`. Returns the offset in
/// `text` at which the last record begins.
std::size_t AppendLaidOut(const Layout& layout, std::span<const Value> values,
                          std::string_view line_end, std::string& text);

/// One list-directed record: integers in 12 columns, reals in 16 (fixed point
/// with six decimals for magnitudes from 1 to below 10000000, else 1PE16.6),
/// texts as they are, after one blank when first or after a number.
std::string FreeRecord(std::span<const Value> values);

}  // namespace textio

#endif  // KEVRANO_TEXTIO_LAYOUT_H_
