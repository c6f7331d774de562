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

std::string Read(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

class ReplacingFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "replacing_file_XXXXXX").string();
    ASSERT_NE(nullptr, ::mkdtemp(pattern.data()));
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Names in the folder, to see that no temporary file stays behind.
  std::size_t Entries() const {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(dir_), fs::directory_iterator()));
  }
  fs::path dir_;
};

TEST_F(ReplacingFileTest, CompleteWriteReplacesTheFileItsNameReaches) {
  struct Case {
    const char* fact;
    bool old_file;  // table.csv exists before
    bool via_link;  // written through link.csv -> table.csv
    bool commit;
    const char* want;  // table.csv after
  };
  const Case kCases[] = {
      {"a new file appears on commit", false, false, true, "new\n"},
      {"an old file is replaced on commit", true, false, true, "new\n"},
      {"a link is kept and its file replaced", true, true, true, "new\n"},
      {"a dangling link creates its file", false, true, true, "new\n"},
      {"no commit leaves the old file", true, false, false, "old\n"},
      {"no commit creates no file", false, false, false, ""},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.fact);
    fs::remove_all(dir_);
    fs::create_directory(dir_);
    const fs::path table = dir_ / "table.csv";
    if (c.old_file) {
      std::ofstream(table) << "old\n";
      fs::permissions(table,
                      fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    }
    if (c.via_link) fs::create_symlink("table.csv", dir_ / "link.csv");
    const std::size_t before = Entries();
    {
      int error = 0;
      auto file =
          ReplacingFile::Open((dir_ / (c.via_link ? "link.csv" : "table.csv")).string(), &error);
      ASSERT_TRUE(file) << error;
      file->stream() << "new\n";
      if (c.commit) {
        EXPECT_TRUE(file->Commit(&error)) << error;
      }
    }
    EXPECT_EQ(c.want, Read(table));
    EXPECT_EQ(before + (c.commit && !c.old_file ? 1u : 0u), Entries());
    if (c.via_link) {
      EXPECT_TRUE(fs::is_symlink(dir_ / "link.csv"));
    }
    if (c.old_file) {
      EXPECT_EQ(fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read,
                fs::status(table).permissions());
    }
  }
}

TEST_F(ReplacingFileTest, DeviceIsWrittenDirectly) {
  int error = 0;
  auto full = ReplacingFile::Open("/dev/full", &error);
  ASSERT_TRUE(full) << error;
  full->stream() << "x";
  EXPECT_FALSE(full->Commit(&error));
  EXPECT_EQ(ENOSPC, error);
  EXPECT_TRUE(fs::is_character_file("/dev/full"));

  EXPECT_FALSE(ReplacingFile::Open(dir_.string(), &error));
  EXPECT_EQ(EISDIR, error);
}

}  // namespace
}  // namespace textio
