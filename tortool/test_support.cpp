#include "tortool/test_support.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <numbers>
#include <sstream>
#include <stdexcept>

#include "export/szltic.h"
#include "textio/fixed_format.h"
#include "textio/units.h"

namespace tortool::testing {
namespace {

std::string Exp(float x, int width, int decimals) {
  return textio::RenderExp(x, width, decimals, 1);
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

/// Point of the hyperbola at angle `theta` from the axis, seen from the feed.
Point Hyperbola(double theta, double n, double focal) {
  const double rho = focal * (n - 1.0) / (n * std::cos(theta) - 1.0);
  return Point{rho * std::cos(theta), rho * std::sin(theta)};
}

/// The angle in [0, 0.6] at which f(angle) reaches `target` (f increasing).
template <typename F>
double Solve(F f, double target) {
  double lo = 0.0;
  double hi = 0.6;
  for (int i = 0; i < 100; ++i) {
    const double mid = 0.5 * (lo + hi);
    (f(mid) < target ? lo : hi) = mid;
  }
  return 0.5 * (lo + hi);
}

}  // namespace

ScratchFolder::ScratchFolder() {
  std::string templ = ::testing::TempDir() + "kevrano-tor-XXXXXX";
  if (mkdtemp(templ.data()) == nullptr) {
    throw std::runtime_error("cannot make a scratch folder from " + templ);
  }
  path_ = templ;
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string ScratchFolder::Write(const std::string& name, std::string_view bytes) const {
  const std::filesystem::path file = path_ / name;
  std::ofstream out(file, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out.flush()) throw std::runtime_error("cannot write " + file.string());
  return file.string();
}

std::string TorText(const MeshSpec& mesh) {
  const std::string kTail = "  0   1   -1.0   0.0";
  std::vector<std::string> r{"ZLOFF  real_variable",
                             "(",
                             "  value            : " + Exp(mesh.zloff, 12, 4),
                             ")",
                             "",
                             "horn_bor_mesh_lens   bor_mesh",
                             "(",
                             "  regions          : table",
                             "    ("};
  r.push_back("     " + textio::RenderInt(1, 4) + Exp(mesh.eps, 15, 5) + Exp(1.0f, 15, 5) +
              Exp(0.0f, 15, 5));
  r.insert(r.end(), {"     ),", "  nodes             : table", "    ("});
  for (std::size_t i = 0; i < mesh.nodes.size(); ++i) {
    r.push_back("    " + textio::RenderInt(static_cast<int32_t>(i + 1), 5) + "  \"ref(ZLOFF)+" +
                Exp(static_cast<float>(mesh.nodes[i].z), 12, 4) + "\"   " +
                Exp(static_cast<float>(mesh.nodes[i].r), 12, 4));
  }
  r.insert(r.end(), {"  ),", "  linear_segments  : table", "    ("});
  for (std::size_t i = 0; i < mesh.linear.size(); ++i) {
    r.push_back("     " + textio::RenderInt(static_cast<int32_t>(i + 1), 6) +
                textio::RenderInt(mesh.linear[i][0], 6) + textio::RenderInt(mesh.linear[i][1], 6) +
                kTail);
  }
  r.insert(r.end(), {"  ),", "  cubic_segments   : table", "    ("});
  for (std::size_t i = 0; i < mesh.cubic.size(); ++i) {
    std::string row = "     " + textio::RenderInt(static_cast<int32_t>(i + 1), 6);
    for (const int32_t k : mesh.cubic[i]) row += textio::RenderInt(k, 6);
    r.push_back(row + kTail);
  }
  r.insert(r.end(), {"    ),", "  length_unit      : " + mesh.unit, "  )"});
  std::string text;
  for (const std::string& record : r) text += record + "\r\n";
  return text;
}

MeshSpec Cylinder() {
  MeshSpec m;
  m.nodes = {{2.0, 0.0}, {2.0, 3.0}, {5.0, 0.0}, {5.0, 3.0}};
  m.linear = {{1, 2}, {3, 4}, {2, 4}};
  return m;
}

constexpr double kLensIndex = 1.6;
constexpr double kFocal = 20.0;
constexpr double kLensRadius = 10.0;

/// The angle from the axis at which the hyperbola reaches the lens radius.
double EdgeAngle() {
  return Solve([](double t) { return Hyperbola(t, kLensIndex, kFocal).r; }, kLensRadius);
}

LensData HyperbolicLens(double back, int32_t zones) {
  LensData lens;
  lens.EPS = static_cast<float>(kLensIndex * kLensIndex);
  lens.ISIDE = 2;
  lens.ISURF = 1;
  lens.NPT = 31;
  const double edge = EdgeAngle();
  for (int32_t i = 0; i < lens.NPT; ++i) {
    const Point p = Hyperbola(edge * i / (lens.NPT - 1), kLensIndex, kFocal);
    lens.ZF.push_back(static_cast<float>(p.z));
    lens.RF.push_back(static_cast<float>(p.r));
    lens.ZR.push_back(static_cast<float>(back));
    lens.RR.push_back(static_cast<float>(p.r));
  }
  lens.ZR.back() = std::max(lens.ZR.back(), lens.ZF.back());
  // Boundary k where the lens is k steps thicker than at the edge
  lens.NZ = zones;
  const double edge_thickness = back - Hyperbola(edge, kLensIndex, kFocal).z;
  for (int32_t k = 1; k <= lens.NZ; ++k) {
    const double z = back - edge_thickness - k * double{lens.STEP};
    const double t = Solve([](double a) { return Hyperbola(a, kLensIndex, kFocal).z; }, z);
    const auto r = static_cast<float>(Hyperbola(t, kLensIndex, kFocal).r);
    lens.RZF.push_back(r);
    lens.RZR.push_back(r);
  }
  return lens;
}

double HyperbolicLensVolume(double back) {
  // Simpson's rule over the angle: 2 pi r (back - z) dr
  const double edge = EdgeAngle();
  constexpr int kSteps = 2000;
  const double h = edge / kSteps;
  double sum = 0.0;
  for (int i = 0; i <= kSteps; ++i) {
    const double t = i * h;
    const Point p = Hyperbola(t, kLensIndex, kFocal);
    const Point q = Hyperbola(t + 1e-6, kLensIndex, kFocal);
    const Point o = Hyperbola(t - 1e-6, kLensIndex, kFocal);
    const double dr = (q.r - o.r) / 2e-6;
    const double weight = (i == 0 || i == kSteps) ? 1.0 : (i % 2 == 1 ? 4.0 : 2.0);
    sum += weight * 2.0 * std::numbers::pi * p.r * (back - p.z) * dr;
  }
  return sum * h / 3.0;
}

double HyperbolicEdgeZ() { return Hyperbola(EdgeAngle(), kLensIndex, kFocal).z; }

LensData CrossingFacesLens() {
  LensData lens;
  lens.NPT = 10;
  lens.ISIDE = 1;
  lens.ISURF = 2;
  for (int32_t i = 1; i <= lens.NPT; ++i) {
    const float rf = 0.5f * static_cast<float>(i - 1);
    const float rr = 0.55f * static_cast<float>(i - 1);
    lens.RF.push_back(rf);
    lens.ZF.push_back(2.0f + 0.05f * rf * rf);
    lens.RR.push_back(rr);
    lens.ZR.push_back(4.0f - 0.08f * rr * rr);
  }
  lens.NZ = 2;
  lens.RZF = {3.9f, 2.2f};
  lens.RZR = {4.3f, 2.4f};
  lens.STEP = 0.3f;
  lens.FR = 0.5f;
  return lens;
}

std::string Export(const LensData& lens) {
  const ScratchFolder folder;
  std::istringstream keyboard("lens.tor\n" + std::to_string(lens.units) + "\n0\n");
  std::ostringstream screen;
  {
    textio::Units io(keyboard, screen, {});
    io.ConfineFilesTo(folder.path().string());
    io.open_text_unit(textio::kReport, "lens.txt");
    textio::INPUTL inputl;
    tor::SZLTIC(io, lens.ZF, lens.RF, lens.ZR, lens.RR, lens.NPT, lens.EPS, 0.0f, 0.0f, lens.ISIDE,
                lens.ISURF, inputl, lens.RZF, lens.RZR, lens.NZ, lens.STEP, lens.FR);
    io.CloseAll();
  }
  return ReadBytes((folder.path() / "lens.tor").string());
}

std::string TestDataPath(const std::string& name) {
  return std::string(KEVRANO_TORTOOL_TESTDATA) + "/" + name;
}

std::string TestData(const std::string& name) {
  const std::string path = TestDataPath(name);
  EXPECT_TRUE(std::filesystem::exists(path)) << path;
  return ReadBytes(path);
}

std::string Edited(std::string text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  EXPECT_NE(std::string::npos, at) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

Checked ParseAndCheck(std::string_view text) {
  Checked c;
  Problem error;
  EXPECT_TRUE(ParseTor(text, &c.file, &error)) << error.line << ": " << error.message;
  c.check = CheckOutline(c.file);
  return c;
}

AnalysisOptions Options(double wavelength, double edge_taper_db, std::optional<double> feed_q,
                        double tan_delta) {
  AnalysisOptions o;
  o.wavelength = wavelength;
  o.edge_taper_db = edge_taper_db;
  o.feed_q = feed_q;
  o.tan_delta = tan_delta;
  return o;
}

bool ReadStl(std::string_view bytes, StlMesh* mesh) {
  if (bytes.size() < 84) return false;
  auto u32 = [&](std::size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) {
      v = (v << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    }
    return v;
  };
  auto f32 = [&](std::size_t at) {
    const uint32_t bits = u32(at);
    float f = 0.0f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
  };
  mesh->header = std::string(bytes.substr(0, 80));
  const uint32_t count = u32(80);
  if (bytes.size() != 84 + 50 * std::size_t{count}) return false;
  for (uint32_t t = 0; t < count; ++t) {
    const std::size_t at = 84 + 50 * std::size_t{t};
    mesh->normals.push_back({f32(at), f32(at + 4), f32(at + 8)});
    std::array<Vec3, 3> tri{};
    for (std::size_t v = 0; v < 3; ++v) {
      for (std::size_t k = 0; k < 3; ++k) tri[v][k] = f32(at + 12 + 12 * v + 4 * k);
    }
    mesh->triangles.push_back(tri);
  }
  return true;
}

double SignedVolume(const StlMesh& mesh) {
  double sum = 0.0;
  for (const auto& t : mesh.triangles) {
    const auto d = [&](std::size_t v, std::size_t k) { return static_cast<double>(t[v][k]); };
    sum += d(0, 0) * (d(1, 1) * d(2, 2) - d(1, 2) * d(2, 1)) -
           d(0, 1) * (d(1, 0) * d(2, 2) - d(1, 2) * d(2, 0)) +
           d(0, 2) * (d(1, 0) * d(2, 1) - d(1, 1) * d(2, 0));
  }
  return sum / 6.0;
}

std::vector<std::string> NormalFaults(const StlMesh& mesh) {
  std::vector<std::string> faults;
  for (std::size_t t = 0; t < mesh.triangles.size(); ++t) {
    const auto& v = mesh.triangles[t];
    auto d = [&](std::size_t i, std::size_t k) {
      return static_cast<double>(v[i][k]) - static_cast<double>(v[0][k]);
    };
    const std::array<double, 3> cross{d(1, 1) * d(2, 2) - d(1, 2) * d(2, 1),
                                      d(1, 2) * d(2, 0) - d(1, 0) * d(2, 2),
                                      d(1, 0) * d(2, 1) - d(1, 1) * d(2, 0)};
    const double area = std::hypot(cross[0], cross[1], cross[2]);
    const Vec3& n = mesh.normals[t];
    const double length = std::hypot(double{n[0]}, double{n[1]}, double{n[2]});
    const double along =
        area > 0.0
            ? (cross[0] * double{n[0]} + cross[1] * double{n[1]} + cross[2] * double{n[2]}) / area
            : 0.0;
    // Unit length, and within about a degree of the winding's normal
    if (area > 0.0 && (std::fabs(length - 1.0) > 1e-5 || along < 0.9998)) {
      faults.push_back("facet " + std::to_string(t) + ": normal (" + std::to_string(n[0]) + ", " +
                       std::to_string(n[1]) + ", " + std::to_string(n[2]) + ")");
    }
  }
  return faults;
}

std::vector<std::string> EdgeFaults(const StlMesh& mesh) {
  // Vertices are compared by their exact bits
  std::map<Vec3, int> ids;
  auto id = [&ids](const Vec3& v) {
    return ids.emplace(v, static_cast<int>(ids.size())).first->second;
  };
  std::map<std::pair<int, int>, int> directed;
  for (const auto& t : mesh.triangles) {
    const std::array<int, 3> v{id(t[0]), id(t[1]), id(t[2])};
    for (std::size_t i = 0; i < 3; ++i) ++directed[{v[i], v[(i + 1) % 3]}];
  }
  std::vector<std::string> faults;
  for (const auto& [edge, count] : directed) {
    const auto reverse = directed.find({edge.second, edge.first});
    const int back = reverse == directed.end() ? 0 : reverse->second;
    if (count != 1 || back != 1) {
      faults.push_back("edge " + std::to_string(edge.first) + "-" + std::to_string(edge.second) +
                       ": " + std::to_string(count) + " forward, " + std::to_string(back) +
                       " back");
    }
  }
  return faults;
}

}  // namespace tortool::testing
