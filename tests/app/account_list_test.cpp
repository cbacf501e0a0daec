// The account list: large row counts written from other threads, selection,
// and the right-click menu.
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>
#include <QSignalSpy>
#include <QTableView>
#include <QWindow>
#include <thread>

#include "app/window/account_table_model.h"
#include "app_fixture.h"
#include "controls/control_info.h"

namespace vidralo::test {
namespace {

using AccountListTest = StartedProgram;

std::vector<std::string> accountRow(int number) {
  const std::string text = std::to_string(number);
  return {text, "昵称" + text, "D:\\videos\\" + text, "id" + text};
}

QString shown(QTableView* list, int row, int column) {
  return list->model()->index(row, column).data().toString();
}

TEST_F(AccountListTest, ColumnsCarryTheirTitlesAndAtLeastTheirWidths) {
  start();
  QTableView* list = program->window().accountList();
  ASSERT_EQ(list->model()->columnCount(), 18);
  const auto columns = accountColumns();
  for (int column = 0; column < 18; ++column) {
    EXPECT_EQ(list->model()->headerData(column, Qt::Horizontal).toString().toStdString(),
              columns[static_cast<std::size_t>(column)].title);
    // Wider where the title needs it.
    EXPECT_GE(list->horizontalHeader()->sectionSize(column), columns[static_cast<std::size_t>(column)].width);
  }
  EXPECT_EQ(list->model()->headerData(6, Qt::Horizontal).toString(), "今天已发");
}

TEST_F(AccountListTest, TenThousandRowsFromAnotherThreadStayConsistent) {
  start();
  ControlModel& controls = program->controls();
  QTableView* list = program->window().accountList();
  std::thread filler([&controls] {
    for (int i = 1; i <= 10000; ++i) controls.appendRow(accountRow(i));
  });
  // While rows arrive the view never shows more rows than the model has.
  while (list->model()->rowCount() < 10000) {
    QCoreApplication::processEvents();
    ASSERT_LE(list->model()->rowCount(), controls.rowCount());
  }
  filler.join();
  EXPECT_EQ(shown(list, 9999, 列_账号标识), "id10000");
  EXPECT_EQ(shown(list, 0, 列_昵称), "昵称1");

  controls.setSelectedRow(5000);
  ASSERT_TRUE(eventually([&] { return list->selectionModel()->isRowSelected(5000, {}); }));

  // A removal above the selection shifts it with its row.
  controls.removeRow(0);
  ASSERT_TRUE(eventually([&] { return list->model()->rowCount() == 9999; }));
  EXPECT_EQ(shown(list, 0, 列_账号标识), "id2");
  EXPECT_TRUE(list->selectionModel()->isRowSelected(4999, {}));

  std::thread([&controls] { controls.setCell(9998, 列_状态, "上传失败"); }).join();
  EXPECT_TRUE(eventually([&] { return shown(list, 9998, 列_状态) == "上传失败"; }));

  controls.clearRows();
  EXPECT_TRUE(eventually([&] { return list->model()->rowCount() == 0; }));
}

TEST_F(AccountListTest, AppendsKeepTheSelectionAndInsertionsInTheMiddleReset) {
  start();
  ControlModel& controls = program->controls();
  for (int i = 1; i <= 3; ++i) controls.appendRow(accountRow(i));
  ASSERT_TRUE(eventually([&] { return program->window().accountList()->model()->rowCount() == 3; }));
  auto* table = static_cast<AccountTableModel*>(program->window().accountList()->model());
  QSignalSpy resets(table, &QAbstractItemModel::modelReset);
  QSignalSpy inserts(table, &QAbstractItemModel::rowsInserted);

  controls.appendRow(accountRow(4));
  controls.appendRow(accountRow(5));
  ASSERT_TRUE(eventually([&] { return table->rowCount() == 5; }));
  EXPECT_EQ(inserts.count(), 1);
  EXPECT_EQ(resets.count(), 0);

  controls.insertRow(1, accountRow(9));
  ASSERT_TRUE(eventually([&] { return table->rowCount() == 6; }));
  EXPECT_EQ(resets.count(), 1);
  EXPECT_EQ(table->index(1, 列_账号标识).data().toString(), "id9");
  EXPECT_EQ(table->index(2, 列_账号标识).data().toString(), "id2");
}

TEST_F(AccountListTest, RightClickSelectsTheRowAndOffersTheAccountMenu) {
  start();
  ControlModel& controls = program->controls();
  for (int i = 1; i <= 5; ++i) controls.appendRow(accountRow(i));
  QTableView* list = program->window().accountList();
  ASSERT_TRUE(eventually([&] { return list->model()->rowCount() == 5; }));

  int selectedWhenRun = -2;
  program->window().onMenuItem("此项移动到最底部", [&] { selectedWhenRun = controls.selectedRow(); });

  const QPoint position = list->visualRect(list->model()->index(2, 1)).center();
  QContextMenuEvent click(QContextMenuEvent::Mouse, position, list->viewport()->mapToGlobal(position));
  QCoreApplication::sendEvent(list->viewport(), &click);

  QMenu* menu = program->window().findChild<QMenu*>("账号管理");
  ASSERT_NE(menu, nullptr);
  EXPECT_TRUE(menu->isVisible());
  EXPECT_EQ(controls.selectedRow(), 2);
  EXPECT_TRUE(list->selectionModel()->isRowSelected(2, {}));
  QStringList items;
  for (QAction* action : menu->actions()) items << action->text();
  EXPECT_EQ(items, QStringList({"添加账号", "删除此账号", "清空账号列表", "配置登陆此账号", "此项移动到最底部",
                                "使用cookies登陆此账号"}));
  menu->actions().at(4)->trigger();
  EXPECT_EQ(selectedWhenRun, 2);
  menu->hide();
}

TEST_F(AccountListTest, TheClickThatOpensTheMenuChoosesNothing) {
  start();
  int added = 0;
  program->window().onMenuItem("添加账号", [&] { ++added; });
  QTableView* list = program->window().accountList();
  // Through the window system, as a desktop delivers the click: the press
  // opens the menu under the mouse, which grabs the pointer.
  QWindow* window = program->window().windowHandle();
  const QPoint position = list->viewport()->mapTo(&program->window(), list->viewport()->rect().center());
  QTest::mousePress(window, Qt::RightButton, {}, position);
  QMenu* menu = program->window().findChild<QMenu*>("账号管理");
  ASSERT_TRUE(eventually([&] { return menu->isVisible(); }));
  // The release of the opening click lands on the first item.
  const QPoint onFirstItem = menu->actionGeometry(menu->actions().first()).center();
  QTest::mouseRelease(menu->windowHandle(), Qt::RightButton, {}, onFirstItem);
  QCoreApplication::processEvents();
  EXPECT_EQ(added, 0);
  EXPECT_TRUE(menu->isVisible()) << "the menu waits for a choice";
  QTest::mouseClick(menu, Qt::LeftButton, {}, onFirstItem);
  EXPECT_EQ(added, 1) << "a deliberate click chooses";
}

TEST_F(AccountListTest, LeftClickSelectsTheRowBeforeItsHandlerRuns) {
  start();
  ControlModel& controls = program->controls();
  for (int i = 1; i <= 3; ++i) controls.appendRow(accountRow(i));
  QTableView* list = program->window().accountList();
  ASSERT_TRUE(eventually([&] { return list->model()->rowCount() == 3; }));
  int clicked = -1;
  int selectedWhenRun = -1;
  program->window().onRowClicked([&](int row) {
    clicked = row;
    selectedWhenRun = controls.selectedRow();
  });
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(1, 0)).center());
  EXPECT_EQ(clicked, 1);
  EXPECT_EQ(selectedWhenRun, 1);
}

}  // namespace
}  // namespace vidralo::test
