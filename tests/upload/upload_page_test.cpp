#include "upload/upload_page.h"

#include <gtest/gtest.h>

#include <thread>

#include "common/clock.h"
#include "common/stop.h"
#include "support/fake_browser_engine.h"
#include "support/temp_dir.h"

namespace vidralo {
namespace {

using test::FakeBrowserEngine;
using test::FakeEvent;
using test::FakePageScript;

class UploadPageSteps : public ::testing::Test {
 protected:
  UploadPageSteps() : previousClock(setClock(std::make_shared<ScaledClock>(5000, std::chrono::system_clock::now()))) {}
  ~UploadPageSteps() override { setClock(previousClock); }

  SessionId startPage(FakePageScript script) {
    engine.setPageScript(std::move(script));
    return engine.startBrowser("https://creator.test/home", {"/profiles/p1", "960,1038", "1,1"}).sessionId;
  }

  std::shared_ptr<const Clock> previousClock;
  test::TempDir dir;
  FakeBrowserEngine engine;
  ControlModel controls;
  TitlePool pool;
};

TEST_F(UploadPageSteps, PublishAVideoShowingEachStageInTheWindowTitle) {
  FakePageScript script;
  script.statusSequence = {"上传中 10%", " 上传完成 ", "上传完成 100%", "上传完成"};
  const SessionId session = startPage(script);
  const std::string video = dir.write("clip.mp4", "12345");
  controls.setChecked(ControlId::描述_标题库, true);
  controls.setText(ControlId::编辑框_标题库, "第一个标题");
  UploadPage page(engine, session);
  int timeChecks = 0;

  ASSERT_TRUE(page.startUpload(video));
  ASSERT_TRUE(page.fillDetails(controls, pool, 0, video));
  ASSERT_TRUE(page.waitUploadComplete([&] { return ++timeChecks > 0; }));
  std::size_t publishedBeforeConfirm = 9;
  ASSERT_EQ(page.publish([&] {
    publishedBeforeConfirm = engine.publications().size();
    return true;
  }),
            PublishOutcome::Published);
  ASSERT_TRUE(page.afterPublish());
  EXPECT_EQ(publishedBeforeConfirm, 0u) << "the hook runs before the confirm click";

  EXPECT_EQ(engine.windowTitles(),
            (std::vector<std::string>{"开始上传", "设置标题", "标题结束", "当前进度：上传中 10%", "当前进度： 上传完成 ",
                                      "当前进度：上传完成 100%", "当前进度：上传完成", "开始发布", "已发表"}));
  EXPECT_EQ(timeChecks, 4) << "one time check per status reading; only the exact text ends the wait";
  std::vector<std::string> clicks;
  for (const FakeEvent& event : engine.events(FakeEvent::Kind::Click)) clicks.push_back(event.text);
  EXPECT_EQ(clicks, (std::vector<std::string>{page_selectors::kConfirmButton, page_selectors::kPublishButton,
                                              page_selectors::kConfirmButton}));
  ASSERT_EQ(engine.publications().size(), 1u);
  EXPECT_EQ(engine.publications()[0].title, "第一个标题");
  EXPECT_EQ(engine.publications()[0].fileSize, 5);
  EXPECT_EQ(engine.events(FakeEvent::Kind::Refresh).size(), 1u);
}

TEST_F(UploadPageSteps, TheFileNameAsTitleTypesNothingAndLeavesThePoolAlone) {
  const SessionId session = startPage({});
  const std::string video = dir.write("clip.mp4", "v");
  controls.setChecked(ControlId::描述_文件名, true);
  UploadPage page(engine, session);
  ASSERT_TRUE(page.fillDetails(controls, pool, 0, video));
  EXPECT_TRUE(engine.events(FakeEvent::Kind::Input).empty());
  ASSERT_EQ(engine.events(FakeEvent::Kind::Click).size(), 1u);
  EXPECT_EQ(engine.events(FakeEvent::Kind::Click)[0].text, page_selectors::kCancelButton);
  EXPECT_EQ(controls.caption(ControlId::标签5), "一行一个，顺序使用");
  EXPECT_EQ(pool.size(), 0u);
}

TEST_F(UploadPageSteps, TheWaitEndsWhenTheTimeCheckSaysSo) {
  FakePageScript script;
  script.statusSequence = {"上传中"};
  const SessionId session = startPage(script);
  UploadPage page(engine, session);
  page.startUpload(dir.write("clip.mp4", "v"));
  int timeChecks = 0;
  EXPECT_FALSE(page.waitUploadComplete([&] { return ++timeChecks < 3; }));
  EXPECT_EQ(timeChecks, 3);
}

TEST_F(UploadPageSteps, StopEndsAWaitThatWouldNeverComplete) {
  FakePageScript script;
  script.statusSequence = {"上传中"};
  const SessionId session = startPage(script);
  UploadPage page(engine, session);
  bool result = true;
  std::jthread waiter([&](std::stop_token token) {
    StopScope scope(token);
    result = page.waitUploadComplete([] { return true; });
  });
  waiter.request_stop();
  waiter.join();
  EXPECT_FALSE(result);
}

TEST_F(UploadPageSteps, ABrowserThatDiedEndsTheUploadWaitAtOnce) {
  FakePageScript neverCompletes;
  neverCompletes.statusSequence = {"上传中 10%"};
  const SessionId session = startPage(neverCompletes);
  UploadPage page(engine, session);
  ASSERT_TRUE(page.startUpload(dir.write("clip.mp4", "v")));
  engine.killSession(session);
  int timeChecks = 0;
  EXPECT_FALSE(page.waitUploadComplete([&] { return ++timeChecks < 5; }));
  EXPECT_EQ(timeChecks, 0) << "ended by the lost connection, not by the time limit";
}

TEST_F(UploadPageSteps, MissingElementsDoNotStopTheSteps) {
  FakePageScript notLoggedIn;
  notLoggedIn.pageText = "请登录";
  const SessionId session = startPage(notLoggedIn);
  controls.setChecked(ControlId::描述_标题模板, true);
  UploadPage page(engine, session);
  const std::string video = dir.write("clip.mp4", "v");
  EXPECT_TRUE(page.startUpload(video));
  EXPECT_TRUE(page.fillDetails(controls, pool, 0, video));
  EXPECT_EQ(page.publish([] { return true; }), PublishOutcome::Published);
  EXPECT_TRUE(engine.publications().empty());
}

}  // namespace
}  // namespace vidralo
