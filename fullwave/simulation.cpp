#include "fullwave/simulation.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstddef>
#include <meep.hpp>
#include <memory>

#include "textio/checked.h"

namespace fullwave {
namespace {

using Complex = std::complex<double>;

// The lens as the engine's material: the cell-averaged permittivity, and
// permeability 1 (no magnetic material, so none need be declared).
class LensMaterial : public meep::material_function {
 public:
  LensMaterial(const PermittivityMap* map, double z_feed, double scale)
      : map_(map), z_feed_(z_feed), scale_(scale) {}
  double chi1p1(meep::field_type ft, const meep::vec& p) override {
    if (ft != meep::E_stuff || map_ == nullptr) return 1.0;
    return map_->At(p.r() / scale_, p.z() / scale_ - z_feed_);
  }

 private:
  const PermittivityMap* map_;
  double z_feed_;
  double scale_;
};

// Whole cells covering a length (the grid is at most some thousands of cells).
std::optional<int> CellsUp(double length, int resolution) {
  const std::optional<int32_t> n = textio::TruncToInt32(std::ceil(length * resolution - 1e-9));
  if (!n || *n < 0 || *n > 100000) return std::nullopt;
  return *n;
}
std::optional<int> CellsDown(double length, int resolution) {
  const std::optional<int32_t> n = textio::TruncToInt32(std::floor(length * resolution + 1e-9));
  if (!n || *n < -100000 || *n > 100000) return std::nullopt;
  return *n;
}

// Frequency-domain samples of the six components along one line of the
// closed surface (`where`, along r when normal_z != 0, else along z), at
// the grid points lo + i·cell, with the line's outward normal.
std::vector<SurfaceSample> LineSamples(meep::fields& f, meep::dft_fields& dft,
                                       const meep::volume& where, double normal_r, double normal_z,
                                       double z_feed, int resolution, std::string* error) {
  static constexpr meep::component kComponents[6] = {meep::Er, meep::Ep, meep::Ez,
                                                     meep::Hr, meep::Hp, meep::Hz};
  const double cell = 1.0 / resolution;
  const meep::vec lo = where.get_min_corner() / resolution,
                  hi = where.get_max_corner() / resolution;
  const bool along_r = normal_z != 0.0;
  const double start = along_r ? lo.r() : lo.z();
  const double span = along_r ? hi.r() - lo.r() : hi.z() - lo.z();
  const auto count = static_cast<std::size_t>(
      std::max(0, textio::TruncToInt32(std::round(span * resolution)).value_or(0)) + 1);
  std::vector<SurfaceSample> out(count);
  for (std::size_t i = 0; i < count; ++i) {
    SurfaceSample& s = out[i];
    const double along = start + static_cast<double>(i) * cell;
    s.r = along_r ? along : lo.r();
    s.z = (along_r ? lo.z() : along) - z_feed;
    s.normal_r = normal_r;
    s.normal_z = normal_z;
  }
  // Trapezoid weights along the line.
  for (std::size_t i = 0; i + 1 < count; ++i) {
    out[i].length += 0.5 * cell;
    out[i + 1].length += 0.5 * cell;
  }

  // The engine gives the fields at the cell centres (half a cell off the
  // grid points) that enclose the line, none at r < 0.
  const double offset = 0.5 * cell;
  double first = std::floor((start - offset) / cell + 1e-6) * cell + offset;
  if (first < 0.0) first += cell;
  for (int c = 0; c < 6; ++c) {
    int rank = 0;
    std::size_t dims[3] = {0, 0, 0};
    std::unique_ptr<std::complex<meep::realnum>[]> values(
        f.get_dft_array(dft, kComponents[c], 0, &rank, dims));
    const std::size_t n = rank == 1 ? dims[0] : 0;
    if (!values || n < 3 ||
        first + static_cast<double>(n - 1) * cell < start + span - 1e-6 * cell) {
      *error = "the engine's frequency-domain fields do not cover the closed surface";
      return {};
    }
    std::vector<Complex> v(n);
    for (std::size_t j = 0; j < n; ++j) v[j] = Complex(values[j]);
    // The components on the axis are not kept up to date by the engine, and
    // the first cell centre off the axis averages them in: extrapolate it
    // from the next two.
    if (along_r && first < cell) v[0] = 2.0 * v[1] - v[2];
    for (std::size_t i = 0; i < count; ++i) {
      const double x = (start + static_cast<double>(i) * cell - first) / cell;
      const std::size_t j = static_cast<std::size_t>(
          std::clamp(textio::TruncToInt32(std::floor(x)).value_or(0), 0, static_cast<int>(n) - 2));
      const double t = x - static_cast<double>(j);
      const Complex value = v[j] + t * (v[j + 1] - v[j]);
      if (c < 3) {
        out[i].e[c] = value;
      } else {
        out[i].h[c - 3] = value;
      }
    }
  }
  return out;
}

}  // namespace

SurfaceRun RunSimulation(const std::optional<LensSection>& lens, const DiscField& disc,
                         const GridOptions& options,
                         const std::function<void(const Progress&)>& progress) {
  SurfaceRun run;
  const int res = options.resolution;
  if (res < 4 || res > 2000) {
    run.error = "the resolution must lie between 4 and 2000 cells per wavelength";
    return run;
  }
  const double cell = 1.0 / res;

  // Extent of lens and feed, then the closed surface and the grid about them.
  double r_max = disc.radius(), z_min = 0.0, z_max = 0.0;
  std::optional<PermittivityMap> map;
  if (lens) {
    map = PermittivityMap::Build(*lens, cell, 0.0, &run.error);
    if (!map) return run;
    for (const torfile::Point& p : lens->outline) {
      r_max = std::max(r_max, p.r);
      z_min = std::min(z_min, p.z);
      z_max = std::max(z_max, p.z);
    }
  }
  const std::optional<int> side = CellsUp(r_max + options.gap, res);
  const std::optional<int> bottom = CellsDown(z_min - options.gap, res);
  const std::optional<int> top = CellsUp(z_max + options.gap, res);
  const std::optional<int> outer = CellsUp(options.margin + options.absorber, res);
  if (!side || !bottom || !top || !outer) {
    run.error = "the lens is too large for the grid";
    return run;
  }
  const int n_r = *side + *outer;
  const int below = *outer - *bottom;  // cells from the grid's bottom to the feed plane
  const int n_z = below + *top + *outer;
  run.cells = static_cast<long>(n_r) * n_z;
  if (run.cells > 40000000L) {
    run.error = "the grid would exceed 40 million cells; lower the resolution";
    return run;
  }
  const double z_feed = below * cell;
  run.r_side = *side * cell;
  run.z_bottom = *bottom * cell;
  run.z_top = *top * cell;

  meep::verbosity = 0;  // the engine's own messages would mix with ours

  // Structure, absorbing layers and fields of angular order m = +1.
  // The engine's unit of length is the cell (whole numbers of cells make a
  // grid it takes without rounding), so its frequency is 1/resolution.
  const double scale = res;
  const double frequency = 1.0 / scale;
  meep::grid_volume gv = meep::volcyl(n_r, n_z, 1.0);
  LensMaterial material(map ? &*map : nullptr, z_feed, scale);
  const meep::boundary_region layers = meep::pml(options.absorber * scale, meep::R, meep::High) +
                                       meep::pml(options.absorber * scale, meep::Z);
  meep::structure structure(gv, material, layers, meep::identity(), 0, 0.5, false);
  meep::fields f(&structure, 1.0);

  // The Huygens disc: J = ẑ × H and M = −ẑ × E for the disc field E_t of
  // circular polarisation (E_r, E_φ) = E_t (1, i), H = ẑ × E. One point
  // current per grid point of each component, of strength E_t · cell: a
  // sheet current.
  const meep::gaussian_src_time pulse(frequency, frequency);
  const struct {
    meep::component c;
    Complex factor;
  } kCurrents[] = {{meep::Er, {-1.0, 0.0}},
                   {meep::Ep, {0.0, -1.0}},
                   {meep::Hr, {0.0, 1.0}},
                   {meep::Hp, {-1.0, 0.0}}};
  for (const auto& current : kCurrents) {
    const double r0 = gv.yee_shift(current.c).r() / scale;
    for (int k = 0;; ++k) {
      const double r = r0 + k * cell;
      if (r > disc.radius()) break;
      if (r <= 0.0) continue;
      f.add_point_source(current.c, pulse, meep::veccyl(r * scale, z_feed * scale),
                         current.factor * disc(r) * cell);
    }
  }

  // Frequency-domain fields on the closed surface.
  meep::component components[6] = {meep::Er, meep::Ep, meep::Ez, meep::Hr, meep::Hp, meep::Hz};
  const double zb = (z_feed + run.z_bottom) * scale, zt = (z_feed + run.z_top) * scale,
               rs = run.r_side * scale, quarter = 0.25 * scale;
  const meep::volume lines[3] = {meep::volume(meep::veccyl(0.0, zb), meep::veccyl(rs, zb)),
                                 meep::volume(meep::veccyl(rs, zb), meep::veccyl(rs, zt)),
                                 meep::volume(meep::veccyl(0.0, zt), meep::veccyl(rs, zt))};
  std::vector<meep::dft_fields> dfts;
  for (const meep::volume& v : lines) {
    dfts.push_back(f.add_dft_fields(components, 6, v, &frequency, 1, true));
  }

  // Run until the field energy at probe points inside the surface has fallen
  // far below its peak. The engine's own stop on the decay of the
  // frequency-domain fields can fail to trigger after a truncated pulse.
  const meep::vec probes[4] = {
      meep::veccyl(quarter, zt - quarter), meep::veccyl(0.5 * rs, zt - quarter),
      meep::veccyl(rs - quarter, 0.5 * (zb + zt)), meep::veccyl(0.5 * rs, 0.5 * (zb + zt))};
  const double source_end = f.last_source_time() / scale;
  double peak = 0.0;
  const double check_every = 0.25;
  double next_check = check_every, next_report = 0.0;
  Progress now;
  now.stop_db = 10.0 * std::log10(options.stop_fraction);
  while (true) {
    f.step();
    const double t = f.time() / scale;
    if (t < next_check) continue;
    next_check += check_every;
    double energy = 0.0;
    for (const meep::vec& p : probes) {
      for (meep::component c : {meep::Er, meep::Ep, meep::Ez})
        energy += std::norm(f.get_field(c, p));
    }
    peak = std::max(peak, energy);
    now.periods = t;
    now.energy_db = peak > 0.0 && energy > 0.0 ? 10.0 * std::log10(energy / peak) : now.stop_db;
    if (progress && peak > 0.0 && t >= next_report) {
      progress(now);
      next_report = t + 5.0;
    }
    if (t > source_end && peak > 0.0 && energy < options.stop_fraction * peak) break;
    if (t > options.max_periods) {
      run.error =
          "the fields did not decay within " + std::to_string(options.max_periods) + " periods";
      return run;
    }
  }
  if (progress && next_report - 5.0 < now.periods) progress(now);  // the last, unless just shown
  run.periods = f.time() / scale;

  // The closed surface: bottom (normal −z), side (+r), top (+z).
  const double normals[3][2] = {{0.0, -1.0}, {1.0, 0.0}, {0.0, 1.0}};
  for (int i = 0; i < 3; ++i) {
    std::vector<SurfaceSample> line =
        LineSamples(f, dfts[static_cast<std::size_t>(i)], lines[i], normals[i][0], normals[i][1],
                    z_feed, res, &run.error);
    if (line.empty()) return run;
    run.surface.insert(run.surface.end(), line.begin(), line.end());
  }
  run.ok = true;
  return run;
}

}  // namespace fullwave
