#include "torfile/mesh.h"

#include <stdexcept>
#include <string>

#include "textio/checked.h"

namespace torfile {
namespace {

constexpr std::array<LengthUnit, 4> kUnits{LengthUnit::kInch, LengthUnit::kFoot,
                                           LengthUnit::kMillimetre, LengthUnit::kMetre};

int64_t CodeOf(LengthUnit unit) {
  for (std::size_t i = 0; i < kUnits.size(); ++i) {
    if (kUnits[i] == unit) return static_cast<int64_t>(i) + 1;
  }
  return 3;
}

}  // namespace

bool IsUnitsCode(int32_t code) { return code >= 1 && code <= 4; }

LengthUnit UnitOfCode(int32_t code) {
  if (!IsUnitsCode(code)) {
    throw std::invalid_argument("units code " + std::to_string(code) + " outside 1..4");
  }
  return textio::At(kUnits, code);
}

std::string_view UnitName(LengthUnit unit) { return textio::At(kUnitNames, CodeOf(unit)); }

double MillimetresPer(LengthUnit unit) { return textio::At(kMillimetresPerUnit, CodeOf(unit)); }

}  // namespace torfile
