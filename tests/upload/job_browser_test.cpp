// The whole job against a real headless Chromium on the simulated upload
// page: titles from the library or the file name, used videos deleted or
// moved with their covers, the pause countdown, and videos that fail (a page
// that never completes, a browser killed from outside).
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <httplib.h>

#include <QCoreApplication>
#include <algorithm>
#include <atomic>
#include <filesystem>

#include "automation/cdp/browser_process.h"
#include "browser_job_fixture.h"
#include "common/program_dir.h"
#include "common/text_rules.h"
#include "simulator/loopback_server.h"
#include "support/poll.h"
#include "support/processes.h"
#include "upload/file_ops.h"
#include "upload/job_runner.h"

extern char** environ;

namespace vidralo {
namespace {

using test::BrowserJobTest;
using test::CellHistory;

// The platform's jump page on a port of its own: the upload form comes in a
// frame from the platform's origin.
class JumpPage {
 public:
  explicit JumpPage(const std::string& formUrl) {
    server_.server().Get(sim::kUploadPagePath, [formUrl](const httplib::Request&, httplib::Response& response) {
      response.set_content("<!doctype html><html><head><meta charset=\"utf-8\"></head><body><iframe src=\"" + formUrl +
                               "\" style=\"width:100%;height:900px;border:0\"></iframe></body></html>",
                           "text/html; charset=utf-8");
    });
    server_.start(0);
  }
  std::string uploadPageUrl() const { return server_.origin() + sim::kUploadPageSuffix; }

