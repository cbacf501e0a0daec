#include "app/headless/headless_run.h"

#include <signal.h>

#include <QCoreApplication>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

#include "accounts/account_context.h"
#include "accounts/account_list.h"
#include "app/runtime/app_info.h"
#include "app/headless/headless_online.h"
#include "app/headless/console_dialogs.h"
#include "app/runtime/exit_codes.h"
#include "app/headless/progress_printer.h"
#include "app/runtime/runtime.h"
#include "app/runtime/startup_controls.h"
#include "common/app_config.h"
#include "common/program_dir.h"
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

// SIGINT and SIGTERM are blocked in every thread (they inherit the mask) and
// taken by one waiting thread, so no handler runs inside library code.
sigset_t terminationSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  return set;
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
  const sigset_t signals = terminationSignals();
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  QCoreApplication application(argc, argv);
  setAppInfo(makeAppInfo());
  const std::jthread versionCheck = startHeadlessOnlineSteps(stdout, stderr);

  ControlModel controls;
  ConsoleDialogs dialogs;
  AccountStore store;
  CategoryCatalogue categories;
  AccountContext accounts{controls, dialogs, store, categories};
  std::string settingsPath;
  restoreControlsAtStart(controls, settingsPath);
  applyControlSettings(controls, options.settings);

  if (uploadPageUrl().empty()) {
    std::fprintf(stderr, "未配置平台地址：请在 %s 的 [hosts] 中写入 platform = https://平台主机\n",
                 configFilePath().c_str());
    return kExitNoPlatform;
  }
  Runtime runtime(controls, dialogs, store, ScreenSize{});
  runtime.deployEngine();
  if (!runtime.initEngine(false)) return kExitNoBrowser;
  controls.setCaption(ControlId::标签15, programPath("\\"));
  reloadAccounts(accounts);
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
  runtime.job().setJobEndedCallback([&end](bool) { end.jobEnded(); });
  runtime.toggleJob();
  if (end.wait() && runtime.job().isRunning()) {
    runtime.job().stop();  // as a click on 停止
    runtime.job().waitUntilIdle();
  }
  printSummary(runtime.job().summary().lines());
  const int exitCode = options.afterJob ? options.afterJob(runtime) : kExitOk;
  saveAndEnd(controls, settingsPath, exitCode);
}

}  // namespace vidralo
