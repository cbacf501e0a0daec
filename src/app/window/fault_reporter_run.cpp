#include "app/window/fault_reporter_run.h"

#include <signal.h>

#include <QApplication>
#include <QMessageBox>
#include <cstdio>

#include "app/runtime/app_info.h"
#include "app/window/display_check.h"
#include "app/window/qt_text.h"
#include "common/program_dir.h"
#include "online/crash_handler.h"
#include "online/fault_report.h"

namespace vidralo {
namespace {

void printMessage(const std::string& text, const std::string& title) {
  std::fprintf(stderr, "%s\n%s\n", title.c_str(), text.c_str());
  std::fflush(stderr);
}

}  // namespace

int runFaultReporter(const std::string& file) {
  // The crashed program's standard error may be a pipe whose reader has gone
  // with it; the report must still be sent.
  signal(SIGPIPE, SIG_IGN);
  const std::optional<CrashRecord> record = readCrashRecord(file);
  if (!record) {
    std::fprintf(stderr, "无法读取崩溃记录：%s\n", file.c_str());
    return 1;
  }
  setProgramDirectory(record->programDirectory);
  setAppInfo(makeAppInfo());
  if (!windowsSeen()) {
    reportFatalError(record->errorNumber, record->errorText, appInfo().version, printMessage);
    return 0;
  }
  int argc = 1;
  char name[] = "vidralo";
  char* argv[] = {name, nullptr};
  QApplication application(argc, argv);
  reportFatalError(record->errorNumber, record->errorText, appInfo().version,
                   [](const std::string& text, const std::string& title) {
                     QMessageBox box(QMessageBox::NoIcon, toQt(title), toQtLines(text), QMessageBox::Ok);
                     box.exec();
                   });
  return 0;
}

}  // namespace vidralo
