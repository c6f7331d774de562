#include "fullwave/lens_raster.h"

#include <gtest/gtest.h>

#include <string>

namespace fullwave {
namespace {

// Cells of side 1 (quarter cells of 0.5) against sections whose area in each
// cell is known by hand. A rectangle 0 <= r <= 2, 1 <= z <= 3, a right
// triangle whose hypotenuse halves a cell, and a thin lens hugging the axis.
TEST(PermittivityMapTest, FillFractionIsTheAreaInsideTheCell) {
  const LensSection rectangle{{{1.0, 0.0}, {3.0, 0.0}, {3.0, 2.0}, {1.0, 2.0}}, 4.0};
  const LensSection triangle{{{0.0, 0.0}, {4.0, 0.0}, {0.0, 4.0}}, 2.0};
  const LensSection sliver{{{0.0, -1e-12}, {1.0, 0.0}, {1.0, 0.25}, {0.0, 0.25}}, 3.0};
  struct Case {
    const char* name;
    const LensSection* lens;
    double r, z;
    double fraction;
  };
  const Case kCases[] = {
      {"inside the rectangle", &rectangle, 1.0, 2.0, 1.0},
      {"outside the rectangle", &rectangle, 3.0, 2.0, 0.0},
      {"on the rectangle's outer face: half", &rectangle, 2.0, 2.0, 0.5},
      {"on the rectangle's corner: a quarter", &rectangle, 2.0, 3.0, 0.25},
      {"on the rectangle's feed face: half", &rectangle, 1.0, 1.0, 0.5},
      {"axis cell of the rectangle (mirror half)", &rectangle, 0.0, 2.0, 1.0},
      {"cell centred on the hypotenuse: half", &triangle, 2.0, 2.0, 0.5},
      {"cell astride the hypotenuse off centre", &triangle, 1.5, 2.0, 0.875},
      {"sliver on the axis (a rounding error below it): both halves", &sliver, 0.0, 0.5, 0.5},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    std::string error;
    const auto map = PermittivityMap::Build(*c.lens, 1.0, 0.0, &error);
    ASSERT_TRUE(map) << error;
    EXPECT_NEAR(c.fraction, map->FillFraction(c.r, c.z), 2e-3);
    EXPECT_NEAR(1.0 + c.fraction * (c.lens->permittivity - 1.0), map->At(c.r, c.z), 6e-3);
  }
}

TEST(PermittivityMapTest, RefusesSectionsItCannotRasterise) {
  struct Case {
    const char* name;
    LensSection lens;
    double cell;
    const char* error;
  };
  const Case kCases[] = {
      {"two vertices",
       {{{0, 0}, {1, 1}}, 2.0},
       0.1,
       "the lens section needs at least three vertices"},
      {"vertex behind the axis",
       {{{0, 0}, {1, -1}, {1, 1}}, 2.0},
       0.1,
       "a vertex of the lens section is not finite or lies at r < 0"},
      {"permittivity below 1",
       {{{0, 0}, {1, 0}, {1, 1}}, 0.5},
       0.1,
       "the lens permittivity must be at least 1"},
      {"no cell", {{{0, 0}, {1, 0}, {1, 1}}, 2.0}, 0.0, "the grid cell must be a positive length"},
      {"lens far too large for the cell",
       {{{0, 0}, {1e9, 0}, {1e9, 1}}, 2.0},
       1e-3,
       "the lens is too large for the grid cell"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    std::string error;
    EXPECT_FALSE(PermittivityMap::Build(c.lens, c.cell, 0.0, &error));
    EXPECT_EQ(c.error, error);
  }
}

}  // namespace
}  // namespace fullwave
