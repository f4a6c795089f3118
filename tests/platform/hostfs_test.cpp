#include "platform/hostfs.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include "platform/files.h"
#include "temp_dir.h"

namespace krvs::platform {
namespace {

using test::TempDir;
namespace fs = std::filesystem;

TEST(HostFs, InspectTellsFilesDirectoriesAndLinksApartWithoutFollowingLinks) {
  TempDir dir;
  dir.write("a.txt", "12345");
  fs::create_directory(dir.file("sub"));
  fs::create_symlink(dir.file("a.txt"), dir.file("link"));
  EntryInfo file = inspect(dir.file("a.txt"));
  EXPECT_EQ(file.type, EntryType::Regular);
  EXPECT_EQ(file.size, 5u);
  EXPECT_TRUE(file.ownerWritable);
  EXPECT_EQ(inspect(dir.file("sub")).type, EntryType::Directory);
  EXPECT_EQ(inspect(dir.file("link")).type, EntryType::Link);
  EXPECT_EQ(inspect(dir.file("none")).type, EntryType::Missing);

  auto names = listDirectory(dir.path());
  ASSERT_TRUE(names);
  std::sort(names->begin(), names->end());
  EXPECT_EQ(*names, (std::vector<std::string>{"a.txt", "link", "sub"}));
  EXPECT_EQ(listDirectory(dir.file("none")), std::nullopt);
}

TEST(HostFs, OpenRequestsMapToTheirErrors) {
  TempDir dir;
  dir.write("a.txt", "old");
  fs::create_symlink(dir.file("a.txt"), dir.file("link"));
  File f;
  EXPECT_EQ(File::open(dir.file("none"), {}, f), FsError::NotFound);
  EXPECT_EQ(File::open(dir.file("none/x"), {}, f), FsError::NotFound);
  EXPECT_EQ(File::open(dir.file("a.txt/x"), {}, f), FsError::NotDirectory);
  EXPECT_EQ(File::open(dir.file("a.txt"), {Access::ReadWrite, true, true}, f), FsError::Exists);
  EXPECT_EQ(File::open(dir.file("link"), {}, f), FsError::Denied);  // a link is not followed unless asked
  OpenRequest follow;
  follow.followLink = true;
  EXPECT_EQ(File::open(dir.file("link"), follow, f), FsError::None);
  EXPECT_TRUE(f.isOpen());
}

TEST(HostFs, FilesReadWriteSeekAndTruncate) {
  TempDir dir;
  File f;
  ASSERT_EQ(File::open(dir.file("f.bin"), {Access::ReadWrite, true, false, true}, f), FsError::None);
  EXPECT_EQ(f.write("hello world", 11), 11u);
  EXPECT_EQ(f.seek(-5, Whence::End), 6u);
  char buf[8] = {};
  EXPECT_EQ(f.read(buf, sizeof buf), 5u);
  EXPECT_EQ(std::string(buf, 5), "world");
  EXPECT_EQ(f.read(buf, sizeof buf), 0u);  // the end
  EXPECT_EQ(f.writeAt("J", 1, 0), 1u);
  EXPECT_EQ(f.readAt(buf, 5, 0), 5u);
  EXPECT_EQ(std::string(buf, 5), "Jello");
  EXPECT_TRUE(f.truncate(2));
  EXPECT_EQ(f.info().size, 2u);
  EXPECT_TRUE(f.setModified(315532800));  // 1 Jan 1980
  EXPECT_EQ(f.info().modified, 315532800);
  f.close();
  EXPECT_EQ(readFile(dir.file("f.bin")), "Je");
}

TEST(HostFs, ABorrowedDescriptorStaysOpen) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  { File borrowed = File::borrow(fds[1]); }
  EXPECT_EQ(writeAll(fds[1], "x", 1).status, IoStatus::Ok);
  EXPECT_EQ(waitReadable(fds[0], 0), IoStatus::Ok);
  char c = 0;
  IoResult r = readSome(fds[0], &c, 1);
  EXPECT_EQ(r.count, 1u);
  EXPECT_EQ(c, 'x');
  EXPECT_EQ(waitReadable(fds[0], 0), IoStatus::WouldBlock);
  ::close(fds[1]);
  EXPECT_EQ(readSome(fds[0], &c, 1).status, IoStatus::End);
  ::close(fds[0]);
}

TEST(HostFs, EntriesAreRenamedRemovedAndMadeReadOnly) {
  TempDir dir;
  dir.write("a.txt", "x");
  EXPECT_EQ(setOwnerWritable(dir.file("a.txt"), false), FsError::None);
  EXPECT_FALSE(inspect(dir.file("a.txt")).ownerWritable);
  EXPECT_EQ(setOwnerWritable(dir.file("a.txt"), true), FsError::None);
  EXPECT_TRUE(inspect(dir.file("a.txt")).ownerWritable);
  EXPECT_EQ(renamePath(dir.file("a.txt"), dir.file("b.txt")), FsError::None);
  EXPECT_EQ(renamePath(dir.file("a.txt"), dir.file("c.txt")), FsError::NotFound);
  EXPECT_EQ(makeDirectory(dir.file("d")), FsError::None);
  EXPECT_EQ(makeDirectory(dir.file("d")), FsError::Exists);
  dir.write("d/x", "");
  EXPECT_EQ(removeDirectory(dir.file("d")), FsError::Denied);  // not empty
  EXPECT_EQ(removeFile(dir.file("d/x")), FsError::None);
  EXPECT_EQ(removeDirectory(dir.file("d")), FsError::None);
  EXPECT_EQ(removeFile(dir.file("b.txt")), FsError::None);
  EXPECT_EQ(removeFile(dir.file("b.txt")), FsError::NotFound);
}

}  // namespace
}  // namespace krvs::platform
