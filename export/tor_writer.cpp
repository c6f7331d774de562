#include "export/tor_writer.h"

#include <stdexcept>
#include <string_view>

#include "textio/layout.h"

namespace tor {
namespace {

using textio::kTorFile;
using textio::Layout;

// The unit names, two characters per code in code order.
constexpr std::string_view kUnitsTable = "inftmmm ";

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

}  // namespace

bool IsUnitsCode(int32_t code) { return code >= 1 && code <= 4; }

std::string UnitsText(int32_t code) {
  if (!IsUnitsCode(code)) {
    throw std::invalid_argument("units code " + std::to_string(code) + " outside 1..4");
  }
  return std::string(kUnitsTable.substr(static_cast<std::size_t>(2 * (code - 1)), 2));
}

void TorWriter::WriteOffset(float zloff) { io_.write_laid_out(kTorFile, kOffsetObject, {zloff}); }

void TorWriter::WriteMeshHead(float eps) {
  io_.write_laid_out(kTorFile, kMeshHead, {kRegion, eps, kRegionSecond, kRegionThird});
}

void TorWriter::WriteNode(int32_t number, float z, float r) {
  io_.write_laid_out(kTorFile, kNodeRow, {number, z, r});
}

void TorWriter::WriteSegments(std::span<const LinearSegment> linear,
                              std::span<const CubicSegment> cubic) {
  io_.write_laid_out(kTorFile, kLinearHead);
  int32_t number = 0;
  for (const LinearSegment& s : linear) {
    io_.write_laid_out(kTorFile, kLinearRow, {++number, s[0], s[1]});
  }
  io_.write_laid_out(kTorFile, kCubicHead);
  number = 0;
  for (const CubicSegment& s : cubic) {
    io_.write_laid_out(kTorFile, kCubicRow, {++number, s[0], s[1], s[2], s[3]});
  }
}

void TorWriter::WriteTrailer(int32_t units_code) {
  io_.write_laid_out(kTorFile, kTrailer, {UnitsText(units_code)});
}

}  // namespace tor
