#include "app/window/message_dialogs.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QThread>

#include "app/window/qt_text.h"

namespace vidralo {
namespace {

// Runs `show` on the GUI thread and returns its result; a call from another
// thread blocks until the dialog has been answered.
template <typename Show>
auto onGuiThread(Show show) {
  QCoreApplication* app = QCoreApplication::instance();
  if (QThread::currentThread() == app->thread()) return show();
  decltype(show()) result{};
  QMetaObject::invokeMethod(app, [&] { result = show(); }, Qt::BlockingQueuedConnection);
  return result;
}

int runMessageBox(QWidget* owner, const std::string& text, const std::string& title,
                  QMessageBox::StandardButtons buttons) {
  QMessageBox box(QMessageBox::NoIcon, toQt(title), toQtLines(text), buttons, owner);
  box.setObjectName(QStringLiteral("信息框"));
  return box.exec();
}

}  // namespace

void MessageDialogs::message(const std::string& text, const std::string& title) {
  onGuiThread([&] { return runMessageBox(owner_, text, title, QMessageBox::Ok); });
}

bool MessageDialogs::question(const std::string& text, const std::string& title) {
  return onGuiThread([&] {
    return runMessageBox(owner_, text, title, QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
  });
}

std::optional<std::string> MessageDialogs::chooseFolder(const std::string& startFolder) {
  const QString chosen = onGuiThread([&] {
    return QFileDialog::getExistingDirectory(owner_, QStringLiteral("请选择一个文件夹"), toQt(startFolder));
  });
  if (chosen.isEmpty()) return std::nullopt;
  return fromQt(QDir::toNativeSeparators(chosen));
}

}  // namespace vidralo
