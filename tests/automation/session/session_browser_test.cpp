// The session against a real headless Chromium on the simulated upload page.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

#include "automation/browser_session.h"
#include "automation/cdp/cdp_engine.h"
#include "common/app_config.h"
#include "common/program_dir.h"
#include "controls/control_ids.h"
#include "simulator/simulated_platform.h"
#include "support/temp_dir.h"
#include "support/xvfb_display.h"

namespace vidralo {
namespace {

constexpr const char* kConfirm = ".btn.confirm-btn.ant-btn.ant-btn-primary";

// Polls `condition` in real time: the browser runs on its own clock.
bool eventually(const std::function<bool()>& condition, std::chrono::seconds limit = std::chrono::seconds(20)) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < deadline) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return condition();
}

cdp::CdpEngine::Config engineConfig() {
  cdp::CdpEngine::Config config;
  config.headless = cdp::CdpEngine::Headless::On;
  config.loadTimeLimit = std::chrono::seconds(5);  // a logged-out page never shows the marker
  return config;
}

class SessionBrowserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previousDir_ = programDirectory();
    setProgramDirectory(dir.path());
    ASSERT_TRUE(platform.start());
    engine.setRunDirectory(dir.path());
    ASSERT_TRUE(engine.globalInit("")) << "no Chromium found";
    for (const char* id : {"201", "202"}) controls.appendRow({"", "", "", id});
    settings.uploadPage = [this] { return platform.uploadPageUrl(); };
    settings.saveNickname = [this](const std::string& id, const std::string& nickname) {
      std::lock_guard lock(savedMutex);
      saved[id] = nickname;
    };
  }
  void TearDown() override {
    engine.closeBrowsers();
    platform.stop();
    setProgramDirectory(previousDir_);
  }

  StartOptions optionsFor(const std::string& id) { return {profileDirectory(id), "960,1038", "1,1"}; }

  // Logs the profile of `id` in, as an operator does in a log-in browser,
  // and closes that browser again.
  void logIn(const std::string& id, const std::string& nickname) {
    const StartedBrowser browser = engine.startBrowser(platform.loginUrl(nickname), optionsFor(id));
    ASSERT_NE(browser.sessionId, 0u);
    ASSERT_TRUE(engine.waitPageLoaded(browser.sessionId, "视频拖拽"));
    engine.closeBrowser(browser.sessionId);
  }

  std::map<std::string, std::string> savedNicknames() {
    std::lock_guard lock(savedMutex);
    return saved;
  }

  test::TempDir dir;
  sim::SimulatedPlatform platform;
  cdp::CdpEngine engine{engineConfig()};
  ControlModel controls;
  SessionSettings settings;
  std::mutex savedMutex;
  std::map<std::string, std::string> saved;

 private:
  std::string previousDir_;
};

// A visible browser's own first page (a new tab, what's new) must never
// take the place of the upload page: every start reaches it.
TEST_F(SessionBrowserTest, AVisibleBrowserStartedTwentyTimesInARowReachesTheUploadPageEachTime) {
  logIn("201", "小王");
  const test::XvfbDisplay display;
  if (!display.running()) GTEST_SKIP() << "no Xvfb to show a visible browser on";
  cdp::CdpEngine::Config config = engineConfig();
  config.headless = cdp::CdpEngine::Headless::Off;
  cdp::CdpEngine visible{config};
  visible.setRunDirectory(dir.path());
  ASSERT_TRUE(visible.globalInit(""));
  int reached = 0;
  for (int start = 1; start <= 20; ++start) {
    const OpenedBrowser opened = openAccountPage(visible, controls, settings, 0, "201");
    const std::string url = visible.pageUrl(opened.ids.sessionId);
    EXPECT_EQ(opened.page, PageState::Ready) << "start " << start << " stayed on " << url;
    EXPECT_EQ(url, platform.uploadPageUrl()) << "start " << start;
    reached += opened.page == PageState::Ready;
    visible.closeBrowsers();
  }
  EXPECT_EQ(reached, 20);
}

TEST_F(SessionBrowserTest, NicknameOfALoggedInProfileReachesTheListAndTheRecord) {
  logIn("201", "小王");
  const StartedBrowser browser = openAccountBrowser(engine, controls, settings, 0, "201");
  ASSERT_NE(browser.sessionId, 0u);
  EXPECT_TRUE(engine.pageIsLoaded(browser.sessionId, "视频拖拽"));
  EXPECT_EQ(engine.pageUrl(browser.sessionId), platform.uploadPageUrl());
  EXPECT_EQ(controls.cell(0, 列_昵称), "小王");
  EXPECT_EQ(savedNicknames(), (std::map<std::string, std::string>{{"201", "小王"}}));
}

