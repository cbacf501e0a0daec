#include "automation/engine_startup.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "common/clock.h"
#include "common/gbk.h"
#include "common/program_dir.h"
#include "common/text_rules.h"
#include "controls/control_ids.h"
#include "support/mock_browser_engine.h"
#include "support/temp_dir.h"

namespace vidralo {
namespace {

using ::testing::_;
using ::testing::HasSubstr;
using ::testing::Return;
using ::testing::SaveArg;
using ::testing::StrictMock;

class MockDialogs : public Dialogs {
 public:
  MOCK_METHOD(void, message, (const std::string& text, const std::string& title), (override));
  MOCK_METHOD(bool, question, (const std::string& text, const std::string& title), (override));
  MOCK_METHOD(std::optional<std::string>, chooseFolder, (const std::string& startFolder), (override));
};

class EngineStartupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previousClock_ = setClock(std::make_shared<ScaledClock>(1000.0, std::chrono::system_clock::now()));
    previousDir_ = programDirectory();
    setProgramDirectory(dir.path());
  }
  void TearDown() override {
    setProgramDirectory(previousDir_);
    setClock(previousClock_);
  }

  StartupEnvironment environment(bool administrator) {
    return {[administrator] { return administrator; }, [this] { ++ended; }};
  }

  test::TempDir dir;
  StrictMock<test::MockBrowserEngine> engine;
  StrictMock<MockDialogs> dialogs;
  ControlModel controls;
  int ended = 0;

 private:
  std::shared_ptr<const Clock> previousClock_;
  std::string previousDir_;
};

TEST_F(EngineStartupTest, DeployTellsTheEngineWhereToRunAndLogs) {
  BrowserEngine::LogCallback log;
  EXPECT_CALL(engine, version()).WillOnce(Return("5.5.64"));
  EXPECT_CALL(engine, setRunDirectory(dir.path()));
  EXPECT_CALL(engine, setLogCallback(_)).WillOnce(SaveArg<0>(&log));
  EngineStartup startup(engine, controls, dialogs, environment(true));
  startup.deployEngine();

  ASSERT_TRUE(log);
  log("Target.attachedToTarget 页面");
  log("second");
  const std::string written = test::readFile(dir.file("logs/engine.log"));
  EXPECT_THAT(written, HasSubstr(" Target.attachedToTarget 页面\n"));
  EXPECT_TRUE(endsWith(written, " second\n"));
  EXPECT_EQ(written[4], '-') << "each line starts with its time stamp: " << written;
  EXPECT_FALSE(std::filesystem::exists(dir.file("logs/error.log"))) << "administrator: no entry";
  EXPECT_EQ(ended, 0);
}

TEST_F(EngineStartupTest, WithoutAdministratorRightsTheErrorLogSaysSo) {
  EXPECT_CALL(engine, version()).WillOnce(Return("5.5.64"));
  EXPECT_CALL(engine, setRunDirectory(_));
  EXPECT_CALL(engine, setLogCallback(_));
  EngineStartup startup(engine, controls, dialogs, environment(false));
  startup.deployEngine();

  const std::string entry = gbkToUtf8(test::readFile(dir.file("logs/error.log")));
  EXPECT_TRUE(startsWith(entry, "  进程ID：" + numberToText(getpid()) + "\r\n运行时间：")) << entry;
  EXPECT_TRUE(endsWith(entry, "\r\n程序未以管理员权限运行，可能会导致部分功能失效，请留意.")) << entry;
}

TEST_F(EngineStartupTest, AnotherEngineVersionEndsTheProgramBeforeAnythingElse) {
  EXPECT_CALL(engine, version()).WillOnce(Return("5.5.63"));
  EXPECT_CALL(dialogs, message(HasSubstr("owlform.dll版本不匹配！！！\r\n owlform.dll 版本号：5.5.63\r\n模块版本号：5.5.64"),
                               "猫头鹰填表"));
  EngineStartup startup(engine, controls, dialogs, environment(false));
  startup.deployEngine();
  EXPECT_EQ(ended, 1);
  EXPECT_FALSE(std::filesystem::exists(dir.file("logs/error.log")));
}

