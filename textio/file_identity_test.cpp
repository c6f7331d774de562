#include "textio/file_identity.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace textio {
namespace {

namespace fs = std::filesystem;

// A scratch folder of its own for each test, the working folder while it runs.
class FileIdentityTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "file_identity_XXXXXX").string();
    ASSERT_NE(nullptr, ::mkdtemp(pattern.data()));
    dir_ = pattern;
    previous_ = fs::current_path();
    fs::current_path(dir_);
    fs::create_directory("sub");
    fs::create_directory_symlink("sub", "sublink");
    std::ofstream("lens.tor") << "lens";
    std::ofstream("other.tor") << "other";
    fs::create_symlink("lens.tor", "soft.tor");
    fs::create_symlink("sub/new.tor", "dangling.tor");
  }
  void TearDown() override {
    fs::current_path(previous_);
    fs::remove_all(dir_);
  }
  fs::path dir_;
  fs::path previous_;
};

TEST_F(FileIdentityTest, NamesReachingOneFile) {
  struct Case {
    const char* fact;
    const char* a;
    const char* b;
    bool same;
  };
  const Case kCases[] = {
      {"a new name through a .. detour", "a.tor", "sub/../a.tor", true},
      {"a new name through a linked folder", "sublink/x.tor", "sub/x.tor", true},
      {"one name in two folders", "a.tor", "sub/a.tor", false},
      {"an existing file and a link to it", "soft.tor", "./lens.tor", true},
      {"two existing files", "lens.tor", "other.tor", false},
      {"an existing file through a missing folder", "missing/../lens.tor", "lens.tor", true},
      {"a dangling link and the name it creates", "dangling.tor", "sublink/new.tor", true},
      {"a device twice has nothing to lose", "/dev/null", "/dev/null", false},
      {"a folder is no file", "sub", "sub", false},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.fact);
    const auto a = IdentifyName(c.a);
    const auto b = IdentifyName(c.b);
    EXPECT_EQ(c.same, a && b && *a == *b);
  }
}

}  // namespace
}  // namespace textio
