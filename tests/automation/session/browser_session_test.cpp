#include "automation/browser_session.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>

#include "common/clock.h"
#include "common/program_dir.h"
#include "common/stop.h"
#include "controls/control_ids.h"
#include "support/mock_browser_engine.h"
#include "support/temp_dir.h"

namespace vidralo {
namespace {

using ::testing::_;
using ::testing::AllOf;
using ::testing::Field;
using ::testing::InSequence;
using ::testing::Return;
using ::testing::StrictMock;

constexpr const char* kUrl = "http://127.0.0.1:9/cgibin/recwxamanager/userclientjump?tag=uploadindex#/home";

TEST(WindowSizeText, HalfTheWidthAndTheHeightLessTheTaskbarInShortestDecimals) {
  EXPECT_EQ(windowSizeText(1366, 768), "683,726");
  EXPECT_EQ(windowSizeText(1920, 1080), "960,1038");
  EXPECT_EQ(windowSizeText(1365, 768), "682.5,726");
}

class SessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previousClock_ = setClock(std::make_shared<ScaledClock>(1000.0, std::chrono::system_clock::now()));
    previousDir_ = programDirectory();
    setProgramDirectory(dir_.path());
    controls.appendRow({"1", "", "/videos/a", "105", ""});
    controls.appendRow({"2", "", "/videos/b", "106", ""});
    settings.uploadPage = [] { return std::string(kUrl); };
    settings.screenWidth = 1366;
    settings.screenHeight = 768;
    settings.saveNickname = [this](const std::string& id, const std::string& nickname) { saved[id] = nickname; };
  }
  void TearDown() override {
    setProgramDirectory(previousDir_);
    setClock(previousClock_);
  }

  std::string profile(const std::string& id) { return dir_.path() + "/huancun/vesko" + id; }

  // The calls of a start on `id`'s profile that shows a page logged in as
  // `nickname` (none: not logged in).
  void expectStart(const std::string& id, StartedBrowser started, const std::string& nickname = "") {
    EXPECT_CALL(engine, startBrowser(kUrl, AllOf(Field(&StartOptions::profileDirectory, profile(id)),
                                                 Field(&StartOptions::windowSize, "683,726"),
                                                 Field(&StartOptions::windowPosition, "1,1"))))
        .WillOnce(Return(started));
    EXPECT_CALL(engine, pageIsLoaded(started.sessionId, "视频拖拽")).WillOnce(Return(true));
    EXPECT_CALL(engine, setWindowTitle(started.sessionId, "载入成功"));
    EXPECT_CALL(engine, elementExists(started.sessionId, ".user-name")).WillOnce(Return(!nickname.empty()));
    if (!nickname.empty()) EXPECT_CALL(engine, elementText(started.sessionId, ".user-name")).WillOnce(Return(nickname));
  }

  // The calls of a take-over of browser 5 (page 50) from `running`, its page
  // showing `url`.
  void expectTakeOver(const std::vector<RunningBrowser>& running, const std::string& url) {
    EXPECT_CALL(engine, connectStarted()).WillOnce(Return(running));
    EXPECT_CALL(engine, closeOtherPages(50));
    EXPECT_CALL(engine, isConnected(50)).WillOnce(Return(true));
    EXPECT_CALL(engine, activatePage(50));
    EXPECT_CALL(engine, pageUrl(50)).WillOnce(Return(url));
  }

  test::TempDir dir_;
  std::shared_ptr<const Clock> previousClock_;
  std::string previousDir_;
  StrictMock<test::MockBrowserEngine> engine;
  ControlModel controls;
  SessionSettings settings;
  std::map<std::string, std::string> saved;
};

TEST_F(SessionTest, ProfileFolderIsNamedAfterTheAccountWith100ForNone) {
  EXPECT_EQ(profileDirectory("105"), profile("105"));
  EXPECT_EQ(profileDirectory(""), profile("100"));
}

TEST_F(SessionTest, OpeningReadsTheNicknameIntoItsRowAndTheRecord) {
  expectStart("105", {7, 70}, "小王");
  const StartedBrowser started = openAccountBrowser(engine, controls, settings, 0, "105");
  EXPECT_EQ(started.sessionId, 70u);
  EXPECT_EQ(controls.cell(0, 列_序号), "1");
  EXPECT_EQ(controls.cell(0, 列_昵称), "小王");
  EXPECT_EQ(controls.cell(0, 列_账号标识), "105");
  EXPECT_EQ(controls.cell(1, 列_昵称), "");
  EXPECT_EQ(saved, (std::map<std::string, std::string>{{"105", "小王"}}));
}

TEST_F(SessionTest, OpeningWithoutRowOrIdUsesProfile100AndWritesNoCell) {
  expectStart("100", {7, 70}, "老李");
  openAccountBrowser(engine, controls, settings, -1, "");
  EXPECT_EQ(controls.cell(0, 列_昵称), "");
  EXPECT_EQ(controls.cell(1, 列_昵称), "");
  EXPECT_EQ(saved, (std::map<std::string, std::string>{{"100", "老李"}}));
}

