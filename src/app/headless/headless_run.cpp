#include "app/headless/headless_run.h"

#include <signal.h>

#include <QCoreApplication>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

#include "app/headless/headless_online.h"
#include "app/headless/headless_setup.h"
#include "app/headless/progress_printer.h"
#include "app/runtime/app_info.h"
#include "app/runtime/exit_codes.h"
#include "log/date_time.h"
#include "log/error_log.h"
#include "settings/control_state_store.h"
#include "settings/process_end.h"

namespace vidralo {
namespace {

// Set by the job's end and by SIGINT/SIGTERM; the main thread waits on it.
class RunEnd {
 public:
  void jobEnded() { set(ended_); }
  void signalled() { set(signalled_); }
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
  const sigset_t signals = terminationSignals();
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  QCoreApplication application(argc, argv);
  setAppInfo(makeAppInfo());
  const std::jthread versionCheck = startHeadlessOnlineSteps(stdout, stderr);

  HeadlessSetup setup;
  if (const int code = setup.start(options.settings, engineConfigFromFile()); code != kExitOk) return code;
  ControlModel& controls = setup.controls;
  Runtime& runtime = setup.runtime();
  std::printf("Vidralo 无窗口运行：%d 个账号，上传页 %s\n", controls.rowCount(),
              runtime.sessionSettings().uploadPageUrl.c_str());
  std::fflush(stdout);

  RunEnd end;
  std::thread([&end, signals] {
    int received = 0;
    sigwait(&signals, &received);
    end.signalled();
  }).detach();

  ProgressPrinter printer(controls, stdout, [&runtime] { return runtime.job().lastFailureEvidence(); });
  runtime.job().setJobEndedCallback([&end] { end.jobEnded(); });
  runtime.toggleJob();
  if (end.wait() && runtime.job().isRunning()) {
    runtime.toggleJob();  // as a click on 停止
    runtime.job().waitUntilIdle();
  }
  printSummary(runtime.job().summary().lines());
  // Accounts found logged out at their latest look make the run's end say so.
  const int exitCode = options.afterJob                                          ? options.afterJob(runtime)
                       : runtime.job().summary().loggedOutAccounts().empty() ? kExitOk
                                                                               : kExitNotLoggedIn;
  saveAndEnd(controls, setup.settingsPath, exitCode);
}

}  // namespace vidralo
