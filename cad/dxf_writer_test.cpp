#include "cad/dxf_writer.h"

#include <dxflib/dl_creationadapter.h>
#include <dxflib/dl_dxf.h>
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "cad/outline_path.h"
#include "cad/test_lenses.h"
#include "torfile/test_support.h"

namespace cad {
namespace {

using torfile::Point;

/// What a DXF file holds, as dxflib reads it back.
struct Drawing : DL_CreationAdapter {
  struct Entity {
    std::string layer;
    bool spline = false;
    std::vector<Point> points;  // polyline vertices or spline poles
    std::vector<double> knots;
  };
  std::vector<Entity> entities;
  std::map<std::string, int> ints;
  std::map<std::string, Point> vectors;

  void addPolyline(const DL_PolylineData&) override {
    entities.push_back({getAttributes().getLayer(), false, {}, {}});
  }
  void addVertex(const DL_VertexData& data) override {
    entities.back().points.push_back({data.x, data.y});
  }
  void addSpline(const DL_SplineData&) override {
    entities.push_back({getAttributes().getLayer(), true, {}, {}});
  }
  void addControlPoint(const DL_ControlPointData& data) override {
    entities.back().points.push_back({data.x, data.y});
  }
  void addKnot(const DL_KnotData& data) override { entities.back().knots.push_back(data.k); }
  void setVariableInt(const std::string& key, int value, int) override { ints[key] = value; }
  void setVariableVector(const std::string& key, double x, double y, double, int) override {
    vectors[key] = {x, y};
  }
};

Point Bezier(const Point* b, double t) {
  const double s = 1.0 - t;
  const double w[4] = {s * s * s, 3 * s * s * t, 3 * s * t * t, t * t * t};
  Point p;
  for (int i = 0; i < 4; ++i) {
    p.z += w[i] * b[i].z;
    p.r += w[i] * b[i].r;
  }
  return p;
}

TEST(DxfWriter, ReadsBackWithTheProfileOnItsLayers) {
  const torfile::testing::ScratchFolder folder;
  const int kUnitCodes[] = {1, 2, 4, 6};
  for (const testing::TestLens& lens : testing::TestLenses()) {
    SCOPED_TRACE(lens.name);
    const std::string path = folder.File("lens.dxf");
    std::string error;
    ASSERT_TRUE(WriteDxf(lens.mesh, testing::OutlineOf(lens.mesh), path, &error)) << error;
    Drawing drawing;
    DL_Dxf dxf;
    ASSERT_TRUE(dxf.in(path, &drawing));

    EXPECT_EQ(kUnitCodes[static_cast<int>(lens.mesh.unit)], drawing.ints["$INSUNITS"]);

    // Entities per layer; the splines through the nodes at 1/3 and 2/3
    std::map<std::string, int> polylines, splines;
    std::vector<Point> points;
    std::vector<Point> nodes;  // of the cubic segments, in the order of travel
    for (const PathPiece& piece : OutlinePath(lens.mesh, testing::OutlineOf(lens.mesh))) {
      if (piece.kind == torfile::PieceKind::kCubic)
        nodes.insert(nodes.end(), piece.points.begin(), piece.points.end());
    }
    std::size_t node = 0;
    for (const Drawing::Entity& e : drawing.entities) {
      ++(e.spline ? splines : polylines)[e.layer];
      if (!e.spline) {
        points.insert(points.end(), e.points.begin(), e.points.end());
        continue;
      }
      const std::size_t k = (e.points.size() - 1) / 3;
      ASSERT_EQ(3 * k + 1, e.points.size());
      ASSERT_EQ(3 * k + 5, e.knots.size());
      for (std::size_t i = 0; i < k; ++i) {
        for (int j = 0; j <= 64; ++j) points.push_back(Bezier(&e.points[3 * i], j / 64.0));
        for (int j = 0; j < 4 && node < nodes.size(); ++j, ++node) {
          const Point at = Bezier(&e.points[3 * i], j / 3.0);
          EXPECT_NEAR(nodes[node].z, at.z, 1e-12 * lens.extent.r_max);
          EXPECT_NEAR(nodes[node].r, at.r, 1e-12 * lens.extent.r_max);
        }
      }
    }
    EXPECT_EQ(nodes.size(), node);
    EXPECT_EQ(lens.faces_polylines, polylines[kFacesLayer]);
    EXPECT_EQ(lens.faces_splines, splines[kFacesLayer]);
    EXPECT_EQ(lens.rim_polylines, polylines[kRimLayer]);
    EXPECT_EQ(1, polylines[kAxisLayer]);

    // Extents: the header's equal the closed form, and the curves reach them
    const double slack = 1e-9 * lens.extent.r_max;
    EXPECT_NEAR(lens.extent.z_min, drawing.vectors["$EXTMIN"].z, slack);
    EXPECT_NEAR(lens.extent.z_max, drawing.vectors["$EXTMAX"].z, slack);
    EXPECT_NEAR(lens.extent.r_max, drawing.vectors["$EXTMAX"].r, slack);
    torfile::Box seen;
    for (const Point& p : points) seen.Add(p);
    EXPECT_NEAR(lens.extent.z_min, seen.z_min, slack);
    EXPECT_NEAR(lens.extent.z_max, seen.z_max, slack);
    EXPECT_NEAR(lens.extent.r_max, seen.r_max, slack);
  }
}

}  // namespace
}  // namespace cad
