#include "torfile/test_support.h"

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
#include "textio/units.h"
#include "torfile/writer.h"

namespace torfile::testing {
namespace {

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

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

::testing::AssertionResult SplitRecords(const std::string& bytes,
                                        std::vector<std::string>& records) {
  std::size_t start = 0;
  while (start < bytes.size()) {
    const std::size_t end = bytes.find("\r\n", start);
    if (end == std::string::npos) {
      return ::testing::AssertionFailure() << "record without CR LF at byte " << start;
    }
    std::string record = bytes.substr(start, end - start);
    if (record.find_first_of("\r\n") != std::string::npos) {
      return ::testing::AssertionFailure() << "stray line end in record: " << record;
    }
    records.push_back(std::move(record));
    start = end + 2;
  }
  return ::testing::AssertionSuccess();
}

namespace {

int32_t Integer(const std::string& record, std::size_t column, std::size_t width) {
  return static_cast<int32_t>(std::stol(record.substr(column - 1, width)));
}

float Real(const std::string& record, std::size_t column, std::size_t width) {
  return std::stof(record.substr(column - 1, width));
}

}  // namespace

::testing::AssertionResult ReadColumns(const std::string& bytes, ReadTor& tor) {
  using ::testing::AssertionFailure;
  std::vector<std::string> records;
  if (auto split = SplitRecords(bytes, records); !split) return split;
  std::size_t i = 0;
  auto expect = [&](const std::string& want) {
    if (i >= records.size()) return false;
    return records[i++] == want;
  };
  auto where = [&]() {
    if (i == 0 || i > records.size()) return "record " + std::to_string(i) + " missing";
    return "record " + std::to_string(i) + ": " + records[i - 1];
  };
  const std::string kTail = "  0   1   -1.0   0.0";

  // Offset object
  if (!expect("ZLOFF  real_variable") || !expect("(")) return AssertionFailure() << where();
  if (i >= records.size() || records[i].size() != 33 ||
      records[i].substr(0, 21) != "  value            : ") {
    return AssertionFailure() << "offset record";
  }
  tor.zloff = Real(records[i++], 22, 12);
  if (!expect(")") || !expect("")) return AssertionFailure() << where();

  // Mesh head
  if (!expect("horn_bor_mesh_lens   bor_mesh") || !expect("(") ||
      !expect("  regions          : table") || !expect("    (")) {
    return AssertionFailure() << where();
  }
  const std::string& region = records[i++];
  if (region.size() != 54 || region.substr(0, 9) != "        1" ||
      region.substr(24) != "    1.00000E+00    0.00000E+00") {
    return AssertionFailure() << "region row: " << region;
  }
  tor.eps = Real(region, 10, 15);
  if (!expect("     ),") || !expect("  nodes             : table") || !expect("    (")) {
    return AssertionFailure() << where();
  }

  // Node rows
  while (i < records.size() && records[i] != "  ),") {
    const std::string& row = records[i++];
    if (row.size() != 51 || row.substr(0, 4) != "    " || row.substr(9, 14) != "  \"ref(ZLOFF)+" ||
        row.substr(35, 4) != "\"   ") {
      return AssertionFailure() << "node row: " << row;
    }
    tor.nodes.push_back({Integer(row, 5, 5), Real(row, 24, 12), Real(row, 40, 12)});
    if (tor.nodes.back().number != static_cast<int32_t>(tor.nodes.size())) {
      return AssertionFailure() << "node numbered out of order: " << row;
    }
  }

  // Linear segment table
  if (!expect("  ),") || !expect("  linear_segments  : table") || !expect("    (")) {
    return AssertionFailure() << where();
  }
  while (i < records.size() && records[i] != "  ),") {
    const std::string& row = records[i++];
    if (row.size() != 43 || row.substr(0, 5) != "     " || row.substr(23) != kTail ||
        Integer(row, 6, 6) != static_cast<int32_t>(tor.linear.size() + 1)) {
      return AssertionFailure() << "linear row: " << row;
    }
    tor.linear.push_back({Integer(row, 12, 6), Integer(row, 18, 6)});
  }

  // Cubic segment table
  if (!expect("  ),") || !expect("  cubic_segments   : table") || !expect("    (")) {
    return AssertionFailure() << where();
  }
  while (i < records.size() && records[i] != "    ),") {
    const std::string& row = records[i++];
    if (row.size() != 55 || row.substr(0, 5) != "     " || row.substr(35) != kTail ||
        Integer(row, 6, 6) != static_cast<int32_t>(tor.cubic.size() + 1)) {
      return AssertionFailure() << "cubic row: " << row;
    }
    tor.cubic.push_back(
        {Integer(row, 12, 6), Integer(row, 18, 6), Integer(row, 24, 6), Integer(row, 30, 6)});
  }

  // Trailer
  if (!expect("    ),")) return AssertionFailure() << "cubic table not closed";
  if (i >= records.size() || records[i].size() != 23 ||
      records[i].substr(0, 21) != "  length_unit      : ") {
    return AssertionFailure() << "unit record";
  }
  tor.unit = records[i++].substr(21);
  if (!expect("  )") || i != records.size()) return AssertionFailure() << "mesh not closed last";
  return ::testing::AssertionSuccess();
}

std::string TorText(const MeshSpec& mesh) {
  // The export's own records, but for the unit, which a test may misspell
  std::vector<std::string> r = OffsetRecords(mesh.zloff);
  for (std::string& record : MeshHeadRecords(mesh.eps)) r.push_back(std::move(record));
  for (std::size_t i = 0; i < mesh.nodes.size(); ++i) {
    r.push_back(NodeRecord(static_cast<int32_t>(i + 1), static_cast<float>(mesh.nodes[i].z),
                           static_cast<float>(mesh.nodes[i].r)));
  }
  std::vector<LinearSegment> linear;
  for (const auto& s : mesh.linear) linear.push_back({s, 0});
  std::vector<CubicSegment> cubic;
  for (const auto& s : mesh.cubic) cubic.push_back({s, 0});
  for (std::string& record : SegmentRecords(linear, cubic)) r.push_back(std::move(record));
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
  return std::string(KEVRANO_TORFILE_TESTDATA) + "/" + name;
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

optics::AnalysisOptions Options(double wavelength, double edge_taper_db,
                                std::optional<double> feed_q, double tan_delta) {
  optics::AnalysisOptions o;
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

}  // namespace torfile::testing
