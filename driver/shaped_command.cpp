#include "driver/shaped_command.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <nlohmann/json.hpp>
#include <numbers>
#include <ostream>

#include "design/profile.h"
#include "export/outline_check.h"
#include "export/shaped_outline.h"
#include "textio/checked.h"
#include "textio/failure.h"
#include "textio/fixed_format.h"
#include "textio/layout.h"
#include "textio/units.h"
#include "torfile/mesh.h"
#include "torfile/writer.h"

namespace driver {
namespace {

using textio::Layout;
using textio::Value;

constexpr double kDegree = std::numbers::pi / 180.0;

const Layout kHeading("(/,' Shaped Lens Design: both faces synthesised')");
const Layout kDielectric("(' Lens Dielectric Constant:      ',F9.3)");
const Layout kSineMapping("(' Mapping: sine condition, exit height f sin(theta)')");
const Layout kUniformMapping("(' Mapping: uniform aperture for a cos^(2Q) feed, Q = ',F9.4)");
const Layout kUniformTaper(
    "(' Mapping: uniform aperture for a cos^(2Q) feed, Q = ',F9.4,"
    "' (',F6.2,' dB at the edge)')");
const Layout kRadius("(' Aperture Radius:                      ',F10.3)");
const Layout kEdgeAngle("(' Edge Angle from Feed (deg):           ',F10.3)");
const Layout kFeedDistance("(' Feed to Inner Face on Axis:           ',F10.3)");
const Layout kThickness("(' Center Thickness:                     ',F10.3)");
const Layout kEdgeThickness("(' Edge Thickness (axial, at the rim):   ',F10.3)");
const Layout kFocalLength("(' Paraxial Focal Length:                ',F10.3)");
const Layout kDeviation("(' Sine-condition Deviation at Edge:     ',F10.5)");

// The texts a lens value is shown with in the summary: as the report's F10.3.
std::string Shown(double value, const std::string& unit) {
  char text[48];
  std::snprintf(text, sizeof text, "%.3f", value);
  return text + unit;
}

void Append(std::vector<std::string>& records, const Layout& layout,
            std::initializer_list<Value> values = {}) {
  textio::LaidOut laid = textio::LayOut(layout, std::vector<Value>(values));
  for (std::string& record : laid.records) records.push_back(std::move(record));
}

// A file of records, each ended by CR LF, written as unit `unit`. Throws
// textio::Failure when the file cannot be opened or written.
class RecordFile {
 public:
  RecordFile(const std::string& name, int unit)
      : where_("unit " + std::to_string(unit) + ", file " + name),
        file_(name, std::ios::binary | std::ios::trunc) {
    if (!file_) {
      throw textio::Failure(textio::FailureNumber::kOpen,
                            "open failure, " + where_ + ": " + std::strerror(errno));
    }
  }
  void Write(const std::vector<std::string>& records) {
    for (const std::string& record : records) file_ << record << "\r\n";
    file_.flush();
    if (!file_) Fail();
  }
  void Close() {
    file_.close();
    if (!file_) Fail();
  }

