#include "torfile/reader.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <system_error>

namespace torfile {
namespace {

/// Longest token read as a number; longer ones are refused before conversion.
constexpr std::size_t kMaxNumberLength = 40;

struct Record {
  int line = 0;
  std::string_view text;
  bool ended = true;  // false for a last record cut off before its line end
};

std::string Quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

std::string ByteText(unsigned char byte) {
  std::array<char, 8> buffer{};
  std::snprintf(buffer.data(), buffer.size(), "0x%02X", static_cast<unsigned>(byte));
  return buffer.data();
}

/// Splits the text into records. Refuses control characters (other than the
/// CR of a CR LF line end) and bytes outside ASCII: a tor file is plain text.
bool SplitRecords(std::string_view text, std::vector<Record>* records, Problem* error) {
  int line = 1;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    const bool has_line_end = end != std::string_view::npos;
    if (!has_line_end) end = text.size();
    std::string_view record = text.substr(start, end - start);
    if (!record.empty() && record.back() == '\r') record.remove_suffix(1);
    for (const char c : record) {
      const auto byte = static_cast<unsigned char>(c);
      if (byte >= 0x20 && byte < 0x7F) continue;
      error->line = line;
      if (byte == '\t') {
        error->message = "tab character: fields are separated by blanks";
      } else if (byte == '\r') {
        error->message = "carriage return inside a record";
      } else if (byte >= 0x80) {
        error->message = "byte " + ByteText(byte) + " outside ASCII: not a tor file";
      } else {
        error->message = "control byte " + ByteText(byte) + ": not a text file";
      }
      return false;
    }
    if (records->size() >= static_cast<std::size_t>(4 * kMaxRows)) {
      error->line = line;
      error->message = "too many records (limit " + std::to_string(4 * kMaxRows) + ")";
      return false;
    }
    records->push_back(Record{line, record, has_line_end});
    ++line;
    start = end + 1;
  }
  return true;
}

/// Splits a record at blanks; a quoted expression is one token, quotes included.
bool Tokenize(std::string_view record, std::vector<std::string_view>* tokens, std::string* error) {
  tokens->clear();
  std::size_t i = 0;
  while (i < record.size()) {
    if (record[i] == ' ') {
      ++i;
      continue;
    }
    std::size_t end = i;
    if (record[i] == '"') {
      end = record.find('"', i + 1);
      if (end == std::string_view::npos) {
        *error = "quoted expression without its closing quote";
        return false;
      }
      ++end;
      if (end < record.size() && record[end] != ' ') {
        *error = "blank expected after the closing quote";
        return false;
      }
    } else {
      while (end < record.size() && record[end] != ' ') ++end;
    }
    tokens->push_back(record.substr(i, end - i));
    i = end;
  }
  return true;
}

/// A decimal real: optional sign, digits with an optional point, optional
/// exponent E or e. Words such as NaN or Inf are not numbers here.
bool IsRealSyntax(std::string_view s) {
  std::size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  std::size_t digits = 0;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < s.size() && (s[i] == 'E' || s[i] == 'e')) {
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    std::size_t exponent_digits = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++exponent_digits;
    if (exponent_digits == 0) return false;
  }
  return i == s.size();
}

/// Reads a real token; `what` names it in the message.
bool ParseReal(std::string_view token, const std::string& what, double* value, std::string* error) {
  if (token.size() > kMaxNumberLength || !IsRealSyntax(token)) {
    *error = what + ": " + Quoted(token.substr(0, kMaxNumberLength)) + " is not a real number";
    return false;
  }
  if (token.front() == '+') token.remove_prefix(1);
  double x = 0.0;
  const auto result = std::from_chars(token.data(), token.data() + token.size(), x);
  if (result.ec == std::errc::result_out_of_range) {
    // Underflow reads as zero; overflow is refused below.
    const bool tiny = token.find_first_of("eE") != std::string_view::npos &&
                      token[token.find_first_of("eE") + 1] == '-';
    if (!tiny) {
      *error = what + ": " + Quoted(token) + " is out of range";
      return false;
    }
    x = 0.0;
  } else if (result.ec != std::errc() || result.ptr != token.data() + token.size()) {
    *error = what + ": " + Quoted(token) + " is not a real number";
    return false;
  }
  if (!std::isfinite(x) || std::fabs(x) > kMaxMagnitude) {
    *error = what + ": " + Quoted(token) + " is out of range";
    return false;
  }
  *value = x;
  return true;
}

