#include "app/demo_start.h"

#include <cstdio>

#include "accounts/account_list.h"
#include "app/window/display_check.h"
#include "app/window/job_toggle.h"
#include "app/window/program.h"
#include "app/runtime/demo_setup.h"
#include "app/runtime/exit_codes.h"
#include "app/headless/headless_run.h"
#include "app/runtime/runtime.h"
#include "app/status/status_start.h"
#include "app/window/startup.h"
#include "common/program_dir.h"

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

}  // namespace

int runDemo(int argc, char** argv, const CommandLine& line) {
  const std::string folder = demoFolder(line.directory);
  if (line.directory && checkProgramDirectory(folder) != DirectoryCheck::Usable) {
    std::fprintf(stderr, "程序目录不存在或不是目录：%s\n", folder.c_str());
    return kExitBadDirectory;
  }
  std::string error;
  if (!resetDemoFolder(folder, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return kExitDemoFailed;
  }
  setProgramDirectory(folder);
  std::printf("演示目录：%s\n", programDirectory().c_str());
  std::fflush(stdout);
  std::unique_ptr<StatusServer> status;
  if (const int code = bindStatusPage(line.statusPort, status); code != kExitOk) return code;
  const StartWatching watch = watchRunWith(status.get());

  const bool inWindow = !line.headless && displayAvailable();
  Demo demo;
  // Visible browsers need a desktop; on the offscreen platform they run headless.
  if (!demo.prepare(inWindow && windowsSeen(), error)) {
    std::fprintf(stderr, "演示无法准备：%s\n", error.c_str());
    return kExitDemoFailed;
  }
  std::vector<ControlSetting> settings = Demo::settings();
  settings.insert(settings.end(), line.settings.begin(), line.settings.end());

  if (inWindow)
    return startProgram(argc, argv, {std::nullopt, settings, [&demo](Program& p) { startDemoJob(p, demo); }, watch});
  return runHeadless(argc, argv, {settings, [&demo](Runtime& runtime) {
                                    for (const std::string& text : demo.publicationLines()) std::printf("%s\n", text.c_str());
                                    std::fflush(stdout);
                                    runtime.closeAllBrowsers();
                                    return demo.publishedEverything() ? kExitOk : kExitDemoFailed;
                                  },
                                  watch});
}

}  // namespace vidralo
