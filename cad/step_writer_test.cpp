#include "cad/step_writer.h"

#include <gtest/gtest.h>

#include <BRepBndLib.hxx>
#include <BRepCheck_Analyzer.hxx>
#include <BRepGProp.hxx>
#include <BRep_Tool.hxx>
#include <Bnd_Box.hxx>
#include <GProp_GProps.hxx>
#include <IFSelect_ReturnStatus.hxx>
#include <STEPControl_Reader.hxx>
#include <TopAbs_ShapeEnum.hxx>
#include <TopExp_Explorer.hxx>
#include <TopoDS_Shape.hxx>
#include <string>

#include "cad/test_lenses.h"
#include "torfile/test_support.h"

namespace cad {
namespace {

int Count(const TopoDS_Shape& shape, TopAbs_ShapeEnum kind) {
  int n = 0;
  for (TopExp_Explorer e(shape, kind); e.More(); e.Next()) ++n;
  return n;
}

TEST(StepWriter, ReadsBackAsOneClosedSolidOfTheExactVolume) {
  const torfile::testing::ScratchFolder scratch;
  for (const testing::TestLens& lens : testing::TestLenses()) {
    SCOPED_TRACE(lens.name);
    const std::string path = scratch.File("lens.step");
    std::string error;
    ASSERT_TRUE(WriteStep(lens.mesh, testing::OutlineOf(lens.mesh), path, &error)) << error;

    // Read back in millimetres, the reader's own unit: the file's unit scales it
    STEPControl_Reader reader;
    ASSERT_EQ(IFSelect_RetDone, reader.ReadFile(path.c_str()));
    ASSERT_EQ(1, reader.TransferRoots());
    const TopoDS_Shape shape = reader.OneShape();
    ASSERT_EQ(1, Count(shape, TopAbs_SOLID));
    EXPECT_TRUE(BRepCheck_Analyzer(shape).IsValid());
    for (TopExp_Explorer e(shape, TopAbs_SHELL); e.More(); e.Next()) {
      EXPECT_TRUE(BRep_Tool::IsClosed(e.Current()));
    }

    const double mm = torfile::MillimetresPer(lens.mesh.unit);
    GProp_GProps props;
    BRepGProp::VolumeProperties(shape, props);
    const double exact = lens.volume * mm * mm * mm;
    EXPECT_NEAR(exact, props.Mass(), 1e-3 * exact);

    // The box of the solid: +-r_max across the axis (x as y), the outline's z along it
    Bnd_Box box;
    BRepBndLib::AddOptimal(shape, box, /*useTriangulation=*/false, /*useShapeTolerance=*/false);
    double x0, y0, z0, x1, y1, z1;
    box.Get(x0, y0, z0, x1, y1, z1);
    const double slack = 1e-6 * mm * lens.extent.r_max;
    EXPECT_NEAR(-lens.extent.r_max * mm, x0, slack);
    EXPECT_NEAR(lens.extent.r_max * mm, x1, slack);
    EXPECT_NEAR(lens.extent.z_min * mm, z0, slack);
    EXPECT_NEAR(lens.extent.z_max * mm, z1, slack);
  }
}

}  // namespace
}  // namespace cad