/// Reads an integer token: optional minus sign, digits only.
bool ParseInt(std::string_view token, const std::string& what, int32_t* value, std::string* error) {
  std::string_view digits = token;
  if (!digits.empty() && digits.front() == '-') digits.remove_prefix(1);
  bool ok = !digits.empty() && digits.size() <= kMaxNumberLength;
  for (const char c : digits) ok = ok && c >= '0' && c <= '9';
  if (!ok) {
    *error = what + ": " + Quoted(token.substr(0, kMaxNumberLength)) + " is not an integer";
    return false;
  }
  int32_t x = 0;
  const auto result = std::from_chars(token.data(), token.data() + token.size(), x);
  if (result.ec != std::errc() || result.ptr != token.data() + token.size()) {
    *error = what + ": " + Quoted(token) + " is out of range";
    return false;
  }
  *value = x;
  return true;
}

bool IsIdentifier(std::string_view s) {
  if (s.empty() || (s[0] >= '0' && s[0] <= '9')) return false;
  for (const char c : s) {
    const bool ok =
        (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
    if (!ok) return false;
  }
  return true;
}

std::string Joined(std::initializer_list<std::string_view> words) {
  std::string text;
  for (const std::string_view w : words) {
    if (!text.empty()) text += ' ';
    text += w;
  }
  return text;
}

/// The constant columns that end every segment row.
constexpr std::array<std::string_view, 4> kSegmentTail{"0", "1", "-1.0", "0.0"};

/// Walks the records of one file, object by object.
class Parser {
 public:
  Parser(const std::vector<Record>& records, int end_line, Mesh* file, Problem* error)
      : records_(records), end_line_(end_line), file_(file), error_(error) {}

  bool Parse() {
    // Offset object
    if (!NextRecord("'ZLOFF real_variable'")) return false;
    if (!Matches({"ZLOFF", "real_variable"})) {
      return Fail("not a tor file: the first record must be 'ZLOFF real_variable'");
    }
    if (!ExpectRecord({"("})) return false;
    if (!NextRecord("'value : ZLOFF'")) return false;
    if (tokens_.size() != 3 || tokens_[0] != "value" || tokens_[1] != ":") {
      return Fail("expected 'value : ZLOFF'");
    }
    if (!Real(tokens_[2], "lens axis offset", &file_->zloff)) return false;
    if (!ExpectRecord({")"})) return false;
    if (!NextRecord("an empty record")) return false;
    if (!tokens_.empty()) return Fail("expected an empty record after the offset object");

    // Mesh head and region table
    if (!NextRecord("the mesh object")) return false;
    if (tokens_.size() != 2 || !IsIdentifier(tokens_[0]) || tokens_[1] != "bor_mesh") {
      return Fail("expected 'NAME bor_mesh', the body-of-revolution mesh object");
    }
    file_->mesh_name = std::string(tokens_[0]);
    if (!ExpectRecord({"("}) || !ExpectRecord({"regions", ":", "table"}) || !ExpectRecord({"("})) {
      return false;
    }
    if (!ParseRegion()) return false;
    if (!ExpectRecord({"),"}) || !ExpectRecord({"nodes", ":", "table"}) || !ExpectRecord({"("})) {
      return false;
    }

    // Node table, then the two segment tables
    if (!ParseRows("node", &Parser::ParseNode)) return false;
    if (!ExpectRecord({"linear_segments", ":", "table"}) || !ExpectRecord({"("})) return false;
    if (!ParseRows("linear segment", &Parser::ParseLinear)) return false;
    if (!ExpectRecord({"cubic_segments", ":", "table"}) || !ExpectRecord({"("})) return false;
    if (!ParseRows("cubic segment", &Parser::ParseCubic)) return false;

    // Trailer
    if (!ParseUnit()) return false;
    if (!ExpectRecord({")"})) return false;
    while (next_ < records_.size()) {
      if (!NextRecord("")) return false;
      if (!tokens_.empty()) return Fail("text after the end of the mesh object");
    }
    return true;
  }

 private:
  using RowParser = bool (Parser::*)();

  bool Fail(std::string message) {
    error_->line = line_;
    error_->message =
        ended_ ? std::move(message) : "the file is cut short inside this record: " + message;
    return false;
  }

  /// Moves to the next record and splits it; at the end of the file reports
  /// what was expected there.
  bool NextRecord(const std::string& expected) {
    if (next_ >= records_.size()) {
      line_ = end_line_;
      return Fail(records_.empty() ? "empty file: not a tor file"
                                   : "the file ends where " + expected + " was expected");
    }
    const Record& record = records_[next_++];
    line_ = record.line;
    ended_ = record.ended;
    std::string message;
    if (!Tokenize(record.text, &tokens_, &message)) return Fail(message);
    return true;
  }

  bool Matches(std::initializer_list<std::string_view> words) const {
    if (tokens_.size() != words.size()) return false;
    std::size_t i = 0;
    for (const std::string_view w : words) {
      if (tokens_[i++] != w) return false;
    }
    return true;
  }

  bool ExpectRecord(std::initializer_list<std::string_view> words) {
    const std::string text = Quoted(Joined(words));
    if (!NextRecord(text)) return false;
    if (!Matches(words)) return Fail("expected " + text);
    return true;
  }

  bool Real(std::string_view token, const std::string& what, double* value) {
    std::string message;
    return ParseReal(token, what, value, &message) || Fail(message);
  }

  bool Int(std::string_view token, const std::string& what, int32_t* value) {
    std::string message;
    return ParseInt(token, what, value, &message) || Fail(message);
  }

  bool ParseRegion() {
    if (!NextRecord("the region row")) return false;
    if (tokens_.size() != 4) return Fail("expected the region row '1 EPSILON 1.0 0.0'");
    int32_t region = 0;
    double one = 0.0;
    double zero = 0.0;
    if (!Int(tokens_[0], "region number", &region)) return false;
    if (region != 1) return Fail("the mesh has one region, numbered 1");
    if (!Real(tokens_[1], "dielectric constant", &file_->dielectric) ||
        !Real(tokens_[2], "region constant", &one) || !Real(tokens_[3], "region constant", &zero)) {
      return false;
    }
    if (one != 1.0 || zero != 0.0) return Fail("the region row must end in 1.0 0.0");
    if (!(file_->dielectric > 0.0)) return Fail("the dielectric constant must be positive");
    return true;
  }

  /// Rows up to the record '),' that closes the table.
  bool ParseRows(const std::string& what, RowParser row) {
    row_count_ = 0;
    for (;;) {
      if (!NextRecord("a " + what + " row or '),'")) return false;
      if (Matches({"),"})) return true;
      if (tokens_.empty()) return Fail("empty record inside the " + what + " table");
      if (row_count_ >= kMaxRows) {
        return Fail("too many " + what + "s (limit " + std::to_string(kMaxRows) + ")");
      }
      ++row_count_;
      int32_t number = 0;
      if (!Int(tokens_[0], what + " number", &number)) return false;
      if (number != row_count_) {
        return Fail(what + " number " + std::to_string(number) + " out of order: expected " +
                    std::to_string(row_count_));
      }
      if (!(this->*row)()) return false;
    }
  }

  bool ParseNode() {
    const std::string name = "node " + std::to_string(row_count_);
    if (tokens_.size() != 3) return Fail(name + ": expected 'NUMBER \"ref(ZLOFF)+ Z\" R'");
    constexpr std::string_view kPrefix = "\"ref(ZLOFF)+";
    std::string_view expression = tokens_[1];
    if (expression.size() < kPrefix.size() + 1 || expression.substr(0, kPrefix.size()) != kPrefix ||
        expression.back() != '"') {
      return Fail(name + ": the axial coordinate must be written \"ref(ZLOFF)+ Z\"");
    }
    expression = expression.substr(kPrefix.size(), expression.size() - kPrefix.size() - 1);
    while (!expression.empty() && expression.front() == ' ') expression.remove_prefix(1);
    while (!expression.empty() && expression.back() == ' ') expression.remove_suffix(1);
    Node node;
    node.line = line_;
    if (!Real(expression, name + " z", &node.z) || !Real(tokens_[2], name + " r", &node.r)) {
      return false;
    }
    file_->nodes.push_back(node);
    return true;
  }

  /// The node numbers and the constant tail of a segment row with N nodes.
  template <std::size_t N>
  bool SegmentNodes(const std::string& name, std::array<int32_t, N>* nodes) {
    if (tokens_.size() != 1 + N + kSegmentTail.size()) {
      return Fail(name + ": expected the segment number, " + std::to_string(N) +
                  " node numbers and '0 1 -1.0 0.0'");
    }
    for (std::size_t i = 0; i < N; ++i) {
      if (!Int(tokens_[1 + i], name + " node", &(*nodes)[i])) return false;
    }
    for (std::size_t i = 0; i < kSegmentTail.size(); ++i) {
      if (tokens_[1 + N + i] != kSegmentTail[i]) {
        return Fail(name + ": the row must end in '0 1 -1.0 0.0'");
      }
    }
    return true;
  }

  bool ParseLinear() {
    LinearSegment segment;
    segment.line = line_;
    if (!SegmentNodes("linear segment " + std::to_string(row_count_), &segment.nodes)) {
      return false;
    }
    file_->linear.push_back(segment);
    return true;
  }

  bool ParseCubic() {
    CubicSegment segment;
    segment.line = line_;
    if (!SegmentNodes("cubic segment " + std::to_string(row_count_), &segment.nodes)) {
      return false;
    }
    file_->cubic.push_back(segment);
    return true;
  }

  bool ParseUnit() {
    if (!NextRecord("'length_unit : UNIT'")) return false;
    if (tokens_.size() != 3 || tokens_[0] != "length_unit" || tokens_[1] != ":") {
      return Fail("expected 'length_unit : UNIT'");
    }
    for (std::size_t i = 0; i < kUnitNames.size(); ++i) {
      if (tokens_[2] == kUnitNames[i]) {
        file_->unit = UnitOfCode(static_cast<int32_t>(i) + 1);
        file_->unit_line = line_;
        return true;
      }
    }
    return Fail("unknown length unit " + Quoted(tokens_[2].substr(0, kMaxNumberLength)) +
                ": expected in, ft, mm or m");
  }

  const std::vector<Record>& records_;
  const int end_line_;
  Mesh* file_;
  Problem* error_;
  std::size_t next_ = 0;
  int line_ = 0;
  bool ended_ = true;
  int32_t row_count_ = 0;
  std::vector<std::string_view> tokens_;
};

}  // namespace

bool ParseTor(std::string_view text, Mesh* file, Problem* error) {
  *file = Mesh{};
  std::vector<Record> records;
  if (!SplitRecords(text, &records, error)) return false;
  const int end_line = records.empty() ? 1 : records.back().line + 1;
  Parser parser(records, end_line, file, error);
  return parser.Parse();
}

}  // namespace torfile
