#include "app/job_toggle.h"

#include "app/program.h"

namespace vidralo {

void toggleJob(Program& program) {
  ControlModel& controls = program.controls();
  const bool running = controls.caption(ControlId::开始) == "停止";
  controls.setCaption(ControlId::开始, running ? "开始" : "停止");
}

}  // namespace vidralo
