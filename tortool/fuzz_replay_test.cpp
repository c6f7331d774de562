// Replays the fuzzer's findings and seeds, kept in testdata/fuzz.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "torfile/test_support.h"
#include "tortool/fuzz_entry.h"

namespace tortool {

namespace testing = torfile::testing;
namespace {

TEST(FuzzReplay, EveryKeptInputRunsCleanly) {
  std::vector<std::filesystem::path> inputs;
  for (const auto& entry : std::filesystem::directory_iterator(testing::TestDataPath("fuzz"))) {
    inputs.push_back(entry.path());
  }
  std::sort(inputs.begin(), inputs.end());
  ASSERT_FALSE(inputs.empty());
  for (const std::filesystem::path& path : inputs) {
    SCOPED_TRACE(path.filename().string());
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(0, FuzzTorInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
  }
}

}  // namespace
}  // namespace tortool
