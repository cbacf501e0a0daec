// Page and element operations against the real browser, one browser for
// the whole suite.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "automation/cdp/browser_launch.h"
#include "automation/cdp/cdp_engine.h"
#include "automation/cdp/devtools_http.h"
#include "browser_helpers.h"
#include "common/json_document.h"
#include "common/stop.h"
#include "support/temp_dir.h"
#include "test_site.h"

namespace vidralo::cdp {
namespace {

using test::eventually;

class PageTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    site_ = new test::TestSite();
    dir_ = new vidralo::test::TempDir();
    engine_ = new CdpEngine();
    if (std::getenv("CDP_TEST_LOG")) engine_->setLogCallback([](const std::string& line) { fprintf(stderr, "[engine] %s\n", line.c_str()); });
    ASSERT_TRUE(engine_->globalInit(""));
    started_ = engine_->startBrowser(site_->url("/marker"), {profile(), "682.5,700", "1,1"});
  }

  static void TearDownTestSuite() {
    engine_->closeBrowsers();
    EXPECT_TRUE(eventually([] { return !test::profileHasProcesses(profile()); }));
    delete engine_;
    delete dir_;
    delete site_;
  }

  static std::string profile() { return dir_->file("vesko1"); }

  void SetUp() override {
    ASSERT_NE(started_.sessionId, 0u);
    session_ = started_.sessionId;
  }

  // Navigates and waits until the page shows its "ready:" line.
  void open(const std::string& name) {
    engine_->navigate(session_, site_->url("/" + name));
    ASSERT_TRUE(engine_->waitPageLoaded(session_, "ready:" + name)) << name;
  }

  // The form page, with its frame loaded too (the frame's own marker is
  // found through the page).
  void openForm() {
    open("form");
    ASSERT_TRUE(engine_->waitPageLoaded(session_, "ready:frame"));
  }

  bool textBecomes(const std::string& selector, const std::string& expected) {
    return eventually([&] { return engine_->elementText(session_, selector) == expected; });
  }

  static test::TestSite* site_;
  static vidralo::test::TempDir* dir_;
  static CdpEngine* engine_;
  static StartedBrowser started_;
  SessionId session_ = 0;
};

test::TestSite* PageTest::site_ = nullptr;
vidralo::test::TempDir* PageTest::dir_ = nullptr;
CdpEngine* PageTest::engine_ = nullptr;
StartedBrowser PageTest::started_;

TEST_F(PageTest, TheStartedBrowserShowsTheStartPageAndItsLateMarker) {
  EXPECT_NE(started_.browserId, 0u);
  EXPECT_TRUE(engine_->isConnected(session_));
  EXPECT_TRUE(engine_->waitPageLoaded(session_, "视频拖拽"));
  EXPECT_TRUE(engine_->pageIsLoaded(session_, "视频拖拽"));
  EXPECT_FALSE(engine_->pageIsLoaded(session_, "这段文字不在页面上"));
  EXPECT_EQ(engine_->pageUrl(session_), site_->url("/marker"));

  const std::vector<RunningBrowser> running = engine_->connectStarted();
  ASSERT_EQ(running.size(), 1u);
  EXPECT_EQ(running[0].browserId, started_.browserId);
  EXPECT_EQ(running[0].sessionId, session_);  // the same page connection is reused
  EXPECT_EQ(running[0].profileDirectory, profile());
}

TEST_F(PageTest, ElementsAreFoundInThePageAndInItsFrames) {
  openForm();
  EXPECT_TRUE(engine_->elementExists(session_, ".user-name"));
  EXPECT_EQ(engine_->elementText(session_, ".user-name"), "小明 \"引号\" <b>");
  EXPECT_TRUE(engine_->elementExists(session_, ".inner"));
  EXPECT_EQ(engine_->elementText(session_, ".inner"), "框架里的字");
  EXPECT_EQ(engine_->elementText(session_, "#name"), "old text");  // a field reads as its value

  EXPECT_FALSE(engine_->elementExists(session_, ".missing"));
  EXPECT_EQ(engine_->elementText(session_, ".missing"), "");
  // A selector that is not valid CSS, or that tries to break out of its
  // string, matches nothing and harms nothing.
  EXPECT_FALSE(engine_->elementExists(session_, "##"));
  EXPECT_FALSE(engine_->elementExists(session_, "\"); document.body.remove(); (\""));
  EXPECT_TRUE(engine_->elementExists(session_, "#ready"));
}

TEST_F(PageTest, MouseClicksAreTrustedAndReachElementsOutOfViewOrInFrames) {
  openForm();
  EXPECT_TRUE(engine_->click(session_, "#far", true));
  EXPECT_TRUE(textBecomes("#clicks", "far:true"));
  EXPECT_TRUE(engine_->click(session_, "#far", false));
  EXPECT_TRUE(textBecomes("#clicks", "far:true,far:false"));
  // Without a box there is nothing to press on; the element's click() runs.
  EXPECT_TRUE(engine_->click(session_, "#hidden", true));
  EXPECT_TRUE(textBecomes("#clicks", "far:true,far:false,hidden:false"));

  EXPECT_TRUE(engine_->click(session_, "#inner-button", true));
  EXPECT_TRUE(textBecomes("#inner-echo", "clicked:true"));
  EXPECT_FALSE(engine_->click(session_, ".missing", true));
  EXPECT_FALSE(engine_->click(session_, ".missing", false));
}

