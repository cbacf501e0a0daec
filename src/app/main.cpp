#include <cstdio>

#include "app/demo_start.h"
#include "app/headless/add_account_command.h"
#include "app/headless/check_logins_command.h"
#include "app/headless/headless_run.h"
#include "app/headless/login_command.h"
#include "app/runtime/app_info.h"
#include "app/runtime/command_line.h"
#include "app/runtime/exit_codes.h"
#include "app/runtime/front_end_modules.h"
#include "app/runtime/history_command.h"
#include "app/runtime/instance_lock.h"
#include "app/runtime/program_directory_choice.h"
#include "app/runtime/settings_listing.h"
#include "online/disclaimer.h"
#include "common/program_dir.h"
#include "shell/restart.h"

using namespace vidralo;

// The command line is read before anything needs a display, so --help,
// --version, a bad option and a missing display all end with a clear text.
// The window and the status page are modules (module_loader.h), loaded only
// when chosen: the terminal commands and the headless run never map Qt
// Widgets or the web server.
int main(int argc, char** argv) {
  rememberCommandLine(argc, argv);
  std::string error;
  const std::optional<CommandLine> line = parseCommandLine({argv, argv + argc}, error);
  if (!line) {
    std::fprintf(stderr, "%s\n\n%s", error.c_str(), usageText().c_str());
    return kExitBadArguments;
  }
  if (line->help) {
    std::fputs(usageText().c_str(), stdout);
    return kExitOk;
  }
  if (line->version) {
    std::printf("%s\n", versionText().c_str());
    return kExitOk;
  }
  // The demo keeps a folder of its own and never touches the program's.
  if (line->demo) return runDemo(argc, argv, *line);
  // The reporter takes the crashed program's directory from its record, and
  // prints nothing before it ignores SIGPIPE: the crashed program's output
  // pipe may have lost its reader.
  if (line->faultFile) {
    const WindowModule* window = windowModule();
    return window ? window->runFaultReporter(*line->faultFile) : kExitNoDisplay;
  }
  if (line->acceptDisclaimer) {
    if (!acceptDisclaimer()) {
      std::fprintf(stderr, "免责声明的确认无法写入：%s\n", disclaimerMarkerPath().c_str());
      return kExitDisclaimerNotSaved;
    }
    std::printf("已接受免责声明（%s）\n", disclaimerMarkerPath().c_str());
    if (!line->headless) return kExitOk;
  }
  // The history goes to standard output alone, so that it can be piped.
  if (const int code = chooseProgramDirectory(line->directory, line->history ? stderr : stdout); code != kExitOk)
    return code;
  if (line->listSettings) {
    std::fputs(settingsListing().c_str(), stdout);
    return kExitOk;
  }
  if (line->history) return printHistory(*line->history, stdout, stderr);
  // Held until the process ends.
  const InstanceLock instance(programDirectory(), std::chrono::seconds(5));
  if (!instance.held()) {
    std::fprintf(stderr, "%s\n", anotherInstanceText(programDirectory(), instance.holder()).c_str());
    return kExitAnotherInstance;
  }
  if (line->addAccountFolder) return runAddAccount(*line->addAccountFolder, line->nickname);
  if (line->loginAccount) return runLogin(argc, argv, *line->loginAccount, line->loginWaitSeconds);
  if (line->checkLogins) return runCheckLogins(argc, argv);
  const WindowModule* window = line->headless ? nullptr : windowModule();
  if (!line->headless && !window) return kExitNoDisplay;
  if (window && !window->displayAvailable()) {
    std::fprintf(stderr,
                 "没有可用的显示器（DISPLAY/WAYLAND_DISPLAY 未设置或无法打开），无法打开窗口："
                 "请用 --headless 无窗口运行，或用 --demo 试运行演示。\n");
    return kExitNoDisplay;
  }
  // The status page watches whichever front end runs the job; it is bound
  // first, so an address it may not use ends the start before anything runs.
  StartWatching watch;
  if (const int code = startStatusPage(line->statusPort, watch); code != kExitOk) return code;
  if (line->headless) return runHeadless(argc, argv, {line->settings, {}, watch});
  return window->start(argc, argv, {line->screenshot, line->settings, watch});
}
