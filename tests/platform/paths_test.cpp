#include "platform/paths.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "temp_dir.h"

namespace krvs::platform {
namespace {

using test::TempDir;
namespace fs = std::filesystem;

TEST(ProgramHome, WritableExecutableDirectoryIsTheHome) {
  TempDir exe, data;
  ProgramHome home = programHome(exe.path(), data.path());
  EXPECT_EQ(home.dir, exe.path());
  EXPECT_EQ(home.error, "");
  EXPECT_FALSE(fs::exists(data.file("Korvash")));
}

TEST(ProgramHome, InstalledCopyIsLinkedIntoTheDataHome) {
  TempDir install, data;
  install.write("korvash", "elf");
  install.write("KRVS.html", "<html>");
  install.write("KRVS.Ini", "[stale]");
  install.write("Bin/TASM.Exe", "tasm");
  install.write("Bin/TLink.Exe", "tlink");
  std::string home = data.file("Korvash");
  ASSERT_EQ(populateHome(install.path(), home), "");

  EXPECT_TRUE(fs::is_directory(home + "/Bin"));
  EXPECT_FALSE(fs::is_symlink(home + "/Bin"));  // the IDE writes TASM.CFG there
  EXPECT_EQ(fs::read_symlink(home + "/Bin/TASM.Exe"), install.file("Bin/TASM.Exe"));
  EXPECT_EQ(readFile(home + "/Bin/TLink.Exe"), "tlink");
  EXPECT_EQ(readFile(home + "/KRVS.html"), "<html>");
  EXPECT_TRUE(fs::is_symlink(home + "/korvash"));
  EXPECT_FALSE(fs::exists(home + "/KRVS.Ini"));

  // A second start after an upgrade: new tools appear, the user's own files stay untouched.
  install.write("Bin/DEBUG.EXE", "debug");
  data.write("Korvash/Bin/TASM.CFG", "/zi");
  fs::remove(home + "/Bin/TLink.Exe");
  fs::create_symlink("/nonexistent/TLink.Exe", home + "/Bin/TLink.Exe");
  ASSERT_EQ(populateHome(install.path(), home), "");
  EXPECT_EQ(readFile(home + "/Bin/DEBUG.EXE"), "debug");
  EXPECT_EQ(readFile(home + "/Bin/TLink.Exe"), "tlink");
  EXPECT_EQ(readFile(home + "/Bin/TASM.CFG"), "/zi");
}

TEST(ProgramHome, UnusableDataHomeReportsAndFallsBack) {
  TempDir install, data;
  std::string blocker = data.write("file", "x");
  EXPECT_NE(populateHome(install.path(), blocker + "/Korvash"), "");
}

struct ShortPathCase {
  const char* name;
  const char* relative;  // below the temp dir
  bool isDirectory;
};

void PrintTo(const ShortPathCase& c, std::ostream* os) { *os << c.relative; }

class ShortPathTest : public ::testing::TestWithParam<ShortPathCase> {};

TEST_P(ShortPathTest, HasNoBlankAndNamesTheSameFile) {
  TempDir dir, cache;
  const ShortPathCase& c = GetParam();
  std::string path = dir.file(c.relative);
  if (c.isDirectory) {
    fs::create_directories(path);
  } else {
    dir.write(c.relative, c.relative);
  }
  Error error = "unset";
  std::string shortened = shortPath(path, &error, cache.path());
  EXPECT_EQ(error, "");
  EXPECT_EQ(shortened.find(' '), std::string::npos) << shortened;
  EXPECT_TRUE(fs::equivalent(shortened, path));
  if (std::string(c.relative).find(' ') == std::string::npos) {
    EXPECT_EQ(shortened, path);
  }
  // Stable: the same input gives the same link.
  EXPECT_EQ(shortPath(path, &error, cache.path()), shortened);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, ShortPathTest,
    ::testing::Values(ShortPathCase{"plain", "src/a.asm", false},
                      ShortPathCase{"blankInDirectory", "my src/deep er/a.asm", false},
                      ShortPathCase{"blankInName", "src/my prog.asm", false},
                      ShortPathCase{"blankDirectoryItself", "my dir", true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ShortPath, ExtensionOfALinkedFileIsKept) {
  TempDir dir, cache;
  std::string path = dir.write("my prog.asm", "x");
  std::string shortened = shortPath(path, nullptr, cache.path());
  // The assembler derives .OBJ and .LST from it, so the extension must survive.
  ASSERT_GE(shortened.size(), 4u);
  EXPECT_EQ(shortened.substr(shortened.size() - 4), ".asm");
}

TEST(ShortPath, UnusableCacheReturnsThePathWithAnError) {
  TempDir dir;
  std::string blocker = dir.write("cache", "x");
  Error error;
  EXPECT_EQ(shortPath("/a b/c.asm", &error, blocker), "/a b/c.asm");
  EXPECT_NE(error, "");
}

}  // namespace
}  // namespace krvs::platform
