// Each video is published once and only once, in a real headless Chromium on
// the simulated upload page: when the used video cannot be deleted or moved,
// when the job is stopped right after the confirm click, and when the
// browser taken over still shows the last publication.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "browser_job_fixture.h"
#include "support/small_tmpfs.h"
#include "upload/file_ops.h"
#include "upload/job_runner.h"

namespace vidralo {
namespace {

using test::BrowserJobTest;
using test::CellHistory;

std::vector<std::string> publishedNames(const std::vector<sim::Publication>& publications) {
  std::vector<std::string> names;
  for (const sim::Publication& publication : publications) names.push_back(publication.fileName);
  return names;
}

enum class DisposalFault { ReadOnlyVideoFolder, MissingUsedFolder, NameTakenInSharedUsedFolder };

class DisposalFaultTest : public BrowserJobTest, public ::testing::WithParamInterface<DisposalFault> {};

TEST_P(DisposalFaultTest, EachVideoIsPublishedExactlyOnce) {
  const DisposalFault fault = GetParam();
  const std::string used = dir.file("used");
  std::unique_ptr<test::SmallTmpfs> readOnly;
  if (fault == DisposalFault::ReadOnlyVideoFolder) {
    addAccount("401", "壬号", {});
    readOnly = std::make_unique<test::SmallTmpfs>(videoFolder("401"), 1 << 20);
    SKIP_UNLESS_MOUNTED(*readOnly);
    dir.write("videos401/a.mp4", std::string(1500, 'a'));
    dir.write("videos401/b.mp4", std::string(2500, 'b'));
    ASSERT_TRUE(readOnly->makeReadOnly());
    controls.setChecked(ControlId::单选框_删除, true);
  } else {
    addAccount("401", "壬号", {{"a.mp4", 1500}, {"b.mp4", 2500}});
    controls.setChecked(ControlId::单选框_移动, true);
    controls.setText(ControlId::编辑框_使用过视频目录, used);
    // Another account sharing the folder published a video of the same name.
    if (fault == DisposalFault::NameTakenInSharedUsedFolder) dir.write("used/a.mp4", "another account's");
  }
  // One more repetition than videos: the third pick finds only published ones.
  publishOnceThrough(3);
  runJob();
  runJob();

  EXPECT_EQ(publishedNames(platform.publications()), (std::vector<std::string>{"a.mp4", "b.mp4"}));
  if (fault == DisposalFault::NameTakenInSharedUsedFolder) {
    EXPECT_EQ(test::readFile(used + "/a.mp4"), "another account's");
    EXPECT_EQ(std::filesystem::file_size(used + "/a (2).mp4"), 1500u);
    EXPECT_TRUE(fileExists(used + "/b.mp4"));
    EXPECT_FALSE(fileExists(videoFolder("401") + "/a.mp4"));
  } else {
    EXPECT_TRUE(fileExists(videoFolder("401") + "/a.mp4")) << "the video could not be disposed of";
    EXPECT_EQ(controls.cell(0, 列_状态), fault == DisposalFault::ReadOnlyVideoFolder ? "已发布，视频无法删除"
                                                                                   : "已发布，视频无法移到已使用目录");
  }
}

INSTANTIATE_TEST_SUITE_P(Faults, DisposalFaultTest,
                         ::testing::Values(DisposalFault::ReadOnlyVideoFolder, DisposalFault::MissingUsedFolder,
                                           DisposalFault::NameTakenInSharedUsedFolder));

class PublishOnceTest : public BrowserJobTest {};

TEST_F(PublishOnceTest, AStopRightAfterTheConfirmClickDoesNotPublishTheVideoAgain) {
  // Real time: the stop must come between the confirm click and the disposal.
  useClockFactor(1);
  addAccount("411", "癸号", {{"a.mp4", 1500}, {"b.mp4", 2500}});
  publishOnceThrough(2);
  controls.setChecked(ControlId::单选框_删除, true);
  const std::string a = videoFolder("411") + "/a.mp4";
  {
    JobRunner runner(controls, engine, sessionSettings());
    runner.toggleJob();
    while (platform.publications().empty() && runner.isRunning())
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    runner.stop();
    runner.waitUntilIdle();
  }
  ASSERT_EQ(platform.publications().size(), 1u);
  ASSERT_TRUE(fileExists(a)) << "stopped before the disposal";

  runJob();
  EXPECT_EQ(publishedNames(platform.publications()), (std::vector<std::string>{"a.mp4", "b.mp4"}));
  EXPECT_FALSE(fileExists(a)) << "disposed of by the next run";
}

TEST_F(PublishOnceTest, ATakenOverBrowserShowingTheLastPublicationPublishesTheNextVideo) {
  addAccount("421", "子号", {{"a.mp4", 1500}}, /*keepBrowserOpen=*/true);
  // A run that crashed after publishing: its browser shows "发表成功" and
  // still holds the file in its input.
  const std::vector<RunningBrowser> running = engine.connectStarted();
  ASSERT_EQ(running.size(), 1u);
  const SessionId page = running[0].sessionId;
  const auto waitForStatus = [&](const std::string& status) {
    for (int i = 0; i < 600 && engine.elementText(page, ".video-status") != status; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return engine.elementText(page, ".video-status") == status;
  };
  ASSERT_TRUE(engine.uploadFile(page, videoFolder("421") + "/a.mp4"));
  ASSERT_TRUE(engine.click(page, ".btn.cancel-btn", false));
  ASSERT_TRUE(waitForStatus("上传完成"));
  ASSERT_TRUE(engine.click(page, ".operate-btn.confirm.active", true));
  ASSERT_TRUE(engine.click(page, ".btn.confirm-btn.ant-btn.ant-btn-primary", false));
  ASSERT_TRUE(waitForStatus("发表成功"));
  ASSERT_EQ(platform.publications().size(), 1u);

  publishOnceThrough(1);
  controls.setChecked(ControlId::选择框_自动放弃, true);
  controls.setText(ControlId::放弃秒, "60");
  runJob();
  EXPECT_EQ(publishedNames(platform.publications()), (std::vector<std::string>{"a.mp4", "a.mp4"}));
  EXPECT_EQ(controls.cell(0, 列_今天已发), "1");
}

TEST_F(PublishOnceTest, AHiddenSuccessToastOnARefusingPageKeepsTheVideo) {
  dir.write("program/config.ini", "[hosts]\nplatform = " + platform.origin() +
                                      "\n[page]\npublished_sign = .publish-success\npublished_wait = 2\n");
  sim::PlatformFaults faults = platform.faults();
  faults.refusePublications = true;
  faults.hiddenSign = true;
  platform.setFaults(faults);
  addAccount("431", "丑号", {{"a.mp4", 1500}});
  publishOnceThrough(1);
  controls.setChecked(ControlId::单选框_删除, true);
  runJob();
  EXPECT_TRUE(platform.publications().empty());
  EXPECT_TRUE(fileExists(videoFolder("431") + "/a.mp4")) << "a refused video is kept";
  EXPECT_EQ(controls.cell(0, 列_状态), "上传失败");
  EXPECT_EQ(controls.cell(0, 列_今天已发), "");
}

}  // namespace
}  // namespace vidralo
