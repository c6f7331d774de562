#ifndef KEVRANO_TORFILE_MESH_H_
#define KEVRANO_TORFILE_MESH_H_

// The tor file's content as one model, whether read from a file or built by
// the export before it writes one: the lens axis offset, the body-of-revolution
// mesh with its one region (the lens dielectric), its nodes, linear and cubic
// segments, and the unit of length. Coordinates are in the mesh's unit: z
// along the lens axis from the feed, r the distance from the axis; node
// axial coordinates are relative to the axis offset. A mesh read from a file
// keeps the line of every node and segment so that later checks can point at
// it; a built mesh has line 0 throughout.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace torfile {

/// Something wrong with a file, at a line (1-based; 0 when no single line is
/// to blame).
struct Problem {
  int line = 0;
  std::string message;
};

/// One point of the lens outline.
struct Node {
  double z = 0.0;
  double r = 0.0;
  int line = 0;
};

/// A straight piece of outline between two nodes (numbers from 1).
struct LinearSegment {
  std::array<int32_t, 2> nodes{};
  int line = 0;
};

/// A curved piece of outline: the cubic through its four nodes at equal
/// parameter steps 0, 1/3, 2/3, 1.
struct CubicSegment {
  std::array<int32_t, 4> nodes{};
  int line = 0;
};

/// The units of length a file can name, in the order of their codes 1..4.
enum class LengthUnit { kInch, kFoot, kMillimetre, kMetre };

/// Unit names as the file writes them, by units code - 1.
inline constexpr std::array<std::string_view, 4> kUnitNames{"in", "ft", "mm", "m"};
/// Millimetres per unit, by units code - 1.
inline constexpr std::array<double, 4> kMillimetresPerUnit{25.4, 304.8, 1.0, 1000.0};

/// The speed of light as a free-space wavelength in millimetres times a
/// frequency in GHz: the one conversion of the analysis commands.
inline constexpr double kMillimetreGigahertz = 299.792458;

/// True for the units codes the file can name: 1 in, 2 ft, 3 mm, 4 m.
bool IsUnitsCode(int32_t code);
/// The unit of a units code; throws std::invalid_argument outside 1..4.
LengthUnit UnitOfCode(int32_t code);
/// The name of the unit as the file writes it ("in", "ft", "mm", "m").
std::string_view UnitName(LengthUnit unit);
/// Millimetres per unit: 25.4, 304.8, 1, 1000.
double MillimetresPer(LengthUnit unit);

/// Limits that keep a hostile file from exhausting memory or time.
inline constexpr int64_t kMaxFileBytes = 64 * 1024 * 1024;
inline constexpr int32_t kMaxRows = 1000000;
/// Largest coordinate or constant magnitude a file may hold.
inline constexpr double kMaxMagnitude = 1e30;

/// The whole tor file.
struct Mesh {
  double zloff = 0.0;                 // lens axis offset ZLOFF
  std::string mesh_name;              // name of the bor_mesh object
  double dielectric = 0.0;            // dielectric constant of region 1
  std::vector<Node> nodes;            // node k is nodes[k - 1]
  std::vector<LinearSegment> linear;  // segment k is linear[k - 1]
  std::vector<CubicSegment> cubic;    // segment k is cubic[k - 1]
  LengthUnit unit = LengthUnit::kMillimetre;
  int unit_line = 0;
};

}  // namespace torfile

#endif  // KEVRANO_TORFILE_MESH_H_
