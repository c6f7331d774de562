#include "cad/materials.h"

#include <gtest/gtest.h>

namespace cad {
namespace {

TEST(Materials, MassIsVolumeTimesDensity) {
  const struct {
    const char* name;
    double volume, millimetres_per_unit, density, grams;
  } kCases[] = {
      {"1 in^3 = 16.387064 cm^3 of PTFE at 2.2", 1.0, 25.4, 2.2, 36.0515408},
      {"1 ft^3 = 28316.846592 cm^3 at 1.05", 1.0, 304.8, 1.05, 29732.6889216},
      {"0.001 m^3 = 1000 cm^3 at 0.95", 0.001, 1000.0, 0.95, 950.0},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_NEAR(c.grams, MassGrams(c.volume, c.millimetres_per_unit, c.density), 1e-9 * c.grams);
  }
}

}  // namespace
}  // namespace cad
