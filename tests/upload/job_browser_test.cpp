// The whole job against a real headless Chromium on the simulated upload
// page: accounts logged in beforehand, videos published with titles from the
// library, used videos deleted.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include "automation/cdp/cdp_engine.h"
#include "common/clock.h"
#include "common/program_dir.h"
#include "common/text_rules.h"
#include "simulator/simulated_platform.h"
#include "support/temp_dir.h"
#include "upload/file_ops.h"
#include "upload/job_runner.h"

namespace vidralo {
namespace {

class JobBrowserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setProgramDirectory(dir.file("program"));
    ASSERT_TRUE(platform.start());
    engine.setRunDirectory(programDirectory());
    ASSERT_TRUE(engine.globalInit("")) << "no Chromium found";
    // The page runs in real time; a mild speed-up still leaves it time to
    // answer between the job's steps.
    previousClock = setClock(std::make_shared<ScaledClock>(4, std::chrono::system_clock::now()));
  }
  void TearDown() override {
    setClock(previousClock);
    engine.closeBrowsers();
    platform.stop();
    setProgramDirectory("");
  }

  // Logs the account's profile in, as an operator does once by hand.
  void addAccount(const std::string& id, const std::string& nickname, std::size_t firstSize) {
    StartOptions options{profileDirectory(id), "960,1038", "1,1"};
    const StartedBrowser login = engine.startBrowser(platform.loginUrl(nickname), options);
    ASSERT_NE(login.sessionId, 0u);
    ASSERT_TRUE(engine.waitPageLoaded(login.sessionId, "视频拖拽"));
    engine.closeBrowser(login.sessionId);
    dir.write("videos" + id + "/a.mp4", std::string(firstSize, 'a'));
    dir.write("videos" + id + "/b.mp4", std::string(firstSize + 1, 'b'));
    controls.appendRow({numberToText(controls.rowCount() + 1), "", dir.file("videos" + id), id});
  }

  test::TempDir dir;
  sim::SimulatedPlatform platform;
  cdp::CdpEngine engine{cdp::CdpEngine::Config{cdp::CdpEngine::Headless::On}};
  ControlModel controls;
  std::shared_ptr<const Clock> previousClock;
};

TEST_F(JobBrowserTest, TwoAccountsPublishTwoVideosEachWithLibraryTitles) {
  addAccount("301", "甲号", 1000);
  addAccount("302", "乙号", 300000);
  controls.setChecked(ControlId::选择框_切换账号, true);
  controls.setText(ControlId::编辑框_单账号上传, "2");
  controls.setText(ControlId::编辑框_视频间隔, "0");
  controls.setText(ControlId::编辑框_视频间隔1, "0");
  controls.setChecked(ControlId::选择框_自动循环, false);
  controls.setChecked(ControlId::单选框_选择视频_顺序, true);
  controls.setChecked(ControlId::描述_标题库, true);
  controls.setText(ControlId::编辑框_标题库, "标题一\r\n标题二\r\n标题三\r\n标题四");
  controls.setText(ControlId::放弃秒, "120");

  JobRunner runner(controls, engine, SessionSettings{platform.uploadPageUrl(), 1920, 1080, {}});
  runner.toggleJob();
  runner.waitUntilIdle();

  const std::vector<sim::Publication> expected{{"甲号", "a.mp4", 1000, "标题一"},
                                               {"甲号", "b.mp4", 1001, "标题二"},
                                               {"乙号", "a.mp4", 300000, "标题三"},
                                               {"乙号", "b.mp4", 300001, "标题四"}};
  EXPECT_EQ(platform.publications(), expected);
  for (const char* video : {"videos301/a.mp4", "videos301/b.mp4", "videos302/a.mp4", "videos302/b.mp4"})
    EXPECT_FALSE(fileExists(dir.file(video))) << video;
  EXPECT_EQ(controls.cell(0, 列_昵称), "甲号");
  EXPECT_EQ(controls.cell(1, 列_今天已发), "2");
  EXPECT_EQ(controls.text(ControlId::编辑框_账号序列), "3");
}

}  // namespace
}  // namespace vidralo

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
