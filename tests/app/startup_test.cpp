// Start-up and the close paths: folders, saved values against defaults, the
// one-shot tick, the program folder link, and the process end.
#include <sys/stat.h>

#include <QCheckBox>
#include <QDesktopServices>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QUrl>
#include <cstdlib>
#include <filesystem>

#include "app/runtime/app_info.h"
#include "app/window/job_toggle.h"
#include "app/runtime/runtime.h"
#include "app/window/startup.h"
#include "app_fixture.h"

#include <sys/stat.h>
#include "url_recorder.h"
#include "common/app_config.h"
#include "common/gbk.h"
#include "common/program_dir.h"
#include "history/history_store.h"
#include "log/date_time.h"

namespace vidralo::test {
namespace {

namespace fs = std::filesystem;
using StartupTest = StartedProgram;

TEST_F(StartupTest, FirstStartCreatesTheRecordFolderButNotTheCoverFolder) {
  start();
  EXPECT_TRUE(fs::is_directory(directory.file("data/list")));
  EXPECT_FALSE(fs::exists(directory.file("img")));
  EXPECT_EQ(program->settingsPath(), directory.file("data/setsoft.ini"));
  EXPECT_EQ(program->controls().text(ControlId::编辑框_随机封面目录), directory.file("img"));
  EXPECT_EQ(program->controls().caption(ControlId::标签15), directory.path() + "/");
}

TEST_F(StartupTest, APlatformHostWrittenWhileTheProgramRunsIsUsedAtOnce) {
  start();
  EXPECT_EQ(program->runtime().sessionSettings().uploadPageUrl(), "");
  directory.write("config.ini", "[hosts]\nplatform = http://127.0.0.1:8080\n");
  EXPECT_EQ(program->runtime().sessionSettings().uploadPageUrl(),
            "http://127.0.0.1:8080/cgibin/recwxamanager/userclientjump?tag=uploadindex#/home");
}

TEST_F(StartupTest, AFirstStartWritesAConfigTemplateThatConfiguresNothingAndKeepsAnExistingOne) {
  start();
  const std::string text = readFile(directory.file("config.ini"));
  const std::pair<const char*, const char*> keys[] = {
      {"hosts", "platform"}, {"hosts", "iplookup"},  {"hosts", "update1"},      {"hosts", "update2"},
      {"hosts", "update3"},  {"hosts", "quotation"}, {"hosts", "notify"},       {"hosts", "home"},
      {"http", "verify_tls"}, {"browser", "headless"}, {"browser", "args"},     {"page", "published_sign"},
      {"page", "published_wait"}, {"fault", "recipient"}};
  for (const auto& [section, key] : keys) {
    EXPECT_NE(text.find(std::string("\n; ") + key + " = "), std::string::npos) << key;
    EXPECT_EQ(iniValue(text, section, key), "") << key;
  }
  directory.write("config.ini", "[hosts]\nplatform = http://127.0.0.1:8080\n");
  restart();
  EXPECT_EQ(readFile(directory.file("config.ini")), "[hosts]\nplatform = http://127.0.0.1:8080\n");
}

TEST_F(StartupTest, TemporaryFilesLeftByAKillDuringASaveAreRemoved) {
  const std::vector<std::string> leftovers{"data/.setsoft.ini.a1B2c3.vidralo-tmp",
                                           "data/.运行日志2026年12月9日.txt.x9Y8z7.vidralo-tmp",
                                           "data/list/.100.json.Qw3rTy.vidralo-tmp"};
  for (const std::string& leftover : leftovers) directory.write(leftover, std::string(100000, 'x'));
  directory.write("data/list/100.json", "{}");
  start();
  for (const std::string& leftover : leftovers) EXPECT_FALSE(fs::exists(directory.file(leftover))) << leftover;
  EXPECT_TRUE(fs::exists(directory.file("data/list/100.json")));
}

TEST_F(StartupTest, StoredValuesOverrideTheStartUpDefaults) {
  directory.write("data/setsoft.ini", utf8ToGbk("[编辑框]\r\n编辑框_随机封面目录=D:\\封面\r\n编辑框_账号标识=\r\n"
                                                "[单选框]\r\n单选框_移动=真\r\n单选框_删除=假\r\n"));
  start();
  EXPECT_EQ(find<QLineEdit>("编辑框_随机封面目录")->text(), "D:\\封面");
  // An empty stored value leaves the form default.
  EXPECT_EQ(find<QLineEdit>("编辑框_账号标识")->text(), "100");
  EXPECT_TRUE(find<QRadioButton>("单选框_移动")->isChecked());
  EXPECT_FALSE(find<QRadioButton>("单选框_删除")->isChecked());
}

TEST_F(StartupTest, SavedEditBoxesAndRadioButtonsSurviveARestartButCheckBoxesDoNot) {
  start();
  auto* pause = find<QLineEdit>("编辑框_视频间隔");
  pause->selectAll();
  QTest::keyClicks(pause, "45");
  auto* id = find<QLineEdit>("编辑框_账号标识");
  id->selectAll();
  QTest::keyClick(id, Qt::Key_Delete);
  auto* titles = find<QPlainTextEdit>("编辑框_标题库");
  titles->clear();
  typeText(titles, "第一行");
  QTest::keyClick(titles, Qt::Key_Return);
  typeText(titles, "他说\"好\"");
  QTest::mouseClick(find<QRadioButton>("描述_标题库"), Qt::LeftButton);
  QTest::mouseClick(find<QCheckBox>("选择框_自动循环"), Qt::LeftButton);
  QTest::mouseClick(find<QPushButton>("按钮_保存账号"), Qt::LeftButton);
  EXPECT_EQ(dialogs.messages, std::vector<std::string>{"保存成功"});

  restart();
  EXPECT_EQ(find<QLineEdit>("编辑框_视频间隔")->text(), "45");
  EXPECT_EQ(find<QLineEdit>("编辑框_账号标识")->text(), "100");
  EXPECT_EQ(find<QPlainTextEdit>("编辑框_标题库")->toPlainText(), "第一行\n他说\"好\"");
  EXPECT_EQ(program->controls().text(ControlId::编辑框_标题库), "第一行\r\n他说\"好\"");
  EXPECT_TRUE(find<QRadioButton>("描述_标题库")->isChecked());
  EXPECT_FALSE(find<QRadioButton>("描述_文件名")->isChecked());
  EXPECT_TRUE(find<QCheckBox>("选择框_自动循环")->isChecked());
}

TEST_F(StartupTest, SettingsThatCannotBeSavedAreReportedInAMessageBox) {
  const std::string settings = directory.write("data/setsoft.ini", "");
  ::chmod(settings.c_str(), 0444);
  start();
  QTest::mouseClick(find<QPushButton>("按钮_保存账号"), Qt::LeftButton);
  EXPECT_EQ(dialogs.messages, std::vector<std::string>{"设置无法保存：" + settings});
}

TEST_F(StartupTest, ManualInitialisationRunsBesideTheWindow) {
  start();
  // A browser that answers only once the test lets it: with the check on
  // the window thread the click would not return before the answer's limit.
  const std::string release = directory.file("release");
  const std::string browser =
      directory.write("slow-browser", "#!/bin/sh\nwhile [ ! -e '" + release + "' ]; do sleep 0.05; done\n"
                                      "echo 'Chromium 120.0.6099.224'\n");
  ::chmod(browser.c_str(), 0755);
  find<QLineEdit>("编辑框_google")->setText(QString::fromStdString(browser));
  QTest::mouseClick(find<QPushButton>("按钮_手动初始化"), Qt::LeftButton);
  directory.write("release", "");
  EXPECT_TRUE(eventually([&] { return !dialogs.messages.empty(); }));
  EXPECT_EQ(dialogs.messages, std::vector<std::string>{"初始化成功"});
}

TEST_F(StartupTest, OneShotTickFillsTheListShowsTitleSettingsAndStops) {
  directory.write("data/list/123.json", R"({"昵称":"小明","素材目录":"D:\\v","缓存id":"123"})");
  HistoryRow publishedToday;
  publishedToday.time = formatDateTime(std::chrono::system_clock::now());
  publishedToday.accountId = "123";
  publishedToday.outcome = AttemptOutcome::Published;
  ASSERT_TRUE(HistoryStore(directory.file("data/history.sqlite3")).append(publishedToday));
  start();
  auto* tabs = find<QTabWidget>("选择夹2");
  EXPECT_EQ(tabs->currentIndex(), 0);
  ASSERT_TRUE(eventually([&] { return tabs->currentIndex() == 3; }));
  EXPECT_EQ(tabs->tabText(3), "视频标题设置");
  ASSERT_TRUE(eventually([&] { return program->window().accountList()->model()->rowCount() == 1; }));
  EXPECT_EQ(program->controls().cell(0, 列_账号标识), "123");
  EXPECT_TRUE(eventually([&] { return program->controls().cell(0, 列_今天已发) == "1"; })) << "from the history";
  auto* timer = program->window().findChild<QTimer*>("时钟1");
  ASSERT_NE(timer, nullptr);
  EXPECT_TRUE(eventually([&] { return !timer->isActive(); }));
  // A page the operator chooses afterwards stays.
  tabs->setCurrentIndex(1);
  EXPECT_EQ(program->controls().currentPage(ControlId::选择夹2), 1);
}

TEST_F(StartupTest, AJobThatEndsByItselfShowsItsSummaryButAStoppedOneDoesNot) {
  start();
  bool afterwards = false;
  showSummaryWhenJobEnds(*program, [&afterwards] { afterwards = true; });
  ControlModel& controls = program->controls();
  controls.setChecked(ControlId::选择框_自动循环, false);
  Runtime& runtime = program->runtime();
  runtime.toggleJob();  // an empty list: the job ends at once, by itself
  ASSERT_TRUE(eventually([&] { return afterwards; }));
  EXPECT_TRUE(controls.statusText(1).starts_with("运行小结：用时 ")) << controls.statusText(1);

  controls.setStatusText(1, "");
  afterwards = false;
  controls.setChecked(ControlId::选择框_自动循环, true);
  controls.setText(ControlId::编辑框_循环间隔, "100");
  runtime.toggleJob();
  runtime.toggleJob();  // stopped
  runtime.job().waitUntilIdle();
  QCoreApplication::processEvents();
  EXPECT_EQ(controls.statusText(1), "");
  EXPECT_FALSE(afterwards);
}

TEST_F(StartupTest, PressingTheProgramFolderLabelOpensTheFolder) {
  start();
  UrlRecorder recorder;
  QDesktopServices::setUrlHandler("file", &recorder, "open");
  QTest::mousePress(find<QLabel>("标签15"), Qt::LeftButton);
  QDesktopServices::unsetUrlHandler("file");
  ASSERT_EQ(recorder.opened.size(), 1);
  EXPECT_EQ(fs::path(recorder.opened.front().toLocalFile().toStdString()), fs::path(directory.path() + "/"));
}

TEST_F(StartupTest, CloseButtonHidesFirstAndTheWindowCloseDoesNot) {
  start();
  QTest::mouseClick(find<QPushButton>("按钮26"), Qt::LeftButton);
  program->window().close();
  EXPECT_EQ(closes, (std::vector<bool>{true, false}));
}

// The real close sequence ends the test process, so it runs in a child; the
// child finds the parent's directory in the environment.
class CloseSequenceTest : public StartedProgram {
 protected:
  std::string sharedDirectory() {
    if (const char* inherited = std::getenv("VIDRALO_CLOSE_TEST_DIR")) return inherited;
    setenv("VIDRALO_CLOSE_TEST_DIR", directory.path().c_str(), 1);
    return directory.path();
  }
  void TearDown() override {
    unsetenv("VIDRALO_CLOSE_TEST_DIR");
    StartedProgram::TearDown();
  }
  std::string settingsFile(const std::string& folder) { return gbkToUtf8(readFile(folder + "/data/setsoft.ini")); }
};

TEST_F(CloseSequenceTest, CloseButtonSavesAndEndsTheProcessWithCodeZero) {
  const std::string folder = sharedDirectory();
  EXPECT_EXIT(
      {
        setProgramDirectory(folder);
        Program real;
        onMainWindowCreated(real);
        real.controls().setText(ControlId::编辑框_视频间隔, "66");
        real.controls().setChecked(ControlId::单选框_选择视频_顺序, true);
        QTest::mouseClick(real.window().findChild<QPushButton*>("按钮26"), Qt::LeftButton);
      },
      ::testing::ExitedWithCode(0), "");
  const std::string saved = settingsFile(folder);
  EXPECT_NE(saved.find("编辑框_视频间隔=66"), std::string::npos);
  EXPECT_NE(saved.find("单选框_选择视频_顺序=真"), std::string::npos);
}

TEST_F(CloseSequenceTest, ClosingTheWindowSavesAndEndsTheProcessWithCodeZero) {
  const std::string folder = sharedDirectory();
  EXPECT_EXIT(
      {
        setProgramDirectory(folder);
        Program real;
        onMainWindowCreated(real);
        real.controls().setText(ControlId::编辑框_账号间隔, "71");
        real.window().show();
        real.window().close();
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_NE(settingsFile(folder).find("编辑框_账号间隔=71"), std::string::npos);
}

TEST(AppInfoTest, ConstantsAndTheConfiguredHomePage) {
  TempDir folder;
  setProgramDirectory(folder.path());
  const AppInfo unconfigured = makeAppInfo();
  EXPECT_EQ(unconfigured.title, "Vidralo");
  EXPECT_EQ(unconfigured.productId, "vidralo");
  EXPECT_EQ(unconfigured.version, "1.2");
  EXPECT_EQ(unconfigured.homePage, "");
  folder.write("config.ini", "[hosts]\nhome = https://example.org/\n");
  EXPECT_EQ(makeAppInfo().homePage, "https://example.org/vidralo");
}

TEST(ScreenshotTest, RendersTheStartedWindowAndExits) {
  TempDir folder;
  const QString png = QString::fromStdString(folder.file("window.png"));
  QProcess process;
  process.start(VIDRALO_EXECUTABLE, {"--dir", QString::fromStdString(folder.path()), "--screenshot", png});
  ASSERT_TRUE(process.waitForFinished(60000));
  EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(process.exitCode(), 0);
  QImage image(png);
  // The client area: the outer size less whatever frame the platform draws.
  EXPECT_LE(image.width(), 1026);
  EXPECT_GE(image.width(), 1000);
  EXPECT_LE(image.height(), 570);
  EXPECT_GE(image.height(), 540);
  EXPECT_TRUE(fs::is_directory(folder.file("data/list")));
  // A screenshot saves nothing.
  EXPECT_FALSE(fs::exists(folder.file("data/setsoft.ini")));
}

}  // namespace
}  // namespace vidralo::test
