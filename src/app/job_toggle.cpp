#include "app/job_toggle.h"

#include <QCoreApplication>
#include <QMetaObject>

#include "app/program.h"
#include "app/runtime/runtime.h"

namespace vidralo {
namespace {

constexpr int kMessagePart = 1;

}  // namespace

void toggleJob(Program& program) { program.runtime().toggleJob(); }

void showSummaryWhenJobEnds(Program& program, std::function<void()> afterwards) {
  program.runtime().job().setJobEndedCallback([&program, afterwards = std::move(afterwards)] {
    ControlModel& controls = program.controls();
    // Stop turns the caption back to 开始 at once; a job that ended by
    // itself leaves 停止.
    if (controls.caption(ControlId::开始) != "停止") return;
    std::string text;
    for (const std::string& line : program.runtime().job().summary().lines()) text += (text.empty() ? "" : "；") + line;
    controls.setStatusText(kMessagePart, text);
    if (afterwards) QMetaObject::invokeMethod(QCoreApplication::instance(), afterwards, Qt::QueuedConnection);
  });
}

}  // namespace vidralo
