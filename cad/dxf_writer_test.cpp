#include "cad/dxf_writer.h"

#include <dxflib/dl_creationadapter.h>
#include <dxflib/dl_dxf.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "cad/test_lenses.h"

namespace cad {
namespace {

/// What a DXF file holds, as dxflib reads it back.
struct Drawing : DL_CreationAdapter {
  struct Entity {
    std::string layer;
    bool spline = false;
    std::vector<ProfilePoint> points;  // polyline vertices or spline poles
    std::vector<double> knots;
  };
  std::vector<Entity> entities;
  std::vector<std::string> layers;
  std::map<std::string, int> ints;
  std::map<std::string, ProfilePoint> vectors;

  void addLayer(const DL_LayerData& data) override { layers.push_back(data.name); }
  void addPolyline(const DL_PolylineData&) override {
    entities.push_back({getAttributes().getLayer(), false, {}, {}});
  }
  void addVertex(const DL_VertexData& data) override { entities.back().points.push_back({data.x, data.y}); }
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

ProfilePoint Bezier(const ProfilePoint* b, double t) {
  const double s = 1.0 - t;
  const double w[4] = {s * s * s, 3 * s * s * t, 3 * s * t * t, t * t * t};
  ProfilePoint p;
  for (int i = 0; i < 4; ++i) {
    p.z += w[i] * b[i].z;
    p.r += w[i] * b[i].r;
  }
  return p;
}

TEST(DxfWriter, ReadsBackWithTheProfileOnItsLayers) {
  std::string folder = ::testing::TempDir() + "kevrano-dxf-XXXXXX";
  ASSERT_NE(nullptr, mkdtemp(folder.data()));
  const int kUnitCodes[] = {1, 2, 4, 6};
  for (const testing::TestLens& lens : testing::TestLenses()) {
    SCOPED_TRACE(lens.name);
    const std::string path = folder + "/lens.dxf";
    std::string error;
    ASSERT_TRUE(WriteDxf(lens.profile, path, &error)) << error;
    Drawing drawing;
    DL_Dxf dxf;
    ASSERT_TRUE(dxf.in(path, &drawing));

    EXPECT_EQ(kUnitCodes[static_cast<int>(lens.profile.unit)], drawing.ints["$INSUNITS"]);
    for (const char* layer : {kFacesLayer, kRimLayer, kAxisLayer}) {
      EXPECT_NE(drawing.layers.end(), std::find(drawing.layers.begin(), drawing.layers.end(), layer));
    }

    // Entities per layer; the splines through the nodes at 1/3 and 2/3
    std::map<std::string, int> polylines, splines;
    std::vector<ProfilePoint> points;
    std::vector<ProfilePoint> nodes;
    for (const ProfilePiece& piece : lens.profile.pieces) {
      if (piece.shape == PieceShape::kCubic) nodes.insert(nodes.end(), piece.points.begin(), piece.points.end());
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
          const ProfilePoint at = Bezier(&e.points[3 * i], j / 3.0);
          EXPECT_NEAR(nodes[node].z, at.z, 1e-12 * lens.extent.r_max);
          EXPECT_NEAR(nodes[node].r, at.r, 1e-12 * lens.extent.r_max);
        }
      }
    }
    EXPECT_EQ(nodes.size(), node);
    EXPECT_EQ(lens.faces_polylines, polylines[kFacesLayer]);
    EXPECT_EQ(lens.faces_splines, splines[kFacesLayer]);
    EXPECT_EQ(lens.rim_entities, polylines[kRimLayer] + splines[kRimLayer]);
    EXPECT_EQ(1, polylines[kAxisLayer]);
    EXPECT_EQ(0, splines[kAxisLayer]);

    // Extents: the header's equal the closed form, and the curves reach them
    const double slack = 1e-9 * lens.extent.r_max;
    EXPECT_NEAR(lens.extent.z_min, drawing.vectors["$EXTMIN"].z, slack);
    EXPECT_NEAR(0.0, drawing.vectors["$EXTMIN"].r, slack);
    EXPECT_NEAR(lens.extent.z_max, drawing.vectors["$EXTMAX"].z, slack);
    EXPECT_NEAR(lens.extent.r_max, drawing.vectors["$EXTMAX"].r, slack);
    Extent seen{points[0].z, points[0].z, points[0].r};
    for (const ProfilePoint& p : points) {
      seen = {std::min(seen.z_min, p.z), std::max(seen.z_max, p.z), std::max(seen.r_max, p.r)};
    }
    EXPECT_NEAR(lens.extent.z_min, seen.z_min, slack);
    EXPECT_NEAR(lens.extent.z_max, seen.z_max, slack);
    EXPECT_NEAR(lens.extent.r_max, seen.r_max, slack);
  }
  std::filesystem::remove_all(folder);
}

TEST(DxfWriter, RefusesWhatItCannotWrite) {
  Profile gap = testing::TestLenses().front().profile;
  gap.pieces[1].points[0].r = 9.0;
  const struct {
    const char* name;
    Profile profile;
    std::string path;
    std::string error;
  } kCases[] = {
      {"gap between pieces", gap, ::testing::TempDir() + "kevrano-never-written.dxf",
       "piece 2 does not begin where the piece before it ends"},
      {"missing folder", testing::TestLenses().front().profile,
       ::testing::TempDir() + "kevrano-no-such-folder/lens.dxf", "cannot write the DXF file"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    std::string error;
    EXPECT_FALSE(WriteDxf(c.profile, c.path, &error));
    EXPECT_EQ(c.error, error);
    EXPECT_FALSE(std::filesystem::exists(c.path));
  }
}

}  // namespace
}  // namespace cad
