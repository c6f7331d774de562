#include "textio/layout.h"

#include <cctype>
#include <cmath>
#include <stdexcept>

#include "textio/fixed_format.h"

namespace textio {
namespace {

[[noreturn]] void Malformed(std::string_view notation, std::string_view why) {
  throw std::invalid_argument("layout " + std::string(notation) + ": " + std::string(why));
}

// Reads an unsigned decimal number at `pos`; -1 when there is none.
int ReadCount(std::string_view s, std::size_t& pos) {
  if (pos >= s.size() || !std::isdigit(static_cast<unsigned char>(s[pos]))) return -1;
  int n = 0;
  while (pos < s.size() && std::isdigit(static_cast<unsigned char>(s[pos]))) {
    n = n * 10 + (s[pos] - '0');
    if (n > 100000) return -1;
    ++pos;
  }
  return n;
}

}  // namespace

Layout::Layout(const char* notation) : Layout(std::string_view(notation)) {}

Layout::Layout(std::string_view notation) {
  std::string_view s = notation;
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  if (s.size() < 2 || s.front() != '(' || s.back() != ')') Malformed(notation, "no parentheses");
  s = s.substr(1, s.size() - 2);

  std::size_t pos = 0;
  bool expect_element = true;
  while (pos < s.size()) {
    const char c = s[pos];
    if (c == ' ') {
      ++pos;
      continue;
    }
    if (c == ',') {
      ++pos;
      expect_element = true;
      continue;
    }
    // '/' and '$' need no comma around them; everything else does.
    if (!expect_element && c != '/' && c != '$') Malformed(notation, "missing comma");
    expect_element = false;
    if (c == '\'') {
      std::string text;
      ++pos;
      for (;;) {
        if (pos >= s.size()) Malformed(notation, "unterminated text");
        if (s[pos] == '\'') {
          if (pos + 1 < s.size() && s[pos + 1] == '\'') {
            text.push_back('\'');
            pos += 2;
            continue;
          }
          ++pos;
          break;
        }
        text.push_back(s[pos++]);
      }
      elements_.push_back({Element::Kind::kText, text, 0, 0});
      continue;
    }
    if (c == '/') {
      elements_.push_back({Element::Kind::kSlash, {}, 0, 0});
      ++pos;
      expect_element = true;
      continue;
    }
    if (c == '$') {
      elements_.push_back({Element::Kind::kDollar, {}, 0, 0});
      leaves_open_ = true;
      ++pos;
      expect_element = true;
      continue;
    }
    int count = ReadCount(s, pos);
    if (pos >= s.size()) Malformed(notation, "number without a field");
    char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(s[pos])));
    if (letter == 'X') {
      if (count < 0) Malformed(notation, "X without a count");
      elements_.push_back({Element::Kind::kSkip, {}, count, 0});
      ++pos;
      continue;
    }
    if (letter == 'P') {
      if (count < 0) Malformed(notation, "P without a factor");
      elements_.push_back({Element::Kind::kScale, {}, 0, count});
      ++pos;
      // A field may follow the scale factor directly (1PE12.4).
      if (pos < s.size() && std::isalpha(static_cast<unsigned char>(s[pos]))) {
        count = -1;
        letter = static_cast<char>(std::toupper(static_cast<unsigned char>(s[pos])));
      } else {
        continue;
      }
    } else if (count == 0) {
      Malformed(notation, "repeat count of zero");
    }
    const int repeat = count < 0 ? 1 : count;
    ++pos;
    Element field;
    switch (letter) {
      case 'I': field.kind = Element::Kind::kInt; break;
      case 'F': field.kind = Element::Kind::kFixed; break;
      case 'E': field.kind = Element::Kind::kExp; break;
      case 'A': field.kind = Element::Kind::kChars; break;
      default: Malformed(notation, "unknown element");
    }
    field.width = ReadCount(s, pos);
    if (field.width <= 0) Malformed(notation, "field without a width");
    if (field.kind == Element::Kind::kFixed || field.kind == Element::Kind::kExp) {
      if (pos >= s.size() || s[pos] != '.') Malformed(notation, "real field without decimals");
      ++pos;
      field.decimals = ReadCount(s, pos);
      if (field.decimals < 0) Malformed(notation, "real field without decimals");
    }
    for (int i = 0; i < repeat; ++i) elements_.push_back(field);
  }
}

