#ifndef KEVRANO_CAD_MATERIALS_H_
#define KEVRANO_CAD_MATERIALS_H_

// Materials that lens makers machine, mould or print, with the dielectric
// constant and the density a buyer plans with: common datasheet values
// (dielectric constant near 10 GHz at room temperature, density at room
// temperature). A given lot may differ by a few per cent.

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace cad {

struct Material {
  std::string_view name;         // as given on the command line
  std::string_view description;  // what it is
  double dielectric_constant;
  double density;  // g/cm^3
};

/// Every preset, in the order --help lists them.
std::span<const Material> Materials();

/// The preset of that name (case ignored), or nothing.
std::optional<Material> FindMaterial(std::string_view name);

/// The names of the presets separated by ", ".
std::string MaterialNames();

/// Grams of a volume given in a unit of length cubed, `millimetres_per_unit`
/// millimetres to the unit, at `density` g/cm^3.
double MassGrams(double volume, double millimetres_per_unit, double density);

}  // namespace cad

#endif  // KEVRANO_CAD_MATERIALS_H_
