#include "fuzz/fuzz_targets.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "driver/kevrano.h"
#include "textio/failure.h"
#include "textio/fixed_format.h"
#include "textio/free_read.h"
#include "textio/layout.h"

namespace fuzz {

int FuzzFreeRead(const uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  int32_t side = 0;
  float radius = 0.0f;
  float edge = 0.0f;
  int32_t count = 0;
  const textio::FreeTarget targets[] = {&side, &radius, &edge, &count};
  std::size_t next = 0;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    const textio::FreeStatus status = textio::ParseFreeLine(text.substr(start, end - start), targets, next);
    if (status != textio::FreeStatus::kNeedMore || next >= 4) next = 0;
    start = end + 1;
  }
  // Whatever was read renders in every field kind without fault.
  const std::vector<textio::Value> values{side, radius, edge, count};
  (void)textio::FreeRecord(values);
  for (float v : {radius, edge}) {
    (void)textio::RenderFixed(v, 8, 3);
    (void)textio::RenderExp(v, 12, 4, 1);
    (void)textio::RenderExp(v, 9, 3, 0);
  }
  return 0;
}

int FuzzKevrano(const uint8_t* data, std::size_t size) {
  std::string folder = (std::filesystem::temp_directory_path() / "kevrano-fuzz-XXXXXX").string();
  if (mkdtemp(folder.data()) == nullptr) return 0;
  {
    std::ofstream script(folder + "/answers.txt", std::ios::binary);
    script.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  std::istringstream keyboard("1\nanswers.txt\n");
  std::ostringstream screen;
  {
    textio::Units io(keyboard, screen, textio::ConsoleSetup{});
    io.ConfineFilesTo(folder);
    try {
      driver::KEVRANO(io);
    } catch (const textio::Failure&) {
      // A run that ends with its diagnostic is a normal outcome here.
    }
  }
  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
  return 0;
}

}  // namespace fuzz
