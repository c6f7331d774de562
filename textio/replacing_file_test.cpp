#include "textio/replacing_file.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace textio {
namespace {

namespace fs = std::filesystem;

// What the whole-program rows cannot see: links, permissions, devices.
TEST(ReplacingFile, ReplacesTheFileItsNameReachesAndKeepsItsPermissions) {
  struct Case {
    const char* fact;
    const char* name;  // written; link.csv -> table.csv
    bool commit;
    const char* want;  // table.csv after
  };
  const Case kCases[] = {
      {"the file is replaced on commit", "table.csv", true, "new"},
      {"a link is kept and its file replaced", "link.csv", true, "new"},
      {"no commit leaves the old file", "table.csv", false, "old"},
  };
  std::string pattern = (fs::temp_directory_path() / "replacing_file_XXXXXX").string();
  ASSERT_NE(nullptr, ::mkdtemp(pattern.data()));
  const fs::path dir = pattern;
  const auto kMode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.fact);
    std::ofstream(dir / "table.csv") << "old";
    fs::permissions(dir / "table.csv", kMode);
    if (!fs::is_symlink(dir / "link.csv")) fs::create_symlink("table.csv", dir / "link.csv");
    int error = 0;
    auto file = ReplacingFile::Open((dir / c.name).string(), &error);
    ASSERT_TRUE(file) << error;
    file->stream() << "new";
    EXPECT_EQ(c.commit, c.commit && file->Commit(&error)) << error;
    file.reset();
    std::ostringstream text;
    text << std::ifstream(dir / "table.csv").rdbuf();
    EXPECT_EQ(c.want, text.str());
    EXPECT_TRUE(fs::is_symlink(dir / "link.csv"));
    EXPECT_EQ(kMode, fs::status(dir / "table.csv").permissions());
    EXPECT_EQ(2, std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
  }
  fs::remove_all(dir);

  // A device is written as it is, never renamed over; a folder is refused.
  int error = 0;
  auto full = ReplacingFile::Open("/dev/full", &error);
  ASSERT_TRUE(full) << error;
  full->stream() << "x";
  EXPECT_FALSE(full->Commit(&error));
  EXPECT_EQ(ENOSPC, error);
  EXPECT_TRUE(fs::is_character_file("/dev/full"));
  EXPECT_FALSE(ReplacingFile::Open(fs::temp_directory_path().string(), &error));
  EXPECT_EQ(EISDIR, error);
}

}  // namespace
}  // namespace textio
