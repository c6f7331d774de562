#include "cad/materials.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace cad {
namespace {

constexpr std::array<Material, 12> kMaterials{{
    {"rexolite", "cross-linked polystyrene", 2.53, 1.05},
    {"ptfe", "polytetrafluoroethylene", 2.05, 2.20},
    {"hdpe", "high-density polyethylene", 2.35, 0.95},
    {"ldpe", "low-density polyethylene", 2.25, 0.92},
    {"pp", "polypropylene", 2.25, 0.90},
    {"pmma", "acrylic", 2.60, 1.18},
    {"abs", "ABS, printed or moulded", 2.70, 1.05},
    {"pla", "polylactide, printed", 2.80, 1.24},
    {"ultem", "polyetherimide", 3.15, 1.27},
    {"quartz", "fused silica", 3.80, 2.20},
    {"alumina", "99.5 % aluminium oxide", 9.80, 3.90},
    {"silicon", "high-resistivity silicon", 11.7, 2.33},
}};

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

}  // namespace

std::span<const Material> Materials() { return kMaterials; }

std::optional<Material> FindMaterial(std::string_view name) {
  for (const Material& m : kMaterials) {
    if (SameIgnoringCase(m.name, name)) return m;
  }
  return std::nullopt;
}

std::string MaterialNames() {
  std::string names;
  for (const Material& m : kMaterials) {
    if (!names.empty()) names += ", ";
    names += m.name;
  }
  return names;
}

double MassGrams(double volume, double millimetres_per_unit, double density) {
  const double centimetres = millimetres_per_unit / 10.0;
  return volume * centimetres * centimetres * centimetres * density;
}

}  // namespace cad
