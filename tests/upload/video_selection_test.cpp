#include "upload/video_selection.h"

#include <gtest/gtest.h>

#include <set>

#include "common/program_dir.h"
#include "support/temp_dir.h"
#include "upload/file_ops.h"

namespace vidralo {
namespace {

using test::readFile;
using test::TempDir;

std::string repeat(std::string_view piece, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += piece;
  return text;
}

class VideoSelection : public ::testing::Test {
 protected:
  VideoSelection() {
    controls.appendRow({"1", "", "", "7"});
    controls.setChecked(ControlId::单选框_选择视频_顺序, true);
  }
  std::string folder() const { return dir.file("videos"); }

  TempDir dir;
  ControlModel controls;
};

TEST_F(VideoSelection, SequentialOrderTakesTheFolderBeforeItsSubFolders) {
  dir.write("videos/s/b.mp4", "b");
  dir.write("videos/a.mp4", "a");
  dir.write("videos/notes.txt", "n");
  controls.setChecked(ControlId::选择框_读取子文件夹, true);
  const std::string first = pickVideo(controls, folder(), 0);
  EXPECT_EQ(first, dir.file("videos/a.mp4"));
  disposeVideo(controls, first);
  EXPECT_EQ(pickVideo(controls, folder(), 0), dir.file("videos/s/b.mp4"));
}

TEST_F(VideoSelection, SubFoldersStayUnreadWhenNotWanted) {
  dir.write("videos/s/b.mp4", "b");
  const std::string a = dir.write("videos/a.mp4", "a");
  controls.setChecked(ControlId::选择框_读取子文件夹, false);
  EXPECT_EQ(pickVideo(controls, folder(), 0), a);
  disposeVideo(controls, a);
  EXPECT_EQ(pickVideo(controls, folder(), 0), "");
  EXPECT_EQ(controls.cell(0, 列_状态), "没有视频");
  EXPECT_EQ(controls.statusText(1), "视频素材目录没有视频");
}

TEST_F(VideoSelection, RandomOrderPicksEveryVideoSooner) {
  std::set<std::string> all;
  for (char c = 'a'; c <= 'e'; ++c) all.insert(dir.write(std::string("videos/") + c + ".mp4", "x"));
  controls.setChecked(ControlId::单选框_选择视频_随机, true);
  std::set<std::string> seen;
  for (int i = 0; i < 200 && seen.size() < all.size(); ++i) seen.insert(pickVideo(controls, folder(), 0));
  EXPECT_EQ(seen, all);
}

TEST_F(VideoSelection, UpperCaseExtensionIsListedButHasNoCover) {
  const std::string video = dir.write("videos/CLIP.MP4", "v");
  EXPECT_EQ(pickVideo(controls, folder(), 0), video);
  EXPECT_EQ(coverPathOf(video), video);
  EXPECT_EQ(coverPathOf("/v/x.mp4.d/clip.mp4"), "/v/x.mp4.d/clip.jpg") << "the folder part is not touched";
}

TEST_F(VideoSelection, AVideoStillBeingWrittenIsNotPicked) {
  const std::string video = dir.write("videos/a.mp4", "v");
  FILE* writer = std::fopen(video.c_str(), "ab");
  EXPECT_EQ(pickVideo(controls, folder(), 0), "");
  std::fclose(writer);
  EXPECT_EQ(pickVideo(controls, folder(), 0), video);
}

TEST_F(VideoSelection, LongNamesAreCutToThirtyCharacters) {
  const std::string longName = repeat("长", 31);
  dir.write("videos/" + longName + ".mp4", "v");
  const std::string picked = pickVideo(controls, folder(), 0);
  EXPECT_EQ(picked, dir.file("videos/" + repeat("长", 30) + ".mp4"));
  EXPECT_TRUE(fileExists(picked));
  EXPECT_FALSE(fileExists(dir.file("videos/" + longName + ".mp4")));

  const std::string exact = repeat("字", 30);
  const std::string kept = dir.write("other/" + exact + ".mp4", "v");
  EXPECT_EQ(pickVideo(controls, dir.file("other"), 0), kept) << "30 characters stay as they are";
}

TEST_F(VideoSelection, CuttingALongNameLeavesAFolderOfTheSameNameAlone) {
  const std::string longName = repeat("ab", 20);
  const std::string video = dir.write("videos/" + longName + "/" + longName + ".mp4", "v");
  const std::string picked = pickVideo(controls, dir.file("videos/" + longName), 0);
  EXPECT_EQ(picked, dir.file("videos/" + longName + "/" + repeat("ab", 15) + ".mp4"));
  EXPECT_EQ(readFile(picked), "v");
}

TEST_F(VideoSelection, ACutThatWouldMeetAnotherVideoIsAFailedPick) {
  const std::string shortName = repeat("x", 30);
  const std::string other = dir.write("videos/" + shortName + ".mp4", "other");
  // "-" sorts before ".", so the long name is listed first.
  const std::string longer = dir.write("videos/" + shortName + "-.mp4", "long");
  EXPECT_EQ(pickVideo(controls, folder(), 0), "") << "the other video must not be published in its place";
  EXPECT_EQ(readFile(other), "other");
  EXPECT_EQ(readFile(longer), "long");
}

class CoversAndDisposal : public VideoSelection {
 protected:
  CoversAndDisposal() {
    setProgramDirectory(dir.file("program"));
    controls.setText(ControlId::编辑框_随机封面目录, dir.file("covers"));
  }
  ~CoversAndDisposal() override { setProgramDirectory(""); }
};

TEST_F(CoversAndDisposal, ARandomCoverIsCopiedOnlyWhereNoneExists) {
  dir.write("covers/one.jpg", "cover");
  const std::string clip = dir.write("videos/clip.mp4", "v");
  prepareCover(controls, clip);
  EXPECT_FALSE(fileExists(dir.file("videos/clip.jpg"))) << "random covers are not selected";

  controls.setChecked(ControlId::单选框_本地随机封面, true);
  prepareCover(controls, clip);
  EXPECT_EQ(readFile(dir.file("videos/clip.jpg")), "cover");
  EXPECT_TRUE(fileExists(dir.file("covers/one.jpg"))) << "copied, not moved";

  const std::string own = dir.write("videos/own.mp4", "v");
  dir.write("videos/own.jpg", "mine");
  prepareCover(controls, own);
  EXPECT_EQ(readFile(dir.file("videos/own.jpg")), "mine");

  const std::string upper = dir.write("videos/UP.MP4", "video");
  prepareCover(controls, upper);
  EXPECT_EQ(readFile(upper), "video");
}

TEST_F(CoversAndDisposal, DeleteModeRemovesVideoAndCover) {
  const std::string clip = dir.write("videos/clip.mp4", "v");
  dir.write("videos/clip.jpg", "c");
  controls.setChecked(ControlId::单选框_删除, true);
  disposeVideo(controls, clip);
  EXPECT_FALSE(fileExists(clip));
  EXPECT_FALSE(fileExists(dir.file("videos/clip.jpg")));
}

TEST_F(CoversAndDisposal, MoveModeMovesBothAndNeverOverwrites) {
  const std::string clip = dir.write("videos/clip.mp4", "new");
  dir.write("videos/clip.jpg", "c");
  dir.write("used/clip.mp4", "old");
  controls.setChecked(ControlId::单选框_移动, true);
  controls.setText(ControlId::编辑框_使用过视频目录, dir.file("used"));
  disposeVideo(controls, clip);
  EXPECT_EQ(readFile(clip), "new") << "the video stays and can be published again";
  EXPECT_EQ(readFile(dir.file("used/clip.mp4")), "old");
  EXPECT_EQ(readFile(dir.file("used/clip.jpg")), "c");

  const std::string second = dir.write("videos/second.mp4", "2");
  disposeVideo(controls, second);
  EXPECT_FALSE(fileExists(second));
  EXPECT_EQ(readFile(dir.file("used/second.mp4")), "2");
}

TEST_F(CoversAndDisposal, MoveModeWithoutAFolderUsesTheDefaultUsedVideoFolder) {
  const std::string clip = dir.write("videos/clip.mp4", "v");
  controls.setChecked(ControlId::单选框_移动, true);
  controls.setText(ControlId::编辑框_使用过视频目录, "");
  disposeVideo(controls, clip);
  EXPECT_FALSE(fileExists(clip));
  EXPECT_EQ(readFile(dir.file("program/已使用视频/clip.mp4")), "v");
}

TEST(CharacterCount, CountsCodePointsNotBytes) {
  EXPECT_EQ(characterCount("ab长字"), 4u);
  EXPECT_EQ(firstCharacters("ab长字c", 3), "ab长");
  EXPECT_EQ(firstCharacters("ab", 5), "ab");
}

}  // namespace
}  // namespace vidralo
