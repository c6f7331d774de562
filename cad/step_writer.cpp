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
#include <gp_Ax1.hxx>
#include <gp_Pnt.hxx>

#include <numbers>
#include <optional>

namespace cad {
namespace {

gp_Pnt Place(ProfilePoint p) { return gp_Pnt(p.r, 0.0, p.z); }

/// The unit's name as the STEP translator knows it.
const char* StepUnitName(Unit unit) {
  switch (unit) {
    case Unit::kInch:
      return "INCH";
    case Unit::kFoot:
      return "FT";
    case Unit::kMillimetre:
      return "MM";
    case Unit::kMetre:
      return "M";
  }
  return "MM";
}

/// The closed face of the profile, its edges sharing their vertices; the
/// last edge runs along the axis back to the start.
std::optional<TopoDS_Face> ProfileFace(const Profile& profile, std::string* error) {
  BRepBuilderAPI_MakeWire wire;
  const TopoDS_Vertex start = BRepBuilderAPI_MakeVertex(Place(profile.pieces.front().First()));
  TopoDS_Vertex from = start;
  auto add = [&](const TopoDS_Edge& edge) {
    wire.Add(edge);
    return wire.IsDone();
  };
  for (const ProfilePiece& piece : profile.pieces) {
    // A rim of zero length (a knife edge) adds nothing
    if (piece.Degenerate()) continue;
    const TopoDS_Vertex to = BRepBuilderAPI_MakeVertex(Place(piece.Last()));
    bool added = false;
    if (piece.shape == PieceShape::kLinear) {
      added = add(BRepBuilderAPI_MakeEdge(from, to));
    } else {
      const std::array<ProfilePoint, 4> poles = BezierPoles(piece);
      TColgp_Array1OfPnt points(1, 4);
      for (int i = 0; i < 4; ++i) points.SetValue(i + 1, Place(poles[static_cast<std::size_t>(i)]));
      Handle(Geom_BezierCurve) curve = new Geom_BezierCurve(points);
      added = add(BRepBuilderAPI_MakeEdge(curve, from, to));
    }
    if (!added) {
      *error = "the profile's edges do not join into one outline";
      return std::nullopt;
    }
    from = to;
  }
  if (!add(BRepBuilderAPI_MakeEdge(from, start))) {
    *error = "the profile's edges do not join into one outline";
    return std::nullopt;
  }
  BRepBuilderAPI_MakeFace face(wire.Wire(), /*OnlyPlane=*/Standard_True);
  if (!face.IsDone()) {
    *error = "the profile does not make a plane face";
    return std::nullopt;
  }
  return face.Face();
}

}  // namespace

bool WriteStep(const Profile& profile, const std::string& path, std::string* error) {
  if (const std::string problem = ProfileProblem(profile); !problem.empty()) {
    *error = problem;
    return false;
  }
  try {
    // The translator reports on standard output through the default
    // messenger; the command's output is its own
    Message::DefaultMessenger()->RemovePrinters(STANDARD_TYPE(Message_Printer));

    const std::optional<TopoDS_Face> face = ProfileFace(profile, error);
    if (!face) return false;
    BRepPrimAPI_MakeRevol revol(*face, gp_Ax1(gp_Pnt(0.0, 0.0, 0.0), gp_Dir(0.0, 0.0, 1.0)),
                                2.0 * std::numbers::pi);
    if (!revol.IsDone()) {
      *error = "the profile could not be revolved into a solid";
      return false;
    }
    TopoDS_Shape solid = revol.Shape();
    // Turn the solid outward whichever way the profile runs
    GProp_GProps props;
    BRepGProp::VolumeProperties(solid, props);
    if (props.Mass() < 0.0) solid.Reverse();
    if (!BRepCheck_Analyzer(solid).IsValid()) {
      *error = "the solid of revolution is not valid";
      return false;
    }

    STEPControl_Writer writer;
    const double mm = MillimetresPer(profile.unit);
    Interface_Static::SetCVal("write.step.schema", "AP214IS");
    Interface_Static::SetCVal("write.step.unit", StepUnitName(profile.unit));
    writer.Model()->SetLocalLengthUnit(mm);
    writer.Model()->SetWriteLengthUnit(mm);
    if (writer.Transfer(solid, STEPControl_ManifoldSolidBrep) != IFSelect_RetDone) {
      *error = "the solid could not be translated to STEP";
      return false;
    }
    if (writer.Write(path.c_str()) != IFSelect_RetDone) {
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
