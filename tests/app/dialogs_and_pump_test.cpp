// Message boxes from any thread, waits that keep the window alive, and the
// batching of model changes on their way to the GUI thread.
#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <atomic>
#include <thread>

#include "app/window/message_dialogs.h"
#include "app/window/model_change_queue.h"
#include "app_fixture.h"
#include "common/pumped_wait.h"

namespace vidralo::test {
namespace {

struct SeenBox {
  QString title;
  QString text;
  QMessageBox::Icon icon = QMessageBox::Information;
  QList<QMessageBox::StandardButton> buttons;
  QStringList buttonTexts;
  QWidget* parent = nullptr;
  bool onGuiThread = false;
};

// Answers the next message box with `answer` and records what it looked like.
class BoxAnswerer {
 public:
  explicit BoxAnswerer(QMessageBox::StandardButton answer) {
    QObject::connect(&poll_, &QTimer::timeout, [this, answer] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box) return;
      seen.title = box->windowTitle();
      seen.text = box->text();
      seen.icon = box->icon();
      for (QAbstractButton* button : box->buttons()) {
        seen.buttons << box->standardButton(button);
        seen.buttonTexts << button->text().remove(u'&');
      }
      seen.parent = box->parentWidget();
      seen.onGuiThread = box->thread() == QApplication::instance()->thread();
      box->button(answer)->click();
      poll_.stop();
    });
    poll_.start(5);
  }
  SeenBox seen;

 private:
  QTimer poll_;
};

TEST(MessageDialogsTest, MessageFromAWorkerThreadShowsOneOkBoxOverTheWindow) {
  QWidget owner;
  owner.show();
  MessageDialogs dialogs(&owner);
  BoxAnswerer answerer(QMessageBox::Ok);
  std::atomic<bool> returned = false;
  std::thread worker([&] {
    dialogs.message("保存成功");
    returned = true;
  });
  ASSERT_TRUE(QTest::qWaitFor([&] { return returned.load(); }, 10000));
  worker.join();
  EXPECT_EQ(answerer.seen.title, "信息：");
  EXPECT_EQ(answerer.seen.text, "保存成功");
  EXPECT_EQ(answerer.seen.icon, QMessageBox::NoIcon);
  EXPECT_EQ(answerer.seen.buttons, QList<QMessageBox::StandardButton>{QMessageBox::Ok});
  EXPECT_EQ(answerer.seen.parent, &owner);
  EXPECT_TRUE(answerer.seen.onGuiThread);
}

TEST(MessageDialogsTest, QuestionsOfferOkAndCancelAndReportTheAnswer) {
  QWidget owner;
  MessageDialogs dialogs(&owner);
  {
    BoxAnswerer answerer(QMessageBox::Cancel);
    EXPECT_FALSE(dialogs.question("确定删除吗？", "提示"));
    EXPECT_EQ(answerer.seen.title, "提示");
    EXPECT_EQ(answerer.seen.buttons.size(), 2);
    // Qt's own button texts speak the program's language.
    EXPECT_TRUE(answerer.seen.buttonTexts.contains("确定")) << answerer.seen.buttonTexts.join(',').toStdString();
    EXPECT_TRUE(answerer.seen.buttonTexts.contains("取消")) << answerer.seen.buttonTexts.join(',').toStdString();
  }
  BoxAnswerer answerer(QMessageBox::Ok);
  bool answer = false;
  std::thread worker([&] { answer = dialogs.question("确定删除吗？"); });
  const bool answered = QTest::qWaitFor([&] { return answerer.seen.onGuiThread; }, 10000);
  worker.join();
  ASSERT_TRUE(answered);
  EXPECT_TRUE(answer);
  EXPECT_EQ(answerer.seen.title, "信息：");
}

TEST(MessageDialogsTest, FolderChooserOpensAtTheGivenFolderAndCancelGivesNothing) {
  TempDir start;
  QWidget owner;
  MessageDialogs dialogs(&owner);
  QString title;
  QString shownFolder;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* chooser = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (!chooser) return;
    title = chooser->windowTitle();
    shownFolder = chooser->directory().absolutePath();
    chooser->reject();
    poll.stop();
  });
  poll.start(5);
  EXPECT_EQ(dialogs.chooseFolder(start.path()), std::nullopt);
  EXPECT_EQ(title, "请选择一个文件夹");
  EXPECT_EQ(shownFolder.toStdString(), start.path());
}

using GuiPumpTest = StartedProgram;

TEST_F(GuiPumpTest, AWaitOnTheGuiThreadKeepsServingTheWindow) {
  start();
  QCoreApplication::processEvents();
  bool timerRan = false;
  QTimer::singleShot(0, [&] { timerRan = true; });
  std::thread([this] { program->controls().setText(ControlId::编辑框_循环间隔, "33"); }).join();
  EXPECT_TRUE(PumpedWait(100, 0));
  // Nothing but the wait has served events since.
  EXPECT_TRUE(timerRan);
  EXPECT_EQ(find<QLineEdit>("编辑框_循环间隔")->text(), "33");
}

TEST(ModelChangeQueueTest, ABurstOfChangesArrivesAsOneMergedBatch) {
  int deliveries = 0;
  ChangeBatch last;
  auto queue = ModelChangeQueue::create([&](ChangeBatch batch) {
    ++deliveries;
    last = std::move(batch);
  });
  for (int i = 0; i < 1000; ++i) queue->push({ControlId::编辑框_视频间隔, ControlProperty::Text});
  queue->push({ControlId::状态条1, ControlProperty::StatusPart, -1, 1});
  queue->push({ControlId::状态条1, ControlProperty::StatusPart, -1, 2});
  queue->push({ControlId::超级列表框1, ControlProperty::Rows, 7});
  queue->push({ControlId::超级列表框1, ControlProperty::Rows, 3});
  queue->push({ControlId::超级列表框1, ControlProperty::Cell, 5, 2});
  queue->push({ControlId::超级列表框1, ControlProperty::Cell, 9, 6});
  queue->push({ControlId::超级列表框1, ControlProperty::Cell, 6, 1});
  QCoreApplication::processEvents();

  ASSERT_EQ(deliveries, 1);
  EXPECT_EQ(last.controls.size(), 3u);
  EXPECT_EQ(last.lowestRowChanged, 3);
  ASSERT_TRUE(last.cells);
  EXPECT_EQ(last.cells->top, 5);
  EXPECT_EQ(last.cells->bottom, 9);
  EXPECT_EQ(last.cells->left, 1);
  EXPECT_EQ(last.cells->right, 6);
  EXPECT_FALSE(last.selectionChanged);

  // A clear counts from the first row; after detach nothing is delivered.
  queue->push({ControlId::超级列表框1, ControlProperty::Rows, -1});
  QCoreApplication::processEvents();
  EXPECT_EQ(deliveries, 2);
  EXPECT_EQ(last.lowestRowChanged, 0);
  queue->detach();
  queue->push({ControlId::编辑框_视频间隔, ControlProperty::Text});
  QCoreApplication::processEvents();
  EXPECT_EQ(deliveries, 2);
}

}  // namespace
}  // namespace vidralo::test