TEST_F(SessionTest, OpeningALoggedOutPageReadsAndWritesNothing) {
  expectStart("105", {7, 70});
  openAccountBrowser(engine, controls, settings, 0, "105");
  EXPECT_EQ(controls.cell(0, 列_昵称), "");
  EXPECT_TRUE(saved.empty());
}

TEST_F(SessionTest, AnEmptyNicknameDoesNotOverwriteTheKnownOne) {
  controls.setCell(0, 列_昵称, "旧名");
  EXPECT_CALL(engine, startBrowser(_, _)).WillOnce(Return(StartedBrowser{7, 70}));
  EXPECT_CALL(engine, pageIsLoaded(70, "视频拖拽")).WillOnce(Return(true));
  EXPECT_CALL(engine, setWindowTitle(70, _));
  EXPECT_CALL(engine, elementExists(70, ".user-name")).WillOnce(Return(true));
  EXPECT_CALL(engine, elementText(70, ".user-name")).WillOnce(Return(""));
  openAccountBrowser(engine, controls, settings, 0, "105");
  EXPECT_EQ(controls.cell(0, 列_昵称), "旧名");
  EXPECT_TRUE(saved.empty());
}

TEST_F(SessionTest, AFailedStartTouchesNoPage) {
  EXPECT_CALL(engine, startBrowser(_, _)).WillOnce(Return(StartedBrowser{}));
  EXPECT_EQ(openAccountBrowser(engine, controls, settings, 0, "105").sessionId, 0u);
}

TEST_F(SessionTest, WithoutPlatformHostNoBrowserStartsAndTheStatusBarSaysWhichFileToEdit) {
  settings.uploadPage = nullptr;
  const std::string text = "未配置平台地址（" + dir_.path() + "/config.ini [hosts] platform）";
  openAccountBrowser(engine, controls, settings, 0, "105");
  EXPECT_EQ(controls.statusText(1), text);

  controls.setStatusText(1, "");
  BrowserSession session(engine, controls, settings);
  session.ensureSession(0, "105");
  EXPECT_EQ(controls.statusText(1), text);
  EXPECT_EQ(session.sessionId(), 0u);
}

TEST_F(SessionTest, NoRunningBrowserStartsTheAccountsOwn) {
  EXPECT_CALL(engine, connectStarted()).WillOnce(Return(std::vector<RunningBrowser>{}));
  expectStart("105", {7, 70}, "小王");
  BrowserSession session(engine, controls, settings);
  session.ensureSession(0, "105");
  EXPECT_EQ(controls.statusText(2), "已启动浏览器：0");
  EXPECT_EQ(session.sessionId(), 70u);
  EXPECT_EQ(session.browserId(), 7u);
  EXPECT_EQ(controls.cell(0, 列_昵称), "小王");
}

TEST_F(SessionTest, ABrowserThisRunStartedIsUsedAsItIs) {
  BrowserSession session(engine, controls, settings);
  EXPECT_CALL(engine, connectStarted()).WillOnce(Return(std::vector<RunningBrowser>{}));
  expectStart("105", {5, 50});
  session.ensureSession(0, "105");

  // Another account's browser comes first in the list and is passed over.
  expectTakeOver({{3, 30, profile("106")}, {5, 50, profile("105") + "/"}}, kUrl);
  EXPECT_CALL(engine, pageIsLoaded(50, "视频拖拽")).WillOnce(Return(true));
  EXPECT_EQ(session.ensureSession(0, "105"), PageState::Ready);
  EXPECT_EQ(controls.statusText(2), "已启动浏览器：2");
  EXPECT_EQ(session.sessionId(), 50u);
  EXPECT_EQ(session.browserId(), 5u);
}

TEST_F(SessionTest, ABrowserTakenOverOnTheUploadPageIsLoadedAfresh) {
  // Started before this run (a crashed run, an earlier job): its page may
  // still show the last publication.
  BrowserSession session(engine, controls, settings);
  EXPECT_CALL(engine, connectStarted()).WillOnce(Return(std::vector<RunningBrowser>{}));
  expectStart("105", {5, 50});
  session.ensureSession(0, "105");
  session.beginRun();

  InSequence order;
  expectTakeOver({{5, 50, profile("105")}}, kUrl);
  EXPECT_CALL(engine, overrideDialogs(50));
  EXPECT_CALL(engine, refresh(50));
  EXPECT_CALL(engine, pageIsLoaded(50, "视频拖拽")).WillOnce(Return(true));
  session.ensureSession(0, "105");
  EXPECT_EQ(session.sessionId(), 50u);
}

