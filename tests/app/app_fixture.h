#pragma once
// A started program in a fresh program directory, with dialogs that answer
// by themselves and close paths that are recorded instead of ending the
// test process.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTest>
#include <QThread>
#include <memory>
#include <string>
#include <vector>

#include "app/window/main_window.h"
#include "app/window/program.h"
#include "controls/dialogs.h"
#include "support/temp_dir.h"

namespace vidralo::test {

class AnsweringDialogs final : public Dialogs {
 public:
  // Like the program's dialogs, a message from another thread is taken on
  // the GUI thread while its caller waits.
  void message(const std::string& text, const std::string&) override {
    QMetaObject::invokeMethod(
        qApp, [this, text] { messages.push_back(text); },
        QThread::currentThread() == qApp->thread() ? Qt::DirectConnection : Qt::BlockingQueuedConnection);
  }
  bool question(const std::string& text, const std::string&) override {
    messages.push_back(text);
    return answer;
  }
  std::optional<std::string> chooseFolder(const std::string&) override { return folder; }

  std::vector<std::string> messages;
  bool answer = true;
  std::optional<std::string> folder;
};

// Types `text` into `widget` as key presses (QTest types ASCII only).
void typeText(QWidget* widget, const QString& text);

class StartedProgram : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Creates the program and runs its creation event, as start-up does.
  void start();
  // Destroys the window and starts a new one in the same directory.
  void restart();

  template <typename T>
  T* find(const char* name) {
    return program->window().findChild<T*>(QString::fromUtf8(name));
  }
  // Serves events until `done` holds; false when it never does.
  template <typename Done>
  static bool eventually(Done done) {
    return QTest::qWaitFor(done, 10000);
  }

  TempDir directory;
  AnsweringDialogs dialogs;
  std::vector<bool> closes;  // one entry per close, true when hiding first
  std::unique_ptr<Program> program;
};

}  // namespace vidralo::test
