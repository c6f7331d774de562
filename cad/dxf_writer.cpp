#include "cad/dxf_writer.h"

#include <dxflib/dl_dxf.h>
#include <dxflib/dl_writer_ascii.h>

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include "cad/outline_path.h"

namespace cad {
namespace {

/// The $INSUNITS code of a unit.
int InsertionUnits(torfile::LengthUnit unit) {
  switch (unit) {
    case torfile::LengthUnit::kInch:
      return 1;
    case torfile::LengthUnit::kFoot:
      return 2;
    case torfile::LengthUnit::kMillimetre:
      return 4;
    case torfile::LengthUnit::kMetre:
      return 6;
  }
  return 0;
}

/// A run of consecutive pieces of one kind on one layer.
struct Run {
  torfile::PieceKind kind = torfile::PieceKind::kLinear;
  const char* layer = kFacesLayer;
  std::vector<PathPiece> pieces;
};

std::vector<Run> Runs(const std::vector<PathPiece>& path) {
  std::vector<Run> runs;
  bool split = true;
  for (const PathPiece& piece : path) {
    // A rim of zero length (a knife edge) is drawn as nothing, but still
    // parts the two faces
    if (piece.Degenerate()) {
      split = true;
      continue;
    }
    const char* layer = piece.rim ? kRimLayer : kFacesLayer;
    if (split || runs.back().kind != piece.kind || runs.back().layer != layer) {
      runs.push_back({piece.kind, layer, {}});
    }
    runs.back().pieces.push_back(piece);
    split = false;
  }
  // The axis, from the radiation face's point back to the feed face's
  runs.push_back({torfile::PieceKind::kLinear,
                  kAxisLayer,
                  {PathPiece{torfile::PieceKind::kLinear,
                             false,
                             {path.back().Last(), path.front().First(), {}, {}}}}});
  return runs;
}

void WritePolyline(DL_Dxf& dxf, DL_WriterA& dw, const Run& run) {
  std::vector<torfile::Point> points{run.pieces.front().First()};
  for (const PathPiece& piece : run.pieces) points.push_back(piece.Last());
  dxf.writePolyline(dw, DL_PolylineData(static_cast<int>(points.size()), 0, 0, 0),
                    DL_Attributes(run.layer, 256, 0, "BYLAYER", 1.0));
  for (const torfile::Point& p : points) dxf.writeVertex(dw, DL_VertexData(p.z, p.r));
  dxf.writePolylineEnd(dw);
}

void WriteSpline(DL_Dxf& dxf, DL_WriterA& dw, const Run& run) {
  // k Bezier curves: 3k + 1 poles, knots 0 0 0 0, 1 1 1, ..., k k k k
  const std::size_t k = run.pieces.size();
  const auto poles = static_cast<int>(3 * k + 1);
  const auto knots = static_cast<int>(3 * k + 5);
  dxf.writeSpline(dw, DL_SplineData(3, knots, poles, 0, 8),  // 8: planar
                  DL_Attributes(run.layer, 256, 0, "BYLAYER", 1.0));
  for (std::size_t i = 0; i <= k; ++i) {
    const int repeat = i == 0 || i == k ? 4 : 3;
    for (int j = 0; j < repeat; ++j) dxf.writeKnot(dw, DL_KnotData(static_cast<double>(i)));
  }
  const torfile::Point start = run.pieces.front().First();
  dxf.writeControlPoint(dw, DL_ControlPointData(start.z, start.r, 0.0, 1.0));
  for (const PathPiece& piece : run.pieces) {
    const std::array<torfile::Point, 4> b = torfile::BezierControls(piece.points);
    for (std::size_t i = 1; i < 4; ++i) {
      dxf.writeControlPoint(dw, DL_ControlPointData(b[i].z, b[i].r, 0.0, 1.0));
    }
  }
}

/// True when the file holds the end-of-file record as its last line: the
/// writer reports no failure, so a full disc shows here.
bool EndsComplete(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  return text.size() >= 4 && text.compare(text.size() - 4, 4, "EOF\n") == 0;
}

}  // namespace

bool WriteDxf(const torfile::Mesh& mesh, const torfile::Outline& outline, const std::string& path,
              std::string* error) {
  DL_Dxf dxf;
  const std::unique_ptr<DL_WriterA> dw(dxf.out(path.c_str(), DL_Codes::AC1015));
  if (!dw || dw->openFailed()) {
    *error = "cannot write the DXF file";
    return false;
  }

  // Header: the unit and the extents
  const torfile::Summary extent = torfile::Summarize(mesh, outline);
  dxf.writeHeader(*dw);
  dw->dxfString(9, "$INSUNITS");
  dw->dxfInt(70, InsertionUnits(mesh.unit));
  dw->dxfString(9, "$MEASUREMENT");
  const bool imperial =
      mesh.unit == torfile::LengthUnit::kInch || mesh.unit == torfile::LengthUnit::kFoot;
  dw->dxfInt(70, imperial ? 0 : 1);
  dw->dxfString(9, "$EXTMIN");
  dw->coord(10, extent.z_min, 0.0, 0.0);
  dw->dxfString(9, "$EXTMAX");
  dw->coord(10, extent.z_max, extent.lens_radius, 0.0);
  dw->sectionEnd();

  // Tables: viewport, line types, the layers, styles and block records
  dw->sectionTables();
  dxf.writeVPort(*dw);
  dw->tableLinetypes(3);
  dxf.writeLinetype(*dw, DL_LinetypeData("BYBLOCK", "BYBLOCK", 0, 0, 0.0));
  dxf.writeLinetype(*dw, DL_LinetypeData("BYLAYER", "BYLAYER", 0, 0, 0.0));
  dxf.writeLinetype(*dw, DL_LinetypeData("CONTINUOUS", "Continuous", 0, 0, 0.0));
  dw->tableEnd();
  dw->tableLayers(4);
  const struct {
    const char* name;
    int colour;
  } kLayers[] = {{"0", 7}, {kFacesLayer, 7}, {kRimLayer, 1}, {kAxisLayer, 5}};
  for (const auto& layer : kLayers) {
    dxf.writeLayer(*dw, DL_LayerData(layer.name, 0),
                   DL_Attributes("", layer.colour, 100, "CONTINUOUS", 1.0));
  }
  dw->tableEnd();
  dw->tableStyle(1);
  dxf.writeStyle(*dw, DL_StyleData("standard", 0, 2.5, 1.0, 0.0, 0, 2.5, "txt", ""));
  dw->tableEnd();
  dxf.writeView(*dw);
  dxf.writeUcs(*dw);
  dw->tableAppid(1);
  dxf.writeAppid(*dw, "ACAD");
  dw->tableEnd();
  dxf.writeDimStyle(*dw, 1, 1, 1, 1, 1);
  dxf.writeBlockRecord(*dw);
  dw->tableEnd();
  dw->sectionEnd();
  dw->sectionBlocks();
  for (const char* block : {"*Model_Space", "*Paper_Space", "*Paper_Space0"}) {
    dxf.writeBlock(*dw, DL_BlockData(block, 0, 0.0, 0.0, 0.0));
    dxf.writeEndBlock(*dw, block);
  }
  dw->sectionEnd();

  // The outline
  dw->sectionEntities();
  for (const Run& run : Runs(OutlinePath(mesh, outline))) {
    if (run.kind == torfile::PieceKind::kLinear) {
      WritePolyline(dxf, *dw, run);
    } else {
      WriteSpline(dxf, *dw, run);
    }
  }
  dw->sectionEnd();
  dxf.writeObjects(*dw);
  dxf.writeObjectsEnd(*dw);
  dw->dxfEOF();
  dw->close();
  if (!EndsComplete(path)) {
    // A file cut short is no file: nothing is left that looks finished
    std::error_code ignored;
    if (std::filesystem::is_regular_file(path, ignored)) std::filesystem::remove(path, ignored);
    *error = "cannot write the DXF file in full";
    return false;
  }
  return true;
}

}  // namespace cad
