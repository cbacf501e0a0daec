#include "upload/file_ops.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>

#include "support/poll.h"
#include "support/temp_dir.h"

namespace vidralo {
namespace {

using test::readFile;
using test::TempDir;

// Both ways of asking: the kernel's lease and the look through /proc.
class FileInUse : public ::testing::TestWithParam<bool (*)(const std::string&)> {
 protected:
  bool isFileInUse(const std::string& path) { return GetParam()(path); }
};

INSTANTIATE_TEST_SUITE_P(BothWays, FileInUse, ::testing::Values(&vidralo::isFileInUse, &isFileInUseByAnyProcess));

TEST_P(FileInUse, OnlyAnOpenWriterMakesAFileBusy) {
  TempDir dir;
  const std::string video = dir.write("clip.mp4", "data");
  EXPECT_FALSE(isFileInUse(video));
  EXPECT_FALSE(isFileInUse(dir.file("missing.mp4")));
  EXPECT_FALSE(isFileInUse(dir.path())) << "a folder is not a file";

  const int reader = ::open(video.c_str(), O_RDONLY);
  EXPECT_FALSE(isFileInUse(video)) << "a reader does not hold the file";
  const int writer = ::open(video.c_str(), O_WRONLY | O_APPEND);
  EXPECT_TRUE(isFileInUse(video));
  ::close(writer);
  EXPECT_FALSE(isFileInUse(video));
  ::close(reader);
}

TEST_P(FileInUse, AnotherProcessCopyingIntoTheFileIsSeen) {
  TempDir dir;
  const std::string video = dir.write("copying.mp4", "partial");
  int ready[2], release[2];
  ASSERT_EQ(::pipe(ready), 0);
  ASSERT_EQ(::pipe(release), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const int fd = ::open(video.c_str(), O_RDWR);
    char byte = fd >= 0 ? 'y' : 'n';
    (void)!::write(ready[1], &byte, 1);
    ::close(release[1]);
    while (::read(release[0], &byte, 1) > 0) {
    }
    ::_exit(0);
  }
  ::close(release[0]);
  char byte = 0;
  ASSERT_EQ(::read(ready[0], &byte, 1), 1);
  ASSERT_EQ(byte, 'y');
  EXPECT_TRUE(isFileInUse(video));
  ::close(release[1]);
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_FALSE(isFileInUse(video));
  ::close(ready[0]);
  ::close(ready[1]);
}

TEST(FilePaths, ValidPathsAreAbsoluteWithALegalName) {
  EXPECT_TRUE(isValidFilePath("/videos/片段.mp4"));
  EXPECT_FALSE(isValidFilePath("videos/clip.mp4"));
  EXPECT_FALSE(isValidFilePath(""));
  EXPECT_FALSE(isValidFilePath("/videos/"));
  for (const char* name : {"a?b", "a<b", "a>b", "a*b", "a|b", "a:b", "a\"b", "a\\b"})
    EXPECT_FALSE(isValidFilePath(std::string("/videos/") + name + ".mp4")) << name;
}

TEST(FilePaths, ExistenceTreatsATrailingSeparatorAsMissing) {
  TempDir dir;
  dir.write("v/clip.mp4", "x");
  EXPECT_TRUE(pathExists(dir.file("v")));
  EXPECT_FALSE(pathExists(dir.file("v/")));
  EXPECT_FALSE(pathExists(dir.file("v\\")));
  EXPECT_FALSE(pathExists(""));
  EXPECT_TRUE(fileExists(dir.file("v/clip.mp4")));
  EXPECT_FALSE(fileExists(dir.file("v")));
}

TEST(FilePaths, NamePartsSplitAtTheLastSlash) {
  EXPECT_EQ(fileNameOf("/a/b.c/clip.x.mp4"), "clip.x.mp4");
  EXPECT_EQ(folderOf("/a/b.c/clip.x.mp4"), "/a/b.c/");
  EXPECT_EQ(baseNameOf("/a/b.c/clip.x.mp4"), "clip.x");
  EXPECT_EQ(baseNameOf("/a/b.c/noext"), "noext");
}

TEST(FileMoves, NeverReplaceAnExistingTarget) {
  TempDir dir;
  const std::string from = dir.write("a.mp4", "new");
  const std::string to = dir.write("used/a.mp4", "old");
  EXPECT_FALSE(moveFileNoReplace(from, to));
  EXPECT_EQ(readFile(from), "new");
  EXPECT_EQ(readFile(to), "old");
  EXPECT_FALSE(copyFileNoReplace(from, to));
  EXPECT_EQ(readFile(to), "old");

  EXPECT_TRUE(moveFileNoReplace(from, dir.file("used/b.mp4")));
  EXPECT_FALSE(fileExists(from));
  EXPECT_EQ(readFile(dir.file("used/b.mp4")), "new");
  EXPECT_FALSE(moveFileNoReplace(dir.file("missing.mp4"), dir.file("used/c.mp4")));
  EXPECT_FALSE(moveFileNoReplace(dir.file("used/b.mp4"), dir.file("no-such-folder/b.mp4")));
  EXPECT_TRUE(fileExists(dir.file("used/b.mp4")));
}

// A fresh folder in /dev/shm when that is another file system than `dir`'s;
// empty otherwise.
std::string folderOnAnotherFileSystem(const TempDir& dir) {
  const std::string other = "/dev/shm/vidralo-move-" + std::to_string(::getpid());
  struct stat here {}, there {};
  if (::mkdir(other.c_str(), 0700) == 0 && ::stat(dir.path().c_str(), &here) == 0 &&
      ::stat(other.c_str(), &there) == 0 && here.st_dev != there.st_dev)
    return other;
  ::rmdir(other.c_str());
  return {};
}

TEST(FileMoves, WorkAcrossFileSystems) {
  TempDir dir;
  const std::string other = folderOnAnotherFileSystem(dir);
  if (other.empty()) GTEST_SKIP() << "no second file system to move to";
  const std::string payload(300000, 'v');
  const std::string from = dir.write("big.mp4", payload);
  const std::string to = other + "/big.mp4";
  EXPECT_TRUE(moveFileNoReplace(from, to));
  EXPECT_FALSE(fileExists(from));
  EXPECT_EQ(readFile(to), payload);

  const std::string again = dir.write("big.mp4", "second");
  EXPECT_FALSE(moveFileNoReplace(again, to)) << "an existing target on the other side stays";
  EXPECT_EQ(readFile(to), payload);
  EXPECT_EQ(readFile(again), "second");
  ::unlink(to.c_str());
  ::rmdir(other.c_str());
}

TEST(FileMoves, AKillDuringACopyToAnotherFileSystemLeavesNothingUnderTheRealName) {
  TempDir dir;
  const std::string other = folderOnAnotherFileSystem(dir);
  if (other.empty()) GTEST_SKIP() << "no second file system to move to";
  // A FIFO as the video: the copy takes what was written and then waits, so
  // the kill comes halfway for sure.
  const std::string from = dir.file("clip.mp4");
  ASSERT_EQ(::mkfifo(from.c_str(), 0600), 0);
  const std::string to = other + "/clip.mp4";
  const pid_t mover = ::fork();
  if (mover == 0) _exit(moveFileNoReplace(from, to) ? 0 : 1);
  const int writer = ::open(from.c_str(), O_WRONLY);
  ASSERT_GE(writer, 0);
  ASSERT_EQ(::write(writer, "half a video", 12), 12);
  const auto copied = [&] {
    for (const auto& entry : std::filesystem::directory_iterator(other))
      if (entry.file_size() == 12) return true;
    return false;
  };
  EXPECT_TRUE(test::pollUntil(copied, std::chrono::seconds(10)));
  ::kill(mover, SIGKILL);
  ::waitpid(mover, nullptr, 0);
  ::close(writer);
  EXPECT_FALSE(std::filesystem::exists(to));
  std::filesystem::remove_all(other);
}

}  // namespace
}  // namespace vidralo
