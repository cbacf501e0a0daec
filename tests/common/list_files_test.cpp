#include "common/list_files.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_dir.h"

namespace vidralo {
namespace {

using test::TempDir;

TEST(Wildcards, MatchIgnoringAsciiCase) {
  EXPECT_TRUE(matchesWildcard("*.mp4", "clip.MP4"));
  EXPECT_TRUE(matchesWildcard("*.mp4", "视频.mp4"));
  EXPECT_FALSE(matchesWildcard("*.mp4", "clip.mp4.part"));
  EXPECT_TRUE(matchesWildcard("*.json", ".json"));
  EXPECT_TRUE(matchesWildcard("a?c*", "abcdef"));
  EXPECT_FALSE(matchesWildcard("a?c", "ac"));
  EXPECT_TRUE(matchesWildcard("*", "anything"));
  EXPECT_TRUE(matchesWildcard("*a*b*", "xxaYYb"));
}

class ListFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir.write("b.png", "");
    dir.write("a.jpg", "");
    dir.write("c.JPG", "");
    dir.write("a.png", "");
    dir.write("notes.txt", "");
    dir.write("sub2/z.jpg", "");
    dir.write("sub1/y.jpg", "");
    dir.write("sub1/deep/x.jpg", "");
    std::filesystem::create_directory(dir.file("folder.jpg"));  // a folder is never a file
  }
  TempDir dir;
};

TEST_F(ListFiles, PatternByPatternInNameOrder) {
  std::vector<std::string> list;
  EXPECT_EQ(listFiles(dir.path(), "*.jpg|*.png", list, false, false), 4);
  EXPECT_EQ(list, (std::vector<std::string>{"a.jpg", "c.JPG", "a.png", "b.png"}));
}

TEST_F(ListFiles, WithPathAndNoDoubleSeparator) {
  std::vector<std::string> list;
  listFiles(dir.path() + "/", "*.txt", list, true, false);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0], dir.path() + "/notes.txt");
}

TEST_F(ListFiles, RecursiveListsOwnFilesFirstThenDepthFirst) {
  std::vector<std::string> list;
  listFiles(dir.path(), "*.jpg", list, true, true);
  const std::string p = dir.path() + "/";
  EXPECT_EQ(list, (std::vector<std::string>{p + "a.jpg", p + "c.JPG", p + "sub1/y.jpg", p + "sub1/deep/x.jpg",
                                            p + "sub2/z.jpg"}));
}

TEST_F(ListFiles, RecursiveAppendsWhileFlatReplaces) {
  std::vector<std::string> list{"kept"};
  listFiles(dir.path() + "/sub2", "*.jpg", list, false, true);
  EXPECT_EQ(list, (std::vector<std::string>{"kept", "z.jpg"}));
  listFiles(dir.path() + "/sub2", "*.jpg", list, false, false);
  EXPECT_EQ(list, (std::vector<std::string>{"z.jpg"}));
}

TEST_F(ListFiles, MissingOrEmptyFolderListsNothing) {
  std::vector<std::string> list{"old"};
  EXPECT_EQ(listFiles(dir.file("missing"), "*.jpg", list, true, false), 0);
  list = {"old"};
  // An empty folder must not turn into the root of the file system.
  EXPECT_EQ(listFiles("", "*", list, true, true), 1);
}

TEST_F(ListFiles, LinkedFolderLoopsAreNotFollowed) {
  std::filesystem::create_directory_symlink(dir.path(), dir.file("sub1/loop"));
  std::vector<std::string> list;
  listFiles(dir.path(), "*.jpg", list, true, true);
  EXPECT_EQ(list.size(), 5u);
}

}  // namespace
}  // namespace vidralo
