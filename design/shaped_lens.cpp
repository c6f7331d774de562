#include "design/shaped_lens.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <numbers>

namespace design {
namespace {

// 1 − cos^p θ without the cancellation near the axis: −expm1(p·log cos θ),
// with log cos θ = log1p(−2 sin²(θ/2)).
double OneLessCosPower(double theta, double p) {
  const double s = std::sin(0.5 * theta);
  return -std::expm1(p * std::log1p(-2.0 * s * s));
}

// The lens constants every ray needs.
struct Lens {
  double n = 0.0;
  double n2_less_1 = 0.0;     // n² − 1
  double axial_excess = 0.0;  // C − Z = (n − 1)·T
  double touch = 0.0;         // a path in the lens this short: the faces meet
  const ExitHeight* g = nullptr;
};

// A ray's points and the slope dr/dθ of the inner face there.
struct RayAt {
  ShapedStatus status = ShapedStatus::kOk;
  ShapedRay ray;
  double slope = 0.0;
};

// Places both face points of the ray at θ whose inner point lies at distance
// r from the feed, and the inner face's slope there.
RayAt PlaceRay(const Lens& lens, double theta, double r) {
  RayAt at;
  const double ux = std::sin(theta), uz = std::cos(theta);
  ShapedRay& ray = at.ray;
  ray.theta = theta;
  ray.inner_rho = r * ux;
  ray.inner_z = r * uz;
  ray.outer_rho = (*lens.g)(theta);
  // Equal path fixes the outer point. V ≤ 0 would need a negative path in the
  // lens (the outer face at or behind the inner one); no root: the ray would
  // be totally reflected at the outer face
  const double v = lens.axial_excess - r + ray.inner_z;
  const double d_rho = ray.outer_rho - ray.inner_rho;
  const double disc = v * v - lens.n2_less_1 * d_rho * d_rho;
  if (!(r > 0.0)) {
    at.status = ShapedStatus::kFaceTurnsBack;
    return at;
  }
  if (!(v > 0.0) || !(disc >= 0.0)) {
    at.status = v > 0.0 ? ShapedStatus::kExitTotallyReflected : ShapedStatus::kFacesMeet;
    return at;
  }
  const double dz = (v + lens.n * std::sqrt(disc)) / lens.n2_less_1;
  ray.outer_z = ray.inner_z + dz;
  ray.path_in_lens = std::hypot(d_rho, dz);
  if (!(ray.path_in_lens > lens.touch)) {
    // Too short a path for its direction to mean anything: the faces meet
    at.status = ShapedStatus::kFacesMeet;
    return at;
  }
  // Snell at the inner face; a denominator that is not negative asks for a
  // bend beyond that of a grazing ray
  const double tx = d_rho / ray.path_in_lens, tz = dz / ray.path_in_lens;
  const double denominator = 1.0 - lens.n * (tx * ux + tz * uz);
  if (!(denominator < 0.0)) {
    at.status = ShapedStatus::kGrazingEntry;
    return at;
  }
  at.slope = r * lens.n * (tx * uz - tz * ux) / denominator;
  if (!std::isfinite(at.slope)) at.status = ShapedStatus::kGrazingEntry;
  return at;
}

// Dormand–Prince 5(4) tableau: the fifth-order solution is carried on, the
// difference to the embedded fourth-order one estimates the local error.
constexpr std::array<double, 7> kC = {0.0, 1.0 / 5, 3.0 / 10, 4.0 / 5, 8.0 / 9, 1.0, 1.0};
constexpr std::array<std::array<double, 6>, 7> kA = {{
    {0, 0, 0, 0, 0, 0},
    {1.0 / 5, 0, 0, 0, 0, 0},
    {3.0 / 40, 9.0 / 40, 0, 0, 0, 0},
    {44.0 / 45, -56.0 / 15, 32.0 / 9, 0, 0, 0},
    {19372.0 / 6561, -25360.0 / 2187, 64448.0 / 6561, -212.0 / 729, 0, 0},
    {9017.0 / 3168, -355.0 / 33, 46732.0 / 5247, 49.0 / 176, -5103.0 / 18656, 0},
    {35.0 / 384, 0, 500.0 / 1113, 125.0 / 192, -2187.0 / 6784, 11.0 / 84},
}};
// Fifth-order weights less fourth-order weights
constexpr std::array<double, 7> kE = {71.0 / 57600,      0.0,        -71.0 / 16695, 71.0 / 1920,
                                      -17253.0 / 339200, 22.0 / 525, -1.0 / 40};

// One attempted step from (θ, r) with slope k1 there.
struct Step {
  ShapedStatus status = ShapedStatus::kOk;  // a stage that found no ray
  double failed_theta = 0.0;
  double error = 0.0;
  RayAt end;  // the ray at θ + h, with its slope
  double r = 0.0;
};

Step TryStep(const Lens& lens, double theta, double r, double k1, double h) {
  Step step;
  std::array<double, 7> k{};
  k[0] = k1;
  for (std::size_t s = 1; s < 7; ++s) {
    double y = r;
    for (std::size_t j = 0; j < s; ++j) y += h * kA[s][j] * k[j];
    const RayAt at = PlaceRay(lens, theta + kC[s] * h, y);
    if (at.status != ShapedStatus::kOk) {
      step.status = at.status;
      step.failed_theta = theta + kC[s] * h;
      return step;
    }
    k[s] = at.slope;
    if (s == 6) {
      step.end = at;
      step.r = y;
    }
  }
  double e = 0.0;
  for (std::size_t s = 0; s < 7; ++s) e += kE[s] * k[s];
  step.error = std::abs(h * e);
  return step;
}

// z of a face polyline (ρ ascending) at ρ, by linear interpolation.
double ZAt(const std::vector<double>& rho, const std::vector<double>& z, double at) {
  const auto it = std::upper_bound(rho.begin(), rho.end(), at);
  if (it == rho.begin()) return z.front();
  if (it == rho.end()) return z.back();
  const auto i = static_cast<std::size_t>(it - rho.begin());
  const double w = (at - rho[i - 1]) / (rho[i] - rho[i - 1]);
  return z[i - 1] + w * (z[i] - z[i - 1]);
}

}  // namespace

std::optional<OutlineFault> CheckShapedOutline(const std::vector<ShapedRay>& trail, double slack) {
  if (trail.empty()) return std::nullopt;
  const std::size_t count = trail.size();
  std::vector<double> rho1(count), z1(count), rho2(count), z2(count);
  for (std::size_t i = 0; i < count; ++i) {
    rho1[i] = trail[i].inner_rho;
    z1[i] = trail[i].inner_z;
    rho2[i] = trail[i].outer_rho;
    z2[i] = trail[i].outer_z;
    if (i > 0 && !(rho1[i] > rho1[i - 1] && rho2[i] > rho2[i - 1])) {
      return OutlineFault{ShapedStatus::kFaceTurnsBack, trail[i].theta};
    }
  }
  const ShapedRay& edge = trail.back();
  // The rim from the inner edge point to the outer one
  const auto rim_z = [&](double rho) {
    const double span = edge.outer_rho - edge.inner_rho;
    return edge.inner_z + (rho - edge.inner_rho) / span * (edge.outer_z - edge.inner_z);
  };
  // Each point of one face against the other face, or against the rim where
  // the other face has ended; the edge points lie on the rim themselves
  for (std::size_t i = 0; i + 1 < count; ++i) {
    const double below = rho2[i] <= edge.inner_rho ? ZAt(rho1, z1, rho2[i]) : rim_z(rho2[i]);
    const double above = rho1[i] <= edge.outer_rho ? ZAt(rho2, z2, rho1[i]) : rim_z(rho1[i]);
    if (!(z2[i] > below) || !(above > z1[i])) {
      return OutlineFault{ShapedStatus::kFacesMeet, trail[i].theta};
    }
  }
  const bool outer_inside = edge.outer_rho <= edge.inner_rho;
  const double gap = outer_inside ? edge.outer_z - ZAt(rho1, z1, edge.outer_rho)
                                  : ZAt(rho2, z2, edge.inner_rho) - edge.inner_z;
  if (!(gap >= -slack)) return OutlineFault{ShapedStatus::kFacesMeet, edge.theta};
  return std::nullopt;
}

namespace {

constexpr double kDegree = std::numbers::pi / 180.0;

// The search for a thickness that gives a lens walks in steps of 2 % from the
// thickness asked for, thinner down to a thousandth of the feed distance and
// thicker up to a hundred times the lens's axial extent.
constexpr double kThicknessWalk = 1.02;
constexpr double kThickestSearched = 100.0;

// A centre too thin fails by total reflection or by faces that meet; a
// thicker one may help. Grazing entry and a face turning back may be mended
// either way.
bool ThickerMayHelp(ShapedStatus status) {
  return status != ShapedStatus::kOk && status != ShapedStatus::kBadInput &&
         status != ShapedStatus::kStepFailed;
}
bool ThinnerMayHelp(ShapedStatus status) {
  return status == ShapedStatus::kGrazingEntry || status == ShapedStatus::kFaceTurnsBack;
}

bool GivesLens(ShapedLensRequest request, double thickness) {
  request.centre_thickness = thickness;
  return TraceShapedFaces(request, {0.0, request.edge_angle}).status == ShapedStatus::kOk;
}

// The thickness nearest `request`'s, on one side of it (`factor` above 1 looks
// thicker, below 1 thinner), that gives a lens: steps of `factor` out to
// `bound`, then bisection of the last step to a relative 1e-7. Feasible
// thicknesses need not form one interval (a mapping can ask for grazing
// incidence over a middle range), hence the walk rather than bisection alone.
std::optional<double> NearestThickness(const ShapedLensRequest& request, double factor,
                                       double bound) {
  double fails = request.centre_thickness, gives = fails;
  for (;;) {
    gives = fails * factor;
    if (factor > 1.0 ? gives > bound : gives < bound) return std::nullopt;
    if (GivesLens(request, gives)) break;
    fails = gives;
  }
  while (std::abs(gives - fails) > 1e-7 * gives) {
    const double mid = 0.5 * (fails + gives);
    (GivesLens(request, mid) ? gives : fails) = mid;
  }
  return gives;
}

}  // namespace

ExitHeight SineMapping(double aperture_radius, double edge_angle) {
  const double f = aperture_radius / std::sin(edge_angle);
  return [f](double theta) { return f * std::sin(theta); };
}

ExitHeight UniformMapping(double aperture_radius, double edge_angle, double feed_q) {
  const double p = 2.0 * feed_q + 1.0;
  const double edge = OneLessCosPower(edge_angle, p);
  return [aperture_radius, p, edge](double theta) {
    return aperture_radius * std::sqrt(OneLessCosPower(theta, p) / edge);
  };
}

std::optional<double> ShapedFeedQ(double taper_db, double edge_angle) {
  if (!(taper_db >= 0.0) || !(edge_angle > 0.0 && edge_angle < std::numbers::pi / 2)) {
    return std::nullopt;
  }
  const double q = taper_db / (20.0 * std::log10(1.0 / std::cos(edge_angle)));
  if (!std::isfinite(q)) return std::nullopt;
  return q;
}

std::string ShapedInputProblem(const ShapedLensRequest& request, int rays) {
  if (!(request.eps > 1.0) || !std::isfinite(request.eps)) {
    return "the dielectric constant must be greater than 1";
  }
  if (!(request.feed_distance > 0.0) || !std::isfinite(request.feed_distance)) {
    return "the feed distance must be greater than 0";
  }
  if (!(request.centre_thickness > 0.0) || !std::isfinite(request.centre_thickness)) {
    return "the thickness must be greater than 0";
  }
  if (!(request.edge_angle > 0.0 && request.edge_angle < std::numbers::pi / 2)) {
    return "the edge angle must lie between 0 and 90 degrees";
  }
  if (!(request.tolerance >= 1e-15 && request.tolerance <= 1e-3)) {
    return "the step tolerance must lie between 1e-15 and 1e-3";
  }
  if (!request.exit_height) return "no mapping is given";
  const double edge = request.exit_height(request.edge_angle);
  if (!(edge > 0.0) || !std::isfinite(edge)) return "the mapping puts the edge ray at no height";
  if (rays < kShapedMinRays || rays > kShapedMaxRays) return "the rays must number 2 to 3501";
  return "";
}

ShapedFaces TraceShapedFaces(const ShapedLensRequest& request, const std::vector<double>& angles) {
  ShapedFaces faces;
  if (!ShapedInputProblem(request, kShapedMinRays).empty() || angles.empty() ||
      !(angles.front() >= 0.0) || !std::is_sorted(angles.begin(), angles.end())) {
    return faces;
  }
  Lens lens;
  lens.n = std::sqrt(request.eps);
  lens.n2_less_1 = request.eps - 1.0;
  lens.axial_excess = (lens.n - 1.0) * request.centre_thickness;
  lens.g = &request.exit_height;
  lens.touch = 1e-4 * request.feed_distance;

  const double tolerance = request.tolerance * request.feed_distance;
  const double largest = request.edge_angle / 200.0;  // keeps the outline check dense
  const double smallest = request.edge_angle * 1e-12;
  const auto stop = [&faces](ShapedStatus status, double theta) {
    faces.status = status;
    faces.failed_theta = theta;
    return faces;
  };

  RayAt here = PlaceRay(lens, 0.0, request.feed_distance);
  if (here.status != ShapedStatus::kOk) return stop(here.status, 0.0);
  double theta = 0.0, r = request.feed_distance, h = largest;
  std::vector<ShapedRay> trail = {here.ray};
  for (const double target : angles) {
    while (theta < target) {
      const double last = target - theta;
      // Land on the target rather than leave a sliver of a step before it
      const bool lands = h * (1.0 + 1e-6) >= last;
      const double try_h = lands ? last : h;
      const Step step = TryStep(lens, theta, r, here.slope, try_h);
      if (step.status != ShapedStatus::kOk || !(step.error <= tolerance)) {
        // A stage beyond the lens, or too large an error: a shorter step
        h = step.status != ShapedStatus::kOk
                ? 0.5 * try_h
                : try_h * std::max(0.1, 0.9 * std::pow(tolerance / step.error, 0.2));
        if (h < smallest) {
          if (step.status != ShapedStatus::kOk) return stop(step.status, step.failed_theta);
          // A step that cannot shrink enough where the face runs almost along
          // the feed ray (incidence beyond 89.9 deg) is the approach to grazing
          const bool grazing = std::abs(here.slope) > 1e3 * r;
          return stop(grazing ? ShapedStatus::kGrazingEntry : ShapedStatus::kStepFailed, theta);
        }
        continue;
      }
      ++faces.steps;
      theta = lands ? target : theta + try_h;
      r = step.r;
      here = step.end;
      here.ray.theta = theta;
      trail.push_back(here.ray);
      const double grow = step.error > 0.0 ? 0.9 * std::pow(tolerance / step.error, 0.2) : 5.0;
      h = std::min(largest, try_h * std::clamp(grow, 0.2, 5.0));
    }
    faces.rays.push_back(here.ray);
  }
  if (const auto fault = CheckShapedOutline(trail, 1e-9 * request.feed_distance)) {
    return stop(fault->status, fault->theta);
  }
  faces.status = ShapedStatus::kOk;
  return faces;
}

ShapedLens DesignShapedLens(const ShapedLensRequest& request, int rays) {
  ShapedLens lens;
  lens.problem = ShapedInputProblem(request, rays);
  if (!lens.problem.empty()) return lens;
  std::vector<double> angles(static_cast<std::size_t>(rays));
  for (std::size_t i = 0; i < angles.size(); ++i) {
    angles[i] = request.edge_angle * static_cast<double>(i) / static_cast<double>(rays - 1);
  }
  angles.back() = request.edge_angle;
  ShapedFaces faces = TraceShapedFaces(request, angles);
  lens.status = faces.status;
  lens.failed_theta = faces.failed_theta;
  lens.steps = faces.steps;
  if (faces.status != ShapedStatus::kOk) {
    if (ThinnerMayHelp(faces.status)) {
      lens.thinner = NearestThickness(request, 1.0 / kThicknessWalk, 1e-3 * request.feed_distance);
    }
    if (ThickerMayHelp(faces.status)) {
      lens.thicker =
          NearestThickness(request, kThicknessWalk,
                           kThickestSearched * (request.feed_distance + request.centre_thickness));
    }
    return lens;
  }
  lens.rays = std::move(faces.rays);
  // Paraxial focal length: g(θ)/θ = f·(1 + a·θ² + ...), Richardson over h and 2h
  const double h = 1e-3 * request.edge_angle;
  const double f =
      (4.0 * request.exit_height(h) / h - request.exit_height(2.0 * h) / (2.0 * h)) / 3.0;
  const ShapedRay& edge = lens.rays.back();
  lens.paraxial_focal_length = f;
  lens.sine_deviation = edge.outer_rho / (f * std::sin(request.edge_angle)) - 1.0;
  lens.edge_thickness = edge.outer_z - edge.inner_z;
  return lens;
}

std::string ShapedRefusal(const ShapedLens& lens) {
  char at[64];
  std::snprintf(at, sizeof at, "%.3f deg", lens.failed_theta / kDegree);
  std::string line;
  switch (lens.status) {
    case ShapedStatus::kOk:
      return "";
    case ShapedStatus::kBadInput:
      return "no lens: " + lens.problem;
    case ShapedStatus::kExitTotallyReflected:
      line = "no lens: the centre is too thin for the mapping, the ray at " + std::string(at) +
             " would be totally reflected at the outer face";
      break;
    case ShapedStatus::kGrazingEntry:
      line = "no lens: the inner face would have to bend the ray at " + std::string(at) +
             " more than a ray at grazing incidence bends";
      break;
    case ShapedStatus::kFacesMeet:
      line = "no lens: the faces meet near the ray at " + std::string(at);
      break;
    case ShapedStatus::kFaceTurnsBack:
      line = "no lens: a face turns back towards the axis near the ray at " + std::string(at);
      break;
    case ShapedStatus::kStepFailed:
      return "no lens: the inner face cannot be integrated to its tolerance beyond the ray at " +
             std::string(at);
  }
  // Rounded away from the failing thickness, so that the thickness named gives a lens
  char more[128];
  const double thinner = lens.thinner ? std::floor(*lens.thinner * 1e4) / 1e4 : 0.0;
  const double thicker = lens.thicker ? std::ceil(*lens.thicker * 1e4) / 1e4 : 0.0;
  if (lens.thinner && lens.thicker) {
    std::snprintf(more, sizeof more, "; a thickness of at most %.4f, or of at least %.4f, would do",
                  thinner, thicker);
  } else if (lens.thicker) {
    std::snprintf(more, sizeof more, "; a thickness of at least %.4f would do", thicker);
  } else if (lens.thinner) {
    std::snprintf(more, sizeof more, "; a thickness of at most %.4f would do", thinner);
  } else {
    std::snprintf(more, sizeof more, "; no other thickness gives a lens either");
  }
  return line + more;
}

}  // namespace design
