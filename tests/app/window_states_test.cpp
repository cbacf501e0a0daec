// What the window tells the operator about the job, the browsers and the
// account editor must be true at every moment: the button, the rows, the
// status bar.
#include <QLabel>
#include <QPushButton>
#include <QTableView>

#include "app/runtime/runtime.h"
#include "app_fixture.h"
#include "controls/control_info.h"
#include "simulator/simulated_platform.h"
#include "support/processes.h"

namespace vidralo::test {
namespace {

class WindowStatesTest : public StartedProgram {
 protected:
  void configurePlatform(const std::string& origin = "http://127.0.0.1:9") {
    directory.write("config.ini", "[hosts]\nplatform = " + origin + "\n[browser]\nheadless = true\n");
  }
  // An account whose folder holds `videos` files; one video per turn, and
  // the job never loops.
  void addAccount(const std::string& id, int videos) {
    ControlModel& controls = program->controls();
    // The start-up reload of the list would drop this row.
    controls.setText(ControlId::时钟1, "0");
    for (int i = 1; i <= videos; ++i) directory.write("acct" + id + "/v" + std::to_string(i) + ".mp4", "video");
    controls.appendRow({"1", "", directory.file("acct" + id), id});
    controls.setChecked(ControlId::选择框_自动循环, false);
    controls.setChecked(ControlId::选择框_切换账号, false);
  }
  // A browser of the program's engine on a profile inside the test's folder;
  // it does not wait for any page.
  void startBrowser(const sim::SimulatedPlatform& platform) {
    const StartedBrowser started = program->runtime().engine().startBrowser(
        platform.uploadPageUrl(), {.profileDirectory = directory.file("huancun/vesko7")});
    ASSERT_NE(started.browserId, 0u);
  }
  void clickStart() { QTest::mouseClick(find<QPushButton>("开始"), Qt::LeftButton); }
  QString statusCell(int row) {
    QTableView* list = program->window().accountList();
    return list->model()->index(row, 列_状态).data().toString();
  }
};

TEST_F(WindowStatesTest, AStartWithNothingToPublishSaysWhatIsMissingAndStartsNothing) {
  start();
  clickStart();
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_TRUE(dialogs.messages.back().starts_with("没有账号"));
  addAccount("1", 1);
  clickStart();
  ASSERT_EQ(dialogs.messages.size(), 2u);
  EXPECT_TRUE(dialogs.messages.back().starts_with("未配置平台地址"));
  EXPECT_EQ(program->controls().caption(ControlId::开始), "开始");
  EXPECT_FALSE(program->runtime().job().isRunning());
  // config.ini is read at the click, not at start-up.
  configurePlatform();
  clickStart();
  EXPECT_EQ(dialogs.messages.size(), 2u);
  EXPECT_TRUE(program->runtime().job().isRunning());
  clickStart();
}

TEST_F(WindowStatesTest, AJobThatEndsByItselfFreesTheButtonAndKeepsItsWholeSummaryUntilTheNextStart) {
  configurePlatform();
  start();
  addAccount("501", 0);
  addAccount("502", 0);
  clickStart();
  auto* button = find<QPushButton>("开始");
  ASSERT_TRUE(eventually([&] { return button->text() == "开始"; })) << "the job ended, the button says so";

  QLabel* part = program->window().statusPart(1);
  ASSERT_TRUE(eventually([&] { return part->toolTip().contains("账号 502"); }));
  EXPECT_TRUE(part->toolTip().contains("账号 501")) << part->toolTip().toStdString();
  EXPECT_LE(part->fontMetrics().horizontalAdvance(part->text()), part->contentsRect().width())
      << "the bar's part shows what fits";
  QTest::mouseClick(part, Qt::LeftButton);
  ASSERT_TRUE(eventually([&] { return !dialogs.messages.empty(); }));
  EXPECT_EQ(dialogs.messages.back(), program->controls().statusText(1));
  EXPECT_NE(dialogs.messages.back().find("账号 502"), std::string::npos);

  clickStart();
  // The new job may already say something of its own there, but not the old summary.
  EXPECT_EQ(program->controls().statusText(1).find("运行小结"), std::string::npos) << "a new start clears the last summary";
  clickStart();
}

TEST_F(WindowStatesTest, StopMarksTheRowOfTheInterruptedVideoAsStopped) {
  configurePlatform();
  start();
  addAccount("1", 1);
  // Every hour forbidden: the video waits inside its time while the row counts.
  ControlModel& controls = program->controls();
  std::string allHours;
  for (int hour = 0; hour < 24; ++hour) allHours += std::to_string(hour) + "点";
  controls.setChecked(ControlId::选择框_禁止指定时间, true);
  controls.setText(ControlId::编辑框_禁止指定时间, allHours);
  clickStart();
  ASSERT_TRUE(eventually([&] { return statusCell(0).startsWith("耗时："); }));
  clickStart();
  ASSERT_TRUE(eventually([&] { return statusCell(0) == "已停止"; })) << statusCell(0).toStdString();
  QTest::qWait(1500);
  EXPECT_EQ(statusCell(0), "已停止") << "no ticker writes after the stop";
}

TEST_F(WindowStatesTest, TheBrowserCountFollowsTheBrowsersRunningNow) {
  sim::SimulatedPlatform platform;
  ASSERT_TRUE(platform.start());
  configurePlatform(platform.origin());
  start();
  QLabel* part = program->window().statusPart(2);
  program->controls().setStatusText(2, "已启动浏览器：1");
  EXPECT_TRUE(eventually([&] { return part->text() == "已启动浏览器：0"; })) << "none runs";

  startBrowser(platform);
  EXPECT_TRUE(eventually([&] { return part->text() == "已启动浏览器：1"; })) << part->text().toStdString();
  program->runtime().closeAllBrowsers();
  EXPECT_TRUE(eventually([&] { return part->text() == "已启动浏览器：0"; })) << part->text().toStdString();
}

TEST_F(WindowStatesTest, SavingAnAccountSaysSoInTheStatusBar) {
  start();
  ControlModel& controls = program->controls();
  controls.setText(ControlId::编辑框_视频素材目录, directory.path());
  QTest::mouseClick(find<QPushButton>("按钮_修改账号信息"), Qt::LeftButton);
  EXPECT_EQ(controls.statusText(1), "账号已保存：100");
}

TEST_F(WindowStatesTest, BrowsersThatEndWithTheProgramAreClosedWithItsWindow) {
  // The demo's browsers work on a platform that ends with the program.
  sim::SimulatedPlatform platform;
  ASSERT_TRUE(platform.start());
  configurePlatform(platform.origin());
  start();
  program->closeBrowsersWithProgram();
  startBrowser(platform);
  ASSERT_EQ(program->runtime().engine().runningBrowserCount(), 1);
  program->window().close();
  EXPECT_EQ(closes.size(), 1u);
  EXPECT_EQ(program->runtime().engine().runningBrowserCount(), 0);
  EXPECT_TRUE(processesMentioning(directory.file("huancun")).empty());
}

}  // namespace
}  // namespace vidralo::test