 private:
  sim::LoopbackServer server_;
};

class JobBrowserTest : public BrowserJobTest {
 protected:
  static std::vector<std::string> fileNamesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }
};

TEST_F(JobBrowserTest, TwoAccountsPublishTwoVideosEachWithLibraryTitles) {
  addAccount("301", "甲号", {{"a.mp4", 1000}, {"b.mp4", 1001}});
  addAccount("302", "乙号", {{"a.mp4", 300000}, {"b.mp4", 300001}});
  publishOnceThrough(2);
  controls.setChecked(ControlId::描述_标题库, true);
  controls.setText(ControlId::编辑框_标题库, "标题一\r\n标题二\r\n标题三\r\n标题四");
  controls.setText(ControlId::放弃秒, "120");

  runJob();

  const std::vector<sim::Publication> expected{{"甲号", "a.mp4", 1000, "标题一"},
                                               {"甲号", "b.mp4", 1001, "标题二"},
                                               {"乙号", "a.mp4", 300000, "标题三"},
                                               {"乙号", "b.mp4", 300001, "标题四"}};
  EXPECT_EQ(platform.publications(), expected);
  EXPECT_TRUE(fileNamesIn(videoFolder("301")).empty());
  EXPECT_TRUE(fileNamesIn(videoFolder("302")).empty());
  EXPECT_EQ(controls.cell(0, 列_昵称), "甲号");
  EXPECT_EQ(controls.cell(1, 列_今天已发), "2");
  EXPECT_EQ(controls.text(ControlId::编辑框_账号序列), "3");
}

TEST_F(JobBrowserTest, MoveModeKeepsVideosWithTheirCoversAndCountsTheDayUp) {
  addAccount("311", "丙号", {{"a.mp4", 2000}, {"b.mp4", 2001}});
  publishOnceThrough(2);
  controls.setText(ControlId::编辑框_视频间隔, "2");
  controls.setText(ControlId::编辑框_视频间隔1, "2");
  const std::string used = dir.file("used");
  std::filesystem::create_directories(used);
  controls.setChecked(ControlId::单选框_移动, true);
  controls.setText(ControlId::编辑框_使用过视频目录, used);
  dir.write("covers/cover.jpg", "JPEG-COVER");
  controls.setChecked(ControlId::单选框_本地随机封面, true);
  controls.setText(ControlId::编辑框_随机封面目录, dir.file("covers"));
  CellHistory status(controls, 0, 列_状态);
  CellHistory count(controls, 0, 列_今天已发);

  runJob();

  ASSERT_EQ(platform.publications().size(), 2u);
  EXPECT_EQ(fileNamesIn(used), (std::vector<std::string>{"a.jpg", "a.mp4", "b.jpg", "b.mp4"}));
  EXPECT_EQ(test::readFile(used + "/a.mp4").size(), 2000u);
  EXPECT_EQ(test::readFile(used + "/b.mp4").size(), 2001u);
  EXPECT_EQ(test::readFile(used + "/a.jpg"), "JPEG-COVER");
  EXPECT_EQ(test::readFile(used + "/b.jpg"), "JPEG-COVER");
  EXPECT_TRUE(fileNamesIn(videoFolder("311")).empty());
  EXPECT_EQ(fileNamesIn(dir.file("covers")), std::vector<std::string>{"cover.jpg"}) << "covers are copied";

  EXPECT_EQ(count.texts(), (std::vector<std::string>{"1", "2"}));
  const std::vector<std::string> countdown{"延时2秒后继续", "延时1秒后继续", "延时0秒后继续"};
  std::vector<std::string> twice = countdown;
  twice.insert(twice.end(), countdown.begin(), countdown.end());
  EXPECT_EQ(status.textsStartingWith("延时"), twice);
  EXPECT_EQ(controls.cell(0, 列_状态), "") << "cleared after the countdown";
}

TEST_F(JobBrowserTest, FileNameTitleIsWhatThePageKeepsAfterCancel) {
  addAccount("321", "丁号", {{"春天的花.mp4", 1500}});
  publishOnceThrough(1);
  controls.setChecked(ControlId::描述_文件名, true);
  controls.setText(ControlId::编辑框_标题库, "库标题一\r\n库标题二");
  const std::string poolCaption = controls.caption(ControlId::标签5);

  runJob();

  // The page fills in the file's base name and the cancel button keeps it;
  // the library is never touched.
  const std::vector<sim::Publication> expected{{"丁号", "春天的花.mp4", 1500, "春天的花"}};
  EXPECT_EQ(platform.publications(), expected);
  EXPECT_EQ(controls.caption(ControlId::标签5), poolCaption) << "the title pool was never filled";
}

TEST_F(JobBrowserTest, UploadThatNeverCompletesIsAbandonedAndItsBrowserClosed) {
  // The log-in browser stays open and is taken over, so the video reaches
  // the upload wait well within its limit.
  addAccount("331", "戊号", {{"stuck.mp4", 5000}}, /*keepBrowserOpen=*/true);
  const std::string profile = profileDirectory("331");
  ASSERT_NE(cdp::findBrowserProcess(profile), 0);
  platform.setUploadNeverCompletes(true);
  publishOnceThrough(1);
  controls.setChecked(ControlId::选择框_自动放弃, true);
  controls.setText(ControlId::放弃秒, "8");
  // The end of the account's turn closes its browser anyway: the browser
  // must already be gone when the failure is shown.
  std::atomic<pid_t> browserWhenFailed{-1};
  CellHistory status(controls, 0, 列_状态, [&](const std::string& text) {
    if (text == "上传失败") browserWhenFailed = cdp::findBrowserProcess(profile);
  });

  runJob();

  EXPECT_EQ(controls.cell(0, 列_状态), "上传失败");
  EXPECT_EQ(browserWhenFailed.load(), 0) << "closed when the video was abandoned";
  EXPECT_TRUE(status.contains("耗时：9/8")) << "counted past the limit";
  EXPECT_TRUE(status.textsStartingWith("延时").empty());
  EXPECT_TRUE(platform.publications().empty());
  EXPECT_TRUE(fileExists(videoFolder("331") + "/stuck.mp4")) << "a failed video is kept";
  EXPECT_EQ(controls.cell(0, 列_今天已发), "");
  EXPECT_TRUE(test::noProcessLeftOn(profile)) << "the abandoned video's browser is closed";
}

TEST_F(JobBrowserTest, BrowserKilledDuringUploadFailsTheVideoAndTheNextOneStartsAFreshBrowser) {
  // Real time, so that two seconds on the job's clock are two for the kill too.
  useClockFactor(1);
  addAccount("341", "己号", {{"big.mp4", 200000}}, /*keepBrowserOpen=*/true);
  const std::string profile = profileDirectory("341");
  const pid_t killed = cdp::findBrowserProcess(profile);
  ASSERT_NE(killed, 0);
  // About ten seconds for the whole file: the kill comes in the middle.
  platform.setUploadThrottle(20000);
  publishOnceThrough(2);
  controls.setChecked(ControlId::选择框_自动放弃, true);
  controls.setText(ControlId::放弃秒, "40");
  const std::string video = videoFolder("341") + "/big.mp4";
  std::atomic<bool> keptWhenFailed{false};
  CellHistory status(controls, 0, 列_状态, [&](const std::string& text) {
    if (text == "上传失败") keptWhenFailed = fileExists(video);
  });
  std::atomic<pid_t> publishingBrowser{0};
  CellHistory count(controls, 0, 列_今天已发, [&](const std::string& text) {
    if (text == "1") publishingBrowser = cdp::findBrowserProcess(profile);
  });

  // The last count shown before the failure: a dead browser fails the video
  // at once, not at the time limit.
  std::atomic<int> countAtFailure{0};
  CellHistory elapsed(controls, 0, 列_状态, [&, last = 0](const std::string& text) mutable {
    if (text.starts_with("耗时：")) last = toInteger(text.substr(std::string("耗时：").size()));
    if (text == "上传失败" && countAtFailure == 0) countAtFailure = last;
  });

  JobRunner runner(controls, engine, sessionSettings());
  runner.toggleJob();
  // Six seconds on the job's clock: the file has been handed to the page
  // and is being sent.
  ASSERT_TRUE(status.waitFor("耗时：6/40", 30));
  ASSERT_EQ(::kill(killed, SIGKILL), 0);
  platform.setUploadThrottle(0);
  runner.waitUntilIdle();

  EXPECT_TRUE(status.contains("上传失败"));
  EXPECT_LE(countAtFailure.load(), 8) << "failed within two seconds of the kill";
  EXPECT_TRUE(keptWhenFailed) << "nothing disposed for the failed video";
  // The same file, picked again, is published once by a new browser.
  const std::vector<sim::Publication> expected{{"己号", "big.mp4", 200000, "big"}};
  EXPECT_EQ(platform.publications(), expected);
  EXPECT_NE(publishingBrowser.load(), 0);
  EXPECT_NE(publishingBrowser.load(), killed);
  EXPECT_EQ(controls.cell(0, 列_今天已发), "1");
  EXPECT_FALSE(fileExists(video));
  EXPECT_TRUE(test::noProcessLeftOn(profile));
}

TEST_F(JobBrowserTest, AProfileHeldByABrowserStartedByHandFailsItsVideoAndTheJobMovesOn) {
  addAccount("331", "卯号", {{"a.mp4", 1500}});
  addAccount("332", "辰号", {{"b.mp4", 1600}});
  const std::string held = programPath("\\huancun\\vesko331");
  // The operator opened the profile by hand, without a debugging port.
  std::vector<std::string> arguments{"chromium", "--headless", "--user-data-dir=" + held, "about:blank"};
  if (::geteuid() == 0) arguments.insert(arguments.begin() + 1, "--no-sandbox");
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  pid_t byHand = 0;
  ASSERT_EQ(::posix_spawnp(&byHand, "chromium", nullptr, nullptr, argv.data(), environ), 0);
  ASSERT_TRUE(test::pollUntil([&] { return std::filesystem::is_symlink(held + "/SingletonLock"); }, std::chrono::seconds(20)));
  publishOnceThrough(1);
  controls.setChecked(ControlId::选择框_自动放弃, false);

  runJob();

  for (const pid_t pid : test::processesOnProfile(held)) ::kill(pid, SIGKILL);
  ::waitpid(byHand, nullptr, 0);
  EXPECT_EQ(platform.publications(), (std::vector<sim::Publication>{{"辰号", "b.mp4", 1600, "b"}}));
  EXPECT_EQ(controls.cell(0, 列_状态), "上传失败（浏览器无法启动：Failed to create a ProcessSingleton for your profile directory）");
  EXPECT_TRUE(test::noProcessLeftOn(held));
}

TEST_F(JobBrowserTest, AFormInAFrameOfAnotherOriginIsPublishedFromEndToEnd) {
  JumpPage jump(platform.uploadPageUrl());
  uploadPage = jump.uploadPageUrl();
  addAccount("321", "框号", {{"a.mp4", 1500}});
  publishOnceThrough(1);
  controls.setChecked(ControlId::描述_标题库, true);
  controls.setText(ControlId::编辑框_标题库, "框里的标题");
  controls.setText(ControlId::放弃秒, "120");

  runJob();

  EXPECT_EQ(platform.publications(), (std::vector<sim::Publication>{{"框号", "a.mp4", 1500, "框里的标题"}}));
  EXPECT_EQ(controls.cell(0, 列_昵称), "框号");
}

TEST_F(JobBrowserTest, ADropZoneThatMakesItsInputOnClickIsPublishedFromEndToEnd) {
  sim::PlatformFaults faults = platform.faults();
  faults.inputOnClick = true;
  platform.setFaults(faults);
  addAccount("322", "拖号", {{"clip.mp4", 1200}});
  publishOnceThrough(1);
  controls.setText(ControlId::放弃秒, "120");

  runJob();

  EXPECT_EQ(platform.publications(), (std::vector<sim::Publication>{{"拖号", "clip.mp4", 1200, "clip"}}));
}

TEST_F(JobBrowserTest, ARefusedPublicationKeepsTheVideoWithAPictureOfThePageThenAnAcceptedOneGoes) {
  // A text sign: the page shows "发表成功" only once the platform took the video.
  dir.write("program/config.ini", "[hosts]\nplatform = " + platform.origin() +
                                      "\n[page]\npublished_sign = 发表成功\npublished_wait = 3\n");
  addAccount("321", "丁号", {{"a.mp4", 5000}});
  publishOnceThrough(1);
  platform.setRefusePublications(true);

  runJob();

  EXPECT_TRUE(platform.publications().empty());
  EXPECT_TRUE(fileExists(videoFolder("321") + "/a.mp4")) << "a refused video is kept";
  EXPECT_EQ(controls.cell(0, 列_状态), "上传失败");
  const std::string failures = programPath("\\logs\\failures");
  const std::vector<std::string> evidence = fileNamesIn(failures);
  ASSERT_EQ(evidence.size(), 2u);
  const std::string text = test::readFile(failures + "/" + evidence[1]);
  EXPECT_NE(text.find("失败的步骤：publish"), std::string::npos) << text;
  EXPECT_NE(text.find(".video-status：发表失败"), std::string::npos) << text;
  EXPECT_NE(text.find("页面地址：" + platform.origin()), std::string::npos) << text;
  const std::string picture = test::readFile(failures + "/" + evidence[0]);
  EXPECT_EQ(picture.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
  EXPECT_GT(picture.size(), 2000u);

  // The same file again on the same page, refused once more: the page was
  // reloaded, so it takes the file and the attempt ends at the sign.
  publishOnceThrough(2);
  controls.setChecked(ControlId::选择框_自动放弃, true);
  controls.setText(ControlId::放弃秒, "60");
  runJob();
  ASSERT_EQ(fileNamesIn(failures).size(), 6u);
  for (const std::string& name : fileNamesIn(failures)) {
    if (name.ends_with(".txt")) {
      EXPECT_NE(test::readFile(failures + "/" + name).find("失败的步骤：publish（步骤失败）"), std::string::npos) << name;
    }
  }

  platform.setRefusePublications(false);
  publishOnceThrough(1);
  runJob();
  ASSERT_EQ(platform.publications().size(), 1u);
  EXPECT_FALSE(fileExists(videoFolder("321") + "/a.mp4"));
  EXPECT_EQ(fileNamesIn(failures).size(), 6u) << "no evidence of a success";
}

}  // namespace
}  // namespace vidralo

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  vidralo::test::failWhenBrowsersAreLeftBehind();
  return RUN_ALL_TESTS();
}
