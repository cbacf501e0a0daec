#include "app/headless/headless_run.h"

#include <signal.h>

#include <QCoreApplication>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>

#include "app/headless/headless_online.h"
#include "app/headless/headless_setup.h"
#include "app/headless/progress_printer.h"
#include "app/runtime/app_info.h"
#include "app/runtime/exit_codes.h"
#include "app/runtime/runtime.h"
#include "common/stop.h"
#include "log/date_time.h"
#include "log/error_log.h"
#include "settings/control_state_store.h"
#include "settings/process_end.h"
#include "upload/attempt_history.h"

namespace vidralo {
namespace {

// Set by the job's end and by SIGINT/SIGTERM; the main thread waits on it.
class RunEnd {
 public:
  void jobEnded() { set(ended_); }
  void signal() { set(signalled_); }
  bool signalled() {
    std::lock_guard lock(mutex_);
    return signalled_;
  }
  // True when a signal, false when the job ended by itself.
  bool wait() {
    std::unique_lock lock(mutex_);
    wake_.wait(lock, [this] { return ended_ || signalled_; });
    return signalled_;
  }

 private:
  void set(bool& flag) {
    std::lock_guard lock(mutex_);
    flag = true;
    wake_.notify_all();
  }
  std::mutex mutex_;
  std::condition_variable wake_;
  bool ended_ = false;
  bool signalled_ = false;
};

struct Termination {
  RunEnd end;
  // Requested with the signal: every wait of the start-up (a command, a
  // browser start, a request) gives up at once.
  std::stop_source startup;
};

// SIGINT and SIGTERM are blocked in every thread (they inherit the mask) and
// taken by one waiting thread, so no handler runs inside library code. The
// thread starts before anything slow, so a signal during start-up is seen at
// once. What it uses lives as long as the process: the thread may outlast
// runHeadless's frame.
Termination& awaitTermination() {
  static Termination termination;
  const sigset_t signals = terminationSignals();
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  std::thread([signals] {
    int received = 0;
    sigwait(&signals, &received);
    termination.startup.request_stop();
    termination.end.signal();
  }).detach();
  return termination;
}

[[noreturn]] void saveAndEnd(ControlModel& controls, std::string& settingsPath, int exitCode) {
  const bool saved = saveControlStates(controls, settingsPath, "");
  if (!saved) {
    const std::string message = settingsNotSavedText(settingsPath);
    std::fprintf(stderr, "%s\n", message.c_str());
    appendErrorLog(formatDateTime() + " " + message + "\r\n");
  }
  std::fflush(stdout);
  std::fflush(stderr);
  endOwnProcess(saved ? exitCode : kExitSettingsNotSaved);
}

}  // namespace

void printSummary(const std::vector<std::string>& lines) {
  for (const std::string& line : lines) std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

int runHeadless(int argc, char** argv, const HeadlessOptions& options) {
  Termination& termination = awaitTermination();
  std::optional<StopScope> startupStop(std::in_place, termination.startup.get_token());
  QCoreApplication application(argc, argv);
  setAppInfo(makeAppInfo());
  // An early return gives the version check a moment, then stops it.
  const VersionCheck versionCheck = startHeadlessOnlineSteps(stdout, stderr);

  HeadlessSetup setup;
  // A signal during start-up ends the run before the job starts, as a stop
  // at that moment would.
  const auto endIfSignalled = [&] {
    if (termination.end.signalled()) saveAndEnd(setup.controls, setup.settingsPath, kExitOk);
  };
  if (const int code = setup.start(options.settings, engineConfigFromFile(), endIfSignalled); code != kExitOk)
    return code;
  ControlModel& controls = setup.controls;
  Runtime& runtime = setup.runtime();
  restorePublishedToday(controls);
  std::printf("Vidralo 无窗口运行：%d 个账号，上传页 %s\n", controls.rowCount(),
              runtime.sessionSettings().uploadPageUrl().c_str());
  std::fflush(stdout);
  endIfSignalled();
  startupStop.reset();

  RunEnd& end = termination.end;
  const std::unique_ptr<WatchHandle> watching = options.watch ? options.watch(controls, runtime) : nullptr;
  ProgressPrinter printer(controls, stdout, [&runtime] { return runtime.job().lastFailureEvidence(); });
  runtime.job().setJobEndedCallback([&end](bool) { end.jobEnded(); });
  runtime.toggleJob();
  if (end.wait() && runtime.job().isRunning()) {
    runtime.job().stop();  // as a click on 停止
    runtime.job().waitUntilIdle();
  }
  printSummary(runtime.job().summary().lines());
  // Accounts found logged out at their latest look make the run's end say so.
  int exitCode = options.afterJob                                          ? options.afterJob(runtime)
                 : runtime.job().summary().loggedOutAccounts().empty() ? kExitOk
                                                                         : kExitNotLoggedIn;
  if (runtime.job().journalUnwritable()) {
    std::fprintf(stderr, "%s\n", controls.statusText(1).c_str());
    exitCode = kExitJournalUnwritable;
  }
  saveAndEnd(controls, setup.settingsPath, exitCode);
}

}  // namespace vidralo
