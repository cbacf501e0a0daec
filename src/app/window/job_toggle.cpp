#include "app/window/job_toggle.h"

#include <QCoreApplication>
#include <QMetaObject>

#include "app/runtime/runtime.h"
#include "app/window/program.h"
#include "common/app_config.h"

namespace vidralo {
namespace {

constexpr int kMessagePart = 1;

// Why a job cannot start now; empty when it can.
std::string missingForStart(const ControlModel& controls) {
  if (controls.rowCount() == 0) return "没有账号：请先在账号列表上右键添加账号";
  // Read now: config.ini may have been edited since the program started.
  if (uploadPageUrl().empty()) return "未配置平台地址（config.ini [hosts] platform）";
  return {};
}

}  // namespace

void toggleJob(Program& program) {
  ControlModel& controls = program.controls();
  if (controls.caption(ControlId::开始) == "开始") {
    if (const std::string missing = missingForStart(controls); !missing.empty()) {
      program.dialogs().message(missing);
      return;
    }
    // The previous job's summary stays until now.
    controls.setStatusText(kMessagePart, "");
  }
  program.runtime().toggleJob();
}

void showSummaryWhenJobEnds(Program& program, std::function<void()> afterwards) {
  // The job and the controls outlive every job thread; the program object
  // may already be taking itself apart when the last one ends.
  JobRunner& job = program.runtime().job();
  ControlModel& controls = program.controls();
  job.setJobEndedCallback([&job, &controls, afterwards = std::move(afterwards)](bool endedByItself) {
    if (!endedByItself) return;
    std::string text;
    for (const std::string& line : job.summary().lines()) text += (text.empty() ? "" : "\n") + line;
    controls.setStatusText(kMessagePart, text);
    if (QCoreApplication* application = QCoreApplication::instance(); application && afterwards)
      QMetaObject::invokeMethod(application, afterwards, Qt::QueuedConnection);
  });
}

}  // namespace vidralo
