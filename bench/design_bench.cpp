// Timing of whole lens designs of the largest size: 3501 rays traced and the
// profile table written; then zoned into 101 zones and exported to a tor
// file; and the same design run by the program itself from a script, with
// its instruction count under valgrind. Then sweeps of 1000 designs of the
// bundled example: from one design file, and as a shell loop of commands.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "design/splenz.h"
#include "textio/failure.h"
#include "textio/units.h"

namespace {

namespace fs = std::filesystem;

// The first example lens (flat feed face, R = 10, E = 20) at the finest step
// the tables take: R/0.002857 + 1.4 = 3501.58, so 3501 rays.
constexpr const char* kLargestDesign = "1\n2.25\n10 20\n0\n1\n0.002857\n";
// Zoned at wavelength 0.0233 (zone step 0.0466, 4.7214/0.0466 = 101.3 zones),
// half of each step on each face; then no tor file, or one in millimetres.
constexpr const char* kZonedNoExport = "0.0233\n0.5\n0\n0\n";
constexpr const char* kZonedAndExported = "0.0233\n0.5\n0\n1\n@TOR@\n3\n0\n";

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

// `answers` with "@TOR@" replaced by the tor file's path.
std::string WithTorFile(std::string answers, const fs::path& tor) {
  const std::size_t at = answers.find("@TOR@");
  if (at != std::string::npos) answers.replace(at, 5, tor.string());
  return answers;
}

// One design from typed answers, run in the process: dialogue, synthesis and
// table, then the zoning answers given.
void RunDesign(benchmark::State& state, const std::string& zoning) {
  const TempDir dir;
  const std::string report = (dir.path() / "report.txt").string();
  const std::string answers = WithTorFile(kLargestDesign + zoning, dir.path() / "lens.tor");
  int32_t rays = 0;
  for (auto _ : state) {
    std::istringstream keyboard(answers);
    std::ostringstream screen;
    textio::Units io(keyboard, screen, textio::ConsoleSetup{});
    io.open_text_unit(textio::kReport, report);
    textio::INPUTL inputl;
    design::SPLENZ splenz(io, inputl);
    float eps = 0.0f, rlens = 0.0f, edge = 0.0f;
    try {
      splenz(eps, rays, rlens, edge);
    } catch (const textio::Failure&) {
      // The synthesis-only answers end where the zoning would ask on.
    }
    io.CloseAll();
    benchmark::DoNotOptimize(screen.str().size());
  }
  if (rays != design::kMaxRays) state.SkipWithError("the design did not trace 3501 rays");
  state.counters["rays"] = rays;
}

// Synthesis alone: the answers end after the table.
void BM_Synthesis3501Rays(benchmark::State& state) { RunDesign(state, ""); }
BENCHMARK(BM_Synthesis3501Rays)->Unit(benchmark::kMillisecond);

void BM_Zoning101Zones(benchmark::State& state) { RunDesign(state, kZonedNoExport); }
BENCHMARK(BM_Zoning101Zones)->Unit(benchmark::kMillisecond);

void BM_ZoningAndTorExport(benchmark::State& state) { RunDesign(state, kZonedAndExported); }
BENCHMARK(BM_ZoningAndTorExport)->Unit(benchmark::kMillisecond);

// The program as a user runs it: a process reading a script of answers, with
// the console sent to a file. Wall-clock time, start-up included.
void BM_WholeProcessFromScript(benchmark::State& state) {
  const TempDir dir;
  {
    std::ofstream script(dir.path() / "answers.txt", std::ios::binary);
    script << WithTorFile(std::string("report.txt\n") + kLargestDesign + kZonedAndExported + "0\n",
                          "lens.tor");
  }
  const std::string command = "cd '" + dir.path().string() +
                              "' && printf '1\\nanswers.txt\\n' | '" KEVRANO_BINARY
                              "' > console.txt";
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) {
      state.SkipWithError("the program failed");
      break;
    }
  }
  if (!fs::exists(dir.path() / "lens.tor")) state.SkipWithError("no tor file was written");
}
BENCHMARK(BM_WholeProcessFromScript)->Unit(benchmark::kMillisecond)->UseRealTime();

// The largest design's instructions, counted by valgrind's callgrind tool
// (the goal is at most 100 million).
void BM_WholeProcessInstructions(benchmark::State& state) {
  const TempDir dir;
  {
    std::ofstream script(dir.path() / "answers.txt", std::ios::binary);
    script << WithTorFile(std::string("report.txt\n") + kLargestDesign + kZonedAndExported + "0\n",
                          "lens.tor");
  }
  const std::string command =
      "cd '" + dir.path().string() +
      "' && valgrind --tool=callgrind --callgrind-out-file=/dev/null '" KEVRANO_BINARY
      "' answers.txt > console.txt 2> valgrind.txt";
  double instructions = 0.0;
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) {
      state.SkipWithError("valgrind did not run the program");
      break;
    }
    std::ifstream log(dir.path() / "valgrind.txt");
    std::string line;
    while (std::getline(log, line)) {
      const std::size_t at = line.find("Collected : ");
      if (at != std::string::npos) instructions = std::stod(line.substr(at + 12));
    }
  }
  state.counters["instructions"] = instructions;
}
BENCHMARK(BM_WholeProcessInstructions)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

constexpr int kSweepDesigns = 1000;

// The bundled example's settings as a design file of 1000 designs, each with
// its own tor file.
void WriteSweepFile(const fs::path& file) {
  std::ofstream toml(file, std::ios::binary);
  toml << "report = \"sweep.txt\"\ninner = \"flat\"\neps = 2.25\nradius = 10\nedge = 20\n"
          "edge-thickness = 0\nradial-step = 1\nwavelength = 1\nfeed-share = 0.5\n"
          "min-path = 0.5\nunits = \"mm\"\noffset = 0\n";
  for (int i = 0; i < kSweepDesigns; ++i) {
    toml << "[[design]]\ntor = \"lens" << i << ".tor\"\n";
  }
}

// One process runs the whole sweep from a design file, JSON summaries on.
void BM_Sweep1000DesignsFromFile(benchmark::State& state) {
  const TempDir dir;
  WriteSweepFile(dir.path() / "sweep.toml");
  const std::string command = "cd '" + dir.path().string() +
                              "' && '" KEVRANO_BINARY
                              "' design --file sweep.toml --json > summary.json";
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) {
      state.SkipWithError("the program failed");
      break;
    }
  }
  state.counters["designs"] = kSweepDesigns;
}
BENCHMARK(BM_Sweep1000DesignsFromFile)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// One process per design, as a shell loop runs it: start-up of each process
// included, so this depends on how busy the machine is.
void BM_Sweep1000DesignsShellLoop(benchmark::State& state) {
  const TempDir dir;
  const std::string command =
      "cd '" + dir.path().string() + "' && i=0; while [ $i -lt " + std::to_string(kSweepDesigns) +
      " ]; do '" KEVRANO_BINARY
      "' design --inner flat --eps 2.25 --radius 10 --edge 20 "
      "--edge-thickness 0 --radial-step 1 --wavelength 1 --feed-share 0.5 --min-path 0.5 "
      "--tor lens$i.tor --units mm --offset 0 --report report$i.txt --json >> summary.json "
      "|| exit 1; i=$((i+1)); done";
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) {
      state.SkipWithError("the program failed");
      break;
    }
  }
  state.counters["designs"] = kSweepDesigns;
}
BENCHMARK(BM_Sweep1000DesignsShellLoop)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

}  // namespace