TEST_F(SessionBrowserTest, ALogInStaysInItsOwnProfile) {
  logIn("201", "甲");
  const StartedBrowser other = openAccountBrowser(engine, controls, settings, 1, "202");
  ASSERT_NE(other.sessionId, 0u);
  EXPECT_TRUE(engine.elementExists(other.sessionId, ".login-tip"));
  EXPECT_FALSE(engine.elementExists(other.sessionId, ".user-name"));
  EXPECT_EQ(controls.cell(1, 列_昵称), "");
  EXPECT_TRUE(savedNicknames().empty());

  const StartedBrowser own = openAccountBrowser(engine, controls, settings, 0, "201");
  EXPECT_EQ(engine.elementText(own.sessionId, ".user-name"), "甲");
  EXPECT_EQ(controls.cell(0, 列_昵称), "甲");
}

TEST_F(SessionBrowserTest, TheNicknameIsReadOnceThePageShowsTheMarkerItsDataHeldEarlier) {
  logIn("201", "小王");
  sim::PlatformFaults faults = platform.faults();
  faults.markerInScript = true;
  faults.readyDelayMs = 1500;
  platform.setFaults(faults);
  ASSERT_NE(openAccountBrowser(engine, controls, settings, 0, "201").sessionId, 0u);
  EXPECT_EQ(controls.cell(0, 列_昵称), "小王");
}

TEST_F(SessionBrowserTest, AHostConfiguredInCapitalsIsTheAddressTheBrowserReports) {
  const std::string port = platform.origin().substr(platform.origin().rfind(':') + 1);
  const std::string origin = normalizedOrigin("HTTP://LOCALHOST:" + port + "/");
  const std::string page = origin + sim::kUploadPageSuffix;
  settings.uploadPage = [page] { return page; };
  const StartedBrowser login = engine.startBrowser(origin + "/login?nickname=jia", optionsFor("201"));
  ASSERT_TRUE(engine.waitPageLoaded(login.sessionId, "视频拖拽"));
  BrowserSession session(engine, controls, settings);
  session.ensureSession(0, "201");
  const int loads = platform.pageLoads();
  session.ensureSession(0, "201");
  EXPECT_EQ(engine.pageUrl(session.sessionId()), page);
  EXPECT_EQ(platform.pageLoads(), loads) << "the page on the configured address is used as it is";
}

TEST_F(SessionBrowserTest, AnAlertOnLoadDoesNotKeepTheNicknameFromBeingRead) {
  logIn("201", "甲");
  platform.setAlertOnLoad(true);
  const StartedBrowser opened = openAccountBrowser(engine, controls, settings, 0, "201");
  ASSERT_NE(opened.sessionId, 0u);
  EXPECT_EQ(controls.cell(0, 列_昵称), "甲");
}

TEST_F(SessionBrowserTest, APageWithoutNicknameLeavesListAndRecordAlone) {
  logIn("201", "甲");
  platform.setHideNickname(true);
  const StartedBrowser opened = openAccountBrowser(engine, controls, settings, 0, "201");
  ASSERT_NE(opened.sessionId, 0u);
  EXPECT_TRUE(engine.pageIsLoaded(opened.sessionId, "视频拖拽"));
  EXPECT_EQ(controls.cell(0, 列_昵称), "");
  EXPECT_TRUE(savedNicknames().empty());
}

class UploadTest : public SessionBrowserTest {
 protected:
  void SetUp() override {
    SessionBrowserTest::SetUp();
    logIn("201", "上传号");
    session = openAccountBrowser(engine, controls, settings, 0, "201").sessionId;
    ASSERT_NE(session, 0u);
    video = dir.write("videos/clip 1.mp4", std::string(2 * 1024 * 1024 + 3, 'v'));
  }

  void handOverFile() {
    ASSERT_TRUE(engine.uploadFile(session, video));
    ASSERT_TRUE(eventually([&] { return engine.elementExists(session, kConfirm); }));
  }

  void waitForComplete() {
    EXPECT_TRUE(eventually([&] { return engine.elementText(session, ".video-status") == "上传完成"; }))
        << engine.elementText(session, ".video-status");
  }

  void publish() {
    ASSERT_TRUE(engine.click(session, ".operate-btn.confirm.active", true));
    ASSERT_TRUE(eventually([&] { return engine.elementExists(session, kConfirm); }));
    ASSERT_TRUE(engine.click(session, kConfirm, false));
    ASSERT_TRUE(eventually([&] { return !platform.publications().empty(); }));
  }

  SessionId session = 0;
  std::string video;
};

TEST_F(UploadTest, ATypedTitleIsPublishedWithTheWholeFile) {
  handOverFile();
  ASSERT_TRUE(engine.click(session, kConfirm, false));
  ASSERT_TRUE(engine.input(session, ".textarea", "今天的标题 #1"));
  waitForComplete();
  publish();
  const std::vector<sim::Publication> expected{{"上传号", "clip 1.mp4", 2 * 1024 * 1024 + 3, "今天的标题 #1"}};
  EXPECT_EQ(platform.publications(), expected);
}

