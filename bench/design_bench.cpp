// Timing of one whole lens design of the largest size: 3501 rays traced, the
// profile table written to the screen and the report.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>
#include <sstream>
#include <string>

#include "design/splenz.h"
#include "textio/units.h"

namespace {

namespace fs = std::filesystem;

// The first example lens (flat feed face, R = 10, E = 20) at the finest step
// the tables take: R/0.002857 + 1.4 = 3501.58, so 3501 rays.
constexpr const char* kLargestDesign = "1\n2.25\n10 20\n0\n1\n0.002857\n";

// A fresh folder for the report, removed when the benchmark ends.
class TempDir {
 public:
  TempDir() {
    std::random_device seed;
    path_ = fs::temp_directory_path() / ("kevrano-bench-" + std::to_string(seed()));
    fs::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

// One design from typed answers: dialogue, synthesis and table.
void BM_Synthesis3501Rays(benchmark::State& state) {
  const TempDir dir;
  const std::string report = (dir.path() / "report.txt").string();
  int32_t rays = 0;
  for (auto _ : state) {
    std::istringstream keyboard(kLargestDesign);
    std::ostringstream screen;
    textio::Units io(keyboard, screen, textio::ConsoleSetup{});
    io.open_text_unit(textio::kReport, report);
    textio::INPUTL inputl;
    design::SPLENZ splenz(io, inputl);
    float eps = 0.0f, rlens = 0.0f, edge = 0.0f;
    splenz(eps, rays, rlens, edge);
    io.CloseAll();
    benchmark::DoNotOptimize(screen.str().size());
  }
  if (rays != design::kMaxRays) state.SkipWithError("the design did not trace 3501 rays");
  state.counters["rays"] = rays;
}
BENCHMARK(BM_Synthesis3501Rays)->Unit(benchmark::kMillisecond);

}  // namespace
