#include "app/window/job_toggle.h"

#include <QCoreApplication>
#include <QMetaObject>

#include "app/window/program.h"
#include "app/runtime/runtime.h"

namespace vidralo {
namespace {

constexpr int kMessagePart = 1;

}  // namespace

void toggleJob(Program& program) { program.runtime().toggleJob(); }

void showSummaryWhenJobEnds(Program& program, std::function<void()> afterwards) {
  // The job and the controls outlive every job thread; the program object
  // may already be taking itself apart when the last one ends.
  JobRunner& job = program.runtime().job();
  ControlModel& controls = program.controls();
  job.setJobEndedCallback([&job, &controls, afterwards = std::move(afterwards)] {
    // Stop turns the caption back to 开始 at once; a job that ended by
    // itself leaves 停止.
    if (controls.caption(ControlId::开始) != "停止") return;
    std::string text;
    for (const std::string& line : job.summary().lines()) text += (text.empty() ? "" : "；") + line;
    controls.setStatusText(kMessagePart, text);
    if (QCoreApplication* application = QCoreApplication::instance(); application && afterwards)
      QMetaObject::invokeMethod(application, afterwards, Qt::QueuedConnection);
  });
}

}  // namespace vidralo
