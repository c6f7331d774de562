#include "cad/step_writer.h"

#include <BRepBuilderAPI_MakeEdge.hxx>
#include <BRepBuilderAPI_MakeFace.hxx>
#include <BRepBuilderAPI_MakeVertex.hxx>
#include <BRepBuilderAPI_MakeWire.hxx>
#include <BRepCheck_Analyzer.hxx>
#include <BRepGProp.hxx>
#include <BRepPrimAPI_MakeRevol.hxx>
#include <GProp_GProps.hxx>
#include <Geom_BezierCurve.hxx>
#include <IFSelect_ReturnStatus.hxx>
#include <Interface_Static.hxx>
#include <Message.hxx>
#include <Message_Messenger.hxx>
#include <STEPControl_Writer.hxx>
#include <Standard_Failure.hxx>
#include <StepData_StepModel.hxx>
#include <TColgp_Array1OfPnt.hxx>
#include <TopoDS.hxx>
#include <TopoDS_Shape.hxx>
#include <TopoDS_Vertex.hxx>
#include <filesystem>
#include <gp_Ax1.hxx>
#include <gp_Pnt.hxx>
#include <numbers>
#include <optional>
#include <vector>

#include "cad/outline_path.h"

namespace cad {
namespace {

gp_Pnt Place(torfile::Point p) { return gp_Pnt(p.r, 0.0, p.z); }

/// The unit's name as the STEP translator knows it.
const char* StepUnitName(torfile::LengthUnit unit) {
  switch (unit) {
    case torfile::LengthUnit::kInch:
      return "INCH";
    case torfile::LengthUnit::kFoot:
      return "FT";
    case torfile::LengthUnit::kMillimetre:
      return "MM";
    case torfile::LengthUnit::kMetre:
      return "M";
  }
  return "MM";
}

/// The closed face of the outline, its edges sharing their vertices; the
/// last edge runs along the axis back to the start.
std::optional<TopoDS_Face> OutlineFace(const std::vector<PathPiece>& path, std::string* error) {
  BRepBuilderAPI_MakeWire wire;
  const TopoDS_Vertex start = BRepBuilderAPI_MakeVertex(Place(path.front().First()));
  TopoDS_Vertex from = start;
  auto add = [&](const TopoDS_Edge& edge) {
    wire.Add(edge);
    return wire.IsDone();
  };
  for (const PathPiece& piece : path) {
    // A rim of zero length (a knife edge) adds nothing
    if (piece.Degenerate()) continue;
    const TopoDS_Vertex to = BRepBuilderAPI_MakeVertex(Place(piece.Last()));
    bool added = false;
    if (piece.kind == torfile::PieceKind::kLinear) {
      added = add(BRepBuilderAPI_MakeEdge(from, to));
    } else {
      const std::array<torfile::Point, 4> poles = torfile::BezierControls(piece.points);
      TColgp_Array1OfPnt points(1, 4);
      for (int i = 0; i < 4; ++i) points.SetValue(i + 1, Place(poles[static_cast<std::size_t>(i)]));
      Handle(Geom_BezierCurve) curve = new Geom_BezierCurve(points);
      added = add(BRepBuilderAPI_MakeEdge(curve, from, to));
    }
    if (!added) {
      *error = "the segments' edges do not join into one outline";
      return std::nullopt;
    }
    from = to;
  }
  if (!add(BRepBuilderAPI_MakeEdge(from, start))) {
    *error = "the segments' edges do not join into one outline";
    return std::nullopt;
  }
  BRepBuilderAPI_MakeFace face(wire.Wire(), /*OnlyPlane=*/Standard_True);
  if (!face.IsDone()) {
    *error = "the outline does not make a plane face";
    return std::nullopt;
  }
  return face.Face();
}

}  // namespace

bool WriteStep(const torfile::Mesh& mesh, const torfile::Outline& outline, const std::string& path,
               std::string* error) {
  try {
    // The translator reports on standard output through the default
    // messenger; the command's output is its own
    Message::DefaultMessenger()->RemovePrinters(STANDARD_TYPE(Message_Printer));

    const std::optional<TopoDS_Face> face = OutlineFace(OutlinePath(mesh, outline), error);
    if (!face) return false;
    BRepPrimAPI_MakeRevol revol(*face, gp_Ax1(gp_Pnt(0.0, 0.0, 0.0), gp_Dir(0.0, 0.0, 1.0)),
                                2.0 * std::numbers::pi);
    if (!revol.IsDone()) {
      *error = "the outline could not be revolved into a solid";
      return false;
    }
    TopoDS_Shape solid = revol.Shape();
    // Turn the solid outward whichever way the outline runs
    GProp_GProps props;
    BRepGProp::VolumeProperties(solid, props);
    if (props.Mass() < 0.0) solid.Reverse();
    if (!BRepCheck_Analyzer(solid).IsValid()) {
      *error = "the solid of revolution is not valid";
      return false;
    }

    STEPControl_Writer writer;
    const double mm = torfile::MillimetresPer(mesh.unit);
    Interface_Static::SetCVal("write.step.schema", "AP214IS");
    Interface_Static::SetCVal("write.step.unit", StepUnitName(mesh.unit));
    Interface_Static::SetCVal("write.step.product.name", mesh.mesh_name.c_str());
    writer.Model()->SetLocalLengthUnit(mm);
    writer.Model()->SetWriteLengthUnit(mm);
    if (writer.Transfer(solid, STEPControl_ManifoldSolidBrep) != IFSelect_RetDone) {
      *error = "the solid could not be translated to STEP";
      return false;
    }
    if (writer.Write(path.c_str()) != IFSelect_RetDone) {
      // A file cut short is no file: nothing is left that looks finished
      std::error_code ignored;
      if (std::filesystem::is_regular_file(path, ignored)) std::filesystem::remove(path, ignored);
      *error = "cannot write the STEP file";
      return false;
    }
  } catch (const Standard_Failure& failure) {
    *error = std::string("the solid could not be made: ") + failure.GetMessageString();
    return false;
  }
  return true;
}

}  // namespace cad
