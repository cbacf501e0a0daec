// The main window as the operator sees it: every control at its first-run
// value, the caption, and values travelling between widgets and the model.
#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTabWidget>
#include <thread>

#include <QHeaderView>
#include <QTableView>

#include "app/window/global_hot_key.h"
#include "app/window/window_state.h"
#include "settings/ini_profile.h"
#include "app_fixture.h"
#include "common/program_dir.h"
#include "controls/control_info.h"
#include "support/stand_in_dial_tools.h"

namespace vidralo::test {
namespace {

QString qt(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }
QString lines(std::string_view text) { return qt(text).replace("\r\n", "\n"); }

class MainWindowTest : public StartedProgram {
 protected:
  // A platform address and one account, so that 开始 starts a job.
  void makeStartable() {
    directory.write("config.ini", "[hosts]\nplatform = http://127.0.0.1:9\n");
    program->controls().appendRow({"1", "", directory.file("none"), "1"});
  }
};

// What the window must show for a control on a first run, where start-up
// replaces the form value.
std::string expectedFirstRunText(const ControlInfo& info) {
  if (info.id == ControlId::编辑框_随机封面目录) return programDirectory() + "/img";
  if (info.id == ControlId::标签15) return programDirectory() + "/";
  return std::string(isEditBox(info.kind) ? info.initial : info.caption);
}

TEST_F(MainWindowTest, EveryControlShowsItsFirstRunValue) {
  start();
  for (const ControlInfo& info : controlTable()) {
    SCOPED_TRACE(std::string(info.name));
    const QString name = qt(info.name);
    const QString expected = lines(expectedFirstRunText(info));
    const bool checked = info.initial == "真";
    switch (info.kind) {
      case ControlKind::Button: EXPECT_EQ(find<QPushButton>(info.name.data())->text(), expected); break;
      case ControlKind::Label: EXPECT_EQ(find<QLabel>(info.name.data())->text(), expected); break;
      case ControlKind::GroupBox: EXPECT_EQ(find<QGroupBox>(info.name.data())->title(), expected); break;
      case ControlKind::EditBox: EXPECT_EQ(find<QLineEdit>(info.name.data())->text(), expected); break;
      case ControlKind::MultiLineEdit:
        EXPECT_EQ(find<QPlainTextEdit>(info.name.data())->toPlainText(), expected);
        break;
      case ControlKind::CheckBox:
      case ControlKind::RadioButton: {
        auto* button = program->window().findChild<QAbstractButton*>(name);
        EXPECT_EQ(button->text(), expected);
        EXPECT_EQ(button->isChecked(), checked);
        break;
      }
      case ControlKind::ComboBox: EXPECT_EQ(find<QComboBox>(info.name.data())->count(), 0); break;
      case ControlKind::TabPage: {
        auto* page = program->window().findChild<QWidget*>(name);
        auto* tabs = program->window().findChild<QTabWidget*>(qt(info.parent));
        const auto pages = tabPages(*findControl(info.parent));
        const auto position = std::find(pages.begin(), pages.end(), info.id) - pages.begin();
        EXPECT_EQ(tabs->indexOf(page), position);
        EXPECT_EQ(tabs->tabText(tabs->indexOf(page)), expected);
        break;
      }
      default: EXPECT_NE(program->window().findChild<QObject*>(name), nullptr); break;
    }
  }
}

TEST_F(MainWindowTest, CaptionSizeAndStatusBarFollowTheForm) {
  start();
  MainWindow& window = program->window();
  EXPECT_EQ(window.windowTitle(), QString("Vidralov1.2          按键盘 Ctrl + Alt + K  可以快速开始或停止"));
  EXPECT_EQ(window.frameGeometry().size(), QSize(1026, 570));
  EXPECT_EQ(find<QTabWidget>("选择夹1")->count(), 5);
  EXPECT_EQ(find<QTabWidget>("选择夹2")->count(), 5);
  ASSERT_NE(find<QStatusBar>("状态条1"), nullptr);
  EXPECT_EQ(window.statusPart(0)->width(), 260);
  EXPECT_EQ(window.statusPart(1)->width(), 350);
  EXPECT_EQ(window.statusPart(2)->width(), 200);
  EXPECT_GT(window.statusPart(3)->width(), 0);
}

TEST_F(MainWindowTest, StartButtonTogglesItsCaption) {
  start();
  makeStartable();
  auto* button = find<QPushButton>("开始");
  QTest::mouseClick(button, Qt::LeftButton);
  EXPECT_EQ(program->controls().caption(ControlId::开始), "停止");
  EXPECT_TRUE(eventually([&] { return button->text() == "停止"; }));
  QTest::mouseClick(button, Qt::LeftButton);
  EXPECT_EQ(program->controls().caption(ControlId::开始), "开始");
}

TEST_F(MainWindowTest, RedialTestButtonRedialsOnAThreadAndShowsTheNewAddress) {
  // The stand-in NetworkManager dials; its link is the loopback interface.
  const StandInDialTools standIns(directory);
  directory.write("nm-running", "running\n");
  start();
  QTest::mouseClick(find<QPushButton>("按钮23"), Qt::LeftButton);
  EXPECT_TRUE(eventually([&] { return find<QLabel>("宽带_提示")->text() == lines("当前ip：\r\n重播成功新ip：127.0.0.1"); }))
      << find<QLabel>("宽带_提示")->text().toStdString();
  program.reset();
}

TEST_F(MainWindowTest, WithoutAGlobalGrabTheHotKeyWorksInTheProgramsWindows) {
  if (QGuiApplication::platformName() == "xcb") GTEST_SKIP() << "the desktop grants a global grab here";
  start();
  makeStartable();
  ASSERT_EQ(program->hotKey().kind(), GlobalHotKey::Kind::WindowShortcut);
  EXPECT_NE(program->hotKey().id(), 0);
  program->window().activateWindow();
  QTest::keyClick(&program->window(), Qt::Key_K, Qt::ControlModifier | Qt::AltModifier);
  EXPECT_EQ(program->controls().caption(ControlId::开始), "停止");
  // Also while an edit box has the focus.
  QTest::keyClick(find<QLineEdit>("编辑框_账号标识"), Qt::Key_K, Qt::ControlModifier | Qt::AltModifier);
  EXPECT_EQ(program->controls().caption(ControlId::开始), "开始");

  program->hotKey().release();
  EXPECT_EQ(program->hotKey().id(), 0);
  QTest::keyClick(&program->window(), Qt::Key_K, Qt::ControlModifier | Qt::AltModifier);
  EXPECT_EQ(program->controls().caption(ControlId::开始), "开始");
}

TEST_F(MainWindowTest, ChangesFromAnotherThreadReachTheWidgets) {
  start();
  ControlModel& controls = program->controls();
  std::thread writer([&controls] {
    controls.setText(ControlId::编辑框_视频间隔, "95");
    controls.setCaption(ControlId::分组框_控制, "任务进行中");
    controls.setChecked(ControlId::选择框_自动循环, false);
    controls.setChecked(ControlId::单选框_移动, true);
    controls.setText(ControlId::编辑框_标题库, "一\r\n二");
    controls.setStatusText(1, "视频素材目录没有视频");
    controls.addItem(ControlId::组合框_一级分类, {"电影", 2});
    controls.addItem(ControlId::组合框_一级分类, {"音乐", 3});
    controls.setCurrentIndex(ControlId::组合框_一级分类, 1);
    controls.setCurrentPage(ControlId::选择夹1, 2);
  });
  writer.join();
  EXPECT_TRUE(eventually([&] { return find<QTabWidget>("选择夹1")->currentIndex() == 2; }));
  EXPECT_EQ(find<QLineEdit>("编辑框_视频间隔")->text(), "95");
  EXPECT_EQ(find<QGroupBox>("分组框_控制")->title(), "任务进行中");
  EXPECT_FALSE(find<QCheckBox>("选择框_自动循环")->isChecked());
  EXPECT_TRUE(find<QRadioButton>("单选框_移动")->isChecked());
  EXPECT_FALSE(find<QRadioButton>("单选框_删除")->isChecked());
  EXPECT_EQ(find<QPlainTextEdit>("编辑框_标题库")->toPlainText(), "一\n二");
  EXPECT_EQ(program->window().statusPart(1)->text(), "视频素材目录没有视频");
  auto* combo = find<QComboBox>("组合框_一级分类");
  ASSERT_EQ(combo->count(), 2);
  EXPECT_EQ(combo->currentText(), "音乐");
  EXPECT_EQ(combo->currentData().toInt(), 3);
}

TEST_F(MainWindowTest, RadioGroupWithNothingCheckedIsShownSo) {
  start();
  program->controls().setChecked(ControlId::单选框_删除, false);
  EXPECT_TRUE(eventually([&] { return !find<QRadioButton>("单选框_删除")->isChecked(); }));
  EXPECT_FALSE(find<QRadioButton>("单选框_移动")->isChecked());
}

TEST_F(MainWindowTest, OperatorEditsReachTheModel) {
  start();
  ControlModel& controls = program->controls();
  auto* id = find<QLineEdit>("编辑框_账号标识");
  id->selectAll();
  QTest::keyClicks(id, "205");
  EXPECT_EQ(controls.text(ControlId::编辑框_账号标识), "205");

  auto* titles = find<QPlainTextEdit>("编辑框_标题库");
  titles->clear();
  QTest::keyClicks(titles, "a");
  QTest::keyClick(titles, Qt::Key_Return);
  QTest::keyClicks(titles, "b");
  EXPECT_EQ(controls.text(ControlId::编辑框_标题库), "a\r\nb");

  QTest::mouseClick(find<QCheckBox>("选择框_切换账号"), Qt::LeftButton);
  EXPECT_FALSE(controls.checked(ControlId::选择框_切换账号));

  auto* move = find<QRadioButton>("单选框_移动");
  QTest::mouseClick(move, Qt::LeftButton);
  EXPECT_TRUE(controls.checked(ControlId::单选框_移动));
  EXPECT_FALSE(controls.checked(ControlId::单选框_删除));
  EXPECT_TRUE(eventually([&] { return !find<QRadioButton>("单选框_删除")->isChecked(); }));
  // A second click on a checked radio button leaves it checked.
  QTest::mouseClick(move, Qt::LeftButton);
  EXPECT_TRUE(move->isChecked());
  EXPECT_TRUE(controls.checked(ControlId::单选框_移动));

  find<QTabWidget>("选择夹1")->setCurrentIndex(4);
  EXPECT_EQ(controls.currentPage(ControlId::选择夹1), 4);
}

TEST_F(MainWindowTest, ChoosingAComboItemSelectsItInTheModel) {
  start();
  ControlModel& controls = program->controls();
  controls.addItem(ControlId::组合框_二级分类, {"综艺", 33});
  controls.addItem(ControlId::组合框_二级分类, {"纪录片", 34});
  controls.setCurrentIndex(ControlId::组合框_二级分类, 0);
  auto* combo = find<QComboBox>("组合框_二级分类");
  ASSERT_TRUE(eventually([&] { return combo->count() == 2; }));
  QTest::keyClick(combo, Qt::Key_Down);
  EXPECT_EQ(controls.currentIndex(ControlId::组合框_二级分类), 1);
  EXPECT_EQ(controls.text(ControlId::组合框_二级分类), "纪录片");
}

TEST_F(MainWindowTest, GapEditsSitInsideTheBlanksOfTheirCaption) {
  start();
  auto inside = [&](const char* edit, const char* host) {
    const QRect editRect = find<QWidget>(edit)->geometry();
    const QRect hostRect = find<QWidget>(host)->geometry();
    return hostRect.contains(editRect.center()) && editRect.width() >= 16;
  };
  EXPECT_TRUE(inside("编辑框_单账号上传", "选择框_切换账号"));
  EXPECT_TRUE(inside("编辑框_封面图序列", "单选框_系统封面"));
  EXPECT_TRUE(inside("编辑框_视频间隔", "标签2"));
  EXPECT_TRUE(inside("编辑框_视频间隔1", "标签2"));
  EXPECT_TRUE(inside("编辑框_循环间隔", "选择框_自动循环"));
  EXPECT_TRUE(inside("放弃秒", "选择框_自动放弃"));
  EXPECT_TRUE(inside("编辑框_账号间隔", "选择框_2账号间隔"));
  EXPECT_TRUE(inside("编辑框_账号序列", "标签4"));
  // The two gaps of one caption get an edit box each, in caption order.
  EXPECT_LT(find<QWidget>("编辑框_视频间隔")->geometry().right(), find<QWidget>("编辑框_视频间隔1")->x());
}

TEST_F(MainWindowTest, ALargerWindowGivesItsRoomToTheAccountListWhoseCellsAreReadableWhole) {
  start();
  MainWindow& window = program->window();
  QTableView* list = window.accountList();
  const QSize listBefore = list->size();
  const QPoint buttonBefore = find<QWidget>("按钮2")->pos();
  window.resize(window.size() + QSize(600, 300));
  EXPECT_TRUE(eventually([&] { return list->size() == listBefore + QSize(600, 300); })) << "the list takes the room";
  EXPECT_EQ(find<QWidget>("按钮2")->pos(), buttonBefore + QPoint(0, 300)) << "what sits below the list moves down";
  EXPECT_EQ(find<QWidget>("开始")->pos(), QPoint(616, 8)) << "the rest keeps its place";

  const std::string folder = "/home/operator/videos/" + std::string(40, 'x');
  program->controls().appendRow({"1", "昵称", folder, "100"});
  program->controls().setCell(0, 列_状态, "延时72秒后继续");
  ASSERT_TRUE(eventually([&] { return list->model()->rowCount() == 1; }));
  QHeaderView* header = list->horizontalHeader();
  for (int column : {列_素材目录, 列_状态}) {
    const QString text = list->model()->index(0, column).data().toString();
    EXPECT_GE(header->sectionSize(column), list->fontMetrics().horizontalAdvance(text)) << "column " << column;
    EXPECT_EQ(list->model()->index(0, column).data(Qt::ToolTipRole).toString(), text);
  }
  EXPECT_TRUE(header->stretchLastSection());
  for (int column = 0; column < header->count(); ++column) {
    const QString title = list->model()->headerData(column, Qt::Horizontal).toString();
    EXPECT_GE(header->sectionSize(column), header->fontMetrics().horizontalAdvance(title)) << title.toStdString();
  }
}

TEST_F(MainWindowTest, SizeAndColumnWidthsAreKeptBetweenRunsAndDamagedValuesGiveTheDefaults) {
  start();
  const int defaultWidth = program->window().accountList()->horizontalHeader()->sectionSize(列_状态);
  auto saveAnotherSize = [this] {
    program->window().resize(1400, 800);
    program->window().accountList()->horizontalHeader()->resizeSection(列_状态, 230);
    return saveWindowState(*program);
  };
  ASSERT_TRUE(saveAnotherSize());
  restart();
  EXPECT_EQ(program->window().size(), QSize(1400, 800));
  EXPECT_EQ(program->window().accountList()->horizontalHeader()->sectionSize(列_状态), 230);

  const std::string ini = directory.file("data/setsoft.ini");
  struct Damage {
    const char* key;
    const char* value;
  };
  for (const Damage& damage : {Damage{"宽度", "1400px"}, Damage{"高度", "-800"}, Damage{"宽度", "99999999999"},
                               Damage{"列宽", "50,60"}, Damage{"列宽", "50,,60"}}) {
    SCOPED_TRACE(std::string(damage.key) + "=" + damage.value);
    ASSERT_TRUE(saveAnotherSize());
    ASSERT_TRUE(writeProfileString(ini, "窗口", damage.key, damage.value));
    restart();
    const bool sizeDamaged = std::string(damage.key) != "列宽";
    if (sizeDamaged)
      EXPECT_EQ(program->window().frameGeometry().size(), QSize(1026, 570));
    else
      EXPECT_EQ(program->window().size(), QSize(1400, 800));
    EXPECT_EQ(program->window().accountList()->horizontalHeader()->sectionSize(列_状态),
              sizeDamaged ? 230 : defaultWidth);
  }
}

TEST_F(MainWindowTest, ABrowserPathFromWindowsGivesWayToTheBrowserFoundHere) {
  directory.write("data/setsoft.ini",
                  "[编辑框]\r\n编辑框_google=C:\\Users\\Administrator\\AppData\\Local\\Google\\Chrome\\Application\\chrome.exe\r\n");
  start();
  auto* path = find<QLineEdit>("编辑框_google");
  EXPECT_EQ(path->text(), "");
  EXPECT_TRUE(path->placeholderText().startsWith("自动找到：/")) << path->placeholderText().toStdString();
}

}  // namespace
}  // namespace vidralo::test
