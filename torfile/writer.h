#ifndef KEVRANO_TORFILE_WRITER_H_
#define KEVRANO_TORFILE_WRITER_H_

// The records of the tor file, the object file of the lens outline read by the
// outside analysis program, rendered as strings; writing them is the caller's
// business (the export writes them on text unit 43, which ends each in CR LF).
// The file holds, in this order: the real variable ZLOFF (the lens axis
// offset), the body-of-revolution mesh object with its one region, its nodes,
// its linear and cubic segments, and as its last attribute the unit of
// length. The records have no control column. Node axial coordinates are
// written as expressions on ZLOFF, so the whole lens is placed at that
// offset. Reals are written as 32-bit values in (1PE12.4) and (1PE15.5):
// five and six significant digits.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "torfile/mesh.h"

namespace torfile {

/// The two characters that name the unit in the trailer ("m " for metres).
std::string UnitsText(LengthUnit unit);

/// The offset object: the variable ZLOFF and its value, then an empty record.
std::vector<std::string> OffsetRecords(float zloff);
/// The head of the mesh object: its region row with the lens dielectric
/// constant, and the head of the node table.
std::vector<std::string> MeshHeadRecords(float dielectric);
/// One node row: number, axial coordinate (relative to ZLOFF) and radius.
std::string NodeRecord(int32_t number, float z, float r);
/// Closes the node table and renders both segment tables, each segment
/// numbered by its position in its list.
std::vector<std::string> SegmentRecords(std::span<const LinearSegment> linear,
                                        std::span<const CubicSegment> cubic);
/// Closes the cubic table and the mesh object, naming the unit of length.
std::vector<std::string> TrailerRecords(LengthUnit unit);
/// Every record of the tor file of `mesh`, whose nodes hold 32-bit values:
/// the offset, the mesh head with the dielectric constant, the nodes, the
/// segment tables and the trailer.
std::vector<std::string> FileRecords(const Mesh& mesh, float dielectric, float zloff);

/// The value a node coordinate reads back as from its (1PE12.4) field: the
/// 32-bit value rounded to five significant digits (halfway away from zero),
/// then to the nearest double, as a reader's strtod makes it. Zero reads back
/// as +0; a value that is not finite stays not finite. Equal bit for bit to
/// parsing the rendered field, without rendering it.
double AsWritten(float value);

}  // namespace torfile

#endif  // KEVRANO_TORFILE_WRITER_H_