TEST_F(UploadTest, CancellingTheDialogKeepsTheFileNameAsTitle) {
  handOverFile();
  ASSERT_TRUE(engine.click(session, ".btn.cancel-btn", false));
  waitForComplete();
  publish();
  ASSERT_EQ(platform.publications().size(), 1u);
  EXPECT_EQ(platform.publications()[0].title, "clip 1");
}

TEST_F(UploadTest, AThrottledUploadShowsItsProgressAndNoPublishButtonUntilComplete) {
  platform.setUploadThrottle(1024 * 1024);
  handOverFile();
  EXPECT_TRUE(eventually([&] { return engine.elementText(session, ".video-status").starts_with("上传中 "); }));
  EXPECT_FALSE(engine.elementExists(session, ".operate-btn.confirm.active"));
  waitForComplete();
  EXPECT_TRUE(engine.elementExists(session, ".operate-btn.confirm.active"));
}

TEST_F(SessionBrowserTest, TheUploadPageIsReloadedOnlyWhenItsAddressDiffers) {
  logIn("201", "甲");
  BrowserSession job(engine, controls, settings);
  job.ensureSession(0, "201");
  const SessionId session = job.sessionId();
  ASSERT_NE(session, 0u);
  ASSERT_TRUE(engine.waitPageLoaded(session, "视频拖拽"));
  const int loads = platform.pageLoads();

  job.ensureSession(0, "201");
  EXPECT_EQ(job.sessionId(), session);
  EXPECT_EQ(platform.pageLoads(), loads) << "same address: no navigation";

  engine.navigate(session, platform.origin() + "/cgibin/recwxamanager/userclientjump?tag=uploadindex&x=1#/home");
  job.ensureSession(0, "201");
  EXPECT_EQ(job.sessionId(), session);
  EXPECT_EQ(platform.pageLoads(), loads + 2) << "the changed address, then the upload page again";
  EXPECT_EQ(engine.pageUrl(session), platform.uploadPageUrl());

  engine.navigate(session, platform.uploadPageUrl() + "/more");  // another fragment only
  ASSERT_NE(engine.pageUrl(session), platform.uploadPageUrl());
  job.ensureSession(0, "201");
  EXPECT_EQ(engine.pageUrl(session), platform.uploadPageUrl());
  EXPECT_TRUE(engine.pageIsLoaded(session, "视频拖拽"));
}

TEST_F(SessionBrowserTest, ABrowserLeftByAnEarlierRunShowsAFreshUploadPage) {
  logIn("201", "甲");
  const StartedBrowser earlier = openAccountBrowser(engine, controls, settings, 0, "201");
  ASSERT_NE(earlier.sessionId, 0u);
  // The earlier run left a file in the page's input: its status shows.
  ASSERT_TRUE(engine.uploadFile(earlier.sessionId, dir.write("a.mp4", std::string(1000, 'a'))));
  ASSERT_TRUE(eventually([&] { return engine.elementExists(earlier.sessionId, ".video-status"); }));
  const int loads = platform.pageLoads();

  cdp::CdpEngine later{engineConfig()};  // the next run of the program
  later.setRunDirectory(dir.path());
  ASSERT_TRUE(later.globalInit(""));
  BrowserSession job(later, controls, settings);
  job.ensureSession(0, "201");
  ASSERT_NE(job.sessionId(), 0u);
  EXPECT_EQ(platform.pageLoads(), loads + 1);
  EXPECT_TRUE(later.pageIsLoaded(job.sessionId(), "视频拖拽"));
  EXPECT_FALSE(later.elementExists(job.sessionId(), ".video-status")) << "the old document is gone";
  later.closeBrowsers();
}

TEST_F(SessionBrowserTest, ALogInBrowserOfAnotherAccountIsNeverTakenOver) {
  logIn("201", "甲");
  logIn("202", "乙");
  // The operator's log-in browser of account 202 stays open.
  const StartedBrowser loginBrowser = openAccountBrowser(engine, controls, settings, 1, "202");
  ASSERT_NE(loginBrowser.sessionId, 0u);

  BrowserSession job(engine, controls, settings);
  job.ensureSession(0, "201");
  ASSERT_NE(job.sessionId(), 0u);
  EXPECT_NE(job.sessionId(), loginBrowser.sessionId);
  EXPECT_EQ(controls.cell(0, 列_昵称), "甲");
  EXPECT_EQ(engine.elementText(job.sessionId(), ".user-name"), "甲");
  EXPECT_EQ(engine.elementText(loginBrowser.sessionId, ".user-name"), "乙");
  EXPECT_EQ(engine.connectStarted().size(), 2u);
}

}  // namespace
}  // namespace vidralo
