// Renders the drawing of a zoned lens with headless Chromium and looks at the
// picture. Chromium is installed with apt-get when it is missing; the test is
// skipped, with the reason, when it cannot be had.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "textio/checked.h"
#include "tortool/png_read.h"
#include "tortool/test_support.h"

namespace tortool {
namespace {

namespace fs = std::filesystem;

bool Shell(const std::string& command) { return std::system(command.c_str()) == 0; }

bool HaveChromium() { return Shell("command -v chromium >/dev/null 2>&1"); }

/// Installs the Debian package when possible; returns why not otherwise.
std::string InstallChromium(const fs::path& log) {
  if (geteuid() != 0) return "not root, so apt-get cannot install it";
  if (!Shell("command -v apt-get >/dev/null 2>&1")) return "no apt-get on this machine";
  const std::string install =
      "DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends chromium >>" +
      log.string() + " 2>&1";
  if (Shell(install) || (Shell("apt-get update >>" + log.string() + " 2>&1") && Shell(install))) {
    if (HaveChromium()) return "";
  }
  return "apt-get could not install it (see " + log.string() + ")";
}

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

class RenderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::path(::testing::TempDir()) / ("kevrano_tor_render_" + std::to_string(getpid()));
    fs::create_directories(folder_);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }
  fs::path folder_;
};

TEST_F(RenderTest, ChromiumDrawsTheZonedLens) {
  if (!HaveChromium()) {
    const std::string why =
        InstallChromium(fs::path(::testing::TempDir()) / "chromium-install.log");
    if (!why.empty()) GTEST_SKIP() << "chromium is missing and " << why;
  }

  // The drawing, made by the tool itself from an exported zoned lens
  testing::LensData lens = testing::HyperbolicLens();
  lens.FR = 0.5f;
  std::ofstream(folder_ / "lens.tor", std::ios::binary) << testing::Export(lens);
  ASSERT_TRUE(Shell(std::string(KEVRANO_TOR_BINARY) + " svg " + (folder_ / "lens.tor").string() +
                    " >" + (folder_ / "lens.svg").string()));
  const std::string svg = ReadBytes(folder_ / "lens.svg");
  const int32_t width = Attribute(svg, "width");
  const int32_t height = Attribute(svg, "height");
  ASSERT_GT(width, 100);
  ASSERT_GT(height, 100);

  // Headless screenshot in a fresh profile
  const fs::path png = folder_ / "lens.png";
  const std::string command =
      "HOME=" + folder_.string() + " timeout 120 chromium --headless --no-sandbox --disable-gpu" +
      " --disable-quic --no-first-run --disable-background-networking" +
      " --disable-component-update --disable-sync --hide-scrollbars" +
      " --user-data-dir=" + (folder_ / "profile").string() + " --screenshot=" + png.string() +
      " --window-size=" + std::to_string(width) + "," + std::to_string(height) + " file://" +
      (folder_ / "lens.svg").string() + " >" + (folder_ / "chromium.log").string() + " 2>&1";
  ASSERT_TRUE(Shell(command)) << ReadBytes(folder_ / "chromium.log");
  testing::Image image;
  std::string error;
  ASSERT_TRUE(testing::DecodePng(ReadBytes(png), &image, &error)) << error;
  ASSERT_EQ(width, image.width);

  // Not blank: the lens fill, its outline and the red zone steps are there,
  // as much of the lens above the axis as below it
  auto near = [](const std::array<uint8_t, 4>& p, int r, int g, int b) {
    return std::abs(p[0] - r) < 24 && std::abs(p[1] - g) < 24 && std::abs(p[2] - b) < 24;
  };
  int64_t ink = 0;
  int64_t red = 0;
  std::array<int64_t, 2> fill{};
  const int32_t axis_y = Attribute(svg.substr(svg.find("stroke-dasharray") - 60), "y1");
  for (int32_t y = 0; y < image.height; ++y) {
    for (int32_t x = 0; x < image.width; ++x) {
      const auto& p = image.At(x, y);
      if (!near(p, 255, 255, 255)) ++ink;
      if (near(p, 0xc0, 0x39, 0x2b)) ++red;
      if (near(p, 0xd6, 0xe6, 0xf5) && y != axis_y) ++fill[y < axis_y ? 0 : 1];
    }
  }
  EXPECT_GT(ink, int64_t{image.width} * image.height / 100) << "the picture is blank";
  EXPECT_GT(red, 50) << "no zone steps drawn";
  EXPECT_GT(fill[0], 2000) << "no lens above the axis";
  EXPECT_NEAR(static_cast<double>(fill[0]), static_cast<double>(fill[1]),
              0.05 * static_cast<double>(fill[0]))
      << "the halves differ";
}

}  // namespace
}  // namespace tortool
