#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "common/whole_file.h"
#include "log/file_replace.h"
#include "support/temp_dir.h"

namespace vidralo {
namespace {

using test::readFile;

mode_t permissionsOf(const std::string& path) {
  struct stat info {};
  ::stat(path.c_str(), &info);
  return info.st_mode & 07777;
}

std::size_t entriesIn(const std::string& directory) {
  return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(directory),
                                                std::filesystem::directory_iterator()));
}

TEST(ReplaceFileContents, NewFileGetsTheGivenModeAndAnExistingOneKeepsItsOwn) {
  test::TempDir dir;
  const std::string fresh = dir.file("fresh.ini");
  ASSERT_TRUE(replaceFileContents(fresh, "a=1\r\n", 0600));
  EXPECT_EQ(readFile(fresh), "a=1\r\n");
  EXPECT_EQ(permissionsOf(fresh), 0600u);

  const std::string shared = dir.write("shared.ini", "old");
  ::chmod(shared.c_str(), 0664);
  ASSERT_TRUE(replaceFileContents(shared, "new", 0600));
  EXPECT_EQ(readFile(shared), "new");
  EXPECT_EQ(permissionsOf(shared), 0664u);
  EXPECT_EQ(entriesIn(dir.path()), 2u) << "no temporary file may stay behind";
}

TEST(ReplaceFileContents, RefusesReadOnlyFilesDirectoriesAndMissingFolders) {
  test::TempDir dir;
  const std::string locked = dir.write("locked.ini", "keep");
  ::chmod(locked.c_str(), 0444);
  EXPECT_FALSE(replaceFileContents(locked, "lost", 0600));
  EXPECT_EQ(readFile(locked), "keep");

  std::filesystem::create_directories(dir.file("folder"));
  EXPECT_FALSE(replaceFileContents(dir.file("folder"), "x", 0600));
  EXPECT_TRUE(std::filesystem::is_directory(dir.file("folder")));

  EXPECT_FALSE(replaceFileContents(dir.file("missing/file.ini"), "x", 0600));
  EXPECT_FALSE(replaceFileContents("", "x", 0600));
  EXPECT_EQ(entriesIn(dir.path()), 2u);
}

TEST(ReplaceFileContents, ALinkKeepsPointingAtTheReplacedFile) {
  test::TempDir dir;
  const std::string target = dir.write("real/settings.ini", "old");
  const std::string link = dir.file("link.ini");
  std::filesystem::create_symlink(target, link);
  ASSERT_TRUE(replaceFileContents(link, "new", 0600));
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(readFile(target), "new");
}

// Runs in the death test's child: exit code 0 when the replacement failed.
[[noreturn]] void replaceUnderSizeLimit(const std::string& path) {
  ::signal(SIGXFSZ, SIG_IGN);
  const rlimit limit{4096, 4096};
  ::setrlimit(RLIMIT_FSIZE, &limit);
  ::_exit(replaceFileContents(path, std::string(100000, 'x'), 0600) ? 1 : 0);
}

// A write that fails half-way (here: the file size limit, as a full disk
// would) must leave the old file whole and remove the temporary one.
TEST(ReplaceFileContentsDeathTest, FailedWriteKeepsTheOldFile) {
  test::TempDir dir;
  const std::string path = dir.write("settings.ini", "old contents");
  EXPECT_EXIT(replaceUnderSizeLimit(path), ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(readFile(path), "old contents");
  EXPECT_EQ(entriesIn(dir.path()), 1u);
}

// Killed by the file size limit in the middle of writing its temporary file.
[[noreturn]] void killedDuringReplace(const std::string& path) {
  const rlimit limit{4096, 4096};
  ::setrlimit(RLIMIT_FSIZE, &limit);
  replaceFileContents(path, std::string(100000, 'x'), 0600);
  ::_exit(0);
}

TEST(ReplaceFileContentsDeathTest, TemporaryFilesLeftByAKillAreRemovedAndNothingElse) {
  test::TempDir dir;
  const std::string path = dir.write("100.json", "old");
  EXPECT_EXIT(killedDuringReplace(path), ::testing::KilledBySignal(SIGXFSZ), "");
  ASSERT_EQ(entriesIn(dir.path()), 2u) << "the kill left the temporary file";
  dir.write(".hidden", "kept");
  dir.write("notes.vidralo-tmp", "kept: not one of ours");
  EXPECT_EQ(removeLeftoverTemporaryFiles(dir.path()), 1);
  EXPECT_EQ(readFile(path), "old");
  EXPECT_EQ(entriesIn(dir.path()), 3u);
}

TEST(ReplaceFileContents, TheCleanUpPassesOverATemporaryFileASaveStillWrites) {
  test::TempDir dir;
  const std::string writing = dir.write(".setsoft.ini.a1B2c3.vidralo-tmp", "half");
  const int fd = ::open(writing.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(::flock(fd, LOCK_EX), 0);
  EXPECT_EQ(removeLeftoverTemporaryFiles(dir.path()), 0);
  EXPECT_TRUE(std::filesystem::exists(writing));
  ::close(fd);
  EXPECT_EQ(removeLeftoverTemporaryFiles(dir.path()), 1);
}

// A start's clean-up running beside a save (the run log written by another
// thread) must never take the save's temporary file before it is renamed.
TEST(ReplaceFileContents, EverySaveLandsWhileTheCleanUpRunsBeside) {
  test::TempDir dir;
  const std::string path = dir.file("log.txt");
  std::atomic<bool> saving{true};
  std::thread cleanUp([&] {
    while (saving) removeLeftoverTemporaryFiles(dir.path());
  });
  int failed = 0;
  for (int i = 0; i < 300; ++i)
    if (!replaceFileContents(path, std::to_string(i), 0600)) ++failed;
  saving = false;
  cleanUp.join();
  EXPECT_EQ(failed, 0);
  EXPECT_EQ(readFile(path), "299");
}

TEST(ReadWholeFile, TellsMissingFromUnreadable) {
  test::TempDir dir;
  std::string bytes = "stale";
  EXPECT_EQ(readWholeFile(dir.file("none"), bytes), ReadOutcome::Missing);
  EXPECT_EQ(bytes, "");
  EXPECT_EQ(readWholeFile(dir.path(), bytes), ReadOutcome::Failed);
  const std::string binary("a\0b\r\n\xff", 6);
  dir.write("f", binary);
  EXPECT_EQ(readWholeFile(dir.file("f"), bytes), ReadOutcome::Read);
  EXPECT_EQ(bytes, binary);
  EXPECT_EQ(readWholeFile(dir.file("f"), bytes, 5), ReadOutcome::Failed) << "larger than allowed";
  EXPECT_EQ(readWholeFile("/dev/zero", bytes), ReadOutcome::Failed);
  ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
  EXPECT_EQ(readWholeFile(dir.file("fifo"), bytes), ReadOutcome::Failed) << "returns at once";
}

}  // namespace
}  // namespace vidralo
