// vidralo-window.so: the window front end as the entry asks for it
// (front_end_modules.h), with the demo's job started in the window.
#include "accounts/account_list.h"
#include "app/runtime/demo_setup.h"
#include "app/runtime/front_end_modules.h"
#include "app/runtime/runtime.h"
#include "app/window/display_check.h"
#include "app/window/fault_reporter_run.h"
#include "app/window/job_toggle.h"
#include "app/window/program.h"
#include "app/window/startup.h"

namespace vidralo {
namespace {

std::string joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

// The job starts as a click on 开始 would, once the demo's accounts are in
// the list; the start-up's delayed reload is not needed any more. The demo's
// browsers work on a platform that ends with the program: they are closed
// when the job ends, and at the latest when the window closes.
void startDemoJob(Program& program, const Demo& demo) {
  program.controls().setText(ControlId::时钟1, "0");
  program.closeBrowsersWithProgram();
  reloadAccounts(program.accounts());
  showSummaryWhenJobEnds(program, [&program, &demo] {
    // Closing waits on the browsers, which the window's thread never does.
    program.startThread([&program] { program.runtime().closeAllBrowsers(); });
    program.dialogs().message(joined(demo.publicationLines()), "演示");
  });
  toggleJob(program);
}

int start(int argc, char** argv, const WindowRequest& request) {
  std::function<void(Program&)> started;
  if (const Demo* demo = request.demo) started = [demo](Program& program) { startDemoJob(program, *demo); };
  return startProgram(argc, argv, {request.screenshot, request.settings, started, request.watch});
}

constexpr WindowModule kModule{displayAvailable, windowsSeen, runFaultReporter, start};

}  // namespace
}  // namespace vidralo

extern "C" const vidralo::WindowModule* vidralo_window_module() { return &vidralo::kModule; }
