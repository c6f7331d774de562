#ifndef KEVRANO_TORTOOL_TOR_FILE_H_
#define KEVRANO_TORTOOL_TOR_FILE_H_

// The tor file as read: the lens axis offset, the body-of-revolution mesh with
// its region, nodes, linear and cubic segments, and the unit of length. Every
// node and segment keeps the line it was read from, so that later checks can
// point at it.
//
// The reader is strict about the records: their order, their words, the number
// of fields in each row, node and segment numbers 1, 2, 3, ... in order, the
// constant columns of the segment rows and the unit names. It is lenient about
// the amount of blank space between fields (columns are not counted), trailing
// blanks, and line ends (CR LF or LF; the last record may lack its line end).

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tortool {

/// Something wrong with a file, at a line (1-based; 0 when no single line is
/// to blame).
struct Problem {
  int line = 0;
  std::string message;
};

/// One point of the lens outline: z along the axis from the feed, r the
/// distance from the axis, in the file's unit of length.
struct Node {
  double z = 0.0;
  double r = 0.0;
  int line = 0;
};

/// A straight piece of outline between two nodes.
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

enum class LengthUnit { kInch, kFoot, kMillimetre, kMetre };

/// The name of the unit as the file writes it ("in", "ft", "mm", "m").
std::string_view UnitName(LengthUnit unit);
/// Millimetres per unit: 25.4, 304.8, 1, 1000.
double MillimetresPer(LengthUnit unit);

/// Limits that keep a hostile file from exhausting memory or time.
inline constexpr int64_t kMaxFileBytes = 64 * 1024 * 1024;
inline constexpr int32_t kMaxRows = 1000000;
/// Largest coordinate or constant magnitude accepted.
inline constexpr double kMaxMagnitude = 1e30;

struct TorFile {
  double zloff = 0.0;                 // lens axis offset ZLOFF
  std::string mesh_name;              // name of the bor_mesh object
  double dielectric = 0.0;            // dielectric constant of region 1
  std::vector<Node> nodes;            // node k is nodes[k - 1]
  std::vector<LinearSegment> linear;  // segment k is linear[k - 1]
  std::vector<CubicSegment> cubic;    // segment k is cubic[k - 1]
  LengthUnit unit = LengthUnit::kMillimetre;
  int unit_line = 0;
};

/// Reads a whole tor file from its text. Returns false and sets `error` at
/// the first record that does not fit; `file` is then unspecified.
bool ParseTor(std::string_view text, TorFile* file, Problem* error);

}  // namespace tortool

#endif  // KEVRANO_TORTOOL_TOR_FILE_H_
