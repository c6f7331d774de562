#include "textio/file_identity.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

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
    fs::create_hard_link("lens.tor", "hard.tor");
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
      {"a new name and its ./ spelling", "a.tor", "./a.tor", true},
      {"a new name through a .. detour", "a.tor", "sub/../a.tor", true},
      {"a new name through a linked folder", "sublink/x.tor", "sub/x.tor", true},
      {"two new names", "a.tor", "b.tor", false},
      {"one name in two folders", "a.tor", "sub/a.tor", false},
      {"an existing file and its hard link", "lens.tor", "hard.tor", true},
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

TEST_F(FileIdentityTest, OpenDescriptorIsTheFileItReads) {
  const int fd = ::open("hard.tor", O_RDONLY);
  ASSERT_GE(fd, 0);
  const auto by_fd = IdentifyDescriptor(fd);
  ::close(fd);
  ASSERT_TRUE(by_fd);
  EXPECT_EQ(*by_fd, *IdentifyName("soft.tor"));
}

TEST_F(FileIdentityTest, ClashNamesBothFilesInTheOrderGiven) {
  struct Output {
    bool input;
    const char* label;
    const char* path;
  };
  struct Case {
    const char* fact;
    std::vector<Output> files;
    const char* want;  // nullptr: no clash
  };
  const Case kCases[] = {
      {"two inputs may be one file", {{true, "A", "lens.tor"}, {true, "B", "hard.tor"}}, nullptr},
      {"an output over the input",
       {{true, "the lens", "lens.tor"}, {false, "--csv 'soft.tor'", "soft.tor"}},
       "the lens and --csv 'soft.tor' are the same file: name another file"},
      {"an input named after the output",
       {{false, "--csv 'hard.tor'", "hard.tor"}, {true, "the lens", "lens.tor"}},
       "--csv 'hard.tor' and the lens are the same file: name another file"},
      {"two new outputs, the first pair wins",
       {{false, "report", "r.txt"}, {false, "tor", "x.tor"}, {false, "tor 2", "./r.txt"},
        {false, "tor 3", "x.tor"}},
       "report and tor 2 are the same file: name another file"},
      {"control characters shown as ?",
       {{false, "--svg 'a\x1b.svg'", "a.svg"}, {false, "--csv", "./a.svg"}},
       "--svg 'a?.svg' and --csv are the same file: name another file"},
      {"distinct files", {{false, "A", "a.tor"}, {false, "B", "b.tor"}}, nullptr},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.fact);
    RunFiles files;
    for (const Output& f : c.files) {
      if (f.input) {
        files.AddInput(f.label, f.path);
      } else {
        files.AddOutput(f.label, f.path);
      }
    }
    const auto clash = files.Clash();
    if (c.want == nullptr) {
      EXPECT_FALSE(clash) << *clash;
    } else {
      EXPECT_EQ(c.want, clash.value_or("(no clash)"));
    }
  }
}

}  // namespace
}  // namespace textio