TEST_F(SessionTest, AnUnsafeIdStartsNoBrowserAnywhere) {
  // "/../../x" would put the profile at the test's own <dir>/x.
  for (const std::string id : {"/../../x", "..", "a/b", "a\\b"}) {
    SCOPED_TRACE(id);
    EXPECT_EQ(profileDirectory(id), "");
    EXPECT_EQ(openAccountBrowser(engine, controls, settings, 0, id).sessionId, 0u);
    EXPECT_EQ(controls.statusText(1), "账号标识无效，未启动浏览器：" + id);
    EXPECT_CALL(engine, connectStarted()).WillOnce(Return(std::vector<RunningBrowser>{}));
    BrowserSession session(engine, controls, settings);
    session.ensureSession(0, id);
    EXPECT_EQ(session.sessionId(), 0u);
    ::testing::Mock::VerifyAndClearExpectations(&engine);
  }
  EXPECT_FALSE(std::filesystem::exists(dir_.path() + "/x"));
}

TEST_F(SessionTest, ProfileFoldersAreReadableByTheirOwnerOnly) {
  std::filesystem::create_directories(profile("106"));
  ::chmod((dir_.path() + "/huancun").c_str(), 0755);
  ::chmod(profile("106").c_str(), 0755);
  for (const std::string id : {"105", "106"}) {
    expectStart(id, {5, 50});
    openAccountBrowser(engine, controls, settings, 0, id);
    for (const std::string& folder : {dir_.path() + "/huancun", profile(id)}) {
      struct stat info {};
      ASSERT_EQ(::stat(folder.c_str(), &info), 0) << folder;
      EXPECT_EQ(info.st_mode & 0777, 0700u) << folder;
    }
  }
}

TEST_F(SessionTest, OwnBrowserOnAnyOtherAddressIsNavigatedBack) {
  for (const std::string& url : {std::string(kUrl) + "x", std::string(kUrl).replace(0, 4, "HTTP"), std::string("about:blank")}) {
    SCOPED_TRACE(url);
    InSequence order;
    expectTakeOver({{5, 50, profile("105")}}, url);
    EXPECT_CALL(engine, overrideDialogs(50));
    EXPECT_CALL(engine, navigate(50, kUrl)).WillOnce(Return(true));
    EXPECT_CALL(engine, pageIsLoaded(50, "视频拖拽")).WillOnce(Return(true));
    BrowserSession session(engine, controls, settings);
    session.ensureSession(0, "105");
    ::testing::Mock::VerifyAndClearExpectations(&engine);
  }
}

TEST_F(SessionTest, ABrowserOfAnotherAccountIsNeverTakenOver) {
  BrowserSession session(engine, controls, settings);
  // The job worked on 105 last; its browser still runs, and an operator's
  // log-in browser of 107 runs too. Account 106 must get its own browser.
  EXPECT_CALL(engine, connectStarted()).WillOnce(Return(std::vector<RunningBrowser>{}));
  expectStart("105", {5, 50});
  session.ensureSession(0, "105");

  EXPECT_CALL(engine, connectStarted())
      .WillOnce(Return(std::vector<RunningBrowser>{{5, 50, profile("105")}, {8, 80, profile("107")}}));
  expectStart("106", {6, 60});
  session.ensureSession(1, "106");
  EXPECT_EQ(session.sessionId(), 60u);
  EXPECT_EQ(session.browserId(), 6u);
}

TEST_F(SessionTest, OwnBrowserThatLostItsConnectionIsReplaced) {
  EXPECT_CALL(engine, connectStarted()).WillOnce(Return(std::vector<RunningBrowser>{{5, 50, profile("105")}}));
  EXPECT_CALL(engine, closeOtherPages(50));
  EXPECT_CALL(engine, isConnected(50)).WillOnce(Return(false));
  expectStart("105", {6, 60});
  BrowserSession session(engine, controls, settings);
  session.ensureSession(0, "105");
  EXPECT_EQ(session.sessionId(), 60u);
}

TEST_F(SessionTest, ClosingClosesTheSessionsBrowserAndKeepsTheIds) {
  BrowserSession session(engine, controls, settings);
  session.closeSession();  // nothing started yet: no call

  EXPECT_CALL(engine, connectStarted()).WillOnce(Return(std::vector<RunningBrowser>{}));
  expectStart("105", {5, 50});
  session.ensureSession(0, "105");
  EXPECT_CALL(engine, closeBrowser(50));
  session.closeSession();
  EXPECT_EQ(session.sessionId(), 50u);
}

TEST_F(SessionTest, AStopDuringTheWaitStartsNoBrowser) {
  std::stop_source stop;
  stop.request_stop();
  StopScope scope(stop.get_token());
  EXPECT_CALL(engine, connectStarted()).WillOnce(Return(std::vector<RunningBrowser>{}));
  BrowserSession session(engine, controls, settings);
  session.ensureSession(0, "105");
  EXPECT_EQ(session.sessionId(), 0u);
}

}  // namespace
}  // namespace vidralo
