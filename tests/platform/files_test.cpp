#include "platform/files.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "temp_dir.h"

namespace krvs::platform {

// Prints a case by name, so ctest's test names read as what they test.
static void PrintTo(Durability d, std::ostream* os) { *os << (d == Durability::Synced ? "Synced" : "Regenerable"); }

namespace {

using test::TempDir;

// Sources and settings are synced to the disk, build outputs only reach the page cache; both are atomic.
class WriteFileAtomic : public ::testing::TestWithParam<Durability> {};

TEST_P(WriteFileAtomic, ReplacesContentKeepsModeAndLeavesNoTemporary) {
  TempDir dir;
  std::string path = dir.write("a.txt", "old content that is longer");
  ::chmod(path.c_str(), 0600);
  ASSERT_EQ(writeFileAtomic(path, std::string("new\0bytes", 9), GetParam()), "");
  EXPECT_EQ(readFile(path), std::string("new\0bytes", 9));
  struct stat st {};
  ::stat(path.c_str(), &st);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  int entries = 0;
  for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir.path())) ++entries;
  EXPECT_EQ(entries, 1);
}

TEST_P(WriteFileAtomic, FailureReportsAndKeepsTheOldFile) {
  TempDir dir;
  std::string blocker = dir.write("notadir", "x");
  EXPECT_NE(writeFileAtomic(blocker + "/a.txt", "data", GetParam()), "");
  // A directory in the way of the rename: the temporary is cleaned up, the directory stays.
  std::filesystem::create_directory(dir.file("target"));
  dir.write("target/keep", "k");
  EXPECT_NE(writeFileAtomic(dir.file("target"), "data", GetParam()), "");
  EXPECT_EQ(readFile(dir.file("target/keep")), "k");
  int entries = 0;
  for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir.path())) ++entries;
  EXPECT_EQ(entries, 2);
}

// Written in parts: the old file stays whole until the commit, and an abandoned write leaves nothing.
TEST(AtomicFile, PartsReplaceTheFileOnlyAtTheCommit) {
  TempDir dir;
  std::string path = dir.write("a.obj", "old");
  {
    AtomicFile file(path, Durability::Regenerable);
    ASSERT_EQ(file.write("part one, "), "");
    EXPECT_EQ(readFile(path), "old");
  }  // dropped without a commit
  int entries = 0;
  for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir.path())) ++entries;
  EXPECT_EQ(entries, 1);
  EXPECT_EQ(readFile(path), "old");
  AtomicFile file(path, Durability::Regenerable);
  ASSERT_EQ(file.write("part one, "), "");
  ASSERT_EQ(file.write("part two"), "");
  ASSERT_EQ(file.commit(), "");
  EXPECT_EQ(readFile(path), "part one, part two");
}

INSTANTIATE_TEST_SUITE_P(Durabilities, WriteFileAtomic,
                         ::testing::Values(Durability::Synced, Durability::Regenerable),
                         [](const auto& info) { return info.param == Durability::Synced ? "Synced" : "Regenerable"; });

TEST(FileServices, SizesDirectoriesAndPathParts) {
  TempDir dir;
  std::string path = dir.write("five", "12345");
  EXPECT_EQ(fileSize(path), 5u);
  EXPECT_EQ(fileSize(dir.path()), std::nullopt);
  EXPECT_EQ(fileSize(dir.file("missing")), std::nullopt);
  EXPECT_TRUE(fileExists(path));
  EXPECT_FALSE(fileExists(dir.path()));
  EXPECT_EQ(makeDirectories(dir.file("x/y/z")), "");
  EXPECT_TRUE(isDirectory(dir.file("x/y/z")));
  EXPECT_NE(makeDirectories(path + "/sub"), "");

  EXPECT_EQ(joinPath("/a/", "b"), "/a/b");
  EXPECT_EQ(joinPath("/a", "b"), "/a/b");
  EXPECT_EQ(directoryOf("/a/b/c.asm"), "/a/b");
  EXPECT_EQ(directoryOf("/c.asm"), "/");
  EXPECT_EQ(fileNameOf("/a/b/c.asm"), "c.asm");
}

// HOME wins; without it the tools, linked statically, read the user's entry from /etc/passwd, which
// must agree with the C library's own reading of that file.
TEST(HomeDirectory, HomeVariableFirstThenThePasswdEntry) {
  std::optional<std::string> saved;
  if (const char* h = std::getenv("HOME")) saved = h;
  ::setenv("HOME", "/some/where", 1);
  EXPECT_EQ(homeDirectory(), "/some/where");
  ::unsetenv("HOME");
  std::string expected = "/tmp";
  if (FILE* f = std::fopen("/etc/passwd", "r")) {
    while (const passwd* pw = ::fgetpwent(f)) {
      if (pw->pw_uid == ::getuid() && pw->pw_dir && *pw->pw_dir) {
        expected = pw->pw_dir;
        break;
      }
    }
    std::fclose(f);
  }
  EXPECT_EQ(homeDirectory(), expected);
  if (saved) ::setenv("HOME", saved->c_str(), 1);
}

}  // namespace
}  // namespace krvs::platform