TEST_F(EngineStartupTest, InitialisesWithTheNamedBrowserOnlyWhenItIsAFile) {
  EngineStartup startup(engine, controls, dialogs, environment(true));
  const std::string browser = dir.write("chrome/chrome", "#!");

  controls.setText(ControlId::编辑框_google, browser);
  EXPECT_CALL(engine, globalInit(browser)).WillOnce(Return(true));
  startup.initEngine(false, 0);

  for (const std::string& missing : {dir.file("nothing"), dir.file("chrome"), std::string()}) {
    controls.setText(ControlId::编辑框_google, missing);
    EXPECT_CALL(engine, globalInit("")).WillOnce(Return(true));
    startup.initEngine(false, 0);
  }
}

TEST_F(EngineStartupTest, TellsTheOperatorHowInitialisationWent) {
  EngineStartup startup(engine, controls, dialogs, environment(true));
  EXPECT_CALL(engine, globalInit("")).WillOnce(Return(false)).WillOnce(Return(false)).WillOnce(Return(true)).WillOnce(Return(true));
  EXPECT_CALL(dialogs, message("请下载安装谷歌浏览器后再使用", "信息：")).Times(2);
  startup.initEngine(false, 0);
  startup.initEngine(true, 0);
  EXPECT_CALL(dialogs, message("初始化成功", "信息："));
  startup.initEngine(true, 0);
  startup.initEngine(false, 0);  // silent at start-up
}

TEST_F(EngineStartupTest, NothingHappensOnceABrowserSessionIsKnown) {
  EngineStartup startup(engine, controls, dialogs, environment(true));
  startup.initEngine(true, 42);
  EXPECT_FALSE(startup.trimmerRunning());
}

TEST_F(EngineStartupTest, TheTrimmerStartsOnceAndStopsWithTheStartup) {
  EXPECT_CALL(engine, globalInit(_)).WillRepeatedly(Return(true));
  auto startup = std::make_unique<EngineStartup>(engine, controls, dialogs, environment(true));
  startup->initEngine(false, 0);
  ASSERT_TRUE(startup->trimmerRunning());
  startup->initEngine(false, 0);
  // One trim per 60 s of the compressed clock (60 ms); wait for a few.
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (startup->trimCount() < 3 && std::chrono::steady_clock::now() < giveUp) std::this_thread::yield();
  EXPECT_GE(startup->trimCount(), 3);
  startup.reset();  // joins: the trimmer's wait ends at the stop
}

TEST_F(EngineStartupTest, VersionReportShowsTheBrowsersFieldsAndTheProgramVersion) {
  EngineStartup startup(engine, controls, dialogs, environment(true));
  EXPECT_CALL(engine, versionJson(9))
      .WillOnce(Return(R"J({"Browser":"Chrome/120.0.6099.224","Protocol-Version":"1.3","User-Agent":"Mozilla/5.0",)J"
                       R"J("V8-Version":"12.0.267.17","WebKit-Version":"537.36 (@abc)","webSocketDebuggerUrl":"ws://x"})J"));
  startup.reportBrowserVersion(9, "1.2");
  EXPECT_EQ(controls.caption(ControlId::标签_版本),
            "浏览器版本：Chrome/120.0.6099.224\r\nV8引擎版本：12.0.267.17\r\nUA：Mozilla/5.0\r\n协议版本：1.3\r\n"
            "webkit版本：537.36 (@abc)\r\n软件版本：1.2");

  const std::string empty = "浏览器版本：\r\nV8引擎版本：\r\nUA：\r\n协议版本：\r\nwebkit版本：\r\n软件版本：1.2";
  for (const char* answer : {"", "not json", R"({"Browser":5})"}) {
    EXPECT_CALL(engine, versionJson(0)).WillOnce(Return(answer));
    startup.reportBrowserVersion(0, "1.2");
    EXPECT_EQ(controls.caption(ControlId::标签_版本), empty) << answer;
  }
}

}  // namespace
}  // namespace vidralo
