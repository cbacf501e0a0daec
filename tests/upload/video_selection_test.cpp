#include "upload/video_selection.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>

#include "common/clock.h"
#include "common/program_dir.h"
#include "support/temp_dir.h"
#include "upload/file_ops.h"
#include "upload/publication_journal.h"

namespace vidralo {
namespace {

using test::readFile;
using test::TempDir;

// The video as the job knows it once it is published.
PublishedVideo published(const std::string& path) {
  PublishedVideo video{path, {}};
  EXPECT_TRUE(regularFileIdentity(path, video.identity)) << path;
  return video;
}

std::string repeat(std::string_view piece, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += piece;
  return text;
}

class VideoSelection : public ::testing::Test {
 protected:
  VideoSelection() {
    setProgramDirectory(dir.file("program"));
    controls.appendRow({"1", "", "", "7"});
    controls.setChecked(ControlId::单选框_选择视频_顺序, true);
  }
  ~VideoSelection() override { setProgramDirectory(""); }
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
  EXPECT_TRUE(disposeVideo(controls, published(first)));
  EXPECT_EQ(pickVideo(controls, folder(), 0), dir.file("videos/s/b.mp4"));
}

TEST_F(VideoSelection, SubFoldersStayUnreadWhenNotWanted) {
  dir.write("videos/s/b.mp4", "b");
  const std::string a = dir.write("videos/a.mp4", "a");
  controls.setChecked(ControlId::选择框_读取子文件夹, false);
  EXPECT_EQ(pickVideo(controls, folder(), 0), a);
  EXPECT_TRUE(disposeVideo(controls, published(a)));
  EXPECT_EQ(pickVideo(controls, folder(), 0), "");
  EXPECT_EQ(controls.cell(0, 列_状态), "没有视频");
  EXPECT_EQ(controls.statusText(1), "视频素材目录没有视频");
}

TEST_F(VideoSelection, RandomOrderPicksEveryVideoSooner) {
  std::set<std::string> all;
  for (char c = 'a'; c <= 'e'; ++c) all.insert(dir.write(std::string("videos/") + c + ".mp4", "x"));
  controls.setChecked(ControlId::单选框_选择视频_随机, true);
  // Each draw is seeded from the tick count, which a fast clock moves on
  // between picks as seconds do in a job.
  const auto previous = setClock(std::make_shared<ScaledClock>(1e6, std::chrono::system_clock::now()));
  std::set<std::string> seen;
  for (int i = 0; i < 200 && seen.size() < all.size(); ++i) seen.insert(pickVideo(controls, folder(), 0));
  setClock(previous);
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
  CoversAndDisposal() { controls.setText(ControlId::编辑框_随机封面目录, dir.file("covers")); }
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
  EXPECT_TRUE(disposeVideo(controls, published(clip)));
  EXPECT_FALSE(fileExists(clip));
  EXPECT_FALSE(fileExists(dir.file("videos/clip.jpg")));
}

TEST_F(CoversAndDisposal, MoveModeMovesBothAndNeverOverwrites) {
  const std::string clip = dir.write("videos/clip.mp4", "new");
  dir.write("videos/clip.jpg", "c");
  dir.write("used/clip.mp4", "old");
  dir.write("used/clip (2).jpg", "other cover");
  controls.setChecked(ControlId::单选框_移动, true);
  controls.setText(ControlId::编辑框_使用过视频目录, dir.file("used"));
  // Two accounts sharing the used-video folder publish equal names: the
  // second gets the first number free for the video and its cover.
  EXPECT_TRUE(disposeVideo(controls, published(clip)));
  EXPECT_FALSE(fileExists(clip));
  EXPECT_EQ(readFile(dir.file("used/clip.mp4")), "old");
  EXPECT_EQ(readFile(dir.file("used/clip (2).jpg")), "other cover");
  EXPECT_EQ(readFile(dir.file("used/clip (3).mp4")), "new");
  EXPECT_EQ(readFile(dir.file("used/clip (3).jpg")), "c");

  const std::string second = dir.write("videos/second.mp4", "2");
  EXPECT_TRUE(disposeVideo(controls, published(second)));
  EXPECT_FALSE(fileExists(second));
  EXPECT_EQ(readFile(dir.file("used/second.mp4")), "2");
}

TEST_F(CoversAndDisposal, MoveModeWithoutAFolderUsesTheDefaultUsedVideoFolder) {
  const std::string clip = dir.write("videos/clip.mp4", "v");
  controls.setChecked(ControlId::单选框_移动, true);
  controls.setText(ControlId::编辑框_使用过视频目录, "");
  EXPECT_TRUE(disposeVideo(controls, published(clip)));
  EXPECT_FALSE(fileExists(clip));
  EXPECT_EQ(readFile(dir.file("program/已使用视频/clip.mp4")), "v");
}

// What the job writes the moment a publication counts as done.
void recordPublished(const std::string& path) {
  ASSERT_TRUE(PublicationJournal().record({"2026-12-09 10:00:00", "7", published(path), "t"}));
}

TEST_F(CoversAndDisposal, APublishedVideoIsDisposedOfInsteadOfPickedAgain) {
  for (const bool deleteMode : {true, false}) {
    SCOPED_TRACE(deleteMode ? "delete" : "move");
    controls.setChecked(deleteMode ? ControlId::单选框_删除 : ControlId::单选框_移动, true);
    controls.setText(ControlId::编辑框_使用过视频目录, dir.file("used"));
    std::filesystem::create_directories(dir.file("used"));
    const std::string a = dir.write("videos/a.mp4", "published");
    const std::string b = dir.write("videos/b.mp4", "next");
    recordPublished(a);
    EXPECT_EQ(pickVideo(controls, folder(), 0), b);
    EXPECT_FALSE(fileExists(a));
    EXPECT_EQ(fileExists(dir.file("used/a.mp4")), !deleteMode);
    std::filesystem::remove_all(dir.file("used"));
    std::filesystem::remove(b);
  }
}

TEST_F(CoversAndDisposal, APublishedVideoThatCannotBeMovedIsNeverPickedAndTheRowSaysSo) {
  controls.setChecked(ControlId::单选框_移动, true);
  controls.setText(ControlId::编辑框_使用过视频目录, dir.file("missing"));
  const std::string a = dir.write("videos/a.mp4", "published");
  const PublishedVideo video = published(a);
  EXPECT_FALSE(disposeVideo(controls, video));
  recordPublished(a);
  EXPECT_EQ(pickVideo(controls, folder(), 0), "");
  EXPECT_EQ(controls.cell(0, 列_状态), "已发布，视频无法移到已使用目录");
  EXPECT_TRUE(fileExists(a));
}

TEST_F(CoversAndDisposal, AFileThatTookAPublishedNameIsANewVideo) {
  controls.setChecked(ControlId::单选框_删除, true);
  const std::string a = dir.write("videos/a.mp4", "published");
  const PublishedVideo old = published(a);
  recordPublished(a);
  dir.write("videos/a.mp4", "a new video of the same name");
  EXPECT_TRUE(disposeVideo(controls, old)) << "the published file is gone";
  EXPECT_EQ(readFile(a), "a new video of the same name");
  EXPECT_EQ(pickVideo(controls, folder(), 0), a);
}

TEST_F(CoversAndDisposal, JournalEntriesWhoseFileIsGoneAreDropped) {
  const std::string a = dir.write("videos/a.mp4", "a");
  const std::string b = dir.write("videos/b.mp4", "b");
  recordPublished(a);
  recordPublished(b);
  std::filesystem::remove(a);
  const std::vector<PublishedVideo> left = PublicationJournal().publishedVideos();
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left[0].path, b);
  const std::string journal = readFile(dir.file("program/data/published.jsonl"));
  EXPECT_EQ(journal.find("a.mp4"), std::string::npos) << journal;
  EXPECT_NE(journal.find(R"("path":")" + b + R"(","size":1)"), std::string::npos) << journal;
}

TEST_F(CoversAndDisposal, AnUnconfirmedAttemptIsNeitherPickedNorDisposedOfUntilItsLineIsDeleted) {
  controls.setChecked(ControlId::单选框_删除, true);
  const std::string a = dir.write("videos/a.mp4", "pressed");
  const std::string b = dir.write("videos/b.mp4", "refused");
  const std::string c = dir.write("videos/c.mp4", "older version");
  PublicationJournal journal;
  ASSERT_TRUE(journal.record({"2026-12-09 10:00:00", "7", published(a), "t", JournalState::Attempt}));
  ASSERT_TRUE(journal.record({"2026-12-09 10:01:00", "7", published(b), "t", JournalState::Attempt}));
  ASSERT_TRUE(journal.record({"2026-12-09 10:01:05", "7", published(b), "t", JournalState::Withdrawn}));
  // A line of an older version: no state, published.
  const FileIdentity old = published(c).identity;
  std::ofstream(journal.path(), std::ios::app)
      << R"({"time":"x","account":"7","path":")" << c << R"(","size":)" << old.size << R"(,"mtime_ns":)"
      << old.modifiedNs << R"(,"title":"t"})" << "\n";

  EXPECT_EQ(pickVideo(controls, folder(), 0), b) << "a withdrawn attempt may go again";
  EXPECT_TRUE(fileExists(a));
  EXPECT_EQ(controls.cell(0, 列_状态), "已点发表，结果未知");
  std::filesystem::remove(b);
  EXPECT_EQ(pickVideo(controls, folder(), 0), "");
  EXPECT_TRUE(fileExists(a));
  EXPECT_FALSE(fileExists(c)) << "disposed of as published";

  // The operator found that the platform does not have it and deleted its line.
  std::string lines = readFile(journal.path());
  lines.erase(lines.find(R"({"time":"2026-12-09 10:00:00")"), lines.find('\n') + 1);
  dir.write("program/data/published.jsonl", lines);
  EXPECT_EQ(pickVideo(controls, folder(), 0), a);
}

TEST_F(CoversAndDisposal, AnEntryStaysWhileItsFolderIsAwayAndGoesOnceItsFolderShowsTheFileGone) {
  const std::string a = dir.write("videos/a.mp4", "a");
  const std::string b = dir.write("videos/b.mp4", "b");
  recordPublished(a);
  recordPublished(b);
  std::filesystem::rename(folder(), dir.file("away"));  // an unmounted drive, a share that is away
  EXPECT_EQ(PublicationJournal().publishedVideos().size(), 2u);
  std::filesystem::create_directories(folder());  // its empty mount point
  EXPECT_EQ(PublicationJournal().publishedVideos().size(), 2u);
  std::filesystem::remove(folder());
  std::filesystem::rename(dir.file("away"), folder());
  EXPECT_EQ(PublicationJournal().publishedVideos().size(), 2u) << "back again";

  std::filesystem::remove(a);
  const std::vector<PublishedVideo> left = PublicationJournal().publishedVideos();
  ASSERT_EQ(left.size(), 1u) << "its folder is there and holds b";
  EXPECT_EQ(left[0].path, b);
}

TEST_F(CoversAndDisposal, AnEntryWhoseFileStaysMissingGoesAfterTheGrace) {
  const std::string a = dir.write("videos/a.mp4", "a");
  const PublishedVideo video = published(a);
  std::filesystem::remove_all(folder());
  const std::int64_t now =
      std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
  PublicationJournal journal;
  ASSERT_TRUE(journal.record({"t", "7", video, "t", JournalState::Published, now - kMissingFileGraceSeconds + 60}));
  EXPECT_EQ(journal.publishedVideos().size(), 1u);
  ASSERT_TRUE(journal.record({"t", "7", video, "t", JournalState::Published, now - kMissingFileGraceSeconds - 60}));
  EXPECT_TRUE(journal.publishedVideos().empty());
}

TEST_F(VideoSelection, NothingInsideTheUsedVideoFolderIsPicked) {
  controls.setChecked(ControlId::选择框_读取子文件夹, true);
  controls.setChecked(ControlId::单选框_移动, true);
  controls.setText(ControlId::编辑框_使用过视频目录, folder() + "/used/");
  dir.write("videos/used/a.mp4", "published before");
  EXPECT_TRUE(usedFolderIsAmongVideos(controls, folder()));
  EXPECT_EQ(pickVideo(controls, folder(), 0), "");
  controls.setChecked(ControlId::选择框_读取子文件夹, false);
  EXPECT_FALSE(usedFolderIsAmongVideos(controls, folder()));
  controls.setText(ControlId::编辑框_使用过视频目录, folder());
  EXPECT_TRUE(usedFolderIsAmongVideos(controls, folder())) << "the same folder";
}

TEST_F(VideoSelection, OnlyNonEmptyRegularFilesArePicked) {
  std::filesystem::create_directories(folder());
  ASSERT_EQ(::mkfifo(dir.file("videos/0.mp4").c_str(), 0600), 0);
  dir.write("videos/1.mp4", "");
  std::filesystem::create_symlink("/dev/zero", dir.file("videos/2.mp4"));
  const std::string real = dir.write("videos/3.mp4", "v");
  EXPECT_EQ(pickVideo(controls, folder(), 0), real);
  std::filesystem::remove(real);
  EXPECT_EQ(pickVideo(controls, folder(), 0), "");
  EXPECT_EQ(controls.cell(0, 列_状态), "没有视频");
}

TEST(CharacterCount, CountsCodePointsNotBytes) {
  EXPECT_EQ(characterCount("ab长字"), 4u);
  EXPECT_EQ(firstCharacters("ab长字c", 3), "ab长");
  EXPECT_EQ(firstCharacters("ab", 5), "ab");
}

}  // namespace
}  // namespace vidralo
