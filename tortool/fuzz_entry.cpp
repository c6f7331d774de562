#include "tortool/fuzz_entry.h"

#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>

#include "tortool/outline.h"
#include "tortool/stl.h"
#include "tortool/svg.h"
#include "tortool/tor_file.h"

namespace tortool {

int FuzzTorInput(const uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  TorFile file;
  Problem error;
  if (!ParseTor(text, &file, &error)) {
    if (error.line < 1 || error.message.empty()) std::abort();
    return 0;
  }
  const CheckResult check = CheckOutline(file);
  if (!check.outline) {
    if (check.errors.empty()) std::abort();
    // The drawing of the failing outline, its problems marked
    if (RenderProblemSvg(file, check.errors, "fuzz").find("nan") != std::string::npos) {
      std::abort();
    }
    return 0;
  }
  const Summary s = Summarize(file, *check.outline);
  if (!(s.volume > 0.0) || !std::isfinite(s.volume) || !std::isfinite(s.lens_radius)) {
    std::abort();
  }
  const std::string svg = RenderSvg(file, *check.outline, "fuzz");
  if (svg.find("nan") != std::string::npos || svg.find("inf") != std::string::npos) std::abort();
  std::ostringstream stl;
  std::string stl_error;
  if (WriteStl(file, *check.outline, kMinStlSegments, stl, &stl_error) && stl.str().size() < 84) {
    std::abort();
  }
  return 0;
}

}  // namespace tortool