 private:
  [[noreturn]] void Fail() {
    throw textio::Failure(textio::FailureNumber::kWrite, "error during write, " + where_);
  }
  std::string where_;
  std::ofstream file_;
};

// The two faces of the lens at 3M + 1 equal steps of feed angle, M the
// fewest cubic segments giving at least as many nodes as the profile has
// rows (the nodes are the rows when rays − 1 is a multiple of 3).
std::optional<tor::ZonedOutline> OutlineOf(const design::ShapedLensRequest& request, int32_t rays) {
  const int32_t segments = std::max(1, (rays - 1 + 2) / 3);
  std::vector<double> angles(static_cast<std::size_t>(3 * segments + 1));
  for (std::size_t j = 0; j < angles.size(); ++j) {
    angles[j] =
        request.edge_angle * static_cast<double>(j) / static_cast<double>(angles.size() - 1);
  }
  angles.back() = request.edge_angle;
  const design::ShapedFaces faces = design::TraceShapedFaces(request, angles);
  if (faces.status != design::ShapedStatus::kOk) return std::nullopt;
  std::vector<torfile::Node> feed, radiation;
  for (const design::ShapedRay& ray : faces.rays) {
    feed.push_back({ray.inner_z, ray.inner_rho, 0});
    radiation.push_back({ray.outer_z, ray.outer_rho, 0});
  }
  return tor::ShapedOutline(feed, radiation);
}

// A value given as a 32-bit real, as the shortest decimal that reads back as it.
nlohmann::ordered_json JsonGiven(float value) { return std::stod(ShortestText(value)); }

nlohmann::ordered_json JsonNumber(std::optional<double> value) {
  if (!value || !std::isfinite(*value)) return nullptr;
  return *value;
}

}  // namespace

std::optional<double> ShapedFeedQOf(const LensDesign& lens) {
  const ShapedDesign& shaped = *lens.shaped;
  if (shaped.sine) return std::nullopt;
  if (shaped.feed_q) return std::stod(ShortestText(*shaped.feed_q));
  return design::ShapedFeedQ(static_cast<double>(shaped.edge_taper_db),
                             static_cast<double>(shaped.edge_angle_deg) * kDegree);
}

design::ShapedLensRequest ShapedRequestOf(const LensDesign& lens) {
  const ShapedDesign& shaped = *lens.shaped;
  design::ShapedLensRequest request;
  request.eps = static_cast<double>(lens.eps);
  request.feed_distance = static_cast<double>(shaped.feed_distance);
  request.centre_thickness = static_cast<double>(shaped.thickness);
  request.edge_angle = static_cast<double>(shaped.edge_angle_deg) * kDegree;
  const auto radius = static_cast<double>(lens.radius);
  if (shaped.sine) {
    request.exit_height = design::SineMapping(radius, request.edge_angle);
  } else if (const auto q = ShapedFeedQOf(lens)) {
    request.exit_height = design::UniformMapping(radius, request.edge_angle, *q);
  }
  return request;
}

std::vector<std::string> ShapedReport(const LensDesign& lens, const design::ShapedLens& result) {
  const ShapedDesign& shaped = *lens.shaped;
  std::vector<std::string> records;
  Append(records, kHeading);
  Append(records, kDielectric, {lens.eps});
  const std::optional<double> q = ShapedFeedQOf(lens);
  if (shaped.sine) {
    Append(records, kSineMapping);
  } else if (shaped.feed_q) {
    Append(records, kUniformMapping, {static_cast<float>(q.value_or(0.0))});
  } else {
    Append(records, kUniformTaper, {static_cast<float>(q.value_or(0.0)), shaped.edge_taper_db});
  }
  Append(records, kRadius, {lens.radius});
  Append(records, kEdgeAngle, {shaped.edge_angle_deg});
  Append(records, kFeedDistance, {shaped.feed_distance});
  Append(records, kThickness, {shaped.thickness});
  if (result.status != design::ShapedStatus::kOk) {
    std::string line = design::ShapedRefusal(result);
    if (!line.empty()) line.front() = 'N';  // "no lens: ..." opens the record
    records.push_back(" " + line);
    return records;
  }
  Append(records, kEdgeThickness, {static_cast<float>(result.edge_thickness)});
  Append(records, kFocalLength, {static_cast<float>(result.paraxial_focal_length)});
  Append(records, kDeviation, {static_cast<float>(result.sine_deviation)});
  Append(records, design::kProfileHeading);
  for (const design::ShapedRay& ray : result.rays) {
    Append(records, design::kProfileRow,
           {static_cast<float>(ray.inner_z), static_cast<float>(ray.inner_rho),
            static_cast<float>(ray.outer_z), static_cast<float>(ray.outer_rho),
            static_cast<float>(ray.path_in_lens)});
  }
  return records;
}

int RunShapedDesigns(const DesignRun& run, bool json, std::ostream& out, std::ostream& err) {
  try {
    // The report is opened (and emptied) before the first lens, as the dialogue does
    std::optional<RecordFile> report;
    if (!run.report.empty()) report.emplace(run.report, textio::kReport);
    for (std::size_t index = 0; index < run.designs.size(); ++index) {
      const LensDesign& lens = run.designs[index];
      const design::ShapedLensRequest request = ShapedRequestOf(lens);
      const design::ShapedLens result = design::DesignShapedLens(request, lens.shaped->rays);
      const bool made = result.status == design::ShapedStatus::kOk;
      std::vector<std::string> records = ShapedReport(lens, result);
      std::vector<std::string> notes, warnings, files;
      if (report) files.push_back(run.report);
      if (!made) notes.push_back(design::ShapedRefusal(result));

      // The tor file: both faces and the rim, checked as kevrano-tor check would
      if (made && !lens.tor.empty()) {
        std::optional<tor::ZonedOutline> outline = OutlineOf(request, lens.shaped->rays);
        if (!outline) {
          notes.push_back("Tor file not written: the faces could not be traced at the nodes");
          records.push_back(" " + notes.back());
        } else {
          outline->mesh.unit = torfile::UnitOfCode(lens.units);
          if (const std::string problem = tor::OutlineProblem(*outline); !problem.empty()) {
            warnings.push_back("Warning, tor file written as designed: " + problem);
            records.push_back(" " + warnings.back());
          }
          RecordFile tor(lens.tor, textio::kTorFile);
          tor.Write(torfile::FileRecords(outline->mesh, lens.eps, lens.offset));
          tor.Close();
          files.push_back(lens.tor);
        }
      }
      if (report) report->Write(records);

      const std::string unit = lens.units > 0
                                   ? " " + std::string(textio::At(torfile::kUnitNames, lens.units))
                                   : std::string();
      if (json) {
        using Json = nlohmann::ordered_json;
        Json j;
        j["design"] = index + 1;
        j["completed"] = made;
        j["shape"] = lens.shaped->sine ? "sine" : "uniform";
        j["feed_q"] = JsonNumber(ShapedFeedQOf(lens));
        j["rays"] = result.rays.size();
        j["centre_thickness"] = JsonGiven(lens.shaped->thickness);
        j["edge_thickness"] = made ? JsonNumber(result.edge_thickness) : nullptr;
        j["outer_radius"] =
            made ? JsonNumber(std::max(result.rays.back().outer_rho, result.rays.back().inner_rho))
                 : nullptr;
        j["paraxial_focal_length"] = made ? JsonNumber(result.paraxial_focal_length) : nullptr;
        j["sine_deviation"] = made ? JsonNumber(result.sine_deviation) : nullptr;
        j["thinner_lens_thickness"] = JsonNumber(result.thinner);
        j["thicker_lens_thickness"] = JsonNumber(result.thicker);
        j["units"] = lens.units > 0 ? Json(textio::At(torfile::kUnitNames, lens.units)) : nullptr;
        j["files_written"] = files;
        j["notes"] = notes;
        j["warnings"] = warnings;
        Json profile = Json::array();
        for (const design::ShapedRay& ray : result.rays) {
          profile.push_back(Json::array(
              {ray.inner_z, ray.inner_rho, ray.outer_z, ray.outer_rho, ray.path_in_lens}));
        }
        j["profile"] = std::move(profile);
        out << j.dump() << '\n';
      } else {
        std::string line = "design " + std::to_string(index + 1) + ": ";
        if (made) {
          const design::ShapedRay& edge = result.rays.back();
          char deviation[32];
          std::snprintf(deviation, sizeof deviation, "%+.3f %%", 100.0 * result.sine_deviation);
          line += std::string(lens.shaped->sine ? "sine-condition" : "uniform-aperture") +
                  " lens, outer radius " + Shown(std::max(edge.outer_rho, edge.inner_rho), unit) +
                  ", edge thickness " + Shown(result.edge_thickness, unit) +
                  ", sine-condition deviation " + deviation;
        } else {
          line += "no lens";
        }
        line += files.empty() ? "; wrote no file" : "; wrote ";
        for (std::size_t i = 0; i < files.size(); ++i) line += (i > 0 ? ", " : "") + files[i];
        out << line << '\n';
        for (const std::string& note : notes) out << "  " << note << '\n';
        for (const std::string& warning : warnings) out << "  " << warning << '\n';
      }
      out.flush();
    }
    if (report) report->Close();
  } catch (const textio::Failure& failure) {
    out.flush();
    err << failure.Diagnostic() << '\n';
    return 1;
  }
  if (!out) {
    err << "kevrano: the summary could not be written to standard output\n";
    return 1;
  }
  return 0;
}

}  // namespace driver