TEST_F(PageTest, TypedTextReplacesTheContentAndThePageSeesItsEvents) {
  openForm();
  const std::string title = "新标题 \"引号\" </script> \\ 😀";
  EXPECT_TRUE(engine_->input(session_, ".textarea", title));
  EXPECT_EQ(engine_->elementText(session_, ".textarea"), title);
  EXPECT_TRUE(textBecomes("#echo", title));

  EXPECT_TRUE(engine_->input(session_, "#name", "abc"));
  EXPECT_EQ(engine_->elementText(session_, "#name"), "abc");  // "old text" is gone
  EXPECT_TRUE(textBecomes("#echo", "abc"));

  EXPECT_TRUE(engine_->input(session_, "#editor", "可编辑"));
  EXPECT_EQ(engine_->elementText(session_, "#editor"), "可编辑");
  EXPECT_TRUE(textBecomes("#echo", "可编辑"));

  EXPECT_TRUE(engine_->input(session_, "#inner-input", "框架输入"));
  EXPECT_TRUE(textBecomes("#inner-echo", "框架输入"));

  EXPECT_TRUE(engine_->input(session_, "#name", ""));
  EXPECT_EQ(engine_->elementText(session_, "#name"), "");
  EXPECT_TRUE(textBecomes("#echo", ""));
  EXPECT_NE(engine_->elementText(session_, "#changes").find("textarea"), std::string::npos);
  EXPECT_FALSE(engine_->input(session_, ".missing", "x"));
}

TEST_F(PageTest, AFileReachesAHiddenInputAndItsUploadHandler) {
  open("upload");
  std::string bytes;
  for (unsigned i = 0; i < 300000; ++i) bytes.push_back(static_cast<char>((i * 7919u) % 256u));
  const std::string video = dir_->write("视频 1.mp4", bytes);

  EXPECT_FALSE(engine_->uploadFile(session_, dir_->file("missing.mp4")));
  ASSERT_TRUE(engine_->uploadFile(session_, video));
  EXPECT_TRUE(textBecomes(".video-status", "上传完成"));
  EXPECT_EQ(site_->receivedName(), "视频 1.mp4");
  EXPECT_TRUE(site_->receivedBytes() == bytes) << "received " << site_->receivedBytes().size() << " bytes";
}

TEST_F(PageTest, TheMarkerCountsOnlyOnceThePageShowsIt) {
  open("hidden-marker");  // the marker sits in a script, a hidden element, an attribute, a comment
  EXPECT_FALSE(engine_->pageIsLoaded(session_, "视频拖拽"));
  EXPECT_TRUE(engine_->pageIsLoaded(session_, "标题标记"));  // the title is shown
  ASSERT_TRUE(engine_->click(session_, "#show", false));
  EXPECT_TRUE(engine_->waitPageLoaded(session_, "视频拖拽"));
}

// One frame from another site (a process of its own) and one from another
// port of the same site (another origin in the page's process).
TEST_F(PageTest, FramesOfOtherOriginsAreSearchedLikeThePageItself) {
  test::TestSite other;
  std::string otherSite = other.url("/frame");
  otherSite.replace(otherSite.find("127.0.0.1"), 9, "localhost");
  engine_->navigate(session_, site_->url("/frames?a=" + otherSite + "&b=" + other.url("/upload")));
  for (const char* marker : {"ready:frames", "ready:frame", "ready:upload"})
    ASSERT_TRUE(engine_->waitPageLoaded(session_, marker)) << marker;

  EXPECT_EQ(engine_->elementText(session_, ".inner"), "框架里的字");
  EXPECT_TRUE(engine_->input(session_, "#inner-input", "跨域输入"));
  EXPECT_TRUE(textBecomes("#inner-echo", "跨域输入"));
  EXPECT_TRUE(engine_->click(session_, "#inner-button", true));
  EXPECT_TRUE(eventually([&] { return engine_->elementText(session_, "#inner-echo").starts_with("clicked:"); }));

  const std::string video = dir_->write("跨域.mp4", "frame bytes");
  ASSERT_TRUE(engine_->uploadFile(session_, video));
  EXPECT_TRUE(textBecomes(".video-status", "上传完成"));
  EXPECT_EQ(other.receivedBytes(), "frame bytes");

  // The same frames with new documents.
  ASSERT_TRUE(engine_->click(session_, "#reload-frames", false));
  EXPECT_TRUE(textBecomes(".video-status", "等待"));
  EXPECT_EQ(engine_->elementText(session_, ".inner"), "框架里的字");
}

