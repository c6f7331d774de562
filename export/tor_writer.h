#ifndef KEVRANO_EXPORT_TOR_WRITER_H_
#define KEVRANO_EXPORT_TOR_WRITER_H_

// The records of the tor file, the object file of the lens outline read by the
// outside analysis program. The file holds, in this order: the real variable
// ZLOFF (the lens axis offset), the body-of-revolution mesh object with its one
// region, its nodes, its linear and cubic segments, and as its last attribute
// the unit of length. Every record goes through the text unit 43 and so ends in
// CR LF; the records have no control column. Node axial coordinates are written
// as expressions on ZLOFF, so the whole lens is placed at that offset.

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "textio/units.h"

namespace tor {

/// A straight piece of outline: its first and second node numbers.
using LinearSegment = std::array<int32_t, 2>;
/// A curved piece of outline through four consecutive nodes.
using CubicSegment = std::array<int32_t, 4>;

/// True for the units codes the file can name: 1 in, 2 ft, 3 mm, 4 m.
bool IsUnitsCode(int32_t code);

/// The two characters that name the unit of length in the file ("m " for
/// metres). Throws std::invalid_argument for a code outside 1..4.
std::string UnitsText(int32_t code);

/// Writes the tor file record by record on unit 43, which the caller opens and
/// closes. The calls must come in file order: offset, mesh head, nodes,
/// segments, trailer.
class TorWriter {
 public:
  explicit TorWriter(textio::Units& io) : io_(io) {}

  /// The offset object: the variable ZLOFF and its value, then an empty record.
  void WriteOffset(float zloff);
  /// The head of the mesh object: its region row with the lens dielectric
  /// constant, and the head of the node table.
  void WriteMeshHead(float eps);
  /// One node row: number, axial coordinate (relative to ZLOFF) and radius.
  void WriteNode(int32_t number, float z, float r);
  /// Closes the node table and writes both segment tables, each segment
  /// numbered by its position in its list.
  void WriteSegments(std::span<const LinearSegment> linear, std::span<const CubicSegment> cubic);
  /// Closes the cubic table and the mesh object, naming the unit of length.
  /// Throws std::invalid_argument for a units code outside 1..4.
  void WriteTrailer(int32_t units_code);

 private:
  textio::Units& io_;
};

}  // namespace tor

#endif  // KEVRANO_EXPORT_TOR_WRITER_H_
