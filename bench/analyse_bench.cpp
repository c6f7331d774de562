// Timing of kevrano-tor analyse on the largest lens the design program
// writes: 3501 rays, 101 zones, over 2000 cubic segments, designed at bench
// time by the program itself; traced with 2001 rays and 721 pattern angles.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>

#include "optics/analysis.h"
#include "optics/aperture.h"
#include "torfile/outline.h"
#include "torfile/reader.h"

namespace {

namespace fs = std::filesystem;

// The first example lens with its feed face a sphere about the feed (both
// faces curved) at the finest radial step (3501 rays), zoned at wavelength
// 0.02306 from a least path of 0.05 (101 zones), half of each step on each
// face. (With no least path the zones thin the lens to nothing, and the
// five-digit file then has its faces cross.)
constexpr const char* kScript =
    "report.txt\n1\n2.25\n10 20\n0\n2\n0\n0.002857\n0.02306\n0.5\n0.05\n1\nlens.tor\n3\n0\n0\n";
constexpr double kWavelength = 0.02306;

struct Lens {
  torfile::Mesh file;
  torfile::Outline outline;
};

// Designs the lens with the built program in a fresh folder and reads it.
bool DesignLargestLens(Lens* lens) {
  std::random_device seed;
  const fs::path dir =
      fs::temp_directory_path() / ("kevrano-analyse-bench-" + std::to_string(seed()));
  fs::create_directories(dir);
  std::ofstream(dir / "answers.txt", std::ios::binary) << kScript;
  const std::string command = "cd '" + dir.string() + "' && printf '1\\nanswers.txt\\n' | '" +
                              KEVRANO_BINARY + "' > console.txt";
  bool ok = std::system(command.c_str()) == 0;
  std::ifstream in(dir / "lens.tor", std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::error_code ec;
  fs::remove_all(dir, ec);
  torfile::Problem problem;
  ok = ok && torfile::ParseTor(text, &lens->file, &problem);
  if (!ok) return false;
  torfile::CheckResult check = torfile::CheckOutline(lens->file);
  if (!check.outline) return false;
  lens->outline = *check.outline;
  return true;
}

void BM_AnalyseLargestLens(benchmark::State& state) {
  Lens lens;
  if (!DesignLargestLens(&lens)) {
    state.SkipWithError("the largest lens could not be designed");
    return;
  }
  optics::AnalysisOptions options;
  options.wavelength = kWavelength;
  double efficiency = 0.0;
  for (auto _ : state) {
    std::string error;
    const std::optional<optics::Trace> trace =
        optics::TraceLens(lens.file, lens.outline, 2001, &error);
    const std::optional<optics::ApertureFigures> figures =
        trace ? optics::ComputeApertureFigures(*trace, options, &error) : std::nullopt;
    if (!figures) {
      state.SkipWithError(error.c_str());
      break;
    }
    efficiency = figures->efficiency.aperture;
  }
  state.counters["cubic_segments"] = static_cast<double>(lens.file.cubic.size());
  state.counters["aperture_efficiency"] = efficiency;
}
BENCHMARK(BM_AnalyseLargestLens)->Unit(benchmark::kMillisecond);

}  // namespace