TEST_F(PageTest, ADropZoneThatMakesItsInputOnClickGetsTheFileThroughTheChooser) {
  open("dropzone");
  ASSERT_TRUE(engine_->waitPageLoaded(session_, "视频拖拽"));
  const std::string video = dir_->write("拖拽.mp4", "dropped bytes");
  ASSERT_TRUE(engine_->uploadFile(session_, video));
  EXPECT_TRUE(textBecomes(".video-status", "上传完成"));
  EXPECT_EQ(site_->receivedName(), "拖拽.mp4");
  EXPECT_EQ(site_->receivedBytes(), "dropped bytes");
}

TEST_F(PageTest, DialogsOnLoadDoNotBlockThePage) {
  open("dialogs");
  EXPECT_EQ(engine_->elementText(session_, "#result"), "true 默认");
  engine_->overrideDialogs(session_);
  engine_->refresh(session_);
  EXPECT_TRUE(engine_->waitPageLoaded(session_, "true 默认"));
}

TEST_F(PageTest, NavigationRefreshAndTitle) {
  open("counter");
  EXPECT_EQ(engine_->pageUrl(session_), site_->url("/counter"));
  const std::string before = engine_->elementText(session_, "#count");
  engine_->refresh(session_);
  EXPECT_TRUE(eventually([&] {
    const std::string now = engine_->elementText(session_, "#count");
    return !now.empty() && now != before;
  }));
  EXPECT_EQ(std::stoi(engine_->elementText(session_, "#count")), std::stoi(before) + 1);

  const std::string title = "当前进度：上传中 \"50%\"";
  engine_->setWindowTitle(session_, title);
  EXPECT_EQ(engine_->elementText(session_, "title"), engine_->headless() ? "test" : title);
  engine_->activatePage(session_);
  EXPECT_TRUE(engine_->isConnected(session_));
}

TEST_F(PageTest, AnAbortedNavigationIsTriedAgainAndOneThatKeepsFailingSaysSoAfterThreeRetries) {
  EXPECT_TRUE(engine_->navigate(session_, site_->url("/aborted-twice")));
  EXPECT_EQ(site_->requestCount("/aborted-twice"), 3);
  EXPECT_TRUE(engine_->waitPageLoaded(session_, "ready:after-aborts"));

  EXPECT_FALSE(engine_->navigate(session_, site_->url("/no-content")));
  EXPECT_EQ(site_->requestCount("/no-content"), 4);
}

TEST_F(PageTest, OtherPagesOfTheBrowserAreClosed) {
  open("popup");
  const auto endpoint = readActivePort(profile());
  ASSERT_TRUE(endpoint);
  EXPECT_TRUE(engine_->click(session_, "#open", true));  // a trusted click may open a window
  EXPECT_TRUE(eventually([&] { return test::pageTargets(endpoint->port) == 2; }));
  engine_->closeOtherPages(session_);
  EXPECT_TRUE(eventually([&] { return test::pageTargets(endpoint->port) == 1; }));
  EXPECT_TRUE(engine_->isConnected(session_));
  EXPECT_EQ(engine_->pageUrl(session_), site_->url("/popup"));
}

TEST_F(PageTest, TheVersionReportIsTheBrowsersOwn) {
  vidralo::JsonDocument version;
  ASSERT_TRUE(version.loadText(engine_->versionJson(session_)));
  EXPECT_NE(version.getText("Browser").find("Chrome"), std::string::npos);
  EXPECT_NE(version.getText("webSocketDebuggerUrl").find("ws://127.0.0.1:"), std::string::npos);
  EXPECT_EQ(engine_->version(), "5.5.64");
}

TEST_F(PageTest, UnknownSessionsFailFast) {
  const SessionId unknown = 4242;
  EXPECT_FALSE(engine_->isConnected(unknown));
  EXPECT_FALSE(engine_->isConnected(0));
  EXPECT_EQ(engine_->elementText(unknown, "body"), "");
  EXPECT_FALSE(engine_->click(unknown, "body", true));
  EXPECT_FALSE(engine_->waitPageLoaded(unknown, "x"));
  EXPECT_EQ(engine_->pageUrl(unknown), "");
  EXPECT_EQ(engine_->versionJson(unknown), "");
  engine_->closeBrowser(unknown);  // nothing to close, nothing breaks
  EXPECT_TRUE(engine_->isConnected(session_));
}

TEST_F(PageTest, AStopRequestEndsALongCommandAtOnce) {
  std::stop_source stop;
  std::atomic<bool> returned{false};
  std::thread caller([&] {
    StopScope scope(stop.get_token());
    engine_->navigate(session_, site_->url("/hang"));  // its answer is held back
    returned = true;
  });
  ASSERT_TRUE(site_->waitHangRequested());
  stop.request_stop();
  caller.join();
  EXPECT_TRUE(returned);  // the server still holds the answer back
  site_->release();
  EXPECT_TRUE(engine_->waitPageLoaded(session_, "ready:hang"));
}

}  // namespace
}  // namespace vidralo::cdp
