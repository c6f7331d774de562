#include "torfile/writer.h"

#include <array>
#include <charconv>
#include <cmath>
#include <string_view>
#include <system_error>
#include <utility>

#include "textio/checked.h"
#include "textio/fixed_format.h"
#include "textio/layout.h"

namespace torfile {
namespace {

using textio::Layout;
using textio::Value;

const Layout kOffsetObject("('ZLOFF  real_variable',/,'(',/,'  value',11X,' : ',1PE12.4,/,')',/)");
const Layout kMeshHead(
    "('horn_bor_mesh_lens   bor_mesh',/,'(',/,'  regions',9X,' : table',/,'    (',/,"
    "5X,I4,1P,3E15.5,/,5X,'),',/,'  nodes',13X,': table',/,3X,' (')");
const Layout kNodeRow("(4X,I5,'  \"ref(ZLOFF)+',1PE12.4,'\"',3X,E12.4)");
const Layout kLinearHead("('  ),',/,'  linear_segments  : table',/,4X,'(')");
const Layout kLinearRow("(5X,3I6,'  0   1   -1.0   0.0')");
const Layout kCubicHead("('  ),',/,'  cubic_segments   : table',/,3X,' (')");
const Layout kCubicRow("(5X,5I6,'  0   1   -1.0   0.0')");
const Layout kTrailer("(4X,'),',/,'  length_unit',5X,' : ',A2,/,'  )')");

// The region row's constants after the dielectric constant.
constexpr int32_t kRegion = 1;
constexpr float kRegionSecond = 1.0f;
constexpr float kRegionThird = 0.0f;

std::vector<std::string> Records(const Layout& layout, std::initializer_list<Value> values) {
  return textio::LayOut(layout, std::span<const Value>(values.begin(), values.size())).records;
}

void Append(std::vector<std::string>& to, std::vector<std::string> from) {
  for (std::string& record : from) to.push_back(std::move(record));
}

// Powers of ten a double holds exactly.
constexpr std::array<double, 23> kExactPowers{1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                              1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                              1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The field's five digits read back from the renderer's own text: for the
// magnitudes beyond the exact powers of ten, which no lens reaches.
double ParsedField(float value) {
  const std::string text = textio::RenderExp(value, 12, 4, 1);
  const std::size_t start = text.find_first_not_of(' ');
  double x = std::nan("");
  if (start == std::string::npos) return x;
  const auto result = std::from_chars(text.data() + start, text.data() + text.size(), x);
  return result.ec == std::errc() ? x : std::nan("");
}

// An exact product hi + lo of two doubles.
struct Exact {
  double hi = 0.0;
  double lo = 0.0;
};

Exact Product(double a, double b) {
  const double hi = a * b;
  return {hi, std::fma(a, b, -hi)};
}

// magnitude / power as an integer part plus 0.25, 0.5 or 0.75 for a
// remainder below, at or above half the power: all the rounding needs. The
// differences of nearly equal values are exact; their sign decides.
Exact Divided(double magnitude, double power) {
  double m = std::floor(magnitude / power);
  const Exact low = Product(m, power);
  if (magnitude - low.hi < low.lo) m -= 1.0;
  const Exact high = Product(m + 1.0, power);
  if (magnitude - high.hi >= high.lo) m += 1.0;
  const Exact half = Product(m + 0.5, power);
  const double beyond_half = (magnitude - half.hi) - half.lo;
  const double fraction = beyond_half == 0.0 ? 0.5 : (beyond_half > 0.0 ? 0.75 : 0.25);
  return {m + fraction, 0.0};
}

// True when hi + lo is below x (x an integer of the same magnitude).
bool Below(const Exact& v, double x) { return v.hi < x || (v.hi == x && v.lo < 0.0); }

}  // namespace

std::string UnitsText(LengthUnit unit) {
  std::string text(UnitName(unit));
  text.resize(2, ' ');
  return text;
}

std::vector<std::string> OffsetRecords(float zloff) { return Records(kOffsetObject, {zloff}); }

std::vector<std::string> MeshHeadRecords(float dielectric) {
  return Records(kMeshHead, {kRegion, dielectric, kRegionSecond, kRegionThird});
}

std::string NodeRecord(int32_t number, float z, float r) {
  return std::move(Records(kNodeRow, {number, z, r}).front());
}

std::vector<std::string> SegmentRecords(std::span<const LinearSegment> linear,
                                        std::span<const CubicSegment> cubic) {
  std::vector<std::string> records = Records(kLinearHead, {});
  int32_t number = 0;
  for (const LinearSegment& s : linear) {
    Append(records, Records(kLinearRow, {++number, s.nodes[0], s.nodes[1]}));
  }
  Append(records, Records(kCubicHead, {}));
  number = 0;
  for (const CubicSegment& s : cubic) {
    Append(records, Records(kCubicRow, {++number, s.nodes[0], s.nodes[1], s.nodes[2], s.nodes[3]}));
  }
  return records;
}

std::vector<std::string> TrailerRecords(LengthUnit unit) {
  return Records(kTrailer, {UnitsText(unit)});
}

// The field holds m·10^(e-4) with m the five-digit mantissa 10000..99999 and
// e the decimal exponent of the first digit. The scaled magnitude |x|·10^(4-e)
// is formed exactly as a sum hi + lo, so that the digits and the halfway
// case are decided as the renderer decides them from the exact binary value;
// the mantissa is then scaled back by one correctly rounded operation on
// exact operands, which gives the double nearest the decimal value, as
// strtod does.
double AsWritten(float value) {
  if (!std::isfinite(value)) return static_cast<double>(value);
  if (value == 0.0f) return 0.0;
  const double magnitude = std::fabs(static_cast<double>(value));
  int binary = 0;
  std::frexp(magnitude, &binary);  // magnitude in [2^(binary-1), 2^binary)
  // floor((binary - 1)·log10 2), the exponent or one less
  int e = ((binary - 1) * 78913) >> 18;

  // Scaled magnitude in [10000, 100000)
  Exact scaled;
  for (int tries = 0;; ++tries) {
    if (tries == 3 || e < -18 || e > 26) return ParsedField(value);
    if (e <= 4) {
      scaled = Product(magnitude, textio::At(kExactPowers, 4 - e + 1));
    } else {
      scaled = Divided(magnitude, textio::At(kExactPowers, e - 4 + 1));
    }
    if (Below(scaled, 10000.0)) {
      --e;
    } else if (!Below(scaled, 100000.0)) {
      ++e;
    } else {
      break;
    }
  }

  // Round to the mantissa, halfway away from zero
  double m = std::floor(scaled.hi);
  if (scaled.hi == m && scaled.lo < 0.0) m -= 1.0;
  const double fraction_less_half = (scaled.hi - m) - 0.5;
  if (fraction_less_half >= -scaled.lo) m += 1.0;

  const double read =
      e <= 4 ? m / textio::At(kExactPowers, 4 - e + 1) : m * textio::At(kExactPowers, e - 4 + 1);
  return value < 0.0f ? -read : read;
}

std::vector<std::string> FileRecords(const Mesh& mesh, float dielectric, float zloff) {
  std::vector<std::string> records = OffsetRecords(zloff);
  const auto append = [&records](std::vector<std::string> more) {
    for (std::string& record : more) records.push_back(std::move(record));
  };
  append(MeshHeadRecords(dielectric));
  int32_t number = 0;
  for (const Node& node : mesh.nodes) {
    records.push_back(NodeRecord(++number, static_cast<float>(node.z), static_cast<float>(node.r)));
  }
  append(SegmentRecords(mesh.linear, mesh.cubic));
  append(TrailerRecords(mesh.unit));
  return records;
}

}  // namespace torfile