namespace {

// Lays the values out into `text`, the current record starting at
// `record_start`; at each record break calls `on_break`, which ends the
// record and returns where the next one starts. Fields are appended where
// they stand: columns only move forward, and a skip pads with blanks only
// when something follows it.
template <typename OnBreak>
void LayOutInto(const Layout& layout, std::span<const Value> values, std::string& text,
                std::size_t record_start, OnBreak on_break) {
  std::size_t column = 0;  // 0-based current column of the record
  std::size_t next = 0;    // next value to place
  int scale = 0;

  // Moves the end of the record to the current column.
  const auto reach_column = [&] {
    const std::size_t at = record_start + column;
    if (text.size() < at) text.append(at - text.size(), ' ');
  };
  const auto placed = [&] { column = text.size() - record_start; };
  auto wrong = [](const char* field) {
    throw std::invalid_argument(std::string("value does not suit its ") + field + " field");
  };

  for (const Element& e : layout.elements()) {
    using K = Element::Kind;
    const bool is_field =
        e.kind == K::kInt || e.kind == K::kFixed || e.kind == K::kExp || e.kind == K::kChars;
    if (is_field && next >= values.size()) break;
    switch (e.kind) {
      case K::kText:
        reach_column();
        text += e.text;
        placed();
        break;
      case K::kSkip: column += static_cast<std::size_t>(e.width); break;
      case K::kSlash:
        record_start = on_break(text);
        column = 0;
        break;
      case K::kDollar: break;
      case K::kScale: scale = e.decimals; break;
      case K::kInt: {
        const auto* v = std::get_if<int32_t>(&values[next++]);
        if (v == nullptr) wrong("integer");
        reach_column();
        AppendInt(text, *v, e.width);
        placed();
        break;
      }
      case K::kFixed: {
        const auto* v = std::get_if<float>(&values[next++]);
        if (v == nullptr) wrong("fixed-point");
        reach_column();
        AppendFixed(text, *v, e.width, e.decimals);
        placed();
        break;
      }
      case K::kExp: {
        const auto* v = std::get_if<float>(&values[next++]);
        if (v == nullptr) wrong("exponent");
        reach_column();
        AppendExp(text, *v, e.width, e.decimals, scale);
        placed();
        break;
      }
      case K::kChars: {
        const auto* v = std::get_if<std::string>(&values[next++]);
        if (v == nullptr) wrong("text");
        reach_column();
        AppendChars(text, *v, e.width);
        placed();
        break;
      }
    }
  }
  if (next < values.size()) throw std::invalid_argument("more values than the layout has fields");
}

}  // namespace

LaidOut LayOut(const Layout& layout, std::span<const Value> values) {
  LaidOut out;
  std::string record;
  LayOutInto(layout, values, record, 0, [&out](std::string& text) {
    out.records.push_back(std::move(text));
    text.clear();
    return std::size_t{0};
  });
  out.records.push_back(std::move(record));
  out.leave_open = layout.leaves_open();
  return out;
}

std::size_t AppendLaidOut(const Layout& layout, std::span<const Value> values,
                          std::string_view line_end, std::string& text) {
  std::size_t last_start = text.size();
  LayOutInto(layout, values, text, last_start, [&](std::string& t) {
    t += line_end;
    last_start = t.size();
    return last_start;
  });
  return last_start;
}

std::string FreeRecord(std::span<const Value> values) {
  std::string record;
  bool after_number = true;  // the first text is preceded by a blank too
  for (const Value& v : values) {
    if (const auto* i = std::get_if<int32_t>(&v)) {
      AppendInt(record, *i, 12);
      after_number = true;
    } else if (const auto* r = std::get_if<float>(&v)) {
      const float m = std::fabs(*r);
      if (m >= 1.0f && m < 10000000.0f) {
        AppendFixed(record, *r, 16, 6);
      } else {
        AppendExp(record, *r, 16, 6, 1);
      }
      after_number = true;
    } else {
      if (after_number) record += ' ';
      record += std::get<std::string>(v);
      after_number = false;
    }
  }
  return record;
}

}  // namespace textio
