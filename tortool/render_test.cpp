// Renders drawings of the tool with headless Chromium and looks at the
// pictures. Each case makes an SVG and checks the screenshot; the test is
// skipped, with one line saying so, where Chromium is not installed.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

#include "textio/checked.h"
#include "torfile/test_support.h"
#include "tortool/png_read.h"

namespace tortool {

namespace {

namespace fs = std::filesystem;

bool Shell(const std::string& command) { return std::system(command.c_str()) == 0; }

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

/// The whole pixels of the attribute `name` in the first tag of `svg` that has it.
int32_t Attribute(const std::string& svg, const std::string& name) {
  const std::size_t at = svg.find(" " + name + "=\"");
  if (at == std::string::npos) return 0;
  return textio::TruncToInt32(std::atof(svg.c_str() + at + name.size() + 3)).value_or(0);
}

bool Near(const std::array<uint8_t, 4>& p, int r, int g, int b) {
  return std::abs(p[0] - r) < 24 && std::abs(p[1] - g) < 24 && std::abs(p[2] - b) < 24;
}

/// One drawing: `make` writes an SVG into the folder and returns its path;
/// `check` looks at the screenshot of it.
struct RenderCase {
  const char* name;
  std::function<fs::path(const fs::path& folder)> make;
  std::function<void(const testing::Image& image, const std::string& svg)> check;
};

/// `kevrano-tor svg` of a tor file written into the folder.
fs::path ToolSvg(const fs::path& folder, const std::string& tor) {
  std::ofstream(folder / "lens.tor", std::ios::binary) << tor;
  const fs::path svg = folder / "lens.svg";
  EXPECT_TRUE(Shell(std::string(KEVRANO_TOR_BINARY) + " svg '" + (folder / "lens.tor").string() +
                    "' >'" + svg.string() + "'"));
  return svg;
}

// Not blank: the lens fill, its outline and the red zone steps are there, as
// much of the lens above the axis as below it.
void CheckZonedLens(const testing::Image& image, const std::string& svg) {
  int64_t ink = 0;
  int64_t red = 0;
  std::array<int64_t, 2> fill{};
  const std::size_t dash = svg.find("stroke-dasharray");
  ASSERT_NE(std::string::npos, dash) << "no lens axis in the drawing";
  const int32_t axis_y = Attribute(svg.substr(dash < 60 ? 0 : dash - 60), "y1");
  for (int32_t y = 0; y < image.height; ++y) {
    for (int32_t x = 0; x < image.width; ++x) {
      const auto& p = image.At(x, y);
      if (!Near(p, 255, 255, 255)) ++ink;
      if (Near(p, 0xc0, 0x39, 0x2b)) ++red;
      if (Near(p, 0xd6, 0xe6, 0xf5) && y != axis_y) ++fill[y < axis_y ? 0 : 1];
    }
  }
  EXPECT_GT(ink, int64_t{image.width} * image.height / 100) << "the picture is blank";
  EXPECT_GT(red, 50) << "no zone steps drawn";
  EXPECT_GT(fill[0], 2000) << "no lens above the axis";
  EXPECT_NEAR(static_cast<double>(fill[0]), static_cast<double>(fill[1]),
              0.05 * static_cast<double>(fill[0]))
      << "the halves differ";
}

// The analysis page: the lens with its traced rays in orange, and the two
// plots' curves in the lens's dark blue, all on a white page.
void CheckAnalysis(const testing::Image& image, const std::string&) {
  int64_t ink = 0;
  int64_t rays = 0;
  int64_t curves = 0;
  for (int32_t y = 0; y < image.height; ++y) {
    for (int32_t x = 0; x < image.width; ++x) {
      const auto& p = image.At(x, y);
      if (!Near(p, 255, 255, 255)) ++ink;
      if (Near(p, 0xe6, 0x7e, 0x22)) ++rays;
      if (Near(p, 0x1f, 0x4e, 0x79)) ++curves;
    }
  }
  EXPECT_GT(ink, int64_t{image.width} * image.height / 100) << "the picture is blank";
  EXPECT_GT(rays, 200) << "no rays drawn";
  EXPECT_GT(curves, 500) << "no lens outline or plotted curves";
}

const RenderCase kCases[] = {
    {"zoned hyperbolic lens",
     [](const fs::path& folder) {
       torfile::testing::LensData lens = torfile::testing::HyperbolicLens();
       lens.FR = 0.5f;
       return ToolSvg(folder, torfile::testing::Export(lens));
     },
     CheckZonedLens},
    {"analysis of a zoned lens",
     [](const fs::path& folder) {
       torfile::testing::LensData lens = torfile::testing::HyperbolicLens();
       lens.FR = 0.5f;
       std::ofstream(folder / "lens.tor", std::ios::binary) << torfile::testing::Export(lens);
       const fs::path svg = folder / "analysis.svg";
       EXPECT_TRUE(Shell(std::string(KEVRANO_TOR_BINARY) + " analyse '" +
                         (folder / "lens.tor").string() + "' --wavelength 1 --svg '" +
                         svg.string() + "' >/dev/null"));
       return svg;
     },
     CheckAnalysis},
};

class RenderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string templ = (fs::temp_directory_path() / "kevrano-render-XXXXXX").string();
    ASSERT_NE(nullptr, mkdtemp(templ.data()));
    folder_ = templ;
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }
  fs::path folder_;
};

TEST_F(RenderTest, ChromiumDrawsEachCase) {
  if (!Shell("command -v chromium >/dev/null 2>&1")) {
    GTEST_SKIP() << "chromium is not installed (scripts/deps.sh ci installs it)";
  }
  for (const RenderCase& c : kCases) {
    SCOPED_TRACE(c.name);
    const fs::path work = folder_ / std::to_string(&c - kCases);
    fs::create_directory(work);
    const fs::path svg_path = c.make(work);
    const std::string svg = ReadBytes(svg_path);
    const int32_t width = Attribute(svg, "width");
    const int32_t height = Attribute(svg, "height");
    ASSERT_GT(width, 100);
    ASSERT_GT(height, 100);

    // Headless screenshot in a fresh profile. Chromium runs in the case's
    // folder and keeps all it writes there (no crash reporter, which would
    // outlive it); its temporary folder is named relative to it, as the path
    // of the socket it makes there must stay short however long TMPDIR is.
    const std::string command =
        "cd '" + work.string() + "' && HOME=. TMPDIR=. timeout 120 chromium --headless" +
        " --no-sandbox --disable-gpu --disable-quic --no-first-run" +
        " --disable-background-networking --disable-component-update --disable-sync" +
        " --disable-breakpad --disable-crash-reporter --hide-scrollbars" +
        " --user-data-dir=profile --screenshot=shot.png --window-size=" + std::to_string(width) +
        "," + std::to_string(height) + " 'file://" + svg_path.string() + "' >chromium.log 2>&1";
    ASSERT_TRUE(Shell(command)) << ReadBytes(work / "chromium.log");
    testing::Image image;
    std::string error;
    ASSERT_TRUE(testing::DecodePng(ReadBytes(work / "shot.png"), &image, &error)) << error;
    ASSERT_EQ(width, image.width);
    c.check(image, svg);
  }
}

}  // namespace
}  // namespace tortool
