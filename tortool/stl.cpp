#include "tortool/stl.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

namespace tortool {

using torfile::Mesh;
using torfile::MillimetresPer;
using torfile::Outline;
using torfile::OutlinePolygon;
using torfile::Point;
namespace {

using Vertex = std::array<float, 3>;

void PutU32(std::string* out, uint32_t v) {
  for (int i = 0; i < 4; ++i) {
    out->push_back(static_cast<char>(static_cast<unsigned char>(v & 0xFFu)));
    v >>= 8;
  }
}

void PutFloat(std::string* out, float f) {
  uint32_t bits = 0;
  std::memcpy(&bits, &f, sizeof bits);
  PutU32(out, bits);
}

void PutTriangle(std::string* out, const Vertex& a, const Vertex& b, const Vertex& c) {
  // Unit normal from the right-hand rule, zero for a degenerate triangle
  auto difference = [](const Vertex& p, const Vertex& q) {
    return std::array<double, 3>{static_cast<double>(p[0]) - static_cast<double>(q[0]),
                                 static_cast<double>(p[1]) - static_cast<double>(q[1]),
                                 static_cast<double>(p[2]) - static_cast<double>(q[2])};
  };
  const std::array<double, 3> u = difference(b, a);
  const std::array<double, 3> w = difference(c, a);
  std::array<double, 3> n{u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2],
                          u[0] * w[1] - u[1] * w[0]};
  const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
  for (double& x : n) x = length > 0.0 ? x / length : 0.0;
  for (const double x : n) PutFloat(out, static_cast<float>(x));
  for (const Vertex* v : {&a, &b, &c}) {
    for (const float x : *v) PutFloat(out, x);
  }
  out->push_back('\0');
  out->push_back('\0');
}

}  // namespace

bool WriteStl(const Mesh& file, const Outline& outline, int32_t segments, std::ostream& out,
              std::string* error) {
  int64_t facets = 0;
  if (WriteStlPolygon(OutlinePolygon(file, outline, kStlChordsPerCubic), file.unit, segments, out,
                      error, &facets)) {
    return true;
  }
  *error += "; use fewer --segments";
  return false;
}

bool WriteStlPolygon(const std::vector<Point>& outline_points, torfile::LengthUnit unit,
                     int32_t segments, std::ostream& out, std::string* error, int64_t* facets) {
  // The outline in millimetres, as the floats the vertices will hold. Points
  // that single precision cannot tell apart, and inner points that fall on
  // the axis, would make triangles without area: they are dropped.
  const double scale = MillimetresPer(unit);
  std::vector<std::array<float, 2>> polygon;
  for (std::size_t i = 0; i < outline_points.size(); ++i) {
    const bool end = i == 0 || i + 1 == outline_points.size();
    const std::array<float, 2> p{
        static_cast<float>(outline_points[i].z * scale),
        end ? 0.0f : static_cast<float>(std::max(outline_points[i].r, 0.0) * scale)};
    if (!end && p[1] == 0.0f) continue;
    if (!polygon.empty() && polygon.back() == p) continue;
    polygon.push_back(p);
  }
  const auto m = static_cast<int64_t>(polygon.size());
  const int64_t triangles = m < 3 ? 0 : int64_t{segments} * (2 * m - 4);
  if (triangles > kMaxStlTriangles) {
    *error = "the mesh would have " + std::to_string(triangles) + " triangles (limit " +
             std::to_string(kMaxStlTriangles) + ")";
    return false;
  }
  *facets = triangles;

  // Angles around the axis; the last ring is the first again
  std::vector<double> cosines(static_cast<std::size_t>(segments));
  std::vector<double> sines(static_cast<std::size_t>(segments));
  for (int32_t j = 0; j < segments; ++j) {
    const double angle = 2.0 * std::numbers::pi * j / segments;
    cosines[static_cast<std::size_t>(j)] = std::cos(angle);
    sines[static_cast<std::size_t>(j)] = std::sin(angle);
  }
  auto vertex = [&](int64_t i, int32_t j) -> Vertex {
    const std::array<float, 2>& p = polygon[static_cast<std::size_t>(i)];
    if (i == 0 || i == m - 1) return Vertex{0.0f, 0.0f, p[0]};  // a pole on the axis
    const auto r = static_cast<double>(p[1]);
    const auto k = static_cast<std::size_t>(j % segments);
    return Vertex{static_cast<float>(r * cosines[k]), static_cast<float>(r * sines[k]), p[0]};
  };

  // Header and count
  std::string head = "kevrano-tor solid of revolution, millimetres";
  head.resize(80, ' ');
  PutU32(&head, static_cast<uint32_t>(triangles));
  out.write(head.data(), static_cast<std::streamsize>(head.size()));

  // One band of triangles per outline edge, pole fans at both ends
  std::string band;
  for (int64_t i = 0; i + 1 < m; ++i) {
    band.clear();
    for (int32_t j = 0; j < segments; ++j) {
      const Vertex a0 = vertex(i, j);
      const Vertex a1 = vertex(i, j + 1);
      const Vertex b0 = vertex(i + 1, j);
      const Vertex b1 = vertex(i + 1, j + 1);
      if (i == 0) {
        PutTriangle(&band, a0, b1, b0);
      } else if (i + 1 == m - 1) {
        PutTriangle(&band, a0, a1, b0);
      } else {
        PutTriangle(&band, a0, a1, b0);
        PutTriangle(&band, a1, b1, b0);
      }
    }
    out.write(band.data(), static_cast<std::streamsize>(band.size()));
  }
  return true;
}

}  // namespace tortool
