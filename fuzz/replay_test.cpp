// Replays every input the fuzzers ever found troublesome (and the seeds) so
// that a fault they once exposed stays mended.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/fuzz_targets.h"

namespace {

namespace fs = std::filesystem;

template <typename Target>
void ReplayFolder(const fs::path& folder, Target target) {
  ASSERT_TRUE(fs::is_directory(folder)) << folder;
  int replayed = 0;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (!entry.is_regular_file()) continue;
    SCOPED_TRACE(entry.path().string());
    std::ifstream in(entry.path(), std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NO_THROW(target(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
    ++replayed;
  }
  EXPECT_GT(replayed, 0);
}

TEST(FuzzReplay, FreeRead) { ReplayFolder(fs::path(KEVRANO_CORPUS_DIR) / "free_read", fuzz::FuzzFreeRead); }

TEST(FuzzReplay, WholeProgram) { ReplayFolder(fs::path(KEVRANO_CORPUS_DIR) / "kevrano", fuzz::FuzzKevrano); }

}  // namespace
