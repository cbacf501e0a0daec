#include "app_fixture.h"

#include <QKeyEvent>

#include "app/runtime/app_info.h"
#include "app/window/startup.h"
#include "common/program_dir.h"

namespace vidralo::test {

void StartedProgram::SetUp() {
  setProgramDirectory(directory.path());
  setAppInfo(makeAppInfo());
}

void StartedProgram::TearDown() { program.reset(); }

void StartedProgram::start() {
  Program::Options options;
  options.dialogs = &dialogs;
  options.close = [this](bool hideFirst) { closes.push_back(hideFirst); };
  program = std::make_unique<Program>(options);
  onMainWindowCreated(*program);
  program->window().show();
  // What start-up wrote into the model reaches the widgets through the loop.
  QCoreApplication::processEvents();
}

void typeText(QWidget* widget, const QString& text) {
  for (QChar character : text) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(character));
    QCoreApplication::sendEvent(widget, &press);
  }
}

void StartedProgram::restart() {
  program.reset();
  start();
}

}  // namespace vidralo::test
